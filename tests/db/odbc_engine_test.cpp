// The SQL Server engine's own code (db/odbc_engine.cpp) at work: through a real ODBC driver
// (SQLite's, behind Qt's ODBC plugin, on a temporary file) and, for batches of several statements
// as SQL Server answers them, over a scripted Qt SQL driver.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <functional>

#include "db/database.h"
#include "tests/db/error_of.h"
#include "db/odbc_connection.h"
#include "tests/support/scripted_driver.h"
#include "tests/support/qt_print.h"

using db::Database;
using db::DbError;

namespace {

// ---- through SQLite's ODBC driver -------------------------------------------------------------

// The file as the driver names it. Under Wine the driver behind Windows' ODBC is this machine's
// own SQLite driver, which opens files by their Unix paths.
QString driverPath(const QString& path) {
#ifdef _WIN32
  using ToUnix = char*(__cdecl*)(const wchar_t*);
  if (FARPROC proc = GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")) {
    auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(proc));
    if (char* unixPath = toUnix(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()))) {
      const QString converted = QString::fromUtf8(unixPath);
      HeapFree(GetProcessHeap(), 0, unixPath);
      return converted;
    }
  }
#endif
  return path;
}

QString sqliteOdbcDriver() {
  for (const QString& d : db::odbc::installedDrivers()) {
    if (d.compare(QStringLiteral("SQLite3"), Qt::CaseInsensitive) == 0) return d;
  }
  return {};
}

class OdbcEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    const QString driver = sqliteOdbcDriver();
    ASSERT_FALSE(driver.isEmpty()) << "SQLite's ODBC driver is not registered (scripts/setup installs it)";
    QString error;
    ASSERT_TRUE(db_.openOdbc(QStringLiteral("DRIVER={%1};Database=%2;").arg(driver, driverPath(path())), 5, &error))
        << error.toStdString();
    ASSERT_EQ(db_.kind(), db::EngineKind::SqlServer);
    db_.execute(QStringLiteral("CREATE TABLE 员工档案 (ID INTEGER PRIMARY KEY, 工号 TEXT, 姓名 TEXT)"));
  }
  QString path() const { return dir_.filePath(QStringLiteral("t.db")); }
  QStringList column(const QString& sql) {
    QStringList out;
    for (db::Recordset rs = db_.open(sql); !rs.eof(); rs.moveNext()) {
      out << rs.text(rs.columns().first(), QStringLiteral("NULL"));
    }
    return out;
  }

  QTemporaryDir dir_;
  Database db_;
};

}  // namespace

TEST_F(OdbcEngine, ManualCommitTransactionsCommitAndRollBack) {
  db_.begin();
  db_.execute(QStringLiteral("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0012', '张三')"));
  db_.commit();
  db_.begin();
  db_.execute(QStringLiteral("UPDATE 员工档案 SET 工号 = '0099'"));
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案"), QStringList{"0099"});  // seen inside the transaction
  db_.rollback();
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案"), QStringList{"0012"});
  {
    db::Transaction t(db_);  // ends without commit: rolled back
    db_.execute(QStringLiteral("DELETE FROM 员工档案"));
  }
  EXPECT_FALSE(db_.inTransaction());
  // Back in auto-commit: a change outside a transaction stays, as the file shows when reopened.
  db_.execute(QStringLiteral("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0013', '李四')"));
  db_.close();
  QString error;
  ASSERT_TRUE(
      db_.openOdbc(QStringLiteral("DRIVER={%1};Database=%2;").arg(sqliteOdbcDriver(), driverPath(path())), 5, &error))
      << error.toStdString();
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 ORDER BY 工号"), (QStringList{"0012", "0013"}));
}

