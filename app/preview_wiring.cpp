#include "app/preview_wiring.h"

#include "app/connection.h"
#include "preview/preview_window.h"
#include "renumber_single/single_window.h"
#include "widgets/shared_window.h"

void connectSinglePreview(frm员工Kestrune& w) {
  w.scriptOrigin = [] {
    const Connection::Settings s = Connection::ReadSettings();
    preview::ScriptHeader header;
    header.server = s.Svr;
    header.database = s.DBname;
    header.login = s.UID;
    return header;
  };
  w.showPreview = [](const QString& caption, const preview::Impact& impact, const QString& script,
                     const QString& fileName) {
    shared_window::show<frm影响预览>().显示(caption, impact, script, fileName);
  };
}
