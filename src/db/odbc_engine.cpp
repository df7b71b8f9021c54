// The SQL Server engine: the driver manager's ODBC calls, connected without a data source name.
// Texts are sent as built. A text may hold several statements: every result of the batch is read,
// every row of every result set included, and every call's diagnostic records are read, so that a
// failing later statement is reported, whether the driver returns it as SQL_ERROR or, as ODBC
// has it for a statement after the first, as SQL_SUCCESS_WITH_INFO. Reads are read in full when
// opened, so that no pending result blocks the next statement on the connection.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <iterator>
#include <mutex>
#include <thread>

#include "db/engine.h"
#include "db/odbc_connection.h"

namespace db {
namespace odbc {

QStringList installedDrivers() {
  QStringList names;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  // The wide call, as every other call of the engine: a driver's name in any language, on any system.
  SQLWCHAR description[512];
  SQLWCHAR attributes[2048];
  SQLSMALLINT descriptionLength = 0, attributesLength = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (SQL_SUCCEEDED(SQLDriversW(env, direction, description, SQLSMALLINT(std::size(description)), &descriptionLength,
                                   attributes, SQLSMALLINT(std::size(attributes)), &attributesLength))) {
    const qsizetype length = std::min<qsizetype>(descriptionLength, qsizetype(std::size(description)) - 1);
    names << QString::fromUtf16(reinterpret_cast<const char16_t*>(description), length);
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return names;
}

QString noDriverMessage() {
#ifdef _WIN32
  return QStringLiteral(
      "没有安装SQL Server的ODBC驱动程序，不能连接数据库。请安装微软的“ODBC Driver 17 for SQL Server”"
      "（或“ODBC Driver 18 for SQL Server”）后再试。");
#else
  return QStringLiteral(
      "没有安装SQL Server的ODBC驱动程序，不能连接数据库。请安装FreeTDS的ODBC驱动程序（Debian软件包tdsodbc）"
      "并在unixODBC中登记后再试。");
#endif
}

bool isFreeTds(const QString& driver) { return driver.contains(QStringLiteral("FreeTDS"), Qt::CaseInsensitive); }

QString chooseSqlServerDriver(const QStringList& installed) {
#ifdef _WIN32
  // Driver 17 first: Driver 18 refuses a server's own certificate where 17 connects.
  const QStringList preferred = {QStringLiteral("ODBC Driver 17 for SQL Server"),
                                 QStringLiteral("ODBC Driver 18 for SQL Server"),
                                 QStringLiteral("SQL Server Native Client 11.0"), QStringLiteral("SQL Server")};
#else
  const QStringList preferred = {QStringLiteral("FreeTDS"), QStringLiteral("ODBC Driver 18 for SQL Server"),
                                 QStringLiteral("ODBC Driver 17 for SQL Server")};
#endif
  for (const QString& name : preferred) {
    for (const QString& driver : installed) {
      if (driver.compare(name, Qt::CaseInsensitive) == 0) return driver;
    }
  }
  for (const QString& part : {QStringLiteral("FreeTDS"), QStringLiteral("SQL Server")}) {
    for (const QString& driver : installed) {
      if (driver.contains(part, Qt::CaseInsensitive)) return driver;
    }
  }
  return {};
}

QString connectionString(const QString& driver, const QString& uid, const QString& pwd, const QString& dbName,
                         const QString& server, QString* refusal) {
  const bool freeTds = isFreeTds(driver);
  const struct {
    QStringView key;
    const QString& value;
    QStringView what;
  } items[] = {{u"DRIVER", driver, u"driver name"},
               {u"SERVER", server, u"server (Svr)"},
               {u"UID", uid, u"login name (UID)"},
               {u"PWD", pwd, u"password (PWD)"},
               {u"DATABASE", dbName, u"database name (DBname)"}};
  QString text;
  for (const auto& item : items) {
    QString value = item.value;
    if (freeTds && value.contains(QStringLiteral("};"))) {
      if (refusal) {
        *refusal =
            QStringLiteral("The %1 holds \"};\", which the FreeTDS ODBC driver cannot take in a connection string.")
                .arg(item.what);
      }
      return {};
    }
    if (!freeTds) value.replace(u'}', QStringLiteral("}}"));
    text += QStringLiteral("%1={%2};").arg(item.key, value);
  }
  // TDS 7.4 names SQL Server's protocol: left to choose, FreeTDS retries a timed-out login with
  // Sybase's protocol and then waits without limit for the server to confirm the logout.
  if (freeTds) text += QStringLiteral("ClientCharset=UTF-8;TDS_Version=7.4;");
  // FreeTDS takes a port from "host,port" or an instance from "host\instance"; a plain host name
  // has no port of its own there ("invalid port number"), so it gets SQL Server's usual one.
  if (freeTds && !server.contains(u',') && !server.contains(u'\\')) text += QStringLiteral("Port=1433;");
  // Microsoft's Driver 18 and later encrypt by default and refuse a certificate they do not trust
  // (a legacy server's own one), with Encrypt=Optional too when the server forces encryption; the
  // tool connects as Driver 17 did, encrypting when the server asks and trusting its certificate.
  static const QRegularExpression microsoft(QStringLiteral("^ODBC Driver (\\d+) for SQL Server$"),
                                            QRegularExpression::CaseInsensitiveOption);
  if (const auto m = microsoft.match(driver.trimmed()); m.hasMatch() && m.captured(1).toInt() >= 18) {
    text += QStringLiteral("Encrypt=Optional;TrustServerCertificate=yes;");
  }
  return text;
}

}  // namespace odbc

// ---- the driver manager's calls ----------------------------------------------------------------

namespace odbc {
namespace {

static_assert(kNullTerminated == SQL_NTS);

SQLWCHAR* wide(const char16_t* text) { return const_cast<SQLWCHAR*>(reinterpret_cast<const SQLWCHAR*>(text)); }
SQLWCHAR* wide(const QString& text) { return wide(reinterpret_cast<const char16_t*>(text.utf16())); }

QString fromWide(const SQLWCHAR* text, qsizetype length) {
  // A name or text ends at its first NUL: a driver that gives a length in bytes instead of
  // characters leaves the rest of its buffer behind a non-ASCII name.
  QString s = QString::fromUtf16(reinterpret_cast<const char16_t*>(text), length);
  const qsizetype nul = s.indexOf(QChar(u'\0'));
  if (nul >= 0) s.truncate(nul);
  return s;
}

// Every diagnostic record that a call on handle left.
QList<Diagnostic> diagnosticsOf(SQLSMALLINT type, SQLHANDLE handle) {
  QList<Diagnostic> out;
  for (SQLSMALLINT i = 1;; ++i) {
    SQLWCHAR state[6] = {};
    SQLINTEGER native = 0;
    std::vector<SQLWCHAR> text(1024);
    SQLSMALLINT length = 0;
    SQLRETURN r = SQLGetDiagRecW(type, handle, i, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
    if (r == SQL_SUCCESS_WITH_INFO && length >= SQLSMALLINT(text.size())) {  // a longer text
      text.resize(size_t(length) + 1);
      r = SQLGetDiagRecW(type, handle, i, state, &native, text.data(), SQLSMALLINT(text.size()), &length);
    }
    if (!SQL_SUCCEEDED(r)) break;
    out << Diagnostic{fromWide(state, 5), int(native),
                      fromWide(text.data(), std::min<qsizetype>(length, qsizetype(text.size()) - 1))};
  }
  return out;
}

Outcome outcome(SQLRETURN r, SQLSMALLINT type, SQLHANDLE handle) {
  Outcome o;
  switch (r) {
    case SQL_SUCCESS: o.rc = Outcome::Return::Success; return o;  // no records are left
    case SQL_SUCCESS_WITH_INFO: o.rc = Outcome::Return::SuccessWithInfo; break;
    case SQL_NO_DATA: o.rc = Outcome::Return::NoData; break;
    default: o.rc = Outcome::Return::Error; break;
  }
  if (r != SQL_INVALID_HANDLE) o.diagnostics = diagnosticsOf(type, handle);
  return o;
}

class DmStatement : public Statement {
 public:
  explicit DmStatement(SQLHSTMT h) : h_(h) {}
  ~DmStatement() override { SQLFreeHandle(SQL_HANDLE_STMT, h_); }

  Outcome execute(const char16_t* text, qint32 length, const QVariantList& values) override {
    params_.clear();
    for (const QVariant& v : values) {
      const Outcome o = bind(SQLUSMALLINT(params_.size() + 1), v);
      if (o.rc == Outcome::Return::Error) return o;
    }
    return done(SQLExecDirectW(h_, wide(text), SQLINTEGER(length)));
  }

  Outcome moreResults() override { return done(SQLMoreResults(h_)); }

  Outcome columns(QStringList* names) override {
    names->clear();
    types_.clear();
    SQLSMALLINT n = 0;
    Outcome o = done(SQLNumResultCols(h_, &n));
    for (SQLSMALLINT i = 1; i <= n && o.rc != Outcome::Return::Error; ++i) {
      SQLWCHAR name[256] = {};
      SQLSMALLINT length = 0, type = 0, digits = 0, nullable = 0;
      SQLULEN size = 0;
      o = done(SQLDescribeColW(h_, SQLUSMALLINT(i), name, 256, &length, &type, &size, &digits, &nullable));
      *names << fromWide(name, std::min<qsizetype>(length, 255));
      types_ << type;
    }
    return o;
  }

  Outcome fetch() override { return done(SQLFetch(h_)); }

  Outcome row(QVariantList* values) override {
    values->clear();
    for (qsizetype i = 0; i < types_.size(); ++i) {
      QVariant v;
      const Outcome o = field(SQLUSMALLINT(i + 1), types_[i], &v);
      if (o.rc == Outcome::Return::Error) return o;
      *values << v;
    }
    return {};
  }

  void cancel() override { SQLCancel(h_); }

 private:
  // A bound value and its buffer, which lives until the next execution.
  struct Param {
    QString text;
    QByteArray bytes;
    qint64 integer = 0;
    double real = 0;
    SQL_TIMESTAMP_STRUCT stamp{};
    SQLLEN indicator = 0;
  };

  Outcome done(SQLRETURN r) { return outcome(r, SQL_HANDLE_STMT, h_); }

  Outcome bind(SQLUSMALLINT index, const QVariant& v) {
    Param& p = params_.emplace_back();
    SQLSMALLINT cType = SQL_C_WCHAR, sqlType = SQL_WVARCHAR, digits = 0;
    SQLULEN size = 1;
    SQLPOINTER data = nullptr;
    SQLLEN length = 0;
    const int id = v.typeId();
    if (v.isNull()) {
      p.indicator = SQL_NULL_DATA;
    } else if (id == QMetaType::Bool || id == QMetaType::Int || id == QMetaType::UInt || id == QMetaType::LongLong ||
               id == QMetaType::Short || id == QMetaType::UShort || id == QMetaType::Char || id == QMetaType::UChar) {
      p.integer = v.toLongLong();
      cType = SQL_C_SBIGINT;
      sqlType = SQL_BIGINT;
      data = &p.integer;
    } else if (id == QMetaType::Double || id == QMetaType::Float) {
      p.real = v.toDouble();
      cType = SQL_C_DOUBLE;
      sqlType = SQL_DOUBLE;
      data = &p.real;
    } else if (id == QMetaType::QDateTime || id == QMetaType::QDate) {
      const QDateTime t = v.toDateTime();
      p.stamp = {SQLSMALLINT(t.date().year()),           SQLUSMALLINT(t.date().month()),
                 SQLUSMALLINT(t.date().day()),           SQLUSMALLINT(t.time().hour()),
                 SQLUSMALLINT(t.time().minute()),        SQLUSMALLINT(t.time().second()),
                 SQLUINTEGER(t.time().msec()) * 1000000u};
      cType = SQL_C_TYPE_TIMESTAMP;
      sqlType = SQL_TYPE_TIMESTAMP;
      size = 23;
      digits = 3;
      data = &p.stamp;
    } else if (id == QMetaType::QByteArray) {
      p.bytes = v.toByteArray();
      cType = SQL_C_BINARY;
      sqlType = p.bytes.size() > 8000 ? SQL_LONGVARBINARY : SQL_VARBINARY;
      size = SQLULEN(std::max<qsizetype>(1, p.bytes.size()));
      data = p.bytes.data();
      length = p.indicator = SQLLEN(p.bytes.size());
    } else {
      p.text = v.toString();
      sqlType = p.text.size() > 4000 ? SQL_WLONGVARCHAR : SQL_WVARCHAR;
      size = SQLULEN(std::max<qsizetype>(1, p.text.size()));
      data = const_cast<ushort*>(p.text.utf16());
      length = p.indicator = SQLLEN(p.text.size() * 2);
    }
    return done(SQLBindParameter(h_, index, SQL_PARAM_INPUT, cType, sqlType, size, digits, data, length, &p.indicator));
  }

  // Reads field i, of SQL type type, in pieces when it is long.
  Outcome field(SQLUSMALLINT i, SQLSMALLINT type, QVariant* out) {
    SQLLEN indicator = 0;
    switch (type) {
      case SQL_BIT:
      case SQL_TINYINT:
      case SQL_SMALLINT:
      case SQL_INTEGER:
      case SQL_BIGINT: {
        qint64 n = 0;
        const Outcome o = done(SQLGetData(h_, i, SQL_C_SBIGINT, &n, 0, &indicator));
        if (o.rc != Outcome::Return::Error && indicator != SQL_NULL_DATA) *out = qlonglong(n);
        return o;
      }
      case SQL_REAL:
      case SQL_FLOAT:
      case SQL_DOUBLE: {
        double d = 0;
        const Outcome o = done(SQLGetData(h_, i, SQL_C_DOUBLE, &d, 0, &indicator));
        if (o.rc != Outcome::Return::Error && indicator != SQL_NULL_DATA) *out = d;
        return o;
      }
      case SQL_TYPE_TIMESTAMP:
      case SQL_TYPE_DATE: {
        SQL_TIMESTAMP_STRUCT t{};
        const Outcome o = done(SQLGetData(h_, i, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &indicator));
        if (o.rc != Outcome::Return::Error && indicator != SQL_NULL_DATA) {
          *out = QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, int(t.fraction / 1000000)));
        }
        return o;
      }
      case SQL_BINARY:
      case SQL_VARBINARY:
      case SQL_LONGVARBINARY: return pieces(i, SQL_C_BINARY, out);
      default: return pieces(i, SQL_C_WCHAR, out);
    }
  }

