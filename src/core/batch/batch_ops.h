#pragma once
// The batch renumbering's work on the database: the rule list, the listing, the register lookups
// of the checks, the apply and the staging. Every recordset, column name and transaction of the
// feature is here; the window gets plain structs. Every function throws db::DbError.
#include <QString>
#include <functional>
#include <vector>

#include "core/batch/batch_sql.h"
#include "core/preview/column_widths.h"
#include "core/common/holders.h"
#include "core/common/progress.h"
#include "core/change/change_runner.h"
#include "core/change/plan.h"

namespace db {
class Database;
}
namespace session {
class Session;
}

namespace batch {

// Progress and stop of the long operations (see core/common/progress.h).
using Progress = common::Progress;
using Cancelled = common::Cancelled;

// Numbers asked from the register per statement, and work-list rows sent per execution of the
// apply (an apply of 1,000 rows with the journal's reads and the re-check before it stays within
// 30 round trips).
inline constexpr int kNumbersPerQuery = int(common::kAskedPerStatement);
inline constexpr int kRowsPerExecution = 100;

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
  qint64 unknownPosition = 0;  // ... for a position code that 岗位信息new does not hold
  qint64 unknownDepartment = 0;  // ... for a position whose department 职能部门new does not hold
};
// The employees of the rule with categoryCode in number order; with oncePerNumber only the first
// row of each number (a Null number is never the same as the one before it).
// Progress counts the rows read (total 0).
Listing listRule(db::Database& database, const QString& categoryCode, bool oncePerNumber,
                 const Progress& progress = {});

// The register lookup of the checks: the first holder's name of a number, or nothing (one query
// per number).
RegisterLookup registerLookup(db::Database& database);
// The check of a work list: the automatic resolution (rewriting rows[].newNo) or the manual check.
// The register is asked for many numbers per query (common::registerHoldersSql, kNumbersPerQuery at a
// time; the database decides who holds which):
// first every changed new number of the list; the automatic resolution then runs on what is
// known, gathers the numbers it still needs (a repair's candidates, with a few after each) and
// runs again once they are fetched, until it needs none: its outcome is the one the lookup of
// one number at a time gives. Progress counts the numbers fetched; a stop leaves rows as given.
Outcome checkRows(db::Database& database, Rows& rows, bool automatic, const Progress& progress = {});

// The changed rows' new numbers that rows of any column storing an employee number already hold,
// in row order, each once. All columns are asked in one statement for a slice of the numbers.
std::vector<HeldNumber> heldElsewhere(session::Session& session, const Rows& rows, const Progress& progress = {});

// The executions the apply sends inside its transaction, kRowsPerExecution rows' texts
// (applyBatch) to an execution in row order (a row whose old and new numbers are equal included);
// the register counts before them are reads and no part of it. added: the administrator's added columns.
QStringList applyExecutions(const Rows& rows, const std::vector<host::RefColumn>& added);
// The apply as the change runner sends it; with a stale row (index from 0) the rows before it,
// then everything rolled back. The journal counts the rows of every column (the added ones too).
change::Change applyChange(const Rows& rows, const std::vector<host::RefColumn>& added, int staleRow = -1);

// The first changed row's new number (in row order) that a column the apply rewrites
// (applyColumns) cannot hold, from the catalogue kept for the connection; nullopt when all fit.
std::optional<preview::TooLong> newNumbersTooLong(session::Session& session, const Rows& rows);

// What the apply's plan found, before anything is sent (it reads only).
struct ApplyPlan : change::Plan {
  enum class Status {
    Ready,
    NoRows,  // the work list is empty
    CheckFailed,  // the check stops at a row (outcome says where; the window marks it)
    Stale,  // the apply would reach a row whose old number the register does not hold exactly once
    TooLong,  // a column the apply rewrites cannot hold a new number (tooLong)
    MissingTable,  // the database lacks a table the apply rewrites (the apply only)
  };
  Status status = Status::Ready;
  Rows rows;
  Outcome outcome;  // the check as the apply runs it (manual)
  int staleRow = -1;  // Stale: the row (index from 0) and its old number
  QString staleOld;
  std::optional<preview::TooLong> tooLong;  // TooLong: the first such number and the narrowest column
  // Rows of the other columns already under the new numbers: the question, and what its 是 merges.
  std::vector<HeldNumber> held;
};
// A preview asks nothing: its impact lists the rows already under the new numbers.
enum class Purpose { Apply, Preview };
// The plan of applying rows. The register is read once for every old and changed new number
// (common::registerHolders, many to a statement): the manual check and the count before each row
// (firstRefusedRow, the earlier rows' renames applied) run on what was read. Then a new number
// that a column the apply rewrites cannot hold refuses it (newNumbersTooLong); for the apply, the
// rows of the other columns under the new numbers are found (heldElsewhere) and asked about
// (heldQuestion). Reads only; progress counts the numbers read, then the slices of the other
// columns. Throws db::DbError; a stop throws common::Cancelled.
ApplyPlan planApply(session::Session& session, const Rows& rows, Purpose purpose = Purpose::Apply,
                    const Progress& progress = {});

