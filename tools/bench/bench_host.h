#pragma once
// The benchmark's host databases: a generated database kept per scale in the cache folder, and
// scratch copies of it that the measurements change. Helpers that run SQL directly on the
// shared connection's handle, past the tool's own statement layer (the "bare" statements).
#include <QString>
#include <QStringList>
#include <array>
#include <functional>

#include "host/host_tables.h"

namespace db {
class Database;
}
namespace session {
class Session;
}

namespace bench {

// The cache file of a scale: host-<employees>-<reference rows>.db in dir.
QString cachePath(const QString& dir, int employees, int rowsPerEmployee);
// Generates the cache file when it is missing (into a .part file first, renamed when complete).
// progress receives one line per step. Throws std::runtime_error.
QString ensureCache(const QString& dir, int employees, int rowsPerEmployee,
                    const std::function<void(const QString&)>& progress);

// The connection every measure works on (openCopy opens it) and the session on it, for the run.
db::Database& connection();
session::Session& session();
// Makes database the connection of the direct SQL below (a test's own), until called with nullptr.
void useConnection(db::Database* database);

// Copies source over target (replacing it) and opens target as the benchmark's connection.
// Throws std::runtime_error.
void openCopy(const QString& source, const QString& target);
// Closes the benchmark's connection.
void closeShared();

// ---- Direct SQL on the benchmark's connection's handle (no translation, no statement log) --------

// Runs statements one after another; inside one transaction (BEGIN ... COMMIT) or each in
// autocommit. Throws std::runtime_error with the database's text.
void runBare(const QStringList& statements, bool oneTransaction);
void runBare(const QString& statement);
// The first field of the first row as text ("" for no row or Null).
QString scalar(const QString& sql);
// The first field of every row.
QStringList column(const QString& sql);

// The plain SQLite statements that rename oldNo to newNo along a cascade, one per column.
template <std::size_t N>
QStringList renameStatements(const std::array<host::RefColumn, N>& cascade, const QString& oldNo, const QString& newNo);
QStringList renameStatements(const host::RefColumn* first, std::size_t count, const QString& oldNo,
                             const QString& newNo);
template <std::size_t N>
QStringList renameStatements(const std::array<host::RefColumn, N>& cascade, const QString& oldNo,
                             const QString& newNo) {
  return renameStatements(cascade.data(), N, oldNo, newNo);
}

// The plain SQLite statements of the staging script: "9" put in front of every number held by an
// employee without a position, table by table, the register last.
QStringList stagingStatements();

// A text list for "In (...)": every value quoted, joined by commas.
QString quotedList(const QStringList& values);

}  // namespace bench
