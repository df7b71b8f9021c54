// The batch apply and the automatic check as they were (--before): one number, one column or one
// row per round trip, the same end state as the tool's.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <memory>

#include "tools/bench/batch_before.h"
#include "tools/bench/bench_host.h"
#include "tools/bench/bench_measures.h"
#include "db/database.h"
#include "host/host_tables.h"
#include "core/common/holders.h"

using namespace bench;

namespace {

class BenchBefore : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = std::make_unique<QTemporaryDir>();
    cache_ = ensureCache(dir_->filePath("cache"), 300, 1, [](const QString&) {});
  }
  static void TearDownTestSuite() { dir_.reset(); }
  static std::unique_ptr<QTemporaryDir> dir_;
  static QString cache_;
};
std::unique_ptr<QTemporaryDir> BenchBefore::dir_;
QString BenchBefore::cache_;

int count(const QString& sql) { return scalar(sql).toInt(); }
QString inRegister(const QString& number) {
  return QStringLiteral("SELECT count(*) FROM 员工档案 WHERE 工号='") + number + u'\'';
}
QString inPayroll(const QString& number) {
  return QStringLiteral("SELECT count(*) FROM 工资单明细 WHERE 员工编号='") + number + u'\'';
}

}  // namespace

TEST_F(BenchBefore, ApplySendsANumberAColumnOrARowPerRoundTripAndEndsAsTheToolDoes) {
  openCopy(cache_, dir_->filePath("apply.db"));
  db::Database& database = connection();
  const QStringList olds = column(QStringLiteral("SELECT 工号 FROM 员工档案 ORDER BY ID LIMIT 3"));
  ASSERT_EQ(olds.size(), 3);
  const QStringList news{"8100000", "8100001", "8100002"};
  batch::Rows rows;
  for (int i = 0; i < 3; ++i) rows.push_back({olds[i], news[i]});
  const int payroll0 = count(inPayroll(olds[0]));
  ASSERT_GT(payroll0, 0);

  QStringList sent;
  database.setStatementObserver([&sent](const QString& sql) { sent << sql; });
  const batch::oneByOne::Apply done = batch::oneByOne::apply(database, rows);
  database.setStatementObserver({});
  EXPECT_TRUE(done.applied());
  EXPECT_TRUE(done.held.empty());
  // The re-check: one register query per row; the merge question: one per column; then per row
  // its count and its statements.
  const std::vector<host::RefColumn> columns = host::allColumns({});
  ASSERT_EQ(sent.size(), qsizetype(3 + columns.size() + 2 * 3));
  EXPECT_EQ(sent[0],
            "SELECT 员工档案.工号, 员工档案.姓名, 员工档案.员工类别 FROM 员工档案  WHERE (员工档案.工号='8100000')");
  EXPECT_EQ(sent[2],
            "SELECT 员工档案.工号, 员工档案.姓名, 员工档案.员工类别 FROM 员工档案  WHERE (员工档案.工号='8100002')");
  for (std::size_t k = 0; k < columns.size(); ++k)
    EXPECT_EQ(sent[qsizetype(3 + k)], common::holdersSql(columns[k], news));
  for (int i = 0; i < 3; ++i) {
    const qsizetype at = qsizetype(3 + columns.size()) + 2 * i;
    EXPECT_EQ(sent[at], "Select Count(*) As 人数 From 员工档案 Where 工号='" + olds[i] + "'");
    EXPECT_EQ(sent[at + 1], batch::applyBatch(olds[i], news[i], {}));
  }
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(count(inRegister(news[i])), 1);
    EXPECT_EQ(count(inRegister(olds[i])), 0);
  }
  EXPECT_EQ(count(inPayroll(news[0])), payroll0);
  EXPECT_EQ(count(inPayroll(olds[0])), 0);

  // A row whose old number the register does not hold: everything rolled back, the row returned.
  const batch::Rows stale{{news[0], "8100010"}, {"no-such", "8100011"}};
  const batch::oneByOne::Apply stopped = batch::oneByOne::apply(database, stale);
  EXPECT_FALSE(stopped.applied());
  EXPECT_EQ(stopped.result.staleRow, 1);
  EXPECT_EQ(stopped.result.staleOld, "no-such");
  EXPECT_EQ(count(inRegister(news[0])), 1);
  EXPECT_EQ(count(inPayroll(news[0])), payroll0);
  EXPECT_EQ(count(inRegister("8100010")), 0);

  // A new number the register holds: the check stops there, nothing is asked or changed after it.
  sent.clear();
  database.setStatementObserver([&sent](const QString& sql) { sent << sql; });
  const batch::oneByOne::Apply taken = batch::oneByOne::apply(database, {{news[0], "8100020"}, {news[1], news[2]}});
  database.setStatementObserver({});
  EXPECT_EQ(taken.check.status, batch::Status::Taken);
  EXPECT_EQ(taken.check.row, 1);
  EXPECT_FALSE(taken.applied());
  EXPECT_EQ(sent.size(), 2);
  EXPECT_EQ(count(inRegister(news[0])), 1);
  closeShared();
}