  // Text or binary data, read in pieces until its end.
  Outcome pieces(SQLUSMALLINT i, SQLSMALLINT cType, QVariant* out) {
    QByteArray all;
    bool isNull = false;
    std::vector<char> buffer(8192);
    const qsizetype terminator = cType == SQL_C_WCHAR ? 2 : 0;
    for (;;) {
      SQLLEN indicator = 0;
      const SQLRETURN r = SQLGetData(h_, i, cType, buffer.data(), SQLLEN(buffer.size()), &indicator);
      if (r == SQL_NO_DATA) break;
      if (!SQL_SUCCEEDED(r)) return done(r);
      if (indicator == SQL_NULL_DATA) {
        isNull = true;
        break;
      }
      const bool whole = indicator != SQL_NO_TOTAL && indicator <= SQLLEN(buffer.size()) - terminator;
      all.append(buffer.data(), whole ? qsizetype(indicator) : qsizetype(buffer.size()) - terminator);
      if (r == SQL_SUCCESS || whole) break;
    }
    if (isNull)
      *out = QVariant();
    else if (cType == SQL_C_BINARY)
      *out = all;
    else
      *out = QString::fromUtf16(reinterpret_cast<const char16_t*>(all.constData()), all.size() / 2);
    return {};
  }

  SQLHSTMT h_;
  std::deque<Param> params_;  // a deque: a bound buffer never moves
  QList<SQLSMALLINT> types_;
};

class DmConnection : public Connection {
 public:
  ~DmConnection() override {
    if (connected_) SQLDisconnect(dbc_);
    if (dbc_) SQLFreeHandle(SQL_HANDLE_DBC, dbc_);
    if (env_) SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }

