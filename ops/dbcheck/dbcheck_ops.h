#pragma once
// A check of the connected database against the tool's column lists: the columns a renumber
// rewrites that the database lacks (a renumber would fail and roll back), and the columns the
// tool does not rewrite that may hold employee numbers (a renumber would leave them behind).
#include <QString>
#include <QStringList>
#include <vector>

#include "host/host_tables.h"
#include "ops/common/added_columns.h"
#include "ops/common/progress.h"

namespace db {
class Database;
}

namespace dbcheck {

// A table or column the tool rewrites that the database lacks.
struct Missing {
  QString table;
  QString column;  // empty when the whole table is missing
  QStringList operations;  // "单个修改", "批量上传", "无岗位处理"
};

// A column the tool does not rewrite that may hold employee numbers.
struct Suspect {
  QString table;
  QString column;
  bool byName = false;  // its name is one the lists use for employee numbers
  qint64 registerValues = 0;  // distinct values (of the sample) that are numbers of the register
  QString reason() const;  // "列名与工号列相同" / "内容：N个值是员工档案中的工号"
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
  std::vector<Staying> staying;  // notes: what stays by design
  std::vector<Unlisted> unlisted;  // notes: employees the batch window does not list
  int sampleSize = 0;  // distinct values sampled per column for the content check
  // No column missing or possibly missed (the notes are no such problem).
  bool ok() const { return missing.empty() && suspects.empty(); }
  // The report as text, one finding a line.
  QString text() const;
};

// A character column of a table the tool does not know counts as a suspect when at least this many
// of its sampled distinct values are numbers of the register.
inline constexpr int kContentThreshold = 20;
inline constexpr int kSampleSize = 1000;

// The rows of a column under numbers of the register that its extra condition leaves out, as n.
QString stayingSql(const host::RefColumn& column);
// The employees whose position code is not in 岗位信息new or whose position's department is not
// in 职能部门new, in number order: 工号, 姓名, 岗位编号 and 岗位存在 (1 when the position exists).
QString unlistedSql();

// The catalogue query of the engine: every table's columns with their types.
QString catalogueSql(db::Database& database);

// Checks the database against every column the tool rewrites: the built-in lists and the columns
// the administrator added (added::current()). Progress counts the columns sampled; a stop throws
// ops::Cancelled. Throws db::DbError.
Report check(db::Database& database);
Report check(db::Database& database, const std::vector<added::AddedColumn>& addedColumns,
             const ops::Progress& progress = {});

}  // namespace dbcheck
