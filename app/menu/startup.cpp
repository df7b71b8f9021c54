// The start-up procedure of module Connection: settings, shared connection, main menu.
#include "app/connection.h"
#include "app/journal_export.h"
#include "app/menu/menu_window.h"
#include "app/old_new_export.h"
#include "widgets/dialogs.h"
#include "widgets/shared_window.h"

using namespace Qt::StringLiterals;

namespace Connection {

int Main() {
  const Settings s = ReadSettings();
  if (!OpenSharedConnection(s.UID, s.PWD, s.DBname, s.Svr)) {
    ui::msg(nullptr, u"数据库连接失败!"_s, u"连接提示"_s, ui::Icon::Warning);
    return 1;
  }
  startJournal(s);
  wireFeatures();
  wireJournal();
  shared_window::show<frm协调>();
  return 0;
}

}  // namespace Connection