  // The failure's text, empty on success.
  QString connect(const QString& connectionString, int loginTimeoutSeconds) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_))) {
      env_ = SQL_NULL_HENV;
      return QStringLiteral("The ODBC driver manager cannot be used (no environment handle).");
    }
    SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc_))) {
      dbc_ = SQL_NULL_HDBC;
      return QStringLiteral("The ODBC driver manager cannot be used (no connection handle).");
    }
    SQLSetConnectAttrW(dbc_, SQL_ATTR_LOGIN_TIMEOUT,
                       reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(loginTimeoutSeconds)), 0);
    SQLWCHAR out[1024];
    SQLSMALLINT outLength = 0;
    const SQLRETURN r =
        SQLDriverConnectW(dbc_, nullptr, wide(connectionString), SQL_NTS, out, 1024, &outLength, SQL_DRIVER_NOPROMPT);
    if (SQL_SUCCEEDED(r)) {
      connected_ = true;
      return {};
    }
    QStringList texts;
    for (const Diagnostic& d : diagnosticsOf(SQL_HANDLE_DBC, dbc_)) texts << d.text.trimmed();
    return texts.isEmpty() ? QStringLiteral("The ODBC driver refused the connection without a description.")
                           : texts.join(u' ');
  }

  std::unique_ptr<Statement> statement(Outcome* failure) override {
    SQLHSTMT h = SQL_NULL_HSTMT;
    const SQLRETURN r = SQLAllocHandle(SQL_HANDLE_STMT, dbc_, &h);
    if (SQL_SUCCEEDED(r)) return std::make_unique<DmStatement>(h);
    *failure = outcome(r, SQL_HANDLE_DBC, dbc_);
    return nullptr;
  }

  QString dbmsName() override {
    SQLWCHAR name[256] = {};
    SQLSMALLINT length = 0;
    if (!SQL_SUCCEEDED(SQLGetInfoW(dbc_, SQL_DBMS_NAME, name, sizeof name, &length))) return {};
    return fromWide(name, std::min<qsizetype>(length / 2, 255));
  }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  SQLHDBC dbc_ = SQL_NULL_HDBC;
  bool connected_ = false;
};

}  // namespace

