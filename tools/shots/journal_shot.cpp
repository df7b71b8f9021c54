// A picture of the journal window on a fresh demo database with a few renumbers and an undo:
//   journal_shot <window.png>
#include <QApplication>
#include <QTemporaryDir>
#include <QTextStream>

#include "db/database.h"
#include "tools/demo/demo_data.h"
#include "gui/journal/journal_window.h"
#include "core/journal/journal.h"
#include "core/undo/undo_ops.h"
#include "core/session/session.h"
#include "core/single/single_ops.h"
#include "tests/support/scripted_dialogs.h"
#include "gui/widgets/flex_grid.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    err << "usage: journal_shot <window.png>\n";
    return 2;
  }
  widgets::Dialogs::install(std::make_unique<widgets::ScriptedDialogs>());
  QTemporaryDir dir;
  QString error;
  db::Database database;
  const QString path = dir.filePath(QStringLiteral("demo.db"));
  session::Session session(database, {QStringLiteral("sqlite:") + path, QString(), QStringLiteral("sa")},
                           dir.filePath(QStringLiteral("renumber.ini")), dir.filePath(QStringLiteral("journal")));
  if (!demo::createDatabase(database, path, demo::Scale(), &error)) {
    err << error << '\n';
    return 1;
  }
  try {
    const QString problem = session.openJournal();
    if (!problem.isEmpty()) throw db::DbError(problem);
    QStringList numbers;
    for (db::Recordset rs = database.open(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY 工号"));
         !rs.eof() && numbers.size() < 4; rs.moveNext())
      numbers << rs.text(QStringLiteral("工号"));
    for (int i = 0; i < numbers.size(); ++i)
      single::renumber(session, numbers[i], QStringLiteral("9%1").arg(i, 3, 10, QLatin1Char('0')), std::nullopt);
    undo::undo(session, 2);
  } catch (const std::runtime_error& e) {
    err << e.what() << '\n';
    return 1;
  }
  frm修改记录 w(session);
  w.show();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  w.MSFlexGrid1->clickCell(2, 1);
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  const bool ok = w.grab().save(args[1]);
  return ok ? 0 : 1;
}
