#pragma once
// Reaching SQL Server through ODBC without a data source name: which installed driver to use and
// the connection string that carries the four connection settings exactly as typed.
#include <QString>
#include <QStringList>

namespace db::odbc {

// Seconds a login may take before the attempt fails (a server that accepts the connection and
// never answers would otherwise hold start-up forever).
constexpr int kLoginTimeoutSeconds = 30;

// The names of the installed ODBC drivers, as the driver manager lists them.
QStringList installedDrivers();

// The SQL Server driver to use among the installed ones; empty when there is none.
// Elsewhere than on Windows FreeTDS comes first; on Windows Microsoft's drivers, newest first.
QString chooseSqlServerDriver(const QStringList& installed);

bool isFreeTds(const QString& driver);

// "DRIVER={d};SERVER={s};UID={u};PWD={p};DATABASE={n};", for FreeTDS followed by
// "ClientCharset=UTF-8;TDS_Version=7.4;" and, when the server names neither ",port" nor
// "\\instance", "Port=1433;". Every value stands between braces, so ";", "=", quotes and blanks reach the server as
// typed. Other drivers read "}}" inside a value as "}"; FreeTDS keeps "}}" as it is and ends a
// value at "};", so for FreeTDS a "}" is written once and a value holding "};" cannot be carried:
// then the result is empty and *refusal says which setting it is. The string ends with ";".
QString connectionString(const QString& driver, const QString& uid, const QString& pwd, const QString& dbName,
                         const QString& server, QString* refusal);

}  // namespace db::odbc
