#pragma once
// Module Connection: start-up procedure, the connection and the session made on it.
#include <QString>
#include <QStringList>
#include <memory>

class QSettings;

namespace db {
class Database;
}
namespace session {
class Session;
}

namespace Connection {

struct Settings {
  QString Svr, UID, PWD, DBname;
  // Why these settings name no database, in the user's words ("" when they may): no settings
  // where the host system keeps them, or a needed key missing or blank there.
  QString problem;
};

// Reads Svr, then UID, then PWD, then DBname from application Tarnholm, section DBConfig
// (empty when missing). order, when given, receives the keys in the order they were read.
// problem says "未找到连接设置，应在<place>中。" when the host system has no settings for the user, or
// "连接设置缺少 <keys>，应在<place>中。" naming (joined by "、") the keys missing or blank: Svr
// always, UID and DBname unless Svr names the embedded database. <place> is
// "文件 <ini path> 的 [DBConfig] 节", on Windows "注册表项 HKEY_CURRENT_USER\...\Tarnholm\DBConfig".
Settings ReadSettings(QStringList* order = nullptr);

// Opens database as the tool's connection. A Svr of "sqlite:<path>" opens the embedded database at
// path. On failure shows "错误信息：" + description (title "信息文本", information icon) and returns false.
bool OpenSharedConnection(db::Database& database, const QString& UID, const QString& PWD, const QString& DBname,
                          const QString& Svr);
// The same with the settings read: their problem, when they have one, is the description shown
// and no connection is tried.
bool OpenSharedConnection(db::Database& database, const Settings& settings);

// Opens database without a word to the user; on failure returns false with the settings' problem
// or the driver's description in *error (the command-line options report it themselves).
bool OpenQuietly(db::Database& database, const Settings& settings, QString* error);

// The session on an open connection made from settings: their server, database and login, the
// added columns kept for them in the user's settings of the tool, the journal in the user's data
// folder (not opened).
std::unique_ptr<session::Session> MakeSession(db::Database& database, const Settings& settings);

// The start-up procedure: settings, connection on database, session, journal, main menu. Returns
// the session the menu and every window work on (it must outlive them), or nothing when start-up
// failed (the user was told; the process ends with exit code 1).
std::unique_ptr<session::Session> Main(db::Database& database);

}  // namespace Connection
