// A process killed (SIGKILL) at a random moment of a batch apply or a staging leaves the embedded
// database wholly as before or wholly as after, never in between.
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <random>

#include "ops/batch/batch_ops.h"
#include "tests/batch/batch_fixture.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/test_data.h"

namespace {

using namespace batch;

class BatchKilled : public BatchData {
 protected:
  QString copy(const QString& name) {
    const QString path = h.dir() + u'/' + name;
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(h.databasePath(), path));
    return path;
  }
  // The snapshot of another database file (the shared connection moves to it, then back).
  testdb::Snapshot snapshotOf(const QString& path) {
    db::Database& d = db::Database::shared();
    d.close();
    QString error;
    EXPECT_TRUE(d.openSqlite(path, &error)) << error.toStdString();
    const testdb::Snapshot s = testdb::snapshot();
    d.close();
    EXPECT_TRUE(d.openSqlite(h.databasePath(), &error)) << error.toStdString();
    return s;
  }
  // Runs the helper on a copy of before; kills it after delayMs (never when delayMs < 0).
  // Returns how long the work ran.
  qint64 run(const QString& database, const QStringList& work, int delayMs) {
    QProcess p;
    p.start(QStringLiteral(BATCH_KILL_HELPER), QStringList{database} + work);
    EXPECT_TRUE(p.waitForStarted());
    while (!p.readAllStandardOutput().contains("ready")) EXPECT_TRUE(p.waitForReadyRead(10000));
    QElapsedTimer clock;
    clock.start();
    if (delayMs >= 0) {
      QThread::msleep(ulong(delayMs));
      p.kill();  // SIGKILL
    }
    EXPECT_TRUE(p.waitForFinished(30000));
    return clock.elapsed();
  }
  void killedAtRandom(const QStringList& work, const testdb::Snapshot& before) {
    const QString base = copy(u"base.db"_s);
    // One whole run: how long the work takes, and the state after it.
    const QString whole = copy(u"whole.db"_s);
    const qint64 ms = run(whole, work, -1);
    const testdb::Snapshot after = snapshotOf(whole);
    ASSERT_NE(testdb::difference(before, after), QString());
    std::mt19937 rng(20261208);
    int befores = 0, afters = 0;
    for (int i = 0; i < 20; ++i) {
      const QString path = h.dir() + u"/killed.db"_s;
      QFile::remove(path);
      QFile::remove(path + u"-journal"_s);
      ASSERT_TRUE(QFile::copy(base, path));
      run(path, work, int(rng() % quint32(ms + ms / 5 + 1)));
      const testdb::Snapshot s = snapshotOf(path);  // a hot journal is rolled back on opening
      if (testdb::difference(before, s).isEmpty())
        ++befores;
      else if (testdb::difference(after, s).isEmpty())
        ++afters;
      else
        ADD_FAILURE() << "run " << i << ": between: " << testdb::difference(before, s).toStdString();
    }
    EXPECT_GT(befores, 0);  // some kills came before the commit
  }
};

TEST_F(BatchKilled, ApplyAndStagingAreWhollyBeforeOrWhollyAfter) {
  QStringList values;
  for (int i = 0; i < 400; ++i)
    values << u"('%1', '员工%1', '保安', %2)"_s.arg(1000 + i).arg(i % 4 ? u"'P01'"_s : u"NULL"_s);
  h.exec(u"INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES "_s + values.join(u", "_s));
  for (int n : {1000, 1001, 1399}) testdata::references(pinned::refColumns(), QString::number(n));
  const testdb::Snapshot before = testdb::snapshot();
  QFile rows(h.dir() + u"/rows.txt"_s);
  ASSERT_TRUE(rows.open(QIODevice::WriteOnly));
  for (int i = 0; i < 400; ++i) rows.write(QStringLiteral("%1\t%2\n").arg(1000 + i).arg(70000 + i).toUtf8());
  rows.close();
  killedAtRandom({u"apply"_s, rows.fileName()}, before);
  killedAtRandom({u"stage"_s}, before);
}

}  // namespace
