// A batch apply that fails half-way: a table another program holds, a foreign key or CHECK
// constraint, a full log, a fault that happens once, a row's failure (only that is sent again, row by
// row). Over the scripted SQL Server (the statements sent) and on the embedded database (nothing
// changed).
#include <gtest/gtest.h>

#include <QDir>

#include "db/database.h"
#include "core/batch/batch_ops.h"
#include "core/session/session.h"
#include "tests/support/batch_fixture.h"
#include "tests/support/scripted_driver.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/qt_print.h"

namespace {

using namespace batch;
using namespace Qt::StringLiterals;

// 300 rows: 2001 -> 5001, 2002 -> 5002, ...; three executions of 100 rows.
Rows threeHundredRows() {
  Rows rows;
  for (int i = 1; i <= 300; ++i) rows.push_back({QString::number(2000 + i), QString::number(5000 + i)});
  return rows;
}

QStringList catalogueColumns() {
  return {u"TABLE_SCHEMA"_s,   u"TABLE_NAME"_s,    u"COLUMN_NAME"_s, u"DATA_TYPE"_s, u"CHARACTER_MAXIMUM_LENGTH"_s,
          u"COLLATION_NAME"_s, u"DEFAULT_SCHEMA"_s};
}

// The statement of row 150 (the 50th of the second execution) that writes the apply's column c.
int statementOfRow150(int column) { return 49 * int(applyStatements(u"a"_s, u"b"_s, {}).size()) + column; }

TEST(BatchApplyOnSqlServer, AFailureOfNoRowEndsTheApplyAtOnceAndARowsFailureIsSentAgainRowByRow) {
  const Rows rows = threeHundredRows();
  const struct {
    int native;
    int column;  // the failing statement's column of the apply list
    QString text;
    QString message;
    bool resent = false;  // the rows of the failed execution are sent again one by one; row 150 fails again
  } cases[] = {
      {1222, 7, u"已超过了锁请求超时时段。"_s,
       u"表员工档案temp正被其他程序使用，本次修改已撤销，数据库没有任何修改，请稍后再试\n已超过了锁请求超时时段。"_s},
      {1205, 3, u"事务(进程 ID 57)与另一个进程被死锁在锁资源上，并且已被选作死锁牺牲品。请重新运行该事务。"_s,
       u"表XZ文件流转情况正被其他程序使用，本次修改已撤销，数据库没有任何修改，请稍后再试\n"
       u"事务(进程 ID 57)与另一个进程被死锁在锁资源上，并且已被选作死锁牺牲品。请重新运行该事务。"_s},
      {547, 1, u"UPDATE 语句与 REFERENCE 约束\"FK_岗位员工\"冲突。"_s,
       u"表岗位员工new的外键约束阻止了修改，数据库没有任何修改；数据库检查列出这些约束\n"
       u"UPDATE 语句与 REFERENCE 约束\"FK_岗位员工\"冲突。"_s},
      {547, 1,
       u"The UPDATE statement conflicted with the CHECK constraint \"CK_工号\". The conflict occurred in database "
       u"\"Tarnholm\", table \"dbo.岗位员工new\", column '工号'."_s,
       u"表岗位员工new的检查约束CK_工号阻止了修改，数据库没有任何修改；数据库检查列出这些约束\n"
       u"The UPDATE statement conflicted with the CHECK constraint \"CK_工号\". The conflict occurred in database "
       u"\"Tarnholm\", table \"dbo.岗位员工new\", column '工号'."_s},
      {547, 1,
       u"UPDATE 语句与 CHECK 约束\"CK_工号\"冲突。该冲突发生于数据库\"Tarnholm\"，表\"dbo.岗位员工new\", column '工号'。"_s,
       u"表岗位员工new的检查约束CK_工号阻止了修改，数据库没有任何修改；数据库检查列出这些约束\n"
       u"UPDATE 语句与 CHECK 约束\"CK_工号\"冲突。该冲突发生于数据库\"Tarnholm\"，表\"dbo.岗位员工new\", column '工号'。"_s},
      {9002, 5, u"数据库 'Tarnholm' 的事务日志已满。"_s, u"数据库 'Tarnholm' 的事务日志已满。"_s},
      {2627, 0, u"违反了 PRIMARY KEY 约束“PK_员工档案”。不能在对象“dbo.员工档案”中插入重复键。"_s,
       u"违反了 PRIMARY KEY 约束“PK_员工档案”。不能在对象“dbo.员工档案”中插入重复键。\n第150行 原工号 2150 新工号 5150"_s,
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.native);
    auto state = std::make_shared<scripted::State>();
    db::Database database;
    QString error;
    ASSERT_TRUE(database.openOdbcConnection(scripted::connection(state), &error)) << error.toStdString();
    state->executed.clear();
    // The register holds every old number once and no new one; the first execution goes through;
    // the second fails at row 150, and the server (XACT_ABORT ON) rolls the transaction back.
    // The catalogue's widths first (read once per connection; none known here), then the register
    // (the 300 old and the 300 new numbers, 500 to a statement).
    state->replies << QList<scripted::Result>{scripted::rows(catalogueColumns(), {})};
    QList<QVariantList> counts;
    for (int i = 0; i < int(rows.size()); ++i) counts << QVariantList{i, rows[std::size_t(i)].oldNo, 1, u"某"_s};
    state->replies << QList<scripted::Result>{scripted::rows({u"序"_s, u"工号"_s, u"人数"_s, u"姓名"_s}, counts)};
    state->replies << QList<scripted::Result>{scripted::rows({u"序"_s, u"工号"_s, u"人数"_s, u"姓名"_s}, {})};
    state->replies << QList<scripted::Result>{scripted::count(1)};
    QList<scripted::Result> second;
    for (int k = statementOfRow150(c.column); k > 0; --k) second << scripted::count(1);
    second << scripted::errorAsInfo(c.text, c.native);
    second.last().endsTransaction = true;
    state->replies << second;
    // Sent again: the first execution and rows 101 to 149 go through, row 150 fails.
    for (int k = 0; k < 50; ++k) state->replies << QList<scripted::Result>{scripted::count(1)};
    state->replies << QList<scripted::Result>{scripted::error(c.text, c.native)};

    QString failure = u"(no error)"_s;
    session::Session session(database, {u"scripted"_s, u"Tarnholm"_s, u"sa"_s}, QDir::temp().filePath(u"none.ini"_s));
    try {
      applyRows(session, rows);
    } catch (const db::DbError& e) {
      failure = e.text();
    }
    EXPECT_EQ(failure, c.message);
    // The catalogue read, the register's two reads, the first execution (rows 1-100: 2001...) and the second (rows
    // 101-200: 2101...) once each, then only the rollback: no slice sent again, no third execution, no commit.
    // A row's failure: the first execution again and the second's rows one by one up to row 150, then the rollback.
    const QStringList& sent = state->executed;
    ASSERT_EQ(sent.size(), c.resent ? 62 : 8) << sent.join(u"\n"_s).toStdString();
    EXPECT_TRUE(sent[0].contains(u"INFORMATION_SCHEMA.COLUMNS"_s));
    EXPECT_EQ(sent.mid(1, 2), (QStringList{u"BEGIN TRANSACTION"_s, u"SELECT @@TRANCOUNT"_s}));
    EXPECT_TRUE(sent[3].startsWith(u"SELECT"_s, Qt::CaseInsensitive) && sent[3].contains(u"'2300'"_s));
    EXPECT_TRUE(sent[4].startsWith(u"SELECT"_s, Qt::CaseInsensitive) && sent[4].contains(u"'5300'"_s));
    EXPECT_TRUE(sent[5].contains(u"'2001'"_s) && sent[5].contains(u"'2100'"_s) && !sent[5].contains(u"'2101'"_s));
    EXPECT_TRUE(sent[6].contains(u"'2101'"_s) && sent[6].contains(u"'2200'"_s) && !sent[6].contains(u"'2201'"_s));
    EXPECT_EQ(sent[7], u"IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"_s);
    if (c.resent) {
      EXPECT_EQ(sent.mid(8, 2), (QStringList{u"BEGIN TRANSACTION"_s, u"SELECT @@TRANCOUNT"_s}));
      EXPECT_EQ(sent[10], sent[5]);
      QStringList oneByOne;
      for (std::size_t i = 100; i < 150; ++i) oneByOne << applyBatch(rows[i].oldNo, rows[i].newNo, {});
      EXPECT_EQ(sent.mid(11, 50), oneByOne);
      EXPECT_EQ(sent[61], u"IF @@TRANCOUNT > 0 ROLLBACK TRANSACTION"_s);
    }
    EXPECT_FALSE(database.inTransaction());
  }
}

class BatchApplyFailure : public BatchData {
 protected:
  const Rows rows = threeHundredRows();
  QStringList olds;
  void SetUp() override {
    BatchData::SetUp();
    for (const Row& r : rows) olds << r.oldNo;
    addListed(olds);
  }
  // Applies the rows with the given failure thrown, once, as the second execution is sent;
  // returns the error's text and puts the statements sent after it into *after.
  QString applyFailingOnce(const db::DbError& fault, QStringList* after) {
    const QString second = applyExecutions(rows, {})[1];
    bool failed = false;
    shared().setStatementObserver([&](const QString& sql) {
      if (failed) {
        *after << sql;
      } else if (sql == second) {
        failed = true;
        throw fault;
      }
    });
    QString text = u"(no error)"_s;
    try {
      applyRows(Harness::current().session(), rows);
    } catch (const db::DbError& e) {
      text = e.text();
    }
    shared().setStatementObserver({});
    return text;
  }
  static db::Database& shared() { return Harness::current().database(); }
};

TEST_F(BatchApplyFailure, OnlyARowsFailureIsSentAgainAndNamesTheRows) {
  const testdb::Snapshot before = testdb::snapshot();
  const QStringList first{applyExecutions(rows, {})[0]};
  QStringList oneByOne = first;
  for (std::size_t i = 100; i < 200; ++i) oneByOne << applyBatch(rows[i].oldNo, rows[i].newNo, {});
  const struct {
    db::DbError fault;
    QString message;
    QStringList after;  // the statements sent after the failure
  } cases[] = {
      // A duplicate key, once: every row of the failed execution goes through alone, and the
      // execution's rows are named.
      {db::DbError(u"违反了 UNIQUE KEY 约束。"_s, db::Cause::Other, 2627), u"违反了 UNIQUE KEY 约束。\n第101至200行"_s,
       oneByOne},
      // A fault of the connection, a full log, a deadlock's victim at row 150: nothing is sent again.
      {db::DbError(u"连接出现一次性故障"_s), u"连接出现一次性故障"_s, {}},
      {db::DbError(u"事务日志已满。"_s, db::Cause::Other, 9002), u"事务日志已满。"_s, {}},
      {db::DbError(u"死锁牺牲品"_s, db::Cause::Deadlock, 1205).atStatement(statementOfRow150(8)),
       u"表pg维修人员正被其他程序使用，本次修改已撤销，数据库没有任何修改，请稍后再试\n死锁牺牲品"_s,
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault.text().toStdString());
    QStringList after;
    EXPECT_EQ(applyFailingOnce(c.fault, &after), c.message);
    EXPECT_EQ(after, c.after);
    EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());
  }
}

