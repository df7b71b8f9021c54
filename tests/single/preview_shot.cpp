// A picture of the impact preview of a single renumber on a fresh demo database:
//   preview_shot <preview.png>
// An employee found by number, renumbered to a number some records already carry.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextStream>

#include "db/database.h"
#include "demo/demo_data.h"
#include "preview/preview_window.h"
#include "renumber_single/single_window.h"
#include "tests/support/scripted_dialogs.h"
#include "widgets/flex_grid.h"

namespace {

void settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    err << "usage: preview_shot <preview.png>\n";
    return 2;
  }
  ui::Dialogs::install(std::make_unique<ui::ScriptedDialogs>());
  QTemporaryDir dir;
  QString error;
  if (!demo::createDatabase(db::Database::shared(), dir.filePath(QStringLiteral("demo.db")), demo::Scale(), &error)) {
    err << error << '\n';
    return 1;
  }
  // Records under a number nobody in the register holds: the preview marks them.
  db::Database::shared().execute(
      QStringLiteral("INSERT INTO 工资单明细 (员工编号) VALUES ('9001') INSERT INTO 工资单明细 (员工编号) VALUES "
                     "('9001') INSERT INTO 考勤表详细 (员工编号) VALUES ('9001')"));

  frm影响预览 preview;
  frm员工Kestrune w;
  w.scriptOrigin = [] { return preview::ScriptHeader{QStringLiteral("demo"), QString(), QString(), {}, {}}; };
  w.showPreview = [&](const QString& caption, const preview::Impact& impact, const QString& script,
                      const QString& fileName) {
    preview.显示(caption, impact, script, fileName);
    preview.show();
  };
  w.show();
  settle();
  w.Text1->setText(QStringLiteral("12"));
  w.Command1->click();
  w.Command2->click();
  w.MSFlexGrid1->clickCell(1, 2);
  w.Text4->setText(QStringLiteral("9001"));
  w.Command6->click();
  if (!preview.isVisible()) {
    err << "no preview shown\n";
    return 1;
  }
  settle();
  return preview.grab().save(args[1]) ? 0 : 1;
}
