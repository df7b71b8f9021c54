#pragma once
// The tables and columns of the tool's lists that the database's catalogue (db/catalogue.h) lacks
// (read by the database check and the impact preview).
#include <QString>
#include <QStringList>
#include <vector>

#include "db/catalogue.h"
#include "host/host_tables.h"

namespace common {

// Every renumber rewrites every column of the lists (its own list's first, then those it misses), so
// a missing column makes each of them fail: "单个修改", "批量上传", "无岗位处理".
QStringList allOperations();

// A table or column the tool rewrites that the database lacks.
struct Missing {
  QString table;
  QString column;  // empty when the whole table is missing
  QStringList operations;  // "单个修改", "批量上传", "无岗位处理"
};

// The column an extra condition names: "类型" of " AND 类型='档案信息修改'" ("" for none).
QString conditionColumn(const QString& extra);

// The columns of the list that the catalogue lacks (with the column of an extra condition,
// 员工档案temp.类型): a table once when the whole table is missing.
std::vector<Missing> missingFrom(const db::Catalogue& catalogue, const std::vector<host::RefColumn>& columns);

}  // namespace common