// The embedded engine's own failures, raised by a trigger on the register as row 150 (the last of
// the second execution) is written: SQLite's texts are worded and sent again as SQL Server's
// numbers are.
TEST_F(BatchApplyFailure, TheEmbeddedEnginesFailuresAreWordedAndSentAgainAsSqlServers) {
  const testdb::Snapshot before = testdb::snapshot();
  const Rows first150(rows.begin(), rows.begin() + 150);
  const struct {
    QString raised;
    QString message;
  } cases[] = {
      {u"UNIQUE constraint failed: 员工档案.工号"_s,
       u"UNIQUE constraint failed: 员工档案.工号\n第150行 原工号 2150 新工号 5150"_s},
      {u"Conversion failed when converting the varchar value 'x' to data type int."_s,
       u"Conversion failed when converting the varchar value 'x' to data type int.\n第150行 原工号 2150 新工号 5150"_s},
      {u"FOREIGN KEY constraint failed"_s,
       u"表员工档案的外键约束阻止了修改，数据库没有任何修改；数据库检查列出这些约束\nFOREIGN KEY constraint failed"_s},
      {u"CHECK constraint failed: CK_工号"_s,
       u"表员工档案的检查约束CK_工号阻止了修改，数据库没有任何修改；数据库检查列出这些约束\nCHECK constraint failed: CK_工号"_s},
      {u"register locked"_s, u"register locked"_s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.raised.toStdString());
    testdb::rawExec(
        u"CREATE TRIGGER refuse BEFORE UPDATE ON 员工档案 WHEN NEW.工号='5150' BEGIN SELECT RAISE(ABORT, "_s +
        db::sqlQuote(c.raised) + u"); END"_s);
    QString failure = u"(no error)"_s;
    try {
      applyRows(Harness::current().session(), first150);
    } catch (const db::DbError& e) {
      failure = e.text();
    }
    testdb::rawExec(u"DROP TRIGGER refuse"_s);
    EXPECT_EQ(failure, c.message);
    EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());
  }
}

}  // namespace
