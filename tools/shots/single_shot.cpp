// Pictures of the single-employee window on a fresh demo database:
//   single_shot <list.png> [<selected.png>]
// The first shows the result list after a number search, the second a selected employee with an
// automatically composed number.
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include "db/database.h"
#include "gui/single/single_window.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "tools/shots/shot_demo.h"

namespace {

using shots::settle;

bool save(QWidget& w, const QString& path) {
  settle();
  return w.grab().save(path);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    err << "usage: single_shot <list.png> [<selected.png>]\n";
    return 2;
  }
  widgets::Dialogs::install(std::make_unique<widgets::ScriptedDialogs>());
  shots::Demo demo;
  if (const QString error = demo.create(); !error.isEmpty()) {
    err << error << '\n';
    return 1;
  }
  session::Session& session = demo.session;

  frm员工Kestrune w(session);
  w.show();
  settle();
  w.Text1->setText(QStringLiteral("12"));
  w.Command1->click();
  w.Command2->click();
  if (!save(w, args[1])) return 1;

  if (args.size() > 2) {
    w.MSFlexGrid1->clickCell(std::min(4, w.MSFlexGrid1->Rows() - 1), 2);
    w.Check1->setChecked(true);
    if (!save(w, args[2])) return 1;
  }
  return 0;
}
