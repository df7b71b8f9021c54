// The embedded engine: a SQLite file through Qt's QSQLITE driver. Every text is translated from
// T-SQL (db/tsql_translate.h) into single statements, which run one by one.
#include <sqlite3.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlDriver>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <optional>
#include <thread>

#include "db/engine.h"
#include "db/sqlite_columns.h"
#include "db/sqlserver_collation.h"
#include "db/tsql_translate.h"

namespace db {
namespace {

// ---- SQL Server's conversions as SQL functions ------------------------------------------------

QString textOf(sqlite3_value* v) {
  const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return QString::fromUtf8(t, sqlite3_value_bytes(v));
}

void resultError(sqlite3_context* ctx, const QString& message) {
  const QByteArray utf8 = message.toUtf8();
  sqlite3_result_error(ctx, utf8.constData(), int(utf8.size()));
}

bool inIntRange(double d) {
  return d >= double(std::numeric_limits<int>::min()) && d <= double(std::numeric_limits<int>::max());
}

// The text without the blanks around it when it is a number as SQL Server reads one from text: a
// sign, digits and, where decimals are allowed, one decimal point; the empty text (which converts to 0).
std::optional<QString> numeral(const QString& text, bool decimals) {
  qsizetype from = 0, to = text.size();
  while (from < to && text[from] == u' ') ++from;
  while (to > from && text[to - 1] == u' ') --to;
  const QString trimmed = text.mid(from, to - from);
  if (trimmed.isEmpty()) return trimmed;
  bool digits = false, point = false;
  for (qsizetype i = (trimmed[0] == u'+' || trimmed[0] == u'-') ? 1 : 0; i < trimmed.size(); ++i) {
    if (trimmed[i] >= u'0' && trimmed[i] <= u'9') {
      digits = true;
    } else if (decimals && !point && trimmed[i] == u'.') {
      point = true;
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  return trimmed;
}

// A text converted to int as SQL Server does it; on failure the context holds SQL Server's error.
std::optional<qint64> textToInt(sqlite3_context* ctx, const QString& text) {
  const std::optional<QString> n = numeral(text, false);
  if (!n) {
    resultError(ctx,
                QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.").arg(text));
    return std::nullopt;
  }
  bool ok = n->isEmpty();
  const qlonglong value = ok ? 0 : n->toLongLong(&ok);
  if (!ok || value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
    resultError(ctx, QStringLiteral("The conversion of the varchar value '%1' overflowed an int column.").arg(text));
    return std::nullopt;
  }
  return value;
}

bool isNumber(sqlite3_value* v) {
  return sqlite3_value_type(v) == SQLITE_INTEGER || sqlite3_value_type(v) == SQLITE_FLOAT;
}

// CONVERT(int, x) as SQL Server does it: Null stays Null; text must be a whole number with an
// optional sign and blanks around it (the empty text gives 0); a number is cut to its whole part.
void tsqlInt(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* v = argv[0];
  if (sqlite3_value_type(v) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (isNumber(v)) {
    const double d = sqlite3_value_double(v);
    if (!inIntRange(d))
      return resultError(ctx, QStringLiteral("Arithmetic overflow error converting expression to data type int."));
    return sqlite3_result_int64(ctx, sqlite3_int64(d));
  }
  if (const std::optional<qint64> n = textToInt(ctx, textOf(v))) sqlite3_result_int64(ctx, *n);
}

// a + b as SQL Server does it between a text and a value whose type only the row tells: Null
// gives Null; a number on either side (a number type outranks the texts) converts the other side
// and adds ('9' + 13 is 22; an int takes whole numbers only, a float a decimal point too); two
// texts concatenate.
void tsqlPlus(sqlite3_context* ctx, int, sqlite3_value** argv) {
  sqlite3_value* a = argv[0];
  sqlite3_value* b = argv[1];
  if (sqlite3_value_type(a) == SQLITE_NULL || sqlite3_value_type(b) == SQLITE_NULL) return sqlite3_result_null(ctx);
  if (!isNumber(a) && !isNumber(b)) {
    QByteArray text(reinterpret_cast<const char*>(sqlite3_value_text(a)), sqlite3_value_bytes(a));
    text.append(reinterpret_cast<const char*>(sqlite3_value_text(b)), sqlite3_value_bytes(b));
    return sqlite3_result_text64(ctx, text.constData(), sqlite3_uint64(text.size()), SQLITE_TRANSIENT, SQLITE_UTF8);
  }
  const bool isFloat = sqlite3_value_type(a) == SQLITE_FLOAT || sqlite3_value_type(b) == SQLITE_FLOAT;
  if (isFloat) {
    double sum = 0;
    for (sqlite3_value* v : {a, b}) {
      if (isNumber(v)) {
        sum += sqlite3_value_double(v);
        continue;
      }
      const std::optional<QString> n = numeral(textOf(v), true);
      if (!n) return resultError(ctx, QStringLiteral("Error converting data type varchar to float."));
      sum += n->isEmpty() ? 0.0 : n->toDouble();
    }
    return sqlite3_result_double(ctx, sum);
  }
  qint64 sum = 0;
  for (sqlite3_value* v : {a, b}) {
    std::optional<qint64> n = isNumber(v) ? std::optional<qint64>(sqlite3_value_int64(v)) : textToInt(ctx, textOf(v));
    if (!n) return;
    if ((*n > 0 && sum > std::numeric_limits<qint64>::max() - *n) ||
        (*n < 0 && sum < std::numeric_limits<qint64>::min() - *n)) {
      return resultError(ctx, QStringLiteral("Arithmetic overflow error converting expression to data type bigint."));
    }
    sum += *n;
  }
  sqlite3_result_int64(ctx, sum);
}

// LEN(x): the number of characters without trailing blanks; Null stays Null.
void tsqlLen(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  QString text = textOf(argv[0]);
  while (text.endsWith(u' ')) text.chop(1);
  sqlite3_result_int64(ctx, text.toUcs4().size());
}

// Adds tsql_int, tsql_len, tsql_plus and the collation SQLSERVER_CI to the connection; returns the
// failure's text, empty on success.
QString registerFunctions(const QSqlDatabase& d) {
  const QVariant handle = d.driver()->handle();
  if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
    return QStringLiteral("The SQLite driver gave no database handle.");
  }
  sqlite3* h = *static_cast<sqlite3* const*>(handle.constData());
  // Where Qt's driver carries a copy of SQLite of its own (on Windows it is linked into
  // qsqlite.dll, the tool links the same build of the same version), this copy sets up its
  // mutexes and memory functions before it touches the driver's connection; where both share
  // the system's library, SQLite is set up already and this does nothing.
  if (const int rc = sqlite3_initialize(); rc != SQLITE_OK) return QString::fromUtf8(sqlite3_errstr(rc));
  const struct {
    const char* name;
    int arguments;
    void (*fn)(sqlite3_context*, int, sqlite3_value**);
  } functions[] = {{"tsql_int", 1, tsqlInt}, {"tsql_len", 1, tsqlLen}, {"tsql_plus", 2, tsqlPlus}};
  for (const auto& f : functions) {
    if (sqlite3_create_function(h, f.name, f.arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, f.fn, nullptr,
                                nullptr) != SQLITE_OK) {
      return QString::fromUtf8(sqlite3_errmsg(h));
    }
  }
  if (sqlite3_create_collation_v2(h, collation::kName, SQLITE_UTF8, nullptr, collation::sqliteCompare, nullptr) !=
      SQLITE_OK) {
    return QString::fromUtf8(sqlite3_errmsg(h));
  }
  sqlite3_test_control(SQLITE_TESTCTRL_OPTIMIZATIONS, h, collation::kUnsafeOptimizations);
  return {};
}

// A statement's failure as SQL Server reports it: a length check (named with SQL Server's text,
// db/sqlite_columns.h) fails with that text alone.
[[noreturn]] void failAsServer(const QSqlError& e) {
  const QString text = errorText(e);
  const QString truncated = kTruncated.toString();
  if (text == QStringLiteral("CHECK constraint failed: ") + truncated) throw DbError(truncated);
  fail(e);
}

// ---- the engine -------------------------------------------------------------------------------

// UPDATE, INSERT, DELETE, SELECT and WITH give SQL Server a result (a row count or rows).
bool givesResult(const QString& statement) {
  const QString first = statement.trimmed().section(u' ', 0, 0).toUpper();
  return first == u"UPDATE" || first == u"INSERT" || first == u"DELETE" || first == u"SELECT" || first == u"WITH";
}

class SqliteEngine : public Engine {
 public:
  explicit SqliteEngine(const QString& name) : Engine(EngineKind::Sqlite, name) {}

  Recordset open(const QString& sql) override {
    const QStringList statements = translateTsqlToSqlite(sql);
    if (statements.isEmpty()) throw DbError(QStringLiteral("The statement text is empty."));
    for (qsizetype i = 0; i + 1 < statements.size(); ++i) run(statements[i]);  // the rows are the last one's
    SharedQuery q = newQuery();
    if (!(*q)->exec(statements.last())) failAsServer((*q)->lastError());
    auto cursor = std::make_unique<QueryCursor>(q);
    cursor->fetch();
    return Recordset(std::move(cursor));
  }

  void execute(const QString& sql) override {
    bool stop = false;
    const QStringList statements = translateTsqlToSqlite(sql, [&] { stop = stop || (busy && !busy()); });
    if (stop) throw DbError(QStringLiteral("interrupted"), Cause::Stopped);
    int index = 0;  // among the statements that give a result, as SQL Server counts them
    for (const QString& statement : statements) {
      if (busy && !busy()) throw DbError(QStringLiteral("interrupted"), Cause::Stopped);
      try {
        run(statement);
      } catch (const DbError& e) {
        throw e.cause() == Cause::Stopped ? e : e.atStatement(index);
      }
      if (givesResult(statement)) ++index;
    }
  }

  qint64 insert(const QString& insertSql, const QVariantList& values) override {
    QSqlQuery q = prepared(insertSql + QStringLiteral(" RETURNING ID"), values);
    if (!q.next()) failAsServer(q.lastError());
    const qint64 id = q.value(0).toLongLong();
    q.finish();
    return id;
  }

  void update(const QString& updateSql, const QVariantList& values) override { prepared(updateSql, values); }

  Recordset openOwn(const QString& sql, const QVariantList& values) override {
    SharedQuery q = newQuery();
    if (!(*q)->prepare(sql)) fail((*q)->lastError());
    for (const QVariant& v : values) (*q)->addBindValue(v);
    if (!(*q)->exec()) fail((*q)->lastError());
    auto cursor = std::make_unique<QueryCursor>(q);
    cursor->fetch();
    return Recordset(std::move(cursor));
  }

  // The commit writes the changed pages and flushes the file, which takes a while on a slow disk.
  // With a busy hook set it runs on a thread of its own while this one keeps calling the hook (a
  // stop can no longer be heard): the connection is used by one thread at a time, since the hook
  // may not use the database.
  void commit() override {
    if (!watched) return Engine::commit();
    sqlite3* h = handle();
    std::atomic<bool> done{false};
    int rc = SQLITE_OK;
    QString error;
    std::thread worker([&] {
      char* message = nullptr;
      rc = sqlite3_exec(h, "COMMIT", nullptr, nullptr, &message);
      if (message) {
        error = QString::fromUtf8(message);
        sqlite3_free(message);
      }
      done = true;
    });
    while (!done) {
      busy();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    worker.join();
    if (rc != SQLITE_OK) {
      const int primary = rc & 0xff;
      const Cause cause = primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? Cause::LockTimeOut
                          : primary == SQLITE_READONLY                       ? Cause::ReadOnly
                                                                             : Cause::Other;
      throw DbError(error.isEmpty() ? QString::fromUtf8(sqlite3_errstr(rc)) : error, cause, primary);
    }
  }

  void rollback() override {
    if (sqlite3_get_autocommit(handle())) return;  // already rolled back (RAISE(ROLLBACK) in a trigger)
    Engine::rollback();
  }

  // The busy hook runs during a statement's own work, every kProgressSteps steps of SQLite's
  // machine; a stop interrupts the statement (SQLite then rolls back a change it had begun).
  static constexpr int kProgressSteps = 1000;
  static int onProgress(void* engine) {
    const auto* self = static_cast<const SqliteEngine*>(engine);
    if (std::this_thread::get_id() != self->owner_) return 0;  // the commit's own thread
    return self->busy && !self->busy() ? 1 : 0;
  }
  void watchProgress() { sqlite3_progress_handler(handle(), kProgressSteps, &SqliteEngine::onProgress, this); }

  // A lock another connection holds is waited for up to kLockWaitMs, sleeping kLockStepMs at a
  // time; between the sleeps the busy hook is called (from this thread: the commit's own thread
  // only sleeps), so that the window keeps painting, and a false ends the wait: the statement then
  // fails with SQLite's "database is locked". (A "PRAGMA busy_timeout" sets SQLite's own wait instead.)
  static constexpr int kLockWaitMs = 5000;
  static constexpr int kLockStepMs = 10;
  static int onLocked(void* engine, int count) {
    auto* self = static_cast<SqliteEngine*>(engine);
    const auto now = std::chrono::steady_clock::now();
    if (count == 0) self->lockWaitStart_ = now;
    const auto left = std::chrono::milliseconds(kLockWaitMs) - (now - self->lockWaitStart_);
    if (left <= std::chrono::milliseconds(0)) return 0;
    if (std::this_thread::get_id() == self->owner_ && self->busy && !self->busy()) return 0;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(kLockStepMs)));
    return 1;
  }
  void waitForLocks() { sqlite3_busy_handler(handle(), &SqliteEngine::onLocked, this); }
  std::chrono::steady_clock::time_point lockWaitStart_;

  const std::thread::id owner_ = std::this_thread::get_id();

  sqlite3* handle() const { return *static_cast<sqlite3* const*>(connection().driver()->handle().constData()); }

 private:
  // Runs one statement to its end, so that a failure on any row is reported.
  void run(const QString& statement) {
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    if (!q.exec(statement)) failAsServer(q.lastError());
    while (q.isSelect() && q.next()) {}
    if (q.lastError().isValid()) failAsServer(q.lastError());
  }

  QSqlQuery prepared(const QString& sql, const QVariantList& values) {
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    if (!q.prepare(sql)) failAsServer(q.lastError());
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec()) failAsServer(q.lastError());
    return q;
  }
};

// Opens the engine's connection; returns the failure's text, empty on success.
QString connect(const SqliteEngine& engine, const QString& absolutePath, bool create) {
  QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), engine.connectionName());
  // mode=rw never creates a file, even if it vanished since it was checked.
  d.setDatabaseName(QUrl::fromLocalFile(absolutePath).toString(QUrl::FullyEncoded) +
                    (create ? QStringLiteral("?mode=rwc") : QStringLiteral("?mode=rw")));
  // SQLite's own wait for a lock while the file is checked; the engine's own wait follows (waitForLocks).
  d.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=5000"));
  if (!d.open()) return errorText(d.lastError());
  QSqlQuery check(d);
  // Reading the schema tells a database from any other file; foreign keys stay off as on the host.
  if (!check.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) ||
      !check.exec(QStringLiteral("PRAGMA foreign_keys = OFF"))) {
    return errorText(check.lastError());
  }
  return registerFunctions(d);
}

}  // namespace