std::unique_ptr<Connection> driverConnect(const QString& connectionString, int loginTimeoutSeconds, QString* error) {
  auto connection = std::make_unique<DmConnection>();
  const QString failure = connection->connect(connectionString, loginTimeoutSeconds);
  if (failure.isEmpty()) return connection;
  *error = failure;
  return nullptr;
}

}  // namespace odbc

// ---- the engine -------------------------------------------------------------------------------

namespace {

using odbc::Outcome;

// A thread that runs the connection's calls one job at a time while the thread that hands them
// over waits, calling its waiting function every few milliseconds. The connection is used by one
// thread at a time; only SQLCancel comes from the waiting thread.
class Worker {
 public:
  ~Worker() {
    if (!thread_.joinable()) return;
    {
      std::lock_guard lock(mutex_);
      quit_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

  void run(const std::function<void()>& job, const std::function<void()>& waiting) {
    if (!thread_.joinable()) thread_ = std::thread([this] { loop(); });
    std::unique_lock lock(mutex_);
    job_ = &job;
    done_ = false;
    wake_.notify_all();
    while (!done_) {
      lock.unlock();
      waiting();
      lock.lock();
      wake_.wait_for(lock, std::chrono::milliseconds(5), [this] { return done_; });
    }
  }

 private:
  void loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return quit_ || job_; });
      if (quit_) return;
      const std::function<void()>* job = std::exchange(job_, nullptr);
      lock.unlock();
      (*job)();  // never throws: the job keeps its own failure
      lock.lock();
      done_ = true;
      wake_.notify_all();
    }
  }

  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  const std::function<void()>* job_ = nullptr;
  bool done_ = true;
  bool quit_ = false;
};

