#pragma once
// A check of the connected database against the tool's column lists: the columns a renumber
// rewrites that the database lacks (a renumber would fail and roll back), how the database
// declares the columns it rewrites (type, width, collation, computed or identity, an index), the
// foreign keys, CHECK constraints and triggers that take part in a renumber, and the columns the
// tool does not rewrite that may hold employee numbers (a renumber would leave them behind). A
// column whose rows cannot be read (a lock held by another program, a failing conversion) is
// noted and the check goes on.
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

#include "host/host_tables.h"
#include "core/common/catalogue.h"
#include "core/common/added_columns.h"
#include "core/common/progress.h"

namespace db {
class Database;
}

namespace dbcheck {

// A column the tool does not rewrite that may hold employee numbers.
struct Suspect {
  QString table;  // with its schema when that is not the default ("archive.员工记录")
  QString column;
  bool byName = false;  // its name is one the lists use for employee numbers
  qint64 registerValues = 0;  // distinct values of the sampled rows that are numbers of the register
  QString type;  // as declared; a column not of a character type is found by its name only
  bool compared = true;  // its content was compared with the register's numbers
  QString reason() const;  // "列名与工号列相同；N个值是员工档案中的工号" / "内容：N个值是员工档案中的工号"
};

// A column the tool rewrites, as the database declares it.
struct Rewritten {
  QString table, column;
  db::CatalogueColumn declared;
  bool narrower = false;  // holds fewer characters than the register's 工号
  QString registerCollation;  // the register's 工号's collation when this column's differs from it, else ""
  bool computed = false, identity = false;  // the database does not let an UPDATE write it
  bool indexed = true;  // an index begins with it
  bool typeProblem() const { return narrower || !declared.character(); }
  bool otherCollation() const { return !registerCollation.isEmpty(); }
  bool unwritable() const { return computed || identity; }
  bool unindexed() const { return !indexed; }
  // A renumber fails or compares wrongly because of the declaration (an unindexed column is slow only).
  bool problem() const { return typeProblem() || otherCollation() || unwritable(); }
  QString reason() const;  // what the type or width means for a renumber ("" when nothing)
  QString collationReason() const;
  QString unwritableReason() const;
  QString unindexedReason() const;
};

// A foreign key one of whose columns, or the columns it references, the tool rewrites.
struct ForeignKey {
  QString name;  // SQL Server's constraint name; "" on the embedded engine
  QString table, column;  // the referencing column
  QString refTable, refColumn;  // the referenced one ("" when the catalogue does not name it)
  QString updateRule;  // "CASCADE", "NO ACTION", "SET NULL", "SET DEFAULT", "RESTRICT"
  bool disabled = false;  // SQL Server's is_disabled: the database neither checks nor follows it
  bool columnRewritten = false, refRewritten = false;
  QStringList failing;  // the operations that fail for an employee with rows under it
  bool empties() const {
    return !disabled && refRewritten && (updateRule == u"SET NULL" || updateRule == u"SET DEFAULT");
  }
  // A renumber fails, or the database takes the number off the referencing rows, because of it.
  bool problem() const { return !failing.isEmpty() || empties(); }
  QString reason() const;
};

// A CHECK constraint on a column the tool rewrites: declared with the column, or naming it.
struct CheckConstraint {
  QString name;  // "" for an unnamed one of the embedded engine
  QString table, column;
  QString definition;  // as the database keeps it: "([工号]<>'')"
  bool disabled = false;
  QString reason() const;
};

// A trigger on a table the tool rewrites.
struct Trigger {
  QString name, table;
  bool onUpdate = true;  // runs on an UPDATE, so at every renumber that changes rows of its table
  bool disabled = false;
  // Runs instead of the UPDATE (the embedded engine: a BEFORE trigger that ignores the row with
  // RAISE(IGNORE)), so the renumber's update may change nothing.
  bool insteadOf = false;
  bool problem() const { return !disabled && onUpdate && insteadOf; }
  QString reason() const;
};

// A column whose rows the check could not read; the rest of the check went on.
struct Unreadable {
  QString table, column;
  QString error;  // the database's text
  QString reason() const;  // "无法读取：…"
};

// Rows that every renumber leaves under an employee's number: its column's extra condition
// ("类型='档案信息修改'") leaves them out on purpose.
struct Staying {
  QString table, column, condition;
  qint64 rows = 0;  // rows under a number of the register that the condition leaves out
};

// An employee the batch listing leaves out: the position code is not in 岗位信息new, or the
// position's department is not in 职能部门new.
struct Unlisted {
  QString number, name, position;
  bool departmentMissing = false;  // the position exists, its department does not
  QString reason() const;  // "岗位编号P77在岗位信息new中不存在" / "岗位P09所属部门在职能部门new中不存在"
};

struct Report {
  std::vector<common::Missing> missing;
  std::vector<Suspect> suspects;
  std::vector<Rewritten> rewritten;  // every column the tool rewrites that the database has
  std::vector<ForeignKey> foreignKeys;
  std::vector<CheckConstraint> checks;  // notes: conditions a new number must meet
  std::vector<Trigger> triggers;  // notes, but for one that runs instead of the update
  std::vector<Unreadable> unreadable;  // columns the check could not read
  std::vector<Staying> staying;  // notes: what stays by design
  std::vector<Unlisted> unlisted;  // notes: employees the batch window does not list
  int sampleRows = 0;  // rows sampled per column for the content check
  // The rewritten columns of which the predicate holds (&Rewritten::typeProblem, ...).
  std::vector<Rewritten> rewrittenWhere(bool (Rewritten::*predicate)() const) const;
  // The rewritten columns whose type or width is a problem, and the foreign keys and triggers that are.
  std::vector<Rewritten> typeProblems() const { return rewrittenWhere(&Rewritten::typeProblem); }
  std::vector<ForeignKey> keyProblems() const;
  std::vector<Trigger> triggerProblems() const;
  // Nothing missing, possibly missed, unread, too narrow, of another type or collation, computed,
  // an identity, blocked by a foreign key or by a trigger that runs instead of the update (the
  // notes are no such problem).
  bool ok() const;
  // "内容检查对每列抽样最多N行"
  QString sampleNote() const;
  // The report as text, one finding a line.
  QString text() const;
};

// A character column the tool does not rewrite counts as a suspect when at least this many
// distinct values of its sampled rows are numbers of the register. The rows are the first the
// database reads (TOP, no ordering, no grouping: no scan of a whole table); enough for the
// threshold also where each employee has hundreds of rows together.
inline constexpr int kContentThreshold = 20;
inline constexpr int kSampleRows = 10000;
// Columns read per statement: the reads of one column each, joined by UNION ALL.
inline constexpr int kColumnsPerStatement = 50;

// A character column sampled for the content check.
struct SampledColumn {
  const db::CatalogueTable* table;
  const db::CatalogueColumn* column;
};

// For each column (its place in the list as 列), the rows under numbers of the register that its
// extra condition leaves out, as n.
QString stayingSql(db::Database& database, const std::vector<host::RefColumn>& columns);
// The employees whose position code is not in 岗位信息new or whose position's department is not
// in 职能部门new, in number order: 工号, 姓名, 岗位编号 and 岗位存在 (1 when the position exists).
QString unlistedSql(db::Database& database);
// For each column (its place in the list as 列), how many distinct values of its first
// kSampleRows rows that are not Null are numbers of the register, as n; a text or ntext column
// is read through nvarchar(4000) (SQL Server takes no DISTINCT on it).
QString contentSql(db::Database& database, const std::vector<SampledColumn>& columns);

// Checks the database against every column the tool rewrites: the built-in lists and the columns
// the administrator added to the renumber for this database. Progress counts the columns
// sampled; a stop throws common::Cancelled. A column that cannot be read is reported as Unreadable;
// a failing catalogue read, or a connection that no longer answers, throws db::DbError.
Report check(db::Database& database, const std::vector<common::added::AddedColumn>& addedColumns,
             const common::Progress& progress = {});

}  // namespace dbcheck
