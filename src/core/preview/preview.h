#pragma once
// See before you change: what a renumber will touch (rows holding the old and the new numbers in
// every column it rewrites), and the exact statements it will send as a T-SQL script a DBA can run.
// Nothing here changes the database.
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <utility>
#include <vector>

#include "core/common/holders.h"
#include "core/common/progress.h"

namespace db {
class Database;
}

namespace preview {

// A column a renumber rewrites.
struct Column {
  QString table;
  QString column;
  bool added = false;  // added by the administrator (database check), not one of the built-in lists
  QString extra;  // condition after the number's comparison, as the renumber sends it ("" for none)
};

// What the database lacks of a column a renumber rewrites.
enum class Lack {
  None,
  Table,  // the whole table
  Column,  // the column, or the column its extra condition names
};
// "缺少此表，修改将失败并全部撤销" / "缺少此列，修改将失败并全部撤销" ("" for None).
QString lackText(Lack lack);

struct ColumnImpact {
  Column column;
  Lack lack = Lack::None;  // counted only when None: the renumber would fail on it and roll back
  qint64 oldRows = 0;  // rows holding an old number: they move to the new number
  qint64 newRows = 0;  // rows already holding a new number: they would be merged
  qint64 stayingRows = 0;  // rows holding an old number that the extra condition leaves out: they stay
};

struct EmployeeImpact {
  QString oldNo, newNo;
  qint64 rowsMoved = 0;  // rows under the old number, all columns together
  qint64 newRows = 0;  // rows already under the new number
};

struct Impact {
  std::vector<ColumnImpact> columns;  // in the renumber's order
  std::vector<EmployeeImpact> employees;  // one per pair, in the given order
  qint64 totalOld = 0, totalNew = 0, totalStaying = 0;
  // The tables and columns the database lacks, in the renumber's order: "出勤", "员工记录.工号".
  QStringList missing() const;
};

using Pair = std::pair<QString, QString>;  // old number, new number

// Reads the database's catalogue first: a column whose table or column is missing is listed as such
// and not counted. Then counts, for every other column, the rows holding the old and the new
// numbers of the pairs, among the rows the renumber rewrites (those meeting the column's extra
// condition); a column with an extra condition also counts all its rows, for the rows under the
// old numbers that stay. All columns go in one statement for a slice of the numbers
// (common::joinedCounts: a thousand pairs in about a dozen statements, each within the statement
// limits). A pair whose numbers are equal moves nothing and merges nothing. Progress counts the
// columns (total: all of them), before each statement their share of the numbers done; a stop
// throws common::Cancelled. Throws db::DbError.
Impact impact(db::Database& database, const std::vector<Column>& columns, const std::vector<Pair>& pairs,
              const common::Progress& progress = {});

// Where and by whom a script is made, for its header.
struct ScriptHeader {
  QString server, database, login;
  QDateTime time;
  QString operation;  // e.g. "修改工号 0012 -> 3001"
};

// An execution with a line break (CR LF) before each of its statements but the first; the
// statements' texts are left as they are, so taking the breaks out gives the execution back.
QString statementPerLine(const QString& execution);

// The T-SQL script of a change: a header comment (database, time, login, the impact counts),
// with the missing tables and columns, SET XACT_ABORT ON, a step table (#renumber_step), BEGIN
// TRANSACTION, every execution as the tool sends it, one statement a line (statementPerLine), as a
// batch of its own ("go" after it) that ends by recording its step, each after a guard batch that
// stops the rest (SET NOEXEC ON) unless the transaction is open and the step before was recorded;
// then SET NOEXEC OFF and COMMIT TRANSACTION when every step was recorded, else a rollback and an
// error: a failure anywhere, at run time or compile time, changes nothing in any client. Lines end
// in CR LF.
QString script(const ScriptHeader& header, const Impact& impact, const QStringList& executions);
// The rows that stay under the old numbers, one line per column that has any:
// "员工档案temp中另有2行记录不满足 类型='档案信息修改'，留在原工号下，不会修改".
QStringList stayingLines(const Impact& impact);
// The impact as a plain-text table for a terminal: a heading line, one line per column (table,
// column, rows under the old number, rows under the new number, tab-separated; an added column
// marked, a column whose new number already has rows marked with "*", a missing one with its
// lackText instead of the counts), then the totals and the stayingLines.
QString table(const Impact& impact);

// The script as a file's bytes: UTF-8 with a byte-order mark (what SQL Server's editor reads).
QByteArray scriptFile(const QString& script);

}  // namespace preview
