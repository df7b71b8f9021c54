#pragma once
// The batch apply as the tool sent it before its work was cut into set queries and joined
// executions: one register query per number for the re-check, every column asked on its own for
// the merge question, then per row the register's count and one execution of that row's
// statements. Same statement texts as the tool builds (batch::registerLookupSql,
// common::holdersSql, batch::registerCountSql, batch::applyBatch), one number, one column or one row
// per round trip; kept as the "before" the benchmark measures the tool against. Throws
// db::DbError.
#include <vector>

#include "core/batch/batch_sql.h"
#include "core/batch/batch_ops.h"

namespace db {
class Database;
}

namespace batch::oneByOne {

// The changed rows' new numbers that rows of any column already hold, in row order, each once:
// one query per column and slice of numbers (common::holdings).
std::vector<HeldNumber> heldElsewhere(db::Database& database, const Rows& rows);

struct Apply {
  Outcome check;  // the manual re-check of the rows
  std::vector<HeldNumber> held;  // the merge question's numbers (asked only after a passed check)
  ApplyResult result;  // not applied when the check did not pass or a row was stale
  bool applied() const { return check.status == Status::Passed && result.applied(); }
};

// The whole apply after the click, the merge question answered Yes: the manual check with one
// register query per changed row; when it passes, heldElsewhere; then in one transaction, row
// after row, the register's count of the old number (exactly one, or everything is rolled back
// and the row returned) and the row's statements in one execution; committed after the last row.
// A failing statement rolls everything back and throws db::DbError whose text names the row.
Apply apply(db::Database& database, const Rows& rows);

}  // namespace batch::oneByOne
