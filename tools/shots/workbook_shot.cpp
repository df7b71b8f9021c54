// The old/new table of a rule of the demo data written to a workbook through the batch window and
// the export window, as a user does it (list, propose, check, 导出对照表, 输出):
//   workbook_shot <workbook.xls>
// The picture of the workbook is then made by the office itself (soffice --convert-to png).
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include "app/wiring.h"
#include "db/database.h"
#include "gui/export/export_window.h"
#include "gui/batch/batch_window.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/shared_window.h"
#include "tools/shots/shot_demo.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  if (app.arguments().size() < 2) {
    err << "usage: workbook_shot <workbook.xls>\n";
    return 2;
  }
  const QString path = app.arguments().at(1);
  auto scripted = std::make_unique<widgets::ScriptedDialogs>();
  widgets::ScriptedDialogs& dialogs = *scripted;
  widgets::Dialogs::install(std::move(scripted));
  shots::Demo demo;
  demo::Scale scale;
  scale.referenceRowsPerEmployee = 0;
  if (const QString error = demo.create(scale); !error.isEmpty()) {
    err << error << '\n';
    return 1;
  }
  session::Session& session = demo.session;
  wireFeatures();
  auto& w = widgets::shared_window::show<frm员工工号统一修改>(session);
  w.Combo1->setCurrentIndex(0);
  w.Command1->click();
  w.Command2->click();
  dialogs.modalActions.append([&](QWidget* window) {
    auto* x = static_cast<frm输出到Excel文件*>(window);
    x->Text1[0]->setText(path);
    x->Check1->setChecked(false);
    x->Command2->click();
  });
  w.Command4->click();
  for (const auto& shown : dialogs.shown) err << shown.text << '\n';
  return QFile::exists(path) ? 0 : 1;
}