std::unique_ptr<Engine> openSqliteEngine(const QString& path, bool create, QString* error) {
  const QFileInfo file(path);
  const QString prefix = QStringLiteral("Cannot open the database file \"%1\": ").arg(QDir::toNativeSeparators(path));
  if (path.isEmpty()) {
    *error = QStringLiteral("No database file is named.");
    return nullptr;
  }
  if (!create && !file.exists()) {
    *error = prefix + QStringLiteral("the file does not exist.");
    return nullptr;
  }
  if (file.isDir()) {
    *error = prefix + QStringLiteral("it is a folder.");
    return nullptr;
  }
  if (!create && !file.isReadable()) {
    *error = prefix + QStringLiteral("the file cannot be read.");
    return nullptr;
  }
  if (create && file.exists() && file.size() > 0) {
    *error = QStringLiteral("Cannot create the database file \"%1\": the file already exists.")
                 .arg(QDir::toNativeSeparators(path));
    return nullptr;
  }

  auto engine = std::make_unique<SqliteEngine>(newConnectionName());
  const QString failure = connect(*engine, file.absoluteFilePath(), create);
  if (failure.isEmpty()) {
    engine->watchProgress();
    engine->waitForLocks();
    return engine;
  }
  *error = prefix + failure;
  return nullptr;  // the engine removes its connection
}

}  // namespace db
