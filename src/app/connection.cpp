#include "app/connection.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <memory>

#include "db/database.h"
#include "core/session/session.h"
#include "gui/widgets/dialogs.h"

namespace Connection {

namespace {

#ifdef Q_OS_WIN
const QString kHostKey = QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Tarnholm");
#endif

// The host system's own per-user settings of application Tarnholm.
std::unique_ptr<QSettings> hostSettings() {
#ifdef Q_OS_WIN
  return std::make_unique<QSettings>(kHostKey, QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarnholm"));
#endif
}

// Whether the host system has left settings for this user at all.
bool storeExists(QSettings& store) {
#ifdef Q_OS_WIN
  return !store.childGroups().isEmpty() || !store.childKeys().isEmpty();
#else
  return QFileInfo::exists(store.fileName());
#endif
}

// Where the settings are expected, as the user finds them.
QString settingsPlace(const QSettings& store) {
#ifdef Q_OS_WIN
  Q_UNUSED(store);
  return QStringLiteral("注册表项 ") + kHostKey + QStringLiteral("\\DBConfig");
#else
  return QStringLiteral("文件 ") + QDir::toNativeSeparators(store.fileName()) + QStringLiteral(" 的 [DBConfig] 节");
#endif
}

const QString kSqlitePrefix = QStringLiteral("sqlite:");

// What keeps the settings read from naming a database: "" when nothing does. The server is always
// needed; a SQL Server also needs the login and the database (the password may be blank).
QString settingsProblem(QSettings& store, const Settings& s) {
  if (!storeExists(store))
    return QStringLiteral("未找到连接设置，应在") + settingsPlace(store) + QStringLiteral("中。");
  QStringList missing;
  if (s.Svr.isEmpty()) missing << QStringLiteral("Svr");
  if (!s.Svr.startsWith(kSqlitePrefix)) {
    if (s.UID.isEmpty()) missing << QStringLiteral("UID");
    if (s.DBname.isEmpty()) missing << QStringLiteral("DBname");
  }
  if (missing.isEmpty()) return QString();
  return QStringLiteral("连接设置缺少 ") + missing.join(u'、') + QStringLiteral("，应在") + settingsPlace(store) +
         QStringLiteral("中。");
}

}  // namespace

Settings ReadSettings(QStringList* order) {
  std::unique_ptr<QSettings> store = hostSettings();
  store->beginGroup(QStringLiteral("DBConfig"));
  auto get = [&](const QString& key) {
    if (order) order->append(key);
    const QVariant v = store->value(key);
    // An unquoted ini value holding commas ("127.0.0.1,1433") reads as a list: take it back as typed.
    const QString text = v.typeId() == QMetaType::QStringList ? v.toStringList().join(u',') : v.toString();
    return text.isNull() ? QStringLiteral("") : text;
  };
  Settings s;
  s.Svr = get(QStringLiteral("Svr"));
  s.UID = get(QStringLiteral("UID"));
  s.PWD = get(QStringLiteral("PWD"));
  s.DBname = get(QStringLiteral("DBname"));
  store->endGroup();
  s.problem = settingsProblem(*store, s);
  return s;
}

bool OpenQuietly(db::Database& database, const Settings& s, QString* error) {
  database.close();
  if (!s.problem.isEmpty()) {
    if (error) *error = s.problem;
    return false;
  }
  const bool embedded = s.Svr.startsWith(kSqlitePrefix);
  return embedded ? database.openSqlite(s.Svr.mid(kSqlitePrefix.size()), error)
                  : database.openSqlServer(s.UID, s.PWD, s.DBname, s.Svr, error);
}

std::unique_ptr<session::Session> MakeSession(db::Database& database, const Settings& s) {
  // The columns the administrator added to the renumber and the journal belong to this server
  // and database.
  return std::make_unique<session::Session>(database, session::Origin{s.Svr, s.DBname, s.UID});
}

bool OpenSharedConnection(db::Database& database, const QString& UID, const QString& PWD, const QString& DBname,
                          const QString& Svr) {
  Settings s;
  s.Svr = Svr;
  s.UID = UID;
  s.PWD = PWD;
  s.DBname = DBname;
  return OpenSharedConnection(database, s);
}

bool OpenSharedConnection(db::Database& database, const Settings& s) {
  QString error;
  const bool ok = OpenQuietly(database, s, &error);
  if (!ok)
    widgets::msg(nullptr, QStringLiteral("错误信息：") + error, QStringLiteral("信息文本"), widgets::Icon::Warning);
  return ok;
}

}  // namespace Connection
