// The SQL Server engine: Qt's ODBC driver, connected without a data source name. Texts are sent
// as built. A text may hold several statements: every result of the batch is read, every row of
// every result set included, so that a failing later statement is reported. Reads are read in full when opened, so that no pending
// result blocks the next statement on the connection.
#ifdef _WIN32
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <QSqlRecord>

#include "db/engine.h"
#include "db/odbc_connection.h"

namespace db {
namespace odbc {

QStringList installedDrivers() {
  QStringList names;
  SQLHENV env = SQL_NULL_HENV;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) return names;
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLCHAR description[512];
  SQLCHAR attributes[2048];
  SQLSMALLINT descriptionLength = 0, attributesLength = 0;
  SQLUSMALLINT direction = SQL_FETCH_FIRST;
  while (SQL_SUCCEEDED(SQLDrivers(env, direction, description, sizeof description, &descriptionLength, attributes,
                                  sizeof attributes, &attributesLength))) {
    names << QString::fromLocal8Bit(reinterpret_cast<const char*>(description));
    direction = SQL_FETCH_NEXT;
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return names;
}

bool isFreeTds(const QString& driver) { return driver.contains(QStringLiteral("FreeTDS"), Qt::CaseInsensitive); }

QString chooseSqlServerDriver(const QStringList& installed) {
#ifdef _WIN32
  const QStringList preferred = {"ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server",
                                 "SQL Server Native Client 11.0", "SQL Server"};
#else
  const QStringList preferred = {"FreeTDS", "ODBC Driver 18 for SQL Server", "ODBC Driver 17 for SQL Server"};
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
    const char* key;
    const QString& value;
    const char* what;
  } items[] = {{"DRIVER", driver, "driver name"},
               {"SERVER", server, "server (Svr)"},
               {"UID", uid, "login name (UID)"},
               {"PWD", pwd, "password (PWD)"},
               {"DATABASE", dbName, "database name (DBname)"}};
  QString text;
  for (const auto& item : items) {
    QString value = item.value;
    if (freeTds && value.contains(QStringLiteral("};"))) {
      if (refusal) {
        *refusal =
            QStringLiteral("The %1 holds \"};\", which the FreeTDS ODBC driver cannot take in a connection string.")
                .arg(QLatin1String(item.what));
      }
      return {};
    }
    if (!freeTds) value.replace(u'}', QStringLiteral("}}"));
    text += QStringLiteral("%1={%2};").arg(QLatin1String(item.key), value);
  }
  // TDS 7.4 names SQL Server's protocol: left to choose, FreeTDS retries a timed-out login with
  // Sybase's protocol and then waits without limit for the server to confirm the logout.
  if (freeTds) text += QStringLiteral("ClientCharset=UTF-8;TDS_Version=7.4;");
  // FreeTDS takes a port from "host,port" or an instance from "host\instance"; a plain host name
  // has no port of its own there ("invalid port number"), so it gets SQL Server's usual one.
  if (freeTds && !server.contains(u',') && !server.contains(u'\\')) text += QStringLiteral("Port=1433;");
  return text;
}

}  // namespace odbc

namespace {

class OdbcEngine : public Engine {
 public:
  explicit OdbcEngine(const QString& name) : Engine(EngineKind::SqlServer, name) {}

  Recordset open(const QString& sql) override {
    QSqlQuery q = query();
    if (!q.exec(sql)) fail(q.lastError());
    auto rows = std::make_unique<BufferedRows>();
    bool read = false;
    walkResults(q, [&] {
      if (read) return;  // the rows are the first result set's
      read = true;
      const QSqlRecord r = q.record();
      for (int i = 0; i < r.count(); ++i) rows->columns << columnName(r.fieldName(i));
      while (q.next()) {
        QVariantList row;
        for (int i = 0; i < r.count(); ++i) row << (q.value(i).isNull() ? QVariant() : q.value(i));
        rows->rows.push_back(row);
      }
    });
    rows->fetch();
    return Recordset(std::move(rows));
  }

  void execute(const QString& sql) override {
    if (sql.trimmed().isEmpty()) return;
    QSqlQuery q = query();
    if (!q.exec(sql)) fail(q.lastError());
    walkResults(q, [] {});
  }

  qint64 insert(const QString& insertSql, const QVariantList& values) override {
    QSqlQuery q = prepared(insertSql + QStringLiteral("; SELECT CAST(SCOPE_IDENTITY() AS bigint)"), values);
    std::optional<qint64> id;
    walkResults(q, [&] {
      if (!id && q.next()) id = q.value(0).toLongLong();
    });
    if (!id) throw DbError(QStringLiteral("The database gave no ID for the new record."));
    return *id;
  }

  void update(const QString& updateSql, const QVariantList& values) override {
    QSqlQuery q = prepared(updateSql, values);
    walkResults(q, [] {});
  }

 private:
  QSqlQuery query() {
    QSqlQuery q(connection());
    q.setForwardOnly(true);
    return q;
  }

  // A column name ends at its first NUL: a driver that gives the name's length in bytes instead
  // of characters leaves the rest of its buffer behind a non-ASCII name.
  static QString columnName(QString name) {
    const qsizetype nul = name.indexOf(QChar(u'\0'));
    if (nul >= 0) name.truncate(nul);
    return name;
  }

  QSqlQuery prepared(const QString& sql, const QVariantList& values) {
    QSqlQuery q = query();
    if (!q.prepare(sql)) fail(q.lastError());
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec()) fail(q.lastError());
    return q;
  }

  // Reads every result of an executed batch, calling onRows for each result set and then reading
  // what onRows left of its rows; the first failure, wherever it comes, is thrown (a conversion
  // that fails on a row of a later result set fails the batch).
  // Between the results the busy hook runs; a stop asked there is thrown once every result is read.
  template <class F>
  void walkResults(QSqlQuery& q, F onRows) {
    bool stop = false;
    do {
      if (busy && !busy()) stop = true;
      if (q.isSelect()) {
        onRows();
        while (!q.lastError().isValid() && q.next()) {}
      }
      if (q.lastError().isValid()) fail(q.lastError());
    } while (q.nextResult());
    if (q.lastError().isValid()) fail(q.lastError());
    if (stop) throw DbError(QStringLiteral("The work was stopped."));
  }
};

// Opens the engine's connection; returns the failure's text, empty on success.
QString connect(const OdbcEngine& engine, const QString& connectionString, int loginTimeoutSeconds) {
  if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QODBC"))) {
    return QStringLiteral("Qt's ODBC driver (QODBC) is not installed.");
  }
  QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QODBC"), engine.connectionName());
  // The connection string alone carries login and password: Qt would append user name and
  // password set apart unquoted.
  d.setDatabaseName(connectionString);
  d.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(loginTimeoutSeconds));
  if (!d.open()) return errorText(d.lastError());
  return {};
}

}  // namespace

std::unique_ptr<Engine> openOdbcEngine(const QString& connectionString, int loginTimeoutSeconds, QString* error) {
  auto engine = std::make_unique<OdbcEngine>(newConnectionName());
  const QString failure = connect(*engine, connectionString, loginTimeoutSeconds);
  if (failure.isEmpty()) return engine;
  *error = failure;
  return nullptr;
}

std::unique_ptr<Engine> sqlServerEngineOn(const QString& connectionName, QString* error) {
  if (!QSqlDatabase::contains(connectionName) || !QSqlDatabase::database(connectionName, false).isOpen()) {
    *error = QStringLiteral("There is no open connection named \"%1\".").arg(connectionName);
    return nullptr;
  }
  return std::make_unique<OdbcEngine>(connectionName);
}

}  // namespace db
