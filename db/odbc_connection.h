#pragma once
// Reaching SQL Server through ODBC without a data source name: which installed driver to use and
// the connection string that carries the four connection settings exactly as typed.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

namespace db::odbc {

// Seconds a login may take before the attempt fails (a server that accepts the connection and
// never answers would otherwise hold start-up forever).
constexpr int kLoginTimeoutSeconds = 30;

// The names of the installed ODBC drivers, as the driver manager lists them.
QStringList installedDrivers();

// The SQL Server driver to use among the installed ones; empty when there is none.
// Elsewhere than on Windows FreeTDS comes first; on Windows Microsoft's drivers, newest first.
QString chooseSqlServerDriver(const QStringList& installed);
// What the user is told when no SQL Server driver is installed: what to install.
QString noDriverMessage();

bool isFreeTds(const QString& driver);

// "DRIVER={d};SERVER={s};UID={u};PWD={p};DATABASE={n};", for Microsoft's "ODBC Driver 18 for
// SQL Server" and later followed by "Encrypt=Optional;" (they would otherwise insist on an
// encrypted connection and a certificate they trust, which legacy servers lack), for FreeTDS by
// "ClientCharset=UTF-8;TDS_Version=7.4;" and, when the server names neither ",port" nor
// "\\instance", "Port=1433;". Every value stands between braces, so ";", "=", quotes and blanks reach the server as
// typed. Other drivers read "}}" inside a value as "}"; FreeTDS keeps "}}" as it is and ends a
// value at "};", so for FreeTDS a "}" is written once and a value holding "};" cannot be carried:
// then the result is empty and *refusal says which setting it is. The string ends with ";".
QString connectionString(const QString& driver, const QString& uid, const QString& pwd, const QString& dbName,
                         const QString& server, QString* refusal);

// ---- the ODBC calls of the SQL Server engine ---------------------------------------------------
// The engine (db/odbc_engine.cpp) reaches the server through these two interfaces: over the driver
// manager in production (driverConnect), over a scripted server in tests.

// One diagnostic record (SQLGetDiagRecW).
struct Diagnostic {
  QString state;  // SQLSTATE; class "01" is a warning or an informational message
  int nativeError = 0;  // the server's error number
  QString text;
  bool isWarning() const { return state.startsWith(QStringLiteral("01")); }
};

// What a call returned (SQL_SUCCESS, SQL_SUCCESS_WITH_INFO, SQL_NO_DATA, SQL_ERROR or
// SQL_INVALID_HANDLE, the last one as Error) and the diagnostic records it left.
struct Outcome {
  enum class Return { Success, SuccessWithInfo, NoData, Error };
  Return rc = Return::Success;
  QList<Diagnostic> diagnostics;
};

// A statement handle.
class Statement {
 public:
  virtual ~Statement() = default;
  // SQLExecDirectW of text, values bound to its markers ("?") in order (a null QVariant is Null).
  virtual Outcome execute(const QString& text, const QVariantList& values) = 0;
  virtual Outcome moreResults() = 0;  // SQLMoreResults
  // The current result's column names (SQLNumResultCols, SQLDescribeColW); none when it is a row count.
  virtual Outcome columns(QStringList* names) = 0;
  virtual Outcome fetch() = 0;  // SQLFetch: NoData after the last row
  // The current row's fields (SQLGetData): integers as qlonglong, floating numbers as double,
  // datetimes as QDateTime, binary data as QByteArray, all else as text; Null as a null QVariant.
  virtual Outcome row(QVariantList* values) = 0;
  // SQLCancel: may be called from another thread while a call on this statement runs.
  virtual void cancel() = 0;
};

// A connection handle.
class Connection {
 public:
  virtual ~Connection() = default;
  // A new statement on this connection; null with *failure when none can be had.
  virtual std::unique_ptr<Statement> statement(Outcome* failure) = 0;
  // The server's product name (SQLGetInfo SQL_DBMS_NAME), "Microsoft SQL Server" for SQL Server.
  virtual QString dbmsName() = 0;
};

// Connects through the driver manager (SQLDriverConnectW) with a ready connection string and login
// time-out. Null with *error, the driver's description, on failure.
std::unique_ptr<Connection> driverConnect(const QString& connectionString, int loginTimeoutSeconds, QString* error);

// The session settings sent to SQL Server on connecting, before anything else: a failing statement
// ends the whole batch and rolls back its transaction (without them the server would run the rest
// of a batch, and a rolled-back transaction's rest in autocommit), and a lock another program
// holds is waited on for at most 30 s (error 1222) instead of for ever.
inline const QString kSessionSettings = QStringLiteral("SET XACT_ABORT ON SET LOCK_TIMEOUT 30000");

}  // namespace db::odbc