TEST_F(OdbcEngine, ReadsRowsNullsAndColumnNames) {
  db_.execute(QStringLiteral("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0012', NULL)"));
  db_.execute(QStringLiteral("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0013', '李四')"));
  db::Recordset rs = db_.open(QStringLiteral("SELECT ID, 工号 AS 编号, 姓名 FROM 员工档案 ORDER BY 工号"));
  EXPECT_EQ(rs.columns(), (QStringList{"ID", "编号", "姓名"}));
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.text("编号"), "0012");
  EXPECT_TRUE(rs.isNull("姓名"));
  EXPECT_TRUE(rs.field("姓名").isNull());
  EXPECT_EQ(rs.text("姓名", QStringLiteral("(空)")), "(空)");
  EXPECT_EQ(rs.field("id").toInt(), 1);  // names are read without regard to case
  rs.moveNext();
  ASSERT_FALSE(rs.eof());
  EXPECT_EQ(rs.text("姓名"), "李四");
  EXPECT_FALSE(rs.isNull("姓名"));
  rs.moveNext();
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(errorOf([&] { rs.field("编号"); }), "There is no current record: the end of the result was reached.");
  // An empty result has its columns and no row.
  db::Recordset none = db_.open(QStringLiteral("SELECT 工号 FROM 员工档案 WHERE 工号 = 'x'"));
  EXPECT_TRUE(none.eof());
  EXPECT_EQ(none.columns(), QStringList{"工号"});
}

TEST_F(OdbcEngine, TheDatabasesErrorTextReachesDbErrorAndAFailedChangeRollsBack) {
  EXPECT_EQ(errorOf([&] { db_.execute(QStringLiteral("UPDATE 无此表 SET a = 1")); }),
            "[SQLite]no such table: 无此表 (1)");
  EXPECT_EQ(errorOf([&] { db_.open(QStringLiteral("SELECT 工号 FROM 员工档案 WHERE")); }),
            "[SQLite]incomplete input (1)");
  db_.execute(QStringLiteral("CREATE UNIQUE INDEX 工号唯一 ON 员工档案 (工号)"));
  db_.execute(QStringLiteral("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0012', '张三')"));
  db_.execute(QStringLiteral("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0013', '李四')"));
  const QString failure = errorOf([&] {
    db::Transaction t(db_);
    db_.execute(QStringLiteral("UPDATE 员工档案 SET 姓名 = '王五' WHERE 工号 = '0012'"));
    db_.execute(QStringLiteral("UPDATE 员工档案 SET 工号 = '0013' WHERE 工号 = '0012'"));
    t.commit();
  });
  EXPECT_EQ(failure, "[SQLite]UNIQUE constraint failed: 员工档案.工号 (19)");
  EXPECT_EQ(column("SELECT 姓名 FROM 员工档案 ORDER BY 工号"), (QStringList{"张三", "李四"}));
}

TEST_F(OdbcEngine, ChineseTextsGoAndComeBackInLiteralsAndParameters) {
  db_.execute(QStringLiteral("INSERT INTO 员工档案 (工号, 姓名) VALUES ('甲0012', '欧阳·娜娜''s')"));
  EXPECT_EQ(column("SELECT 姓名 FROM 员工档案 WHERE 工号 = '甲0012'"), QStringList{"欧阳·娜娜's"});
  const qint64 id = column("SELECT ID FROM 员工档案").value(0).toLongLong();
  db_.updateRecord(QStringLiteral("SELECT * FROM 员工档案 WHERE ID = %1").arg(id), QStringLiteral("员工档案"), id,
                   {{QStringLiteral("姓名"), QStringLiteral("张三丰")}, {QStringLiteral("工号"), QVariant()}});
  db::Recordset rs = db_.open(QStringLiteral("SELECT 工号, 姓名 FROM 员工档案"));
  EXPECT_EQ(rs.text("姓名"), "张三丰");
  EXPECT_TRUE(rs.isNull("工号"));
}

TEST_F(OdbcEngine, ADriverTakingOneStatementPerExecutionRefusesATextOfTwoAndAppliesNothing) {
  QStringList log;
  db_.setStatementObserver([&](const QString& sql) { log << sql; });
  const QString two =
      QStringLiteral("INSERT INTO 员工档案 (工号) VALUES ('1'); INSERT INTO 员工档案 (工号) VALUES ('2')");
  EXPECT_EQ(errorOf([&] { db_.execute(two); }), "[SQLite]only one SQL statement allowed");
  EXPECT_EQ(errorOf([&] { db_.open(two); }), "[SQLite]only one SQL statement allowed");
  // A new record's ID is asked in the same text as the insert: refused here, and nothing is added.
  EXPECT_EQ(errorOf([&] {
              db_.addRecord(QStringLiteral("SELECT * FROM 员工档案 WHERE ID = 0"), QStringLiteral("员工档案"),
                            {{QStringLiteral("工号"), QStringLiteral("3")}});
            }),
            "[SQLite]only one SQL statement allowed");
  EXPECT_EQ(log.last(), "INSERT INTO 员工档案 (工号) VALUES (?)");
  EXPECT_EQ(column("SELECT COUNT(*) FROM 员工档案"), QStringList{"0"});
  // The same statements one per execution run in order.
  for (const QString& one : two.split(u';')) db_.execute(one);
  EXPECT_EQ(column("SELECT 工号 FROM 员工档案 ORDER BY ID"), (QStringList{"1", "2"}));
}