struct ApplyResult : change::Ran {
  int staleRow = -1;  // the row whose old number the register no longer holds exactly once
  QString staleOld;
  // The row whose new number an employee took after the check (takenBy: the first holder's name):
  // nothing was sent.
  int takenRow = -1;
  QString takenBy;
  std::optional<preview::TooLong> tooLong;  // a new number a column cannot hold: nothing was sent
  // The rows of the other columns under the new numbers changed after the question: nothing was sent.
  bool changedMeanwhile = false;
  bool applied() const { return staleRow < 0 && takenRow < 0 && !tooLong && !changedMeanwhile; }
};
// Runs a plan answered 是: renames every row's old number to its new number in every column, row
// after row, in one transaction. Inside it, before the first update, the plan's facts are read
// again: the register's counts of the old and new numbers in a few set queries
// (common::registerHoldersSql) that keep the rows they read until the end (common::Lock::Held),
// carried forward row by row as the renames move them. A row whose old number the register no
// longer holds exactly once when the apply reaches it rolls everything back (the rows before it
// are still sent: a failing statement among them is reported as such); a row whose changed new
// number an employee took since is returned and nothing is sent. When the plan asked about rows
// under the new numbers, they are found again: any other rows send nothing (changedMeanwhile).
// The rows' texts (applyBatch) go kRowsPerExecution rows to an execution. When an execution
// fails, the transaction is rolled back and begun again, the executions before it are sent again
// and its rows one by one, to name the failing row; then everything is rolled back.
// Progress counts the rows done; a stop (also after the last row) rolls everything back.
ApplyResult runApply(session::Session& session, const ApplyPlan& plan, const Progress& progress = {});
// The run of rows without the plan's check and question: a new number a column cannot hold
// (newNumbersTooLong) is refused before anything is sent, then runApply.
ApplyResult applyRows(session::Session& session, const Rows& rows, const Progress& progress = {});

// The columns the staging rewrites: its list, then the added columns it lacks.
std::vector<preview::Column> stagingColumns(const std::vector<host::RefColumn>& added);
// The employees without a position whose "9" number a column the staging rewrites cannot hold,
// from the session's catalogue. Throws db::DbError.
std::vector<StagingTooLong> stagingTooLong(session::Session& session);

// Employees without a position (the ones the staging renumbers).
qint64 noPositionCount(db::Database& database);
// What the staging did: refused for numbers too long or for collisions, declined at the merge
// question, or staged.
struct StagingResult : change::Ran {
  std::vector<preview::NotText> notText;  // rewritten columns not of a character type: nothing was sent
  std::vector<StagingTooLong> tooLong;  // numbers that cannot take the "9": nothing was sent
  std::vector<StagingCollision> collisions;  // "9" numbers held in the register: nothing was sent
  std::vector<HeldNumber> held;  // "9" numbers whose rows the staged employees would take over
  bool changedMeanwhile = false;  // the "9" numbers' rows changed after the merge question: nothing was sent
  bool staged = false;
};
// What the staging's plan found, before anything is sent (it reads only).
struct StagingPlan : change::Plan {
  qint64 count = 0;  // employees without a position
  StagingResult found;  // the refusals it found, and the rows under the "9" numbers it asks about
};
// The plan of the staging: no employee without a position refuses it (kNoStaging); outside any
// transaction, a rewritten column not of a character type refuses it (notText: '9' + an int column
// adds on SQL Server), and so does a "9" number that a column the staging rewrites cannot hold
// (tooLong) or that an employee with a position holds in the register (stagingCollisionsSql). Then
// the question (stagingQuestion) and, for rows under free "9" numbers (stagingHeldSql), the merge
// question (heldQuestion). Reads only. Progress: only its stop.
StagingPlan planStaging(session::Session& session, const Progress& progress = {});
// Runs a plan answered 是: the staging script, batch after batch, in one transaction. Inside it,
// before the first batch, both checks run again, the rows read kept until the end: a collision
// refuses, and held rows other than those asked about send nothing (changedMeanwhile).
// Progress counts the batches; a stop (also after the last batch) rolls everything back.
StagingResult runStaging(session::Session& session, const StagingPlan& plan, const Progress& progress = {});
// The question before the staging merges rows already under "9" numbers into the staged
// employees; true goes on. An empty one answers No.
using MergeQuestion = std::function<bool(const std::vector<HeldNumber>& held)>;
// The staging as the change runner sends it: the staging script's batches (Database::splitBatches),
// recorded as the whole script with the given employees' old -> new pairs.
change::Change stagingChange(const std::vector<std::pair<QString, QString>>& oldNew,
                             const std::vector<host::RefColumn>& added);
// The staging without its count and first question: the plan's checks, the merge question asked
// of askMerge (an empty one answers No, and No sends nothing), then runStaging.
StagingResult stageNoPosition(session::Session& session, const Progress& progress = {},
                              const MergeQuestion& askMerge = {});

}  // namespace batch