// What one execution gave: the first result set's columns and rows, if there was one.
struct Reply {
  bool hasRows = false;
  QStringList columns;
  std::vector<QVariantList> rows;
};

class OdbcEngine : public Engine {
 public:
  explicit OdbcEngine(std::unique_ptr<odbc::Connection> connection)
      : Engine(EngineKind::SqlServer, QString()), connection_(std::move(connection)) {
    // The tests reach other database systems through their ODBC drivers; SQL Server's own session
    // settings, transaction count and error numbers are SQL Server's alone.
    const QString dbms = connection_->dbmsName();
    sqlServer_ = dbms.isEmpty() || dbms.contains(QStringLiteral("SQL Server"), Qt::CaseInsensitive);
  }

  // Sends the session settings and reads the server's version; the failure's text, empty on
  // success. A server older than SQL Server 2005 is refused: the tool's statements need 2005.
  QString start() {
    if (!sqlServer_) return {};
    try {
      run(odbc::kSessionSettings, {}, Cancel::No);
      const Reply reply = run(odbc::kServerVersionQuery, {}, Cancel::No);
      const QString version = reply.rows.empty() || reply.rows.front().isEmpty()
                                  ? QString()
                                  : reply.rows.front().front().toString().trimmed();
      const int major = version.section(u'.', 0, 0).toInt();
      if (major > 0 && major < 9) {
        const QString product = major == 8   ? QStringLiteral("SQL Server 2000")
                                : major == 7 ? QStringLiteral("SQL Server 7.0")
                                             : QStringLiteral("SQL Server");
        return QStringLiteral("数据库服务器是%1（%2），本工具需要SQL Server 2005或更高版本").arg(product, version);
      }
    } catch (const DbError& e) {
      return e.text();
    }
    return {};
  }

