#pragma once
// The host database's tables as this tool uses them: the core tables, the rule tables and
// every reference table of the renumbering cascades (app/host_tables.h), each with an ID,
// its employee-number column(s) and an index on every employee-number column.
#include <QList>
#include <QString>
#include <QStringList>

namespace db {
class Database;
}

namespace host {

// SQLite DDL statements, one per element; text columns compare as SQL Server's case- and
// width-insensitive collations and refuse a value longer than they hold (db/sqlite_columns.h).
QStringList sqliteSchema();
// The same schema as a T-SQL script with "go" lines (renumber --print-schema).
QString tsqlSchema();
// Creates every table in the (empty, embedded) database. Throws db::DbError.
void createSchema(db::Database& database);
// Every table of the schema, in creation order.
QStringList allTables();

// Every text column of the schema holds at most this many characters (nvarchar(50)); the
// windows' text boxes accept no more.
inline constexpr int kTextLength = 50;

// The schema as data (what the DDL above is built from).
enum class ColumnKind { Text, Integer, Date, Money };

struct Column {
  QString name;
  ColumnKind kind = ColumnKind::Text;
  bool employeeNumber = false;  // holds an employee number (a column of the renumbering lists)
  bool indexed = false;  // has an index of its own
};

struct Table {
  QString name;
  QList<Column> columns;  // without ID, which every table has
  bool reference = false;  // a reference table of the renumbering lists (not a core or rule table)
  const Column* column(const QString& name) const;  // case-insensitive; nullptr when missing
};

// The SQLite DDL of other tables than the schema's own (a test's), and their creation in an
// embedded database, in one transaction. Throws db::DbError.
QStringList sqliteSchema(const QList<Table>& tables);
void createSqliteSchema(db::Database& database, const QList<Table>& tables);

// Every table in creation order: core tables, rule tables, then the reference tables in the
// order they first appear in the single cascade, the batch apply list and the staging list.
const QList<Table>& tables();
// The table of that name (case-insensitive), nullptr when it is not part of the schema.
const Table* findTable(const QString& name);

}  // namespace host
