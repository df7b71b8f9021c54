#pragma once
// The database's own catalogue: its base tables and their columns as it declares them, and the
// tables and columns of the tool's lists that it lacks (read by the database check and the
// impact preview).
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

#include "host/host_tables.h"

namespace db {
class Database;
}

namespace dbcheck {

// The key of a table in the catalogue's index: case-folded schema and name.
QString tableKey(const QString& schema, const QString& table);
// Every renumber rewrites every column of the lists (its own list's first, then those it misses), so
// a missing column makes each of them fail: "单个修改", "批量上传", "无岗位处理".
QStringList allOperations();

// ---- The database's own catalogue -----------------------------------------------------------

// A column as the database declares it.
struct CatalogueColumn {
  QString name;
  QString type;  // lower case: "nvarchar", "ntext", "int"
  qint64 width = 0;  // characters; 0 without a limit (varchar(max), text, a SQLite TEXT)
  // SQL Server's COLLATION_NAME; on the embedded engine the one the column declares (SQLSERVER_CI
  // on every column the engine made) or SQLite's own BINARY; "" for other types.
  QString collation;
  bool character() const;  // char, varchar, nchar, nvarchar, text, ntext (SQLite: a text affinity)
  bool large() const { return type == u"text" || type == u"ntext"; }  // no DISTINCT on it (SQL Server)
  QString declared() const;  // "nvarchar(50)", "varchar(max)", "int"
};

// A base table (views are left out) with its columns in their order.
struct CatalogueTable {
  QString schema;  // SQL Server's schema; "" on the embedded engine
  QString name;  // as the database spells it
  std::vector<CatalogueColumn> columns;
  const CatalogueColumn* column(const QString& name) const;  // case-insensitive; nullptr when missing
};

struct Catalogue {
  QString defaultSchema;  // the login's default schema (SQL Server); ""
  std::vector<CatalogueTable> tables;  // by schema, then name
  // The table an unqualified name in the tool's statements resolves to: in the default schema,
  // else in dbo. nullptr when there is none.
  const CatalogueTable* find(const QString& table) const;
  // The table of exactly that schema and name (case-insensitive); nullptr when there is none.
  const CatalogueTable* exact(const QString& schema, const QString& table) const;
  // "archive.员工记录" for a table outside the schema the tool's statements resolve to, else the name.
  QString shownName(const CatalogueTable& table) const;

  QHash<QString, std::size_t> index;  // tables by case-folded schema and name
};

// The catalogue query of the engine: every column of every base table with its type, width and
// collation, and the default schema (the embedded engine: its tables' declarations, read back).
QString catalogueSql(db::Database& database);
// The expression compared under the database's default collation, so that a column of another
// collation than the one it is compared with neither fails (SQL Server's Msg 468) nor matches by
// other rules: "x COLLATE DATABASE_DEFAULT" (the embedded engine: its default, SQLSERVER_CI).
QString inDefaultCollation(db::Database& database, const QString& expression);
// Reads the catalogue. Throws db::DbError.
Catalogue readCatalogue(db::Database& database);

// ---- Findings -------------------------------------------------------------------------------

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
std::vector<Missing> missingFrom(const Catalogue& catalogue, const std::vector<host::RefColumn>& columns);

}  // namespace dbcheck