  Recordset open(const QString& sql) override {
    Reply reply = run(sql, {}, Cancel::Yes);
    auto rows = std::make_unique<BufferedRows>();
    rows->columns = reply.columns;
    rows->rows = std::move(reply.rows);
    rows->fetch();
    return Recordset(std::move(rows));
  }

  void execute(const QString& sql) override {
    if (sql.trimmed().isEmpty()) return;
    run(sql, {}, Cancel::Yes);
  }

  qint64 insert(const QString& insertSql, const QVariantList& values) override {
    const Reply reply =
        run(insertSql + QStringLiteral("; SELECT CAST(SCOPE_IDENTITY() AS bigint)"), values, Cancel::Yes);
    if (reply.rows.empty() || reply.rows.front().isEmpty() || reply.rows.front().front().isNull()) {
      throw DbError(QStringLiteral("The database gave no ID for the new record."));
    }
    return reply.rows.front().front().toLongLong();
  }

  void update(const QString& updateSql, const QVariantList& values) override { run(updateSql, values, Cancel::Yes); }

  // Transactions are begun and ended by statements: the server's @@TRANCOUNT then tells whether one
  // is open (an ODBC manual-commit transaction would start only with the first statement that
  // touches data). A commit, once sent, is not cancelled: whether it took effect must be known.
  void begin() override { run(QStringLiteral("BEGIN TRANSACTION"), {}, Cancel::No); }
  void commit() override { run(QStringLiteral("COMMIT TRANSACTION"), {}, Cancel::No); }
  void rollback() override {
    // The server may have ended the transaction already; a bare ROLLBACK would then fail (3903).
    run(sqlServer_ ? QStringLiteral("IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION") : QStringLiteral("ROLLBACK TRANSACTION"),
        {}, Cancel::No);
  }
  std::optional<int> transactionCount() override {
    if (!sqlServer_) return std::nullopt;
    const Reply reply = run(QStringLiteral("SELECT @@TRANCOUNT"), {}, Cancel::No);
    if (reply.rows.empty() || reply.rows.front().isEmpty()) {
      throw DbError(QStringLiteral("The server gave no transaction count (@@TRANCOUNT)."));
    }
    return reply.rows.front().front().toInt();
  }

 private:
  enum class Cancel { Yes, No };

  // Runs one execution to its end. With a busy hook set the connection's calls run on the worker
  // while this thread calls the hook; a stop it asks for cancels the running statement (SQLCancel)
  // and is thrown once the call has returned.
  Reply run(const QString& text, const QVariantList& values, Cancel cancel) {
    Reply reply;
    std::exception_ptr failure;
    {
      std::lock_guard lock(runningMutex_);
      stopAsked_ = false;
    }
    const std::function<void()> job = [&] {
      try {
        reply = walk(text, values);
      } catch (...) {
        failure = std::current_exception();
      }
    };
    if (!watched || !busy) {
      job();
    } else {
      worker_.run(job, [&] {
        if (!busy() && cancel == Cancel::Yes) stop();
      });
    }
    if (stopAsked_) throw DbError(QStringLiteral("The work was stopped."), Cause::Stopped);
    if (failure) std::rethrow_exception(failure);
    return reply;
  }

  bool stopped() {
    std::lock_guard lock(runningMutex_);
    return stopAsked_;
  }

  void stop() {
    std::lock_guard lock(runningMutex_);
    if (stopAsked_) return;
    stopAsked_ = true;
    if (running_) running_->cancel();
  }

  // The statement that stop() cancels while it is set; a stop asked before it ran is thrown.
  class Running {
   public:
    Running(OdbcEngine& engine, odbc::Statement* statement) : engine_(engine) {
      std::lock_guard lock(engine_.runningMutex_);
      if (engine_.stopAsked_) throw DbError(QStringLiteral("The work was stopped."), Cause::Stopped);
      engine_.running_ = statement;
    }
    ~Running() {
      std::lock_guard lock(engine_.runningMutex_);
      engine_.running_ = nullptr;
    }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;

