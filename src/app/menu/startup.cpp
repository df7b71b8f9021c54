// The start-up procedure of module Connection: settings, connection, session, main menu.
#include "app/connection.h"
#include "app/journal_export.h"
#include "app/menu/menu_window.h"
#include "app/old_new_export.h"
#include "core/session/session.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/shared_window.h"

namespace Connection {

std::unique_ptr<ops::Session> Main(db::Database& database) {
  const Settings s = ReadSettings();
  if (!OpenSharedConnection(database, s.UID, s.PWD, s.DBname, s.Svr)) {
    ui::msg(nullptr, QStringLiteral("数据库连接失败!"), QStringLiteral("连接提示"), ui::Icon::Warning);
    return nullptr;
  }
  std::unique_ptr<ops::Session> session = MakeSession(database, s);
  startJournal(*session);
  wireFeatures();
  wireJournal();
  shared_window::show<frm协调>(*session);
  return session;
}

}  // namespace Connection
