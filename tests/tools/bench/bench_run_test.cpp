// The measurements at a tiny scale: each runs, checks the work it timed, and reports a failure of
// the tool's code path instead of a time.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "tools/bench/bench_host.h"
#include "tools/bench/bench_measures.h"
#include "db/database.h"
#include "tests/tools/bench/file_hash.h"

using namespace bench;

namespace {

Context tinyContext(const QTemporaryDir& dir, const QSet<QString>& measures) {
  Options o;
  o.employees = 200;
  o.rowsPerEmployee = 1;
  o.runs = 1;
  o.only = measures;
  Context cx;
  cx.plan = plan(o);
  cx.cacheFile = ensureCache(dir.filePath("cache"), o.employees, o.rowsPerEmployee, [](const QString&) {});
  cx.workDir = dir.filePath("work");
  return cx;
}

const Line* lineOf(const std::vector<Line>& lines, const QString& id) {
  for (const Line& l : lines)
    if (l.id == id) return &l;
  return nullptr;
}

}  // namespace

TEST(BenchRun, EveryDatabaseMeasurementRunsAtATinyScale) {
  QTemporaryDir dir;
  const Context cx = tinyContext(dir, {"single", "batch", "listing", "search", "check", "staging"});
  const QByteArray cacheBefore = fileHash(cx.cacheFile);
  QStringList failures;
  const std::vector<Line> lines = runAll(cx, &failures);
  EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();

  QStringList ids;
  for (const Line& l : lines) {
    ids << l.id;
    EXPECT_TRUE(l.skipped.isEmpty()) << l.id.toStdString() << ": " << l.skipped.toStdString();
    EXPECT_GT(l.toolMs, 0) << l.id.toStdString();
    for (const Comparison& c : l.against) EXPECT_GT(c.ms, 0) << l.id.toStdString();
  }
  EXPECT_EQ(ids, (QStringList{"1", "2", "3a", "3b", "4", "5"}));
  // Bare statements in one transaction and in autocommit for both renumbers; the literal check.
  EXPECT_EQ(lineOf(lines, "1")->against.size(), 2u);
  EXPECT_EQ(lineOf(lines, "2")->against.size(), 2u);
  EXPECT_EQ(lineOf(lines, "4")->against.size(), 1u);
  EXPECT_EQ(lineOf(lines, "3a")->measure, "listing of a rule with 200 employees into the batch window's grid");
  EXPECT_EQ(lineOf(lines, "2")->measure,
            "batch apply of 10 employees: Command3 (check, then 920 updates in one transaction)");
  EXPECT_TRUE(lineOf(lines, "4")->measure.startsWith("automatic check of 50 rows with 5 conflicts: Command2 ("));
  EXPECT_EQ(lineOf(lines, "5")->measure, "staging script over 20 employees without a position: Command5 (92 batches)");
  // Autocommit pays one commit per statement: far slower than one transaction even here.
  EXPECT_GT(lineOf(lines, "1")->against[1].ms, lineOf(lines, "1")->against[0].ms);

  EXPECT_EQ(fileHash(cx.cacheFile), cacheBefore);  // the measurements worked on copies
  EXPECT_FALSE(connection().isOpen());
  EXPECT_FALSE(QFile::exists(QDir(cx.workDir).filePath("scratch.db")));
}

TEST(BenchRun, AFailingRenumberIsReportedWithTheDatabasesTextNotTimed) {
  QTemporaryDir dir;
  Context cx = tinyContext(dir, {"single", "batch", "search"});
  // A database whose payroll table refuses the new numbers the windows are given (9100000 for the
  // single renumber, 81xxxxx for the batch), while the warm-up round trips pass.
  const QString faulty = dir.filePath("faulty.db");
  openCopy(cx.cacheFile, faulty);
  runBare(QStringLiteral(
      "CREATE TRIGGER stop BEFORE UPDATE ON 工资单明细 WHEN NEW.员工编号 = '9100000' OR NEW.员工编号 LIKE "
      "'81_____' BEGIN SELECT RAISE(ABORT, '工资单明细 is locked'); END"));
  closeShared();
  cx.cacheFile = faulty;

  QStringList failures;
  const std::vector<Line> lines = runAll(cx, &failures);
  ASSERT_EQ(failures.size(), 2);
  EXPECT_TRUE(failures[0].startsWith("single: the single renumber of ")) << failures[0].toStdString();
  EXPECT_TRUE(failures[0].contains("工资单明细 is locked")) << failures[0].toStdString();
  EXPECT_TRUE(failures[1].startsWith("batch: the batch apply did not happen: ")) << failures[1].toStdString();
  EXPECT_TRUE(failures[1].contains("工资单明细 is locked")) << failures[1].toStdString();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].skipped.startsWith("failed: the single renumber of "));
  EXPECT_TRUE(lines[1].skipped.startsWith("failed: the batch apply did not happen"));
  EXPECT_TRUE(lines[2].skipped.isEmpty());  // the search is unaffected and measured
  EXPECT_GT(lines[2].toolMs, 0);
}