// Measures 2 and 4 with --before at the smoke scale: the work as it was runs beside the tool's,
// with the same latency, ends in the same state (the measure fails otherwise) and costs more
// round trips.
TEST_F(BenchBefore, MeasuresTheApplyAndTheCheckAsTheyWere) {
  Options o;
  o.employees = 300;
  o.rowsPerEmployee = 1;
  o.runs = 1;
  o.only = {"batch", "check"};
  o.latencyMs = 2;
  o.before = true;
  Context cx;
  cx.plan = plan(o);
  cx.cacheFile = cache_;
  cx.workDir = dir_->filePath("work");
  QStringList failures;
  const std::vector<Line> lines = runAll(cx, &failures);
  EXPECT_TRUE(failures.isEmpty()) << failures.join('\n').toStdString();
  ASSERT_EQ(lines.size(), 2u);
  for (const Line& l : lines) {
    ASSERT_TRUE(l.hasBefore()) << l.id.toStdString();
    EXPECT_GT(l.beforeRoundTrips, 2 * l.roundTrips) << l.id.toStdString();
    EXPECT_GE(l.beforeMs, 2.0 * double(l.beforeRoundTrips)) << l.id.toStdString();
    EXPECT_GT(l.beforeStallMs, 0) << l.id.toStdString();
    EXPECT_EQ(l.against.back().ms, l.beforeMs) << l.id.toStdString();
    EXPECT_EQ(l.against.back().kind, Comparison::Kind::Slower) << l.id.toStdString();
  }
  // 15 rows: a register query each, one query per column, then a count and an execution per row.
  ASSERT_EQ(lines[0].id, "2");
  EXPECT_EQ(lines[0].beforeRoundTrips, qint64(15 + host::allColumns({}).size() + 2 * 15));
  EXPECT_EQ(lines[0].against.size(), 3u);  // one transaction, autocommit, as it was
  ASSERT_EQ(lines[1].id, "4");
  EXPECT_EQ(lines[1].against.size(), 2u);  // the literal algorithm, as it was
  // The check as it was asks once per distinct number: at least once per changed row's number.
  EXPECT_GE(lines[1].beforeRoundTrips, 75 - 4);
  EXPECT_TRUE(beforeAfterTable(lines, 2).startsWith("Before and after, 2 ms per round trip:"));

  // Without --before nothing of it is measured.
  cx.plan.before = false;
  cx.plan.latencyMs = 0;
  cx.plan.measures = {"batch"};
  const std::vector<Line> after = runAll(cx, &failures);
  ASSERT_EQ(after.size(), 1u);
  EXPECT_FALSE(after[0].hasBefore());
  EXPECT_EQ(after[0].against.size(), 2u);
  EXPECT_TRUE(beforeAfterTable(after, 0).isEmpty());
}
