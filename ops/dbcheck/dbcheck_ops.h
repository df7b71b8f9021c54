#pragma once
// A check of the connected database against the tool's column lists: the columns a renumber
// rewrites that the database lacks (a renumber would fail and roll back), how the database
// declares the columns it rewrites (type, width, collation), the foreign keys and triggers that
// take part in a renumber, and the columns the tool does not rewrite that may hold employee
// numbers (a renumber would leave them behind).
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

#include "host/host_tables.h"
#include "ops/common/catalogue.h"
#include "ops/common/added_columns.h"
#include "ops/common/progress.h"

namespace db {
class Database;
}

namespace dbcheck {

// A column the tool does not rewrite that may hold employee numbers.
struct Suspect {
  QString table;  // with its schema when that is not the default ("archive.员工记录")
  QString column;
  bool byName = false;  // its name is one the lists use for employee numbers
  qint64 registerValues = 0;  // distinct values (of the sample) that are numbers of the register
  QString type;  // as declared; a column not of a character type is found by its name only
  bool compared = true;  // its content was compared with the register's numbers
  QString reason() const;  // "列名与工号列相同；N个值是员工档案中的工号" / "内容：N个值是员工档案中的工号"
};

// A column the tool rewrites, as the database declares it.
struct Rewritten {
  QString table, column;
  CatalogueColumn declared;
  bool narrower = false;  // holds fewer characters than the register's 工号
  bool problem() const { return narrower || !declared.character(); }
  QString reason() const;  // what the declaration means for a renumber ("" when nothing)
};

// A foreign key one of whose columns, or the columns it references, the tool rewrites.
struct ForeignKey {
  QString name;  // SQL Server's constraint name; "" on the embedded engine
  QString table, column;  // the referencing column
  QString refTable, refColumn;  // the referenced one ("" when the catalogue does not name it)
  QString updateRule;  // "CASCADE", "NO ACTION", "SET NULL", "SET DEFAULT", "RESTRICT"
  bool columnRewritten = false, refRewritten = false;
  QStringList failing;  // the operations that fail for an employee with rows under it
  bool empties() const { return refRewritten && (updateRule == u"SET NULL" || updateRule == u"SET DEFAULT"); }
  // A renumber fails, or the database takes the number off the referencing rows, because of it.
  bool problem() const { return !failing.isEmpty() || empties(); }
  QString reason() const;
};

// A trigger on a table the tool rewrites.
struct Trigger {
  QString name, table;
  bool onUpdate = true;  // runs on an UPDATE, so at every renumber that changes rows of its table
  bool disabled = false;
  QString reason() const;
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
  std::vector<Missing> missing;
  std::vector<Suspect> suspects;
  std::vector<Rewritten> rewritten;  // every column the tool rewrites that the database has
  std::vector<ForeignKey> foreignKeys;
  std::vector<Trigger> triggers;  // notes: what runs beside a renumber
  std::vector<Staying> staying;  // notes: what stays by design
  std::vector<Unlisted> unlisted;  // notes: employees the batch window does not list
  int sampleSize = 0;  // distinct values sampled per column for the content check
  // The rewritten columns whose declaration is a problem, and the foreign keys that are.
  std::vector<Rewritten> typeProblems() const;
  std::vector<ForeignKey> keyProblems() const;
  // Nothing missing, possibly missed, too narrow, of another type or blocked by a foreign key
  // (the notes are no such problem).
  bool ok() const;
  // The report as text, one finding a line.
  QString text() const;
};

// A character column the tool does not rewrite counts as a suspect when at least this many of
// its sampled distinct values are numbers of the register.
inline constexpr int kContentThreshold = 20;
inline constexpr int kSampleSize = 1000;

// The rows of a column under numbers of the register that its extra condition leaves out, as n.
QString stayingSql(const host::RefColumn& column);
// The employees whose position code is not in 岗位信息new or whose position's department is not
// in 职能部门new, in number order: 工号, 姓名, 岗位编号 and 岗位存在 (1 when the position exists).
QString unlistedSql();
// The foreign keys of the database: name, referencing table and column, referenced table and
// column, update rule (SQL Server: INFORMATION_SCHEMA; the embedded engine: pragma_foreign_key_list).
QString foreignKeysSql(db::Database& database);
// The triggers of the database with their tables (SQL Server: sysobjects).
QString triggersSql(db::Database& database);
// How many of a character column's sampled distinct values are numbers of the register, as n;
// a text or ntext column is sampled through nvarchar(4000) (SQL Server takes no DISTINCT on it).
QString contentSql(db::Database& database, const CatalogueTable& table, const CatalogueColumn& column);

// Checks the database against every column the tool rewrites: the built-in lists and the columns
// the administrator added to the renumber for this database. Progress counts the columns
// sampled; a stop throws ops::Cancelled. Throws db::DbError.
Report check(db::Database& database, const std::vector<added::AddedColumn>& addedColumns,
             const ops::Progress& progress = {});

}  // namespace dbcheck