TEST_F(OdbcEngine, AStopDuringOneLongStatementCancelsItWithinASecondAndLeavesTheFileAsItWas) {
  db_.execute(QStringLiteral("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0012', '张三')"));
  const auto fileHash = [&] {
    db_.close();  // everything written and the file let go
    QFile f(path());
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray hash = QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
    QString error;
    EXPECT_TRUE(
        db_.openOdbc(QStringLiteral("DRIVER={%1};Database=%2;").arg(sqliteOdbcDriver(), driverPath(path())), 5, &error))
        << error.toStdString();
    return hash;
  };
  const QByteArray before = fileHash();
  // One statement that runs for many seconds: some ten million rows made by a recursive query.
  const QString longInsert = QStringLiteral(
      "INSERT INTO 员工档案 (工号, 姓名) WITH RECURSIVE n(k) AS (SELECT 1 UNION ALL SELECT k + 1 FROM n WHERE k < "
      "10000000) SELECT k, '李四' FROM n");
  QElapsedTimer timer;
  timer.start();
  qint64 last = 0, longestGap = 0, stoppedAt = -1;
  int calls = 0;
  db_.setBusyHook([&] {
    ++calls;
    longestGap = std::max(longestGap, timer.elapsed() - last);
    last = timer.elapsed();
    if (last < 500) return true;
    if (stoppedAt < 0) stoppedAt = last;
    return false;
  });
  db::Cause cause = db::Cause::Other;
  try {
    db::Transaction t(db_);
    db_.execute(QStringLiteral("UPDATE 员工档案 SET 姓名 = '王五'"));
    db_.execute(longInsert);
    t.commit();
  } catch (const DbError& e) {
    cause = e.cause();
  }
  db_.setBusyHook({});
  EXPECT_EQ(cause, db::Cause::Stopped);
  ASSERT_GE(stoppedAt, 0);
  EXPECT_LT(timer.elapsed() - stoppedAt, 1000);
  EXPECT_LT(longestGap, 100);
  EXPECT_GT(calls, 10);
  EXPECT_FALSE(db_.inTransaction());
  EXPECT_EQ(column("SELECT 姓名 FROM 员工档案"), QStringList{"张三"});
  EXPECT_EQ(fileHash(), before);
}

// ---- batches of several statements, as SQL Server answers them --------------------------------

namespace {

using scripted::count;
using scripted::error;
using scripted::rows;

class SqlServerBatch : public ::testing::Test {
 protected:
  void SetUp() override {
    QString error;
    ASSERT_TRUE(db_.openOdbcConnection(scripted::connection(state_), &error)) << error.toStdString();
    ASSERT_EQ(db_.kind(), db::EngineKind::SqlServer);
    // The session settings come first, before anything else the tool sends, then the version.
    ASSERT_EQ(state_->executed,
              (QStringList{"SET XACT_ABORT ON SET LOCK_TIMEOUT 30000 SET IMPLICIT_TRANSACTIONS OFF SET "
                           "DEADLOCK_PRIORITY LOW",
                           "SELECT CAST(SERVERPROPERTY('ProductVersion') AS nvarchar(128))"}));
    state_->executed.clear();
  }
  // The reply to the next execution.
  void reply(const QList<scripted::Result>& results) { state_->replies << results; }

  std::shared_ptr<scripted::State> state_ = std::make_shared<scripted::State>();
  Database db_;
};

// A renumbering batch's results: row counts of its updates, with a result set among them.
QList<scripted::Result> batchOfFive() { return {count(1), count(3), rows({"工号"}, {{"0012"}}), count(0), count(2)}; }

}  // namespace