   private:
    OdbcEngine& engine_;
  };

  // Executes text and reads every result to its end; the first failure, wherever it comes, is
  // thrown (a conversion that fails on a row of a later result set fails the batch).
  Reply walk(const QString& text, const QVariantList& values) {
    Reply reply;
    Outcome o;
    const std::unique_ptr<odbc::Statement> statement = connection_->statement(&o);
    if (!statement) throw failureOf(o);
    const Running running(*this, statement.get());
    // With its length: a value read from the database may hold U+0000, which would end the text there.
    o = statement->execute(reinterpret_cast<const char16_t*>(text.utf16()), qint32(text.size()), values);
    for (int result = 0;; ++result) {
      try {
        readResult(*statement, o, reply);
      } catch (const DbError& e) {
        throw e.cause() == Cause::Stopped ? e : e.atStatement(result);
      }
      if (stopped()) throw DbError(QStringLiteral("The work was stopped."), Cause::Stopped);
      o = statement->moreResults();
      if (o.rc == Outcome::Return::NoData) {
        check(o);
        return reply;
      }
    }
  }

  // Reads the result that call o reached, every row of it; keeps the rows of the first result set.
  void readResult(odbc::Statement& statement, const Outcome& o, Reply& reply) const {
    check(o);
    if (o.rc == Outcome::Return::NoData) return;  // a statement that changed no row
    QStringList names;
    check(statement.columns(&names));
    if (names.isEmpty()) return;  // a row count
    const bool keep = !reply.hasRows;  // the rows are the first result set's
    if (keep) {
      reply.hasRows = true;
      reply.columns = names;
    }
    for (;;) {
      const Outcome fetched = statement.fetch();
      check(fetched);
      if (fetched.rc == Outcome::Return::NoData) return;
      QVariantList row;
      check(statement.row(&row));
      if (keep) reply.rows.push_back(std::move(row));
    }
  }

  // Throws the failure an outcome carries: SQL_ERROR, or an error record among the diagnostics
  // of a call that succeeded with information (a later statement of a batch that failed).
  void check(const Outcome& o) const {
    if (o.rc == Outcome::Return::Error) throw failureOf(o);
    for (const odbc::Diagnostic& d : o.diagnostics) {
      if (!d.isWarning()) throw failureOf(o);
    }
  }

  // The error records' texts (all records' when there is no error record), the first error
  // record's number and the cause it names.
  DbError failureOf(const Outcome& o) const {
    QStringList texts;
    int native = 0;
    Cause cause = Cause::Other;
    for (const odbc::Diagnostic& d : o.diagnostics) {
      if (d.isWarning()) continue;
      if (texts.isEmpty()) {
        native = d.nativeError;
        if (sqlServer_) cause = causeOfSqlServerError(d.nativeError, d.text);
      }
      texts << d.text.trimmed();
    }
    if (texts.isEmpty()) {
      for (const odbc::Diagnostic& d : o.diagnostics) texts << d.text.trimmed();
    }
    if (texts.isEmpty()) texts << QStringLiteral("The ODBC driver reported a failure without a description.");
    return DbError(texts.join(u' '), cause, native);
  }

  std::unique_ptr<odbc::Connection> connection_;
  bool sqlServer_ = true;
  Worker worker_;  // declared after the connection: its thread ends before the connection closes
  std::mutex runningMutex_;
  odbc::Statement* running_ = nullptr;
  bool stopAsked_ = false;
};

}  // namespace

std::unique_ptr<Engine> odbcEngineOn(std::unique_ptr<odbc::Connection> connection, QString* error) {
  auto engine = std::make_unique<OdbcEngine>(std::move(connection));
  const QString failure = engine->start();
  if (failure.isEmpty()) return engine;
  *error = failure;
  return nullptr;
}

std::unique_ptr<Engine> openOdbcEngine(const QString& connectionString, int loginTimeoutSeconds, QString* error) {
  std::unique_ptr<odbc::Connection> connection = odbc::driverConnect(connectionString, loginTimeoutSeconds, error);
  if (!connection) return nullptr;
  return odbcEngineOn(std::move(connection), error);
}

}  // namespace db
