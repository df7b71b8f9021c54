// A process killed (SIGKILL) at any moment of a batch apply or a staging, run with its change
// journal attached as the tool runs them, leaves at the next start (the database opened, then the
// journal with its recovery of pending entries) either the change and its journal entry, or
// neither: never a change without its entry, an entry without its change, or half a change.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <random>

#include "core/batch/batch_ops.h"
#include "core/journal/journal.h"
#include "core/session/session.h"
#include "tests/support/batch_fixture.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/test_data.h"

namespace {

using namespace batch;

// What the next start finds.
struct Found {
  testdb::Snapshot database;
  std::vector<journal::Entry> entries;  // written in the journal
  std::vector<journal::Entry> pending;  // left in the pending file after the start's recovery
};

// The entry as recorded, without what differs from one run to the next (its time).
QString recorded(const journal::Entry& e) {
  QString s = QString::number(e.id) + u'|' + e.operation + u'|' + e.login + u'|' + e.server + u'|' + e.statement;
  for (const journal::Pair& p : e.pairs) s += u'|' + p.oldNumber + u'>' + p.newNumber + u'>' + p.name;
  for (const journal::ColumnRows& c : e.rows) s += u'|' + c.table + u'.' + c.column + u'=' + QString::number(c.rows);
  return s;
}

class BatchKilled : public BatchData {
 protected:
  // The files of the runs on a memory file system where there is one: a killed process loses
  // nothing that a flush to the disk would have kept (the process dies, not the machine), and the
  // flushes of a hundred runs would be most of the test's time.
  QTemporaryDir files{(QDir(u"/dev/shm"_s).exists() ? u"/dev/shm"_s : QDir::tempPath()) + u"/renumber-kill-XXXXXX"_s};
  QString copy(const QString& name) {
    const QString path = files.path() + u'/' + name;
    QFile::remove(path);
    EXPECT_TRUE(QFile::copy(h.databasePath(), path));
    return path;
  }
  QString killed() const { return files.path() + u"/killed.db"_s; }
  QString journalFolder() const { return files.path() + u"/journal"_s; }
  // A fresh killed.db from base, and no journal.
  void fresh(const QString& base) {
    for (const QString& f : {killed(), killed() + u"-journal"_s}) QFile::remove(f);
    QDir(journalFolder()).removeRecursively();
    ASSERT_TRUE(QFile::copy(base, killed()));
  }
  // The next start on killed.db (the harness's connection moves to it, then back): the database
  // opened (a hot rollback journal is rolled back), then the journal (the entries left pending are
  // written).
  Found reopened() {
    db::Database& d = h.database();
    d.close();
    QString error;
    EXPECT_TRUE(d.openSqlite(killed(), &error)) << error.toStdString();
    Found found{testdb::snapshot(), {}, {}};
    {
      session::Session session(d, {u"sqlite:"_s + killed(), QString(), u"sa"_s}, journalFolder() + u"/renumber.ini"_s,
                               journalFolder());
      EXPECT_EQ(session.openJournal(), QString());
      found.entries = session.journal().entries();
      found.pending = session.journal().pendingEntries();
    }
    d.close();
    EXPECT_TRUE(d.openSqlite(h.databasePath(), &error)) << error.toStdString();
    return found;
  }
  // Runs the helper on killed.db with its journal. With killAt > 0 it kills itself before its
  // killAt-th file operation; with delayMs >= 0 it is killed after delayMs. Returns the helper's
  // last line when it ran to its end ("done <operations> <syncs, truncations, deletions>..."), ""
  // when it was killed.
  QString run(const QStringList& work, long killAt, int delayMs = -1, qint64* ms = nullptr) {
    QProcess p;
    p.start(QStringLiteral(BATCH_KILL_HELPER), QStringList{killed(), journalFolder(), QString::number(killAt)} + work);
    EXPECT_TRUE(p.waitForStarted());
    QByteArray out;
    while (!out.contains("ready")) {
      EXPECT_TRUE(p.waitForReadyRead(10000)) << p.readAllStandardError().toStdString();
      out += p.readAllStandardOutput();
    }
    QElapsedTimer clock;
    clock.start();
    if (delayMs >= 0) {
      QThread::msleep(ulong(delayMs));
      p.kill();  // SIGKILL
    }
    EXPECT_TRUE(p.waitForFinished(30000));
    if (ms) *ms = clock.elapsed();
    out += p.readAllStandardOutput();
    if (p.exitStatus() == QProcess::CrashExit) return QString();
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const qsizetype at = out.indexOf("done ");
    EXPECT_GE(at, 0) << out.toStdString();
    return QString::fromUtf8(out.mid(at)).trimmed();
  }
  // Kills the work at many moments: before each of its syncs, truncations and deletions of a file
  // and before the operation after each (every step of a commit, of the change's and of the
  // journal's), before operations spread evenly over it, and at random times. Each time the next
  // start finds all of it or nothing.
  void killedEverywhere(const QStringList& work, const testdb::Snapshot& before) {
    const QString base = copy(u"base.db"_s);
    fresh(base);
    qint64 ms = 0;
    const QStringList done = run(work, 0, -1, &ms).split(u' ');
    const Found whole = reopened();
    ASSERT_NE(testdb::difference(before, whole.database), QString());
    ASSERT_EQ(whole.entries.size(), 1u);
    ASSERT_TRUE(whole.pending.empty());
    const QString entry = recorded(whole.entries[0]);
    ASSERT_GT(done.size(), 2);
    const long operations = done[1].toLong();

    std::vector<long> points;
    for (qsizetype i = 2; i < done.size(); ++i)
      for (long k : {done[i].toLong(), done[i].toLong() + 1})
        if (k <= operations) points.push_back(k);
    constexpr long kSpread = 12;
    for (long k = 1; k <= kSpread; ++k) points.push_back(std::max(1L, operations * k / (kSpread + 1)));
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    std::mt19937 rng(20261208);
    int befores = 0, afters = 0;
    const auto check = [&](const QString& when) {
      const Found f = reopened();
      const bool unchanged = testdb::difference(before, f.database).isEmpty();
      const bool changed = testdb::difference(whole.database, f.database).isEmpty();
      if (unchanged && f.entries.empty() && f.pending.empty())
        ++befores;
      else if (changed && f.entries.size() == 1 && recorded(f.entries[0]) == entry && f.pending.empty())
        ++afters;
      else
        ADD_FAILURE() << work[0].toStdString() << " killed " << when.toStdString() << ": database "
                      << (unchanged ? "unchanged"
                          : changed ? "changed"
                                    : "half changed")
                      << ", " << f.entries.size() << " entries, " << f.pending.size() << " pending";
    };
    for (long k : points) {
      fresh(base);
      if (!run(work, k).isEmpty()) ADD_FAILURE() << "not killed before operation " << k;
      check(u"before file operation %1 of %2"_s.arg(k).arg(operations));
    }
    for (int i = 0; i < 3; ++i) {
      fresh(base);
      const int delay = int(rng() % quint32(ms + ms / 5 + 1));
      run(work, 0, delay);
      check(u"after %1 ms"_s.arg(delay));
    }
    EXPECT_GT(befores, 0);
    EXPECT_GT(afters, 0);
  }
};

TEST_F(BatchKilled, ApplyAndStagingLeaveTheChangeAndItsEntryOrNeither) {
  QStringList values;
  for (int i = 0; i < 400; ++i)
    values << u"('%1', '员工%1', '保安', %2)"_s.arg(1000 + i).arg(i % 4 ? u"'P01'"_s : u"NULL"_s);
  h.exec(u"INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES "_s + values.join(u", "_s));
  for (int n : {1000, 1001, 1399}) testdata::references(pinned::refColumns(), QString::number(n));
  const testdb::Snapshot before = testdb::snapshot();
  QFile rows(h.dir() + u"/rows.txt"_s);
  ASSERT_TRUE(rows.open(QIODevice::WriteOnly));
  for (int i = 0; i < 150; ++i) rows.write(QStringLiteral("%1\t%2\n").arg(1000 + i).arg(70000 + i).toUtf8());
  rows.close();
  killedEverywhere({u"apply"_s, rows.fileName()}, before);
  killedEverywhere({u"stage"_s}, before);
}

}  // namespace