TEST(SqlServerVersion, AServerBefore2005RefusesTheConnectionNamingItsVersion) {
  const struct {
    QString version;
    QString error;  // empty: connected
  } cases[] = {{"8.00.2039", "数据库服务器是SQL Server 2000（8.00.2039），本工具需要SQL Server 2005或更高版本"},
               {"9.00.1399.06", ""},
               {"16.0.1000.6", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version.toStdString());
    auto state = std::make_shared<scripted::State>();
    state->productVersion = c.version;
    Database db;
    QString error;
    EXPECT_EQ(db.openOdbcConnection(scripted::connection(state), &error), c.error.isEmpty());
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(db.isOpen(), c.error.isEmpty());
  }
}

TEST_F(SqlServerBatch, AStatementHoldingU0000ReachesTheServerWhole) {
  const QString text =
      QStringLiteral("UPDATE 员工档案 SET 工号 = N'00") + QChar(u'\0') + QStringLiteral("12' WHERE ID = 1");
  db_.execute(text);
  ASSERT_EQ(state_->executed.size(), 1);
  EXPECT_EQ(state_->executed[0].size(), 42);
  EXPECT_EQ(state_->executed[0], text);
}

TEST_F(SqlServerBatch, AnErrorAtAnyResultIsThrownWithItsText) {
  for (int k = 0; k < 5; ++k) {
    SCOPED_TRACE(k);
    const QString text = QStringLiteral("将 varchar 值 'x%1' 转换成数据类型 int 时失败。").arg(k);
    QList<scripted::Result> results = batchOfFive();
    results[k] = error(text);
    reply(results);
    EXPECT_EQ(errorOf([&] { db_.execute(QStringLiteral("UPDATE a SET x = 1 UPDATE b SET y = 2")); }), text);
    reply(results);
    EXPECT_EQ(errorOf([&] { db_.open(QStringLiteral("UPDATE a SET x = 1 SELECT 工号 FROM b")); }), text);
    EXPECT_EQ(state_->liveResults, 0);  // the statement is freed: the connection is not left busy
  }
  // A failure on a row of a result set that is read, and of one that is not.
  reply({count(1), scripted::rowsFailingAt({"工号"}, {{"1"}, {"2"}}, 1, "行 2 转换失败")});
  EXPECT_EQ(errorOf([&] { db_.open(QStringLiteral("UPDATE a SET x = 1 SELECT 工号 FROM b")); }), "行 2 转换失败");
  reply({rows({"a"}, {{1}}), scripted::rowsFailingAt({"b"}, {{1}}, 0, "第二个结果失败"), count(1)});
  EXPECT_EQ(errorOf([&] { db_.open(QStringLiteral("SELECT a FROM t SELECT b FROM u UPDATE t SET a = 2")); }),
            "第二个结果失败");
}

TEST_F(SqlServerBatch, APartialChangeIsRolledBackNotReportedAsDone) {
  QList<scripted::Result> results = batchOfFive();
  results[3] = error("违反了 UNIQUE KEY 约束。");
  reply(results);
  const QString failure = errorOf([&] {
    db::Transaction t(db_);
    db_.execute(
        QStringLiteral("UPDATE 员工档案 SET 工号 = '0099' WHERE 工号 = '0012' UPDATE 岗位信息New SET 工号 = "
                       "'0099' WHERE 工号 = '0012'"));
    t.commit();
  });
  EXPECT_EQ(failure, "违反了 UNIQUE KEY 约束。");
  EXPECT_EQ(state_->executed, (QStringList{"BEGIN TRANSACTION", "SELECT @@TRANCOUNT",
                                           "UPDATE 员工档案 SET 工号 = '0099' WHERE 工号 = '0012' UPDATE 岗位信息New "
                                           "SET 工号 = '0099' WHERE 工号 = '0012'",
                                           "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"}));
  EXPECT_EQ(state_->trancount, 0);
  EXPECT_FALSE(db_.inTransaction());
  // A commit the server refuses is an error too, and the transaction can still be rolled back.
  state_->commitFailure = QStringLiteral("事务日志已满。");
  state_->executed.clear();
  EXPECT_EQ(errorOf([&] {
              db::Transaction t(db_);
              db_.execute(QStringLiteral("UPDATE a SET x = 1"));
              t.commit();
            }),
            "事务日志已满。");
  EXPECT_EQ(state_->executed,
            (QStringList{"BEGIN TRANSACTION", "SELECT @@TRANCOUNT", "UPDATE a SET x = 1", "SELECT @@TRANCOUNT",
                         "COMMIT TRANSACTION", "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"}));
}

