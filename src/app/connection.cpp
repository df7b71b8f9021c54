#include "app/connection.h"

#include <QSettings>
#include <memory>

#include "db/database.h"
#include "core/session/session.h"
#include "gui/widgets/dialogs.h"

namespace Connection {

namespace {

// The host system's own per-user settings of application Tarnholm.
std::unique_ptr<QSettings> hostSettings() {
#ifdef Q_OS_WIN
  return std::make_unique<QSettings>(
      QStringLiteral("HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Tarnholm"), QSettings::NativeFormat);
#else
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Tarnholm"));
#endif
}

const QString kSqlitePrefix = QStringLiteral("sqlite:");

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
  return s;
}

bool OpenQuietly(db::Database& database, const Settings& s, QString* error) {
  database.close();
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
  QString error;
  const bool ok = OpenQuietly(database, {Svr, UID, PWD, DBname}, &error);
  if (!ok)
    widgets::msg(nullptr, QStringLiteral("错误信息：") + error, QStringLiteral("信息文本"), widgets::Icon::Warning);
  return ok;
}

}  // namespace Connection
