#pragma once
// The batch renumbering's work on the database: the rule list, the listing, the register lookups
// of the checks, the apply and the staging. Every recordset, column name and transaction of the
// feature is here; the window gets plain structs. Every function throws db::DbError.
#include <QString>
#include <vector>

#include "ops/batch_logic.h"

namespace db {
class Database;
}

namespace batch {

// An entry of the rule combo: "类别码 编码类别名称", and the rule's category code itself.
struct RuleEntry {
  QString text;
  QString code;
};
// The rules in code order (a Null code or name contributes the empty text).
std::vector<RuleEntry> ruleEntries(db::Database& database);

// A listed employee: number, name, "部门编号 部门名称" and "岗位代号 岗位名称".
struct Listed {
  QString number, name, department, position;
};
struct Listing {
  std::vector<Listed> rows;
  qint64 unlisted = 0;  // employees of the rule left out for having no position
};
// The employees of the rule with categoryCode in number order; with oncePerNumber only the first
// row of each number (a Null number is never the same as the one before it).
Listing listRule(db::Database& database, const QString& categoryCode, bool oncePerNumber);

// The register lookup of the checks: the first holder's name of a number, or nothing.
RegisterLookup registerLookup(db::Database& database);
// The check of a work list: the automatic resolution (rewriting rows[].newNo) or the manual check.
Outcome checkRows(db::Database& database, Rows& rows, bool automatic);

// The changed rows' new numbers that rows of any column storing an employee number already hold,
// in row order, each once.
std::vector<HeldNumber> heldElsewhere(db::Database& database, const Rows& rows);

struct ApplyResult {
  int staleRow = -1;  // the row whose old number the register no longer holds exactly once
  QString staleOld;
  bool applied() const { return staleRow < 0; }
};
// Renames every row's old number to its new number in every column, row after row, in one
// transaction. Before a row's statements the register must hold its old number exactly once;
// otherwise everything is rolled back and the row is returned. A failing statement rolls back
// everything and throws db::DbError whose text names the row.
ApplyResult applyRows(db::Database& database, const Rows& rows);

// Employees without a position (the ones the staging renumbers).
qint64 noPositionCount(db::Database& database);
// Runs the staging script, batch after batch, in one transaction.
void stageNoPosition(db::Database& database);

}  // namespace batch