TEST_F(SqlServerBatch, EveryResultIsReadAndAReadHoldsTheFirstResultSetsRows) {
  reply(batchOfFive());
  db_.execute(QStringLiteral("UPDATE a SET x = 1"));
  EXPECT_EQ(state_->unread, 0);

  reply(
      {count(4), rows({"工号", "姓名"}, {{"0012", "张三"}, {"0013", QVariant()}}), rows({"other"}, {{"x"}}), count(1)});
  db::Recordset rs = db_.open(QStringLiteral("SET NOCOUNT OFF SELECT 工号, 姓名 FROM 员工档案 SELECT other FROM t"));
  EXPECT_EQ(state_->unread, 0);
  EXPECT_EQ(state_->liveResults, 0);  // read in full when opened: nothing pending on the connection
  EXPECT_EQ(rs.columns(), (QStringList{"工号", "姓名"}));
  QStringList seen;
  for (; !rs.eof(); rs.moveNext()) seen << rs.text("工号") + u'=' + rs.text("姓名", QStringLiteral("NULL"));
  EXPECT_EQ(seen, (QStringList{"0012=张三", "0013=NULL"}));

  // A text without a result set reads as empty; a new record's ID comes from the batch's result set.
  reply({count(2)});
  EXPECT_TRUE(db_.open(QStringLiteral("UPDATE a SET x = 1")).eof());
  reply({rows({"ID"}, {})});
  reply({count(1), rows({""}, {{qint64(42)}})});
  EXPECT_EQ(db_.addRecord(QStringLiteral("SELECT * FROM t WHERE ID = 0"), QStringLiteral("t"),
                          {{QStringLiteral("a"), QStringLiteral("O'Neil")}}),
            42);
  EXPECT_EQ(state_->executed.last(), "INSERT INTO t (a) VALUES (?); SELECT CAST(SCOPE_IDENTITY() AS bigint)");
  EXPECT_EQ(state_->bound.last(), QVariantList{"O'Neil"});
  EXPECT_EQ(state_->unread, 0);
}

TEST_F(SqlServerBatch, AnErrorReturnedWithInformationFailsTheBatchWithTheServersNumber) {
  // ODBC returns a failing statement after the first as SQL_SUCCESS_WITH_INFO; it fails the
  // batch all the same, with the server's number and the cause it names.
  const struct {
    int native;
    db::Cause cause;
  } cases[] = {{547, db::Cause::ForeignKey},
               {1222, db::Cause::LockTimeOut},
               {1205, db::Cause::Deadlock},
               {2627, db::Cause::Other}};
  for (int k = 1; k < 5; ++k) {
    for (const auto& c : cases) {
      SCOPED_TRACE(testing::Message() << k << " " << c.native);
      QList<scripted::Result> results = batchOfFive();
      results[k] = scripted::errorAsInfo(QStringLiteral("消息 %1").arg(c.native), c.native);
      reply(results);
      try {
        db_.execute(QStringLiteral("UPDATE a SET x = 1 UPDATE b SET y = 2"));
        ADD_FAILURE() << "no failure";
      } catch (const DbError& e) {
        EXPECT_EQ(e.text(), QStringLiteral("消息 %1").arg(c.native));
        EXPECT_EQ(e.nativeError(), c.native);
        EXPECT_EQ(e.cause(), c.cause);
        EXPECT_EQ(e.heldByOtherProgram(), c.native == 1222 || c.native == 1205);
        EXPECT_EQ(e.statement(), k);  // the failing update's place, for the caller to name it
      }
      EXPECT_EQ(state_->liveResults, 0);
    }
  }
  // An informational message (PRINT, a warning) is no failure.
  QList<scripted::Result> results = batchOfFive();
  results[2].info = QStringLiteral("已更改数据库上下文。");
  results[4].info = QStringLiteral("警告: 聚合或其他 SET 操作消除了 Null 值。");
  reply(results);
  EXPECT_EQ(errorOf([&] { db_.execute(QStringLiteral("UPDATE a SET x = 1")); }), "(no error)");
  EXPECT_EQ(state_->unread, 0);
}

