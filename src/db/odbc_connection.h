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
// SQL Server" and later followed by "Encrypt=Optional;TrustServerCertificate=yes;": they connect
// as Driver 17 did, encrypting when the server asks and taking the server's certificate without
// verifying it (Encrypt=Optional alone still verifies it when the server forces encryption, which
// locks the tool out of a legacy server with a certificate of its own), for FreeTDS by
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
// The length of a text that ends at its first U+0000 (SQL_NTS).
constexpr qint32 kNullTerminated = -3;

class Statement {
 public:
  virtual ~Statement() = default;
  // SQLExecDirectW of the length characters at text (kNullTerminated: those before the first
  // U+0000), values bound to its markers ("?") in order (a null QVariant is Null).
  virtual Outcome execute(const char16_t* text, qint32 length, const QVariantList& values) = 0;
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
// of a batch, and a rolled-back transaction's rest in autocommit), a lock another program holds is
// waited on for at most 30 s (error 1222) instead of for ever, a read opens no transaction of its
// own (on a server whose 'user options' switch implicit transactions on, every change would find
// two transactions open and fail), and in a deadlock the tool, not the host system's users, is the
// victim (error 1205).
inline const QString kSessionSettings =
    QStringLiteral("SET XACT_ABORT ON SET LOCK_TIMEOUT 30000 SET IMPLICIT_TRANSACTIONS OFF SET DEADLOCK_PRIORITY LOW");

// Read after the session settings: the server's version ("8.00.2039" for SQL Server 2000). The
// tool's statements need SQL Server 2005 (version 9) or later (SCHEMA_NAME(), say); an older
// server refuses the connection with a message that names its version.
inline const QString kServerVersionQuery =
    QStringLiteral("SELECT CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(128))");

}  // namespace db::odbc
