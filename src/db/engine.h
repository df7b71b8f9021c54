#pragma once
// Inside the connection: the engine behind db::Database, and the two kinds of cursor
// behind db::Recordset. Not for use outside db/.
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "db/database.h"

namespace db {

// How SQLite words a foreign key and a CHECK constraint that refuse a change (the check's name
// follows).
inline constexpr QStringView kSqliteForeignKeyFailed = u"FOREIGN KEY constraint failed";
inline constexpr QStringView kSqliteCheckFailed = u"CHECK constraint failed: ";
// How SQLite words a table that is not there (the table's name follows).
inline constexpr QStringView kSqliteNoSuchTable = u"no such table: ";

// The database's own text of a Qt SQL error (the driver's summary when the database gave none).
QString errorText(const QSqlError& e);
// Throws the embedded engine's failure as DbError, with the cause its code or text names: an
// interrupted statement (Stopped), a lock held past the busy time-out (LockTimeOut), a foreign key
// (ForeignKey), a CHECK constraint other than a length check (Check), a database that takes no
// writes (ReadOnly) or a table that is not there (MissingTable).
[[noreturn]] void fail(const QSqlError& e);

struct Recordset::Impl {
  virtual ~Impl() = default;
  // Moves to the next row: sets row, or eof when there is none. Throws DbError.
  virtual void fetch() = 0;

  QStringList columns;
  QVariantList row;  // the current row; Null fields are null QVariants
  bool eof = true;
};

// A query that its engine can empty when the connection closes.
using SharedQuery = std::shared_ptr<std::optional<QSqlQuery>>;

// Rows read one by one from a live query: a failure on a later row surfaces when it is reached.
// A cursor whose connection has closed reads as ended.
struct QueryCursor : Recordset::Impl {
  explicit QueryCursor(SharedQuery q);
  void fetch() override;
  SharedQuery query;
};

// Rows read in full when the recordset was opened.
struct BufferedRows : Recordset::Impl {
  void fetch() override;
  std::vector<QVariantList> rows;
  size_t next = 0;
};

// One open connection. Database logs and checks; the engine runs.
class Engine {
 public:
  Engine(EngineKind kind, QString connectionName);
  virtual ~Engine();
  EngineKind kind() const { return kind_; }
  QString connectionName() const { return name_; }
  QSqlDatabase connection() const;

  virtual Recordset open(const QString& sql) = 0;
  virtual void execute(const QString& sql) = 0;
  // insertSql / updateSql carry one ? per value, in order.
  virtual qint64 insert(const QString& insertSql, const QVariantList& values) = 0;
  virtual void update(const QString& updateSql, const QVariantList& values) = 0;

  // A statement in the engine's own dialect, untranslated, with one value per ? (the embedded
  // engine only; the others throw DbError).
  virtual Recordset openOwn(const QString& sql, const QVariantList& values);

  virtual void begin();
  virtual void commit();
  virtual void rollback();
  // The server's count of open transactions (@@TRANCOUNT) on an engine that has one; none elsewhere.
  virtual std::optional<int> transactionCount() { return std::nullopt; }

  // Called by the engine while a statement runs (see Database::setBusyHook); false asks it to
  // stop. Set by the database that owns the engine.
  std::function<bool()> busy;
  bool watched = false;  // a busy hook is set: long waits keep calling busy

 protected:
  // A forward-only query on this connection; it is emptied when the connection closes, so a
  // recordset that outlives the connection reads as ended instead of touching a closed handle.
  SharedQuery newQuery();

 private:
  EngineKind kind_;
  QString name_;
  std::vector<std::weak_ptr<std::optional<QSqlQuery>>> queries_;
};

// A new unique Qt connection name.
QString newConnectionName();

std::unique_ptr<Engine> openSqliteEngine(const QString& path, bool create, QString* error);
std::unique_ptr<Engine> openOdbcEngine(const QString& connectionString, int loginTimeoutSeconds, QString* error);
// The SQL Server engine over an open ODBC connection; on SQL Server it first sends the session
// settings (odbc::kSessionSettings). Null with *error when they fail.
std::unique_ptr<Engine> odbcEngineOn(std::unique_ptr<odbc::Connection> connection, QString* error);

}  // namespace db
