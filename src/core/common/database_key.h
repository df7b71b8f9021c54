#pragma once
// The key of a server and database: an embedded database is named by its "sqlite:<path>" alone,
// a SQL Server database by server/database. The journal's file and the added columns' settings
// of a database are found by it.
#include <QString>

namespace common {
inline QString databaseKey(const QString& server, const QString& database) {
  return server.startsWith(QStringLiteral("sqlite:")) ? server : server + QLatin1Char('/') + database;
}
}  // namespace common
