// The start-up procedure of module Connection: settings, connection, session, main menu.
#include "app/connection.h"
#include "app/journal_export.h"
#include "app/menu/menu_window.h"
#include "app/wiring.h"
#include "core/session/session.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/shared_window.h"

namespace Connection {

std::unique_ptr<session::Session> Main(db::Database& database) {
  const Settings s = ReadSettings();
  if (!OpenSharedConnection(database, s)) {
    widgets::msg(nullptr, QStringLiteral("数据库连接失败!"), QStringLiteral("连接提示"), widgets::Icon::Warning);
    return nullptr;
  }
  std::unique_ptr<session::Session> session = MakeSession(database, s);
  startJournal(*session);
  wireFeatures();
  widgets::shared_window::show<frm协调>(*session);
  return session;
}

}  // namespace Connection
