#pragma once
// The host database's tables as this tool uses them: the core tables, the rule tables and
// every reference table of the renumbering cascades (app/host_tables.h), each with an ID,
// its employee-number column(s) and an index on every employee-number column.
#include <QString>
#include <QStringList>

namespace db {
class Database;
}

namespace host {

// SQLite DDL statements, one per element; text columns compare without regard to letter case.
QStringList sqliteSchema();
// The same schema as a T-SQL script with "go" lines (renumber --print-schema).
QString tsqlSchema();
// Creates every table in the (empty, embedded) database. Throws db::DbError.
void createSchema(db::Database& database);
// Every table of the schema, in creation order.
QStringList allTables();

}  // namespace host
