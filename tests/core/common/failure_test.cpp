// A database failure as the user reads it: the user's sentence for its cause (what happened, that
// nothing was changed, what to do), a line break, then the engine's own text; the causes as both
// engines give them. And a lock another connection holds is waited for with the busy hook called,
// so that a window keeps painting and 取消 ends the wait.
#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QElapsedTimer>
#include <functional>

#include "core/common/failure.h"
#include "core/common/progress.h"
#include "db/database.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/harness.h"

namespace {

db::DbError errorOf(const std::function<void()>& work) {
  try {
    work();
  } catch (const db::DbError& e) {
    return e;
  }
  return db::DbError(QStringLiteral("(no error)"));
}

db::DbError serverError(int number, const QString& text) {
  return db::DbError(text, db::causeOfSqlServerError(number, text), number);
}

// Another connection on the same file holding a write lock while it lives.
struct OtherConnection {
  explicit OtherConnection(const QString& path) {
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
    d.setDatabaseName(path);
    EXPECT_TRUE(d.open());
    EXPECT_TRUE(QSqlQuery(d).exec(QStringLiteral("BEGIN IMMEDIATE")));
  }
  ~OtherConnection() {
    {
      QSqlDatabase d = QSqlDatabase::database(QStringLiteral("other"));
      QSqlQuery(d).exec(QStringLiteral("ROLLBACK"));
      d.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
  }
};

TEST(Failure, EachCauseIsToldInTheUsersWordsBeforeTheEnginesText) {
  Harness h;
  db::Database& db = h.database();
  const QString photoUpdate = QStringLiteral("Update 员工照片 Set 工号='1' Where 工号='2'");
  struct Case {
    const char* what;
    db::DbError error;
    QString shown;
  };
  const auto locked = [&] {
    OtherConnection other(h.databasePath());
    int calls = 0;
    const common::Progress stopOnThird = [&](int, int) { return ++calls < 3; };
    const common::Stepper stop(stopOnThird, db);
    return errorOf([&] { db.execute(photoUpdate); });
  };
  const auto readOnly = [&] {
    testdb::rawExec(QStringLiteral("PRAGMA query_only = ON"));
    const db::DbError e = errorOf([&] { db.execute(photoUpdate); });
    testdb::rawExec(QStringLiteral("PRAGMA query_only = OFF"));
    return e;
  };
  const auto missing = [&] {
    testdb::rawExec(QStringLiteral("DROP TABLE 员工照片"));
    return errorOf([&] { db.open(QStringLiteral("Select 工号 From 员工照片")); });
  };
  const Case cases[] = {
      {"SQLite, locked", locked(), "数据库正被其他程序使用，没有做任何修改，请稍后再试\ndatabase is locked"},
      {"SQLite, read-only", readOnly(),
       "数据库文件是只读的，没有做任何修改，请让管理员允许写入数据库后再试\nattempt to write a readonly database"},
      {"SQLite, missing table", missing(),
       "缺少表员工照片，没有做任何修改，请先运行数据库检查\nno such table: 员工照片"},
      {"SQL Server 1222", serverError(1222, "已超过了锁请求超时时段。"),
       "数据库正被其他程序使用，没有做任何修改，请稍后再试\n已超过了锁请求超时时段。"},
      {"SQL Server 1205", serverError(1205, "死锁牺牲品"),
       "数据库正被其他程序使用，没有做任何修改，请稍后再试\n死锁牺牲品"},
      {"SQL Server 3906", serverError(3906, "Failed to update database \"hr\" because the database is read-only."),
       "数据库文件是只读的，没有做任何修改，请让管理员允许写入数据库后再试\n"
       "Failed to update database \"hr\" because the database is read-only."},
      {"SQL Server 208", serverError(208, "Invalid object name 'dbo.员工照片'."),
       "缺少表员工照片，没有做任何修改，请先运行数据库检查\nInvalid object name 'dbo.员工照片'."},
      {"SQL Server 208, Chinese", serverError(208, "对象名 '[员工照片]' 无效。"),
       "缺少表员工照片，没有做任何修改，请先运行数据库检查\n对象名 '[员工照片]' 无效。"},
      {"a foreign key", serverError(547, "The UPDATE statement conflicted with the FOREIGN KEY constraint \"FK_a\"."),
       "外键约束阻止了修改，数据库没有任何修改；数据库检查列出这些约束\n"
       "The UPDATE statement conflicted with the FOREIGN KEY constraint \"FK_a\"."},
      {"a check", serverError(547, "The UPDATE statement conflicted with the CHECK constraint \"CK_a\"."),
       "检查约束CK_a阻止了修改，数据库没有任何修改；数据库检查列出这些约束\n"
       "The UPDATE statement conflicted with the CHECK constraint \"CK_a\"."},
      {"any other", serverError(2627, "Violation of PRIMARY KEY constraint"), "Violation of PRIMARY KEY constraint"},
      {"worded by the operation", serverError(1222, "lock").withLead("表甲正被其他程序使用"),
       "表甲正被其他程序使用\nlock"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(common::shownText(c.error), c.shown);
  }
}

// The embedded engine waits for a lock another connection holds calling the busy hook between its
// sleeps; a false from the hook ends the wait at once with the lock's failure.
TEST(Failure, ALockIsWaitedForWithTheBusyHookCalledAndAStopEndsTheWait) {
  Harness h;
  db::Database& db = h.database();
  OtherConnection other(h.databasePath());
  int calls = 0;
  db.setBusyIntervalMs(0);
  db.setBusyHook([&] { return ++calls < 20; });
  QElapsedTimer timer;
  timer.start();
  const db::DbError e = errorOf([&] { db.execute(QStringLiteral("Update 员工档案 Set 姓名='甲' Where 工号='0'")); });
  db.setBusyHook({});
  EXPECT_EQ(e.text(), "database is locked");
  EXPECT_EQ(e.cause(), db::Cause::LockTimeOut);
  EXPECT_EQ(calls, 20);
  EXPECT_LT(timer.elapsed(), 2000);
}

}  // namespace
