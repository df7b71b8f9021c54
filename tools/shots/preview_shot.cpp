// A picture of the impact preview of a single renumber on a fresh demo database, and of a batch's:
//   preview_shot <preview.png> [<batch-preview.png>]
// An employee found by number, renumbered to a number some records already carry; twelve
// employees renumbered with an 8 in front.
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>

#include "db/database.h"
#include "core/batch/batch_preview.h"
#include "core/common/added_columns.h"
#include "gui/preview/preview_window.h"
#include "gui/single/single_window.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "tools/shots/shot_demo.h"

namespace {

using shots::settle;

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    err << "usage: preview_shot <preview.png> [<batch-preview.png>]\n";
    return 2;
  }
  widgets::Dialogs::install(std::make_unique<widgets::ScriptedDialogs>());
  shots::Demo demo;
  if (const QString error = demo.create(); !error.isEmpty()) {
    err << error << '\n';
    return 1;
  }
  db::Database& database = demo.database;
  session::Session& session = demo.session;
  // The demo's door-card table added to the renumber, and records under a number nobody in the
  // register holds: the preview marks them.
  session.addColumn({QStringLiteral("门禁卡发放"), QStringLiteral("持卡人")});
  database.execute(
      QStringLiteral("INSERT INTO 出勤 (员工编号) VALUES ('9001') INSERT INTO 出勤 (员工编号) VALUES ('9001') "
                     "INSERT INTO 门禁卡发放 (持卡人) VALUES ('9001')"));

  frm影响预览 preview;
  frm员工Kestrune w(session);
  w.scriptOrigin = [] { return preview::ScriptHeader{QStringLiteral("demo"), QString(), QString(), {}, {}}; };
  QObject::connect(
      w.events, &SingleWindowEvents::previewReady, &w,
      [&](const QString& caption, const preview::Impact& impact, const QString& script, const QString& fileName) {
        preview.显示(caption, impact, script, fileName);
        preview.show();
      });
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
  preview.resize(760, 600);
  settle();
  // The added column, the marked rows and the totals.
  FlexGrid* grid = preview.MSFlexGrid1;
  grid->scrollTo(grid->model()->index(grid->Rows() - 1, 1), QAbstractItemView::PositionAtBottom);
  settle();
  grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
  settle();
  if (!preview.grab().save(args[1])) return 1;
  if (args.size() < 3) return 0;

  batch::Rows rows;
  for (db::Recordset rs = database.open(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID"));
       !rs.eof() && rows.size() < 12; rs.moveNext())
    rows.push_back({rs.text(QStringLiteral("工号")), QStringLiteral("8") + rs.text(QStringLiteral("工号"))});
  const batch::ApplyPreview p =
      batch::previewApply(session, rows, {QStringLiteral("demo"), QString(), QString(), {}, {}});
  if (p.status != batch::ApplyPreview::Status::Ready) {
    err << batch::refusalMessage(p) << '\n';
    return 1;
  }
  frm影响预览 many;
  many.resize(760, 600);
  many.显示(p.caption, p.impact, p.script, p.fileName);
  many.show();
  settle();
  return many.grab().save(args[2]) ? 0 : 1;
}
