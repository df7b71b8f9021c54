#pragma once
// What the database declares of itself, read from its own catalogue: its base tables and their
// columns (types, widths, collations), which columns are computed, identities or indexed, the
// foreign keys, the CHECK constraints and the triggers. Each engine reads them its own way (SQL
// Server: INFORMATION_SCHEMA and the sys views; the embedded engine: sqlite_master, its pragmas and
// its tables' declarations); callers get the same plain structs from both and never ask which
// engine answered.
#include <QHash>
#include <QString>
#include <QStringList>
#include <vector>

namespace db {

class Database;

// The key of a table in the catalogue's index: case-folded schema and name.
QString tableKey(const QString& schema, const QString& table);

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
  // "[archive].[员工记录]" or "[员工记录]": the table as a statement names it.
  static QString qualifiedName(const CatalogueTable& table);

  QHash<QString, std::size_t> index;  // tables by case-folded schema and name
};

// The catalogue query of the engine: every column of every base table with its type, width and
// collation, and the default schema (the embedded engine: its tables' declarations, read back).
QString catalogueSql(Database& database);
// Reads the catalogue. Throws DbError.
Catalogue readCatalogue(Database& database);

// The expression compared under the database's default collation, so that a column of another
// collation than the one it is compared with neither fails (SQL Server's Msg 468) nor matches by
// other rules: "x COLLATE DATABASE_DEFAULT" (the embedded engine: its default, SQLSERVER_CI).
QString inDefaultCollation(Database& database, const QString& expression);

// ---- Properties, keys, constraints and triggers -------------------------------------------------

struct ColumnProperties {
  QString schema, table, column;
  bool computed = false;
  bool identity = false;  // the embedded engine: a table's only key column declared INTEGER (its rowid)
  bool indexed = false;  // the first column of an index, or the embedded engine's rowid
};
// Of the columns of the tables named, whether each is computed, an identity, and indexed (SQL
// Server: sys.columns, sys.index_columns; the embedded engine: pragma_table_xinfo,
// pragma_index_list). Throws DbError.
std::vector<ColumnProperties> readColumnProperties(Database& database, const QStringList& tables);

// One column of a foreign key (a key over two columns gives two, in the key's order).
struct ForeignKeyColumn {
  QString name;  // the constraint's name; "" on the embedded engine
  QString schema, table, column;  // the referencing column
  QString refSchema, refTable, refColumn;  // the referenced one (a unique index's too)
  QString updateRule;  // upper case: "NO ACTION", "CASCADE", "SET NULL", "SET DEFAULT", "RESTRICT"
  bool disabled = false;
};
// Every foreign key of the database (SQL Server: sys.foreign_keys; the embedded engine:
// pragma_foreign_key_list). Throws DbError.
std::vector<ForeignKeyColumn> readForeignKeys(Database& database);

struct CheckConstraint {
  QString name;
  QString schema, table;
  QString column;  // the column it is declared with; "" for a table's constraint
  QString definition;  // the condition as the database keeps it
  bool disabled = false;
};
// Every CHECK constraint of the tables of the catalogue (SQL Server: sys.check_constraints; the
// embedded engine: its tables' declarations, without its own length checks). Throws DbError.
std::vector<CheckConstraint> readChecks(Database& database, const Catalogue& catalogue);

struct TableTrigger {
  QString name;
  QString schema, table;
  bool onUpdate = true;  // runs on an update (the embedded engine: as far as its text tells)
  bool insteadOf = false;  // runs instead of the update (the embedded engine: also a BEFORE trigger that drops it)
  bool disabled = false;
};
// The DML triggers of the tables (not those of views or of the database). Throws DbError.
std::vector<TableTrigger> readTriggers(Database& database);

// ---- Samples ------------------------------------------------------------------------------------

// The first rows (not ordered, not grouped: no whole table is read) of a column that are not
// Null, as one column v: a statement's subquery in the engine's own dialect, so the statement that
// holds it goes through engineStatement. A text or ntext column is read through nvarchar(4000)
// (SQL Server takes no DISTINCT on it).
QString firstValuesSql(Database& database, const CatalogueTable& table, const CatalogueColumn& column, int rows);
// A statement written in the engine's own dialect (it holds firstValuesSql), marked so that the
// embedded engine runs it as it is.
QString engineStatement(Database& database, const QString& sql);

}  // namespace db
