// A picture of the database check window on a fresh demo database (run under Xvfb):
//   check_shot <window.png>
// The demo database holds two tables the tool's lists do not know; one column of the register's
// reference tables is dropped first, so that the picture shows a missing column too.
#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include "db/database.h"
#include "dbcheck/check_window.h"
#include "demo/demo_data.h"
#include "tests/support/scripted_dialogs.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  if (app.arguments().size() < 2) {
    err << "usage: check_shot <window.png>\n";
    return 2;
  }
  ui::Dialogs::install(std::make_unique<ui::ScriptedDialogs>());
  QTemporaryDir dir;
  QString error;
  demo::Scale scale;
  scale.referenceRowsPerEmployee = 0;
  if (!demo::createDatabase(db::Database::shared(), dir.filePath(QStringLiteral("demo.db")), scale, &error)) {
    err << error << '\n';
    return 1;
  }
  QSqlQuery(QSqlDatabase::database(db::Database::shared().connectionName(), false))
      .exec(QStringLiteral("DROP TABLE 出勤"));
  frm数据库检查 w;
  w.show();
  w.检查();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  return w.grab().save(app.arguments().at(1)) ? 0 : 1;
}
