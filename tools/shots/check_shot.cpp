// A picture of the database check window on a fresh demo database (run under Xvfb):
//   check_shot <window.png>
// The demo database holds two tables the tool's lists do not know; one reference table is dropped
// and another made narrower with a foreign key and a trigger first, so that the picture shows a
// missing table, a column of the wrong width, a foreign key and a trigger too.
#include <QApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include "db/database.h"
#include "gui/dbcheck/check_window.h"
#include "tests/support/scripted_dialogs.h"
#include "tools/shots/shot_demo.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTextStream err(stderr);
  if (app.arguments().size() < 2) {
    err << "usage: check_shot <window.png>\n";
    return 2;
  }
  widgets::Dialogs::install(std::make_unique<widgets::ScriptedDialogs>());
  shots::Demo demo;
  demo::Scale scale;
  scale.referenceRowsPerEmployee = 0;
  if (const QString error = demo.create(scale); !error.isEmpty()) {
    err << error << '\n';
    return 1;
  }
  db::Database& database = demo.database;
  session::Session& session = demo.session;
  // One table gone, and one rebuilt as a legacy database may hold it: narrower, with a foreign key
  // to the register that does not cascade and a trigger.
  for (const QString& sql :
       {QStringLiteral("DROP TABLE 出勤"), QStringLiteral("DROP TABLE 员工照片"),
        QStringLiteral("CREATE TABLE 员工照片 (ID INTEGER PRIMARY KEY, 工号 VARCHAR(8) REFERENCES 员工档案 (工号), "
                       "照片 BLOB)"),
        QStringLiteral("CREATE TRIGGER 照片审计 AFTER UPDATE ON 员工照片 BEGIN SELECT 1; END")})
    QSqlQuery(QSqlDatabase::database(database.connectionName(), false)).exec(sql);
  frm数据库检查 w(session);
  w.show();
  w.检查();
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  return w.grab().save(app.arguments().at(1)) ? 0 : 1;
}
