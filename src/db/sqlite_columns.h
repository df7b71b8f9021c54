#pragma once
// Character columns in the embedded engine's tables, declared so that they behave as SQL Server's:
// they compare under the collation db/sqlserver_collation.h (the database's default collation,
// as a site's Chinese_PRC_CI_AS), and a declared length refuses a longer value with SQL Server's
// text. The checks use only SQLite's own functions, so they hold in any program that writes the file.
#include <QString>
#include <QStringView>
#include <vector>

namespace db {

// SQL Server's text for a value longer than its column; the name of every length check.
inline constexpr QStringView kTruncated = u"String or binary data would be truncated.";

// What follows a character column's declared type (nvarchar(50), varchar(20), nchar(10), char(4),
// text, ntext, nvarchar(max); any letter case) in the embedded schema: " COLLATE SQLSERVER_CI"
// unless withCollation is false (the column names a collation of its own), and for a declared
// length " CONSTRAINT \"String or binary data would be truncated.\" CHECK (...)". A national type
// (n...) counts characters; char and varchar count the bytes of the site's code page (936: two
// for a character beyond ASCII). Blanks at the end do not count: SQL Server drops them silently.
// Empty when type is no character type. quotedColumn is the column's name as the statement writes it.
QString sqliteCharacterConstraints(const QString& quotedColumn, const QString& type, bool withCollation = true);

// ---- The declarations read back --------------------------------------------------------------
// SQLite keeps a table's declaration as its CREATE TABLE text (sqlite_master.sql). What SQL
// Server's catalogue tells of a column's collation (sys.columns.collation_name) and of the CHECK
// constraints (sys.check_constraints) is read back from that text.

// The collation SQLite gives a character column that names none (a table another program made).
inline constexpr QStringView kSqliteDefaultCollation = u"BINARY";

struct SqliteCheck {
  QString name;  // the constraint's name; "" when it has none
  int column = -1;  // the place of the column it is declared with (pragma_table_xinfo's cid); -1 for a table constraint
  QString definition;  // the condition as written, with its parentheses: "(工号 <> '')"
};

struct SqliteTableDeclaration {
  std::vector<QString> collations;  // per column, in the order of declaration: the collation it names, "" for none
  std::vector<SqliteCheck> checks;  // the declared CHECK constraints, without the length checks above
};

// The columns' collations and the CHECK constraints of a CREATE TABLE text as SQLite keeps it
// (columns added later by ALTER TABLE stand at its end, after any table constraint). Names may be
// plain, bracketed, double-quoted or between grave accents. An unreadable text gives what was read.
SqliteTableDeclaration sqliteTableDeclaration(const QString& createTable);

}  // namespace db