TEST_F(SqlServerBatch, ATransactionTheServerEndedIsNoSuccessAndNothingMoreIsSent) {
  // The server rolls the transaction back during the change without a failure of its statement
  // (a trigger's ROLLBACK, say): the commit finds @@TRANCOUNT 0 and sends nothing more.
  scripted::Result ended = count(1);
  ended.endsTransaction = true;
  reply({count(2), ended});
  try {
    db::Transaction t(db_);
    db_.execute(QStringLiteral("UPDATE a SET x = 1 UPDATE b SET y = 2"));
    t.commit();
    ADD_FAILURE() << "reported as done";
  } catch (const DbError& e) {
    EXPECT_EQ(e.text(), "服务器已自行结束了本次修改的事务（@@TRANCOUNT 为 0），本次修改没有提交，数据库没有任何修改");
    EXPECT_EQ(e.cause(), db::Cause::TransactionEnded);
  }
  EXPECT_EQ(state_->executed, (QStringList{"BEGIN TRANSACTION", "SELECT @@TRANCOUNT",
                                           "UPDATE a SET x = 1 UPDATE b SET y = 2", "SELECT @@TRANCOUNT"}));
  EXPECT_FALSE(db_.inTransaction());

  // A deadlock's victim: the failure ends the change at once; the rollback finds nothing to undo.
  scripted::Result victim = error("事务(进程 ID 57)与另一个进程被死锁在锁资源上，并且已被选作死锁牺牲品。", 1205);
  victim.endsTransaction = true;
  reply({count(1), victim, count(1)});
  state_->executed.clear();
  try {
    db::Transaction t(db_);
    db_.execute(QStringLiteral("UPDATE a SET x = 1 UPDATE b SET y = 2 UPDATE c SET z = 3"));
    t.commit();
    ADD_FAILURE() << "reported as done";
  } catch (const DbError& e) {
    EXPECT_EQ(e.cause(), db::Cause::Deadlock);
  }
  EXPECT_EQ(state_->executed.last(), "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
  EXPECT_EQ(state_->executed.size(), 4);
  EXPECT_EQ(state_->trancount, 0);

  // A transaction opened by a statement of its own is not committed either.
  db_.begin();
  ++state_->trancount;
  EXPECT_EQ(errorOf([&] { db_.commit(); }),
            "2 transactions are open (@@TRANCOUNT) where the change began one; it is not committed.");
  EXPECT_TRUE(db_.inTransaction());
  db_.rollback();
  EXPECT_EQ(state_->trancount, 0);
}

TEST_F(SqlServerBatch, TheHookRunsWhileAStatementRunsAndAStopCancelsIt) {
  scripted::Result slow = count(1);
  slow.waitMs = 10000;
  reply({count(1), slow, count(1)});
  QElapsedTimer timer;
  timer.start();
  qint64 last = 0, longestGap = 0, stoppedAt = -1;
  db_.setBusyHook([&] {
    longestGap = std::max(longestGap, timer.elapsed() - last);
    last = timer.elapsed();
    if (last < 300) return true;
    if (stoppedAt < 0) stoppedAt = last;
    return false;
  });
  db::Cause cause = db::Cause::Other;
  try {
    db::Transaction t(db_);
    db_.execute(QStringLiteral("UPDATE a SET x = 1 UPDATE b SET y = 2 UPDATE c SET z = 3"));
    t.commit();
  } catch (const DbError& e) {
    cause = e.cause();
  }
  EXPECT_EQ(cause, db::Cause::Stopped);
  EXPECT_LT(timer.elapsed() - stoppedAt, 1000);
  EXPECT_LT(longestGap, 100);
  EXPECT_EQ(state_->cancels, 1);
  EXPECT_EQ(state_->executed.last(), "IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION");
  EXPECT_EQ(state_->liveResults, 0);
}

// SQLite's own statements are the embedded engine's only: on SQL Server nothing is sent.
TEST_F(OdbcEngine, AStatementOfTheEmbeddedEngineIsRefusedWithNothingSent) {
  QStringList sent;
  db_.setStatementObserver([&](const QString& sql) { sent << sql; });
  EXPECT_EQ(errorOf([&] { db_.executeEmbedded(db::kEmbeddedOnly + QStringLiteral("DELETE FROM 员工档案")); }),
            "This statement runs on the embedded database only.");
  EXPECT_EQ(sent, QStringList{});
}
