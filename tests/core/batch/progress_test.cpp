// Long batch work in slices: set queries instead of one query per number, rows joined into few
// executions, the failing row still named, and a stop through the progress callback that leaves
// the database exactly as it was. Round trips are counted in the statement log on generated data.
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <random>

#include "db/tsql_tokens.h"
#include "core/batch/batch_ops.h"
#include "core/batch/batch_preview.h"
#include "core/common/holders.h"
#include "gui/batch/batch_window.h"
#include "tests/support/batch_fixture.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/test_data.h"
#include "tests/support/db_snapshot.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/progress.h"

namespace {

using namespace batch;
db::Database& shared() { return Harness::current().database(); }
session::Session& session() { return Harness::current().session(); }

// A progress callback that stops at its stopAt-th call (0-based; -1 never) and counts its calls
// between slices; the calls made while a statement runs go on and are counted apart.
struct StopAt {
  explicit StopAt(int stop = -1) : stopAt(stop) {}
  int stopAt;
  int calls = 0;
  int stillWorking = 0;
  std::vector<std::pair<int, int>> seen;
  Progress callback() {
    return [this](int done, int total) {
      if (done == common::kStillWorking) return ++stillWorking > 0;
      seen.emplace_back(done, total);
      return calls++ != stopAt;
    };
  }
};

// Whether a statement stays within SQL Server's limits: fewer than 65,535 constants, under 1 MB
// in UTF-16 (500,000 characters); "" or what it exceeds.
QString beyondLimits(const QString& statement) {
  qsizetype literals = 0;
  for (const db::tsql::Token& t : db::tsql::tokenize(statement))
    if (t.kind == db::tsql::Kind::String || t.kind == db::tsql::Kind::Number) ++literals;
  if (literals >= 65535) return u"%1 constants"_s.arg(literals);
  if (statement.size() >= 500000) return u"%1 characters"_s.arg(statement.size());
  return QString();
}

class BatchSlices : public BatchData {
 protected:
  // count employees of rule 1 with numbers first, first+1, ... (one INSERT per 500).
  void addMany(int first, int count) {
    for (int from = 0; from < count; from += 500) {
      QStringList values;
      for (int i = from; i < std::min(count, from + 500); ++i)
        values << u"('%1', '员工%1', '保安', 'P01')"_s.arg(first + i);
      h.exec(u"INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES "_s + values.join(u", "_s));
    }
  }
  Rows renumbering(int first, int count, int to) {
    Rows rows;
    for (int i = 0; i < count; ++i) rows.push_back({QString::number(first + i), QString::number(to + i)});
    return rows;
  }
  QString registerCount(const QString& where) { return h.value(u"SELECT COUNT(*) FROM 员工档案 WHERE "_s + where); }
};

TEST_F(BatchSlices, ApplyOfAThousandRowsInFewRoundTripsWithTheSameTexts) {
  addMany(100000, 1000);
  testdata::references(pinned::refColumns(), u"100000"_s);
  testdata::references(pinned::refColumns(), u"100999"_s);
  const Rows rows = renumbering(100000, 1000, 800000);
  // The impact preview of the same thousand rows: all columns counted together, a few round trips.
  h.clearStatements();
  const ApplyPreview preview = previewApply(session(), rows, {});
  ASSERT_EQ(preview.status, ApplyPreview::Status::Ready);
  // Every employee's register row, and the two numbers' rows in the 91 other columns.
  EXPECT_EQ(preview.impact.totalOld, 1000 + 2 * 91);
  EXPECT_LE(h.statements().size(), 20);
  h.clearStatements();
  ASSERT_TRUE(applyRows(session(), rows).applied());
  const QStringList sent = h.statements();
  EXPECT_LE(sent.size(), 30);
  // The register counts, then every row's text in row order,
  // joined into executions.
  const QStringList executions = sent.filter(u"Update"_s);
  EXPECT_EQ(executions.size(), (1000 + kRowsPerExecution - 1) / kRowsPerExecution);
  QString expected;
  for (const Row& r : rows) expected += applyBatch(r.oldNo, r.newNo, {});
  EXPECT_EQ(executions.join(QString()), expected);
  // The register's holders of the old and new numbers, kept until the end (the widths were read
  // for the preview, once per connection).
  EXPECT_TRUE(sent[0].startsWith(
      u"SELECT 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 人数, MIN(员工档案.姓名) AS 姓名 FROM 员工档案 "
      u"WITH (UPDLOCK, HOLDLOCK) INNER JOIN (SELECT 0 AS 序, '100000' AS 号 UNION ALL SELECT 1, '100001'"_s))
      << sent[0].left(200).toStdString();
  EXPECT_EQ(registerCount(u"工号 >= '800000' AND 工号 <= '800999'"_s), u"1000"_s);
  EXPECT_EQ(registerCount(u"工号 >= '100000' AND 工号 <= '100999'"_s), u"0"_s);
  EXPECT_EQ(everyColumn(u"800000"_s, true), QString());
  EXPECT_EQ(everyColumn(u"800999"_s, true), QString());
  EXPECT_EQ(everyColumn(u"100999"_s, false), QString());
}

TEST_F(BatchSlices, APreviewOfAThousandRowsTakesAtMostTwentyRoundTrips) {
  addMany(100000, 1000);
  testdata::references(pinned::refColumns(), u"100000"_s);
  testdata::references(pinned::refColumns(), u"800999"_s);  // merged into the last row's employee
  h.clearStatements();
  const ApplyPreview p = previewApply(session(), renumbering(100000, 1000, 800000), {});
  ASSERT_EQ(p.status, ApplyPreview::Status::Ready) << refusalMessage(p).toStdString();
  const QStringList sent = h.statements();
  EXPECT_LE(sent.size(), 20);
  for (const QString& s : sent) EXPECT_EQ(beyondLimits(s), QString()) << s.left(100).toStdString();
  // The register's 1,000 rows and one row in each of the 91 other columns move; 91 are merged.
  EXPECT_EQ(std::make_pair(p.impact.totalOld, p.impact.totalNew), std::make_pair(qint64(1091), qint64(91)));
  EXPECT_EQ(p.impact.employees.front().rowsMoved, 92);
  EXPECT_EQ(p.impact.employees.back().newRows, 91);
}

// Numbers of any length: every statement the joined counts and the apply send stays within the
// limits, and together they ask every column for every number once.
TEST(StatementLimits, SlicesOfLongNumbersStayWithinBothLimits) {
  std::vector<common::CountedColumn> columns;
  for (const host::RefColumn& c : host::allColumns({})) {
    columns.push_back({c, true});
    if (!c.extraCondition().isEmpty()) columns.push_back({c, false});
  }
  ASSERT_EQ(columns.size(), 93u);
  const struct {
    int numbers;
    QString number;  // the numbers: this text and their index
    qsizetype statements;  // joined statements (by the constants, the characters or the columns)
    // Of the apply, the rows renaming each number to it with a "9" in front; 0: not sent (no column
    // holds such a number: the renumbers refuse it before they send anything).
    int executions;
  } cases[] = {
      {320, u"80"_s, 2, 4},  // 186 constants a number: 160 numbers a statement; 100 rows an execution
      {300, u"X"_s.repeated(46), 5, 9},  // 6,975 characters a number: 67 a statement; 37 rows an execution
      {40, u"O'"_s.repeated(20), 1, 2},  // quotes doubled (66 characters a literal); 31 rows an execution
      // 93 columns do not hold it once: 23 columns at a time, a number a statement; the 93rd alone
      // for all three.
      {3, u"9"_s.repeated(20000), 4 * 3 + 1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number.left(20).toStdString());
    QStringList numbers;
    Rows rows;
    for (int i = 0; i < c.numbers; ++i) {
      numbers << c.number + QString::number(1000 + i);
      rows.push_back({numbers.back(), u'9' + numbers.back()});
    }
    const std::vector<common::JoinedStatement> statements = common::joinedStatements(columns, numbers, 500);
    EXPECT_EQ(qsizetype(statements.size()), c.statements);
    qsizetype asked = 0;
    for (const common::JoinedStatement& s : statements) {
      EXPECT_EQ(beyondLimits(common::joinedSql(columns, numbers, s)), QString());
      asked += s.columns * s.numbers;
    }
    EXPECT_EQ(asked, qsizetype(columns.size()) * c.numbers);
    if (c.executions == 0) continue;
    const QStringList executions = applyExecutions(rows, {});
    EXPECT_EQ(executions.size(), c.executions);
    QString all;
    for (const Row& r : rows) all += applyBatch(r.oldNo, r.newNo, {});
    EXPECT_EQ(executions.join(QString()), all);
    for (const QString& e : executions) EXPECT_EQ(beyondLimits(e), QString());
  }
}

TEST_F(BatchSlices, StaleRowsFoundFromTheSetCounts) {
  addMany(100, 120);
  testdata::employee({.number = u"7000"_s, .name = u"重号甲"_s, .category = u"保安"_s, .position = u"P01"_s});
  testdata::employee({.number = u"7000"_s, .name = u"重号乙"_s, .category = u"保安"_s, .position = u"P01"_s});
  const testdb::Snapshot before = testdb::snapshot();
  // A number listed twice: the second row finds it gone (the first row moved it).
  Rows twice = renumbering(100, 120, 5000);
  twice[90] = {u"150"_s, u"6000"_s};
  EXPECT_EQ(applyRows(session(), twice).staleRow, 90);
  // A number two employees hold, and a number nobody holds.
  Rows shared2 = renumbering(100, 120, 5000);
  shared2[70] = {u"7000"_s, u"6000"_s};
  EXPECT_EQ(applyRows(session(), shared2).staleRow, 70);
  Rows gone = renumbering(100, 120, 5000);
  gone[119] = {u"9999"_s, u"6000"_s};
  ApplyResult r = applyRows(session(), gone);
  EXPECT_EQ(r.staleRow, 119);
  EXPECT_EQ(r.staleOld, u"9999"_s);
  // A new number an employee holds (given out after the check): refused, nothing sent.
  Rows taken = renumbering(100, 120, 5000);
  taken[50].newNo = u"7000"_s;
  h.clearStatements();
  r = applyRows(session(), taken);
  EXPECT_EQ(std::make_pair(r.takenRow, r.takenBy), std::make_pair(50, u"重号乙"_s));
  EXPECT_TRUE(h.statements().filter(u"Update"_s).isEmpty());
  // A row whose old number an earlier row of the list brought into the register is not stale.
  Rows chain = renumbering(100, 3, 5000);
  chain.push_back({u"5000"_s, u"6000"_s});
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());
  EXPECT_TRUE(applyRows(session(), chain).applied());
  EXPECT_EQ(registerCount(u"工号='6000'"_s), u"1"_s);
  EXPECT_EQ(h.value(u"SELECT 姓名 FROM 员工档案 WHERE 工号='6000'"_s), u"员工100"_s);
}

TEST_F(BatchSlices, AFailingRowIsNamedAndNothingChanges) {
  addMany(100, 120);
  for (const char* n : {"100", "206", "219"}) testdata::references(pinned::refColumns(), QString::fromLatin1(n));
  const testdb::Snapshot before = testdb::snapshot();
  const Rows rows = renumbering(100, 120, 5000);
  // Row 107 (in the second execution) fails on the photo table.
  const QString failure = applyFailingAt(rows, u"5106"_s);
  EXPECT_TRUE(failure.startsWith(u"NOT NULL constraint failed: 员工照片.工号"_s)) << failure.toStdString();
  EXPECT_TRUE(failure.endsWith(u"\n第107行 原工号 206 新工号 5106"_s)) << failure.toStdString();
  EXPECT_FALSE(shared().inTransaction());
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());
  testdb::rawExec(u"DROP TRIGGER photo_locked"_s);

  // A table gone is no row's failure: the apply ends at once, nothing sent again, no row named.
  testdb::rawExec(u"DROP TABLE 员工照片"_s);
  const testdb::Snapshot withoutPhotos = testdb::snapshot();
  h.clearStatements();
  try {
    applyRows(session(), rows);
    ADD_FAILURE() << "no error";
  } catch (const db::DbError& e) {
    EXPECT_EQ(e.text(), u"缺少表员工照片，没有做任何修改，请先运行数据库检查\nno such table: 员工照片"_s);
  }
  EXPECT_EQ(h.statements().filter(u"Update"_s).size(), 1);
  EXPECT_EQ(testdb::difference(withoutPhotos, testdb::snapshot()), QString());
}

TEST_F(BatchSlices, AStopAtTheStartTheMiddleOrTheEndChangesNothing) {
  addMany(100, 120);
  testdata::employee({.number = u"12"_s, .name = u"无岗"_s, .category = u"保安"_s});
  for (const char* n : {"100", "219", "12"}) testdata::references(pinned::refColumns(), QString::fromLatin1(n));
  const testdb::Snapshot before = testdb::snapshot();
  const Rows rows = renumbering(100, 120, 5000);

  static_assert(kRowsPerExecution < 120 && 2 * kRowsPerExecution >= 120, "120 rows are two executions");
  for (int stop : {0, 2, 3}) {
    StopAt s(stop);
    EXPECT_THROW(applyRows(session(), rows, s.callback()), Cancelled) << stop;
    EXPECT_FALSE(shared().inTransaction());
    EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString()) << stop;
  }
  StopAt all;
  ASSERT_TRUE(applyRows(session(), rows, all.callback()).applied());
  // Start, each execution, end.
  EXPECT_EQ(all.seen, (std::vector<std::pair<int, int>>{{0, 120}, {0, 120}, {kRowsPerExecution, 120}, {120, 120}}));
  EXPECT_EQ(everyColumn(u"5119"_s, true), QString());

  StopAt staging;
  const int batches = int(db::Database::splitBatches(stagingScript({})).size());
  const testdb::Snapshot unstaged = testdb::snapshot();
  for (int stop : {0, batches / 2, batches}) {
    StopAt s(stop);
    EXPECT_THROW(stageNoPosition(session(), s.callback()), Cancelled) << stop;
    EXPECT_EQ(testdb::difference(unstaged, testdb::snapshot()), QString()) << stop;
  }
  stageNoPosition(session(), staging.callback());
  EXPECT_EQ(staging.calls, batches + 1);
  EXPECT_EQ(everyColumn(u"912"_s, true), QString());
}

TEST_F(BatchSlices, AStopWhileAStatementRunsInterruptsItAndChangesNothing) {
  addMany(100, 120);
  testdata::employee({.number = u"12"_s, .name = u"无岗"_s, .category = u"保安"_s});
  for (const char* n : {"100", "12"}) testdata::references(pinned::refColumns(), QString::fromLatin1(n));
  const testdb::Snapshot before = testdb::snapshot();
  shared().setBusyIntervalMs(0);  // every chance the engine gives
  // Stops at the k-th call made inside a statement; slices go on.
  const auto stopInside = [](int k, int& inside) -> Progress {
    return [k, &inside](int done, int) { return done != common::kStillWorking || ++inside < k; };
  };
  for (int k : {1, 40}) {
    int inside = 0;
    EXPECT_THROW(applyRows(session(), renumbering(100, 120, 5000), stopInside(k, inside)), Cancelled) << k;
    EXPECT_EQ(inside, k);
    EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString()) << k;
    inside = 0;
    EXPECT_THROW(stageNoPosition(session(), stopInside(k, inside)), Cancelled) << k;
    EXPECT_EQ(inside, k);
    EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString()) << k;
  }
  // Going on inside the statements changes nothing in the outcome.
  StopAt all;
  ASSERT_TRUE(applyRows(session(), renumbering(100, 120, 5000), all.callback()).applied());
  shared().setBusyIntervalMs(db::Database::kBusyIntervalMs);
  EXPECT_GT(all.stillWorking, 0);
  EXPECT_EQ(everyColumn(u"5000"_s, true), QString());
}

// A register with numbers spread over 10000..32766 and a list of 5,000 rows, 500 of them in
// conflict (twins and numbers the register holds), as the benchmark's.
TEST_F(BatchSlices, ChecksAskTheRegisterInSetsWithTheOutcomeOfOneQueryPerNumber) {
  std::mt19937 rng(7);
  QStringList numbers;
  for (int v = 10000; v < 32767; ++v) numbers << QString::number(v);
  std::shuffle(numbers.begin(), numbers.end(), rng);
  const QStringList registerNumbers = numbers.mid(0, 8000), free = numbers.mid(8000);
  for (int from = 0; from < registerNumbers.size(); from += 500) {
    QStringList values;
    for (const QString& n : registerNumbers.mid(from, 500)) values << u"('%1', '人%1', '保安', 'P01')"_s.arg(n);
    h.exec(u"INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES "_s + values.join(u", "_s));
  }
  Rows rows;
  for (int i = 0; i < 5000; ++i) {
    // Free numbers, numbers of employees the list does not renumber, twins of free numbers.
    QString n = i < 4500 ? free[i] : i < 4750 ? registerNumbers[i + 1000] : free[int(rng() % 4500)];
    rows.push_back({registerNumbers[i], n});
  }
  std::shuffle(rows.begin(), rows.end(), rng);

  Rows one = rows;
  const Outcome expected = autoResolve(one, registerLookup(shared()));
  Rows sets = rows;
  h.clearStatements();
  StopAt progress;
  EXPECT_EQ(checkRows(shared(), sets, true, progress.callback()), expected);
  EXPECT_LE(h.statements().size(), 30);
  EXPECT_GE(expected.repairs.size(), 500u);
  for (std::size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(sets[i].newNo, one[i].newNo) << i;
  EXPECT_TRUE(h.statements()[0].startsWith(
      u"SELECT 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 人数, MIN(员工档案.姓名) AS 姓名 FROM 员工档案 INNER JOIN (SELECT 0 AS 序, '"_s));

  // The manual check stops at the same row with the same holder.
  Rows manual = rows;
  h.clearStatements();
  const Outcome manualExpected = manualCheck(manual, registerLookup(shared()));
  EXPECT_EQ(checkRows(shared(), manual, false), manualExpected);
  Rows noTwins;
  for (int i = 0; i < 1200; ++i) noTwins.push_back({registerNumbers[i], free[i]});
  noTwins[1100].newNo = registerNumbers[2000];
  const Outcome taken = checkRows(shared(), noTwins, false);
  EXPECT_EQ(taken.status, Status::Taken);
  EXPECT_EQ(taken.row, 1100);
  EXPECT_EQ(taken.holderName, u"人"_s + noTwins[1100].newNo);
  EXPECT_EQ(taken, manualCheck(noTwins, registerLookup(shared())));

  // A stop leaves the rows as given.
  Rows stopped = rows;
  StopAt s(1);
  EXPECT_THROW(checkRows(shared(), stopped, true, s.callback()), Cancelled);
  for (std::size_t i = 0; i < rows.size(); ++i) ASSERT_EQ(stopped[i].newNo, rows[i].newNo) << i;
}

TEST_F(BatchSlices, TheWindowAppliesInFewRoundTripsAndACancelChangesNothing) {
  addMany(100000, 1000);
  auto& w = h.open<frm员工工号统一修改>();
  w.Combo1->setCurrentIndex(w.Combo1->findText(u"1 保安类"_s));
  ASSERT_EQ(w.MSFlexGrid1->Rows(), 1001);
  for (int r = 1; r <= 1000; ++r) w.MSFlexGrid1->setTextMatrix(r, 2, QString::number(800000 + r - 1));
  const testdb::Snapshot before = testdb::snapshot();

  // The check stopped by the user: the grid, its colours and the buttons as they were.
  w.Command3->setEnabled(true);
  w.Command2->setEnabled(true);
  w.Label2->setText(u"旧消息"_s);
  int steps = 0;
  widgets::ProgressDialog::setScript([&](const QString&, int, int) { return ++steps < 2; });
  w.Command2->click();
  EXPECT_EQ(w.Label2->text(), u"旧消息"_s);
  EXPECT_TRUE(w.Command3->isEnabled());

  // The apply stopped in the middle.
  QStringList labels;
  widgets::ProgressDialog::setScript([&](const QString& label, int done, int) {
    labels << label;
    return !label.startsWith(u"正在修改"_s) || done < 500;
  });
  w.Command3->click();
  ASSERT_FALSE(h.messages().isEmpty());
  EXPECT_EQ(h.messages().last(), u"已取消，数据库没有任何修改"_s);
  EXPECT_TRUE(labels.contains(u"正在修改第 %1 / 1000 名员工"_s.arg(kRowsPerExecution + 1)))
      << labels.join(u'|').toStdString();
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());

  widgets::ProgressDialog::setScript({});
  h.clearStatements();
  w.Command3->click();
  widgets::ProgressDialog::setScript({});
  EXPECT_EQ(h.messages().last(), u"修改完成"_s);
  const QStringList sent = h.statements();
  const qsizetype relist = sent.indexOf(listingSql(u"1"_s));
  ASSERT_GT(relist, 0);
  EXPECT_LE(relist, 30);  // the re-check, the merge question's query and the apply
  EXPECT_EQ(registerCount(u"工号 >= '800000' AND 工号 <= '800999'"_s), u"1000"_s);
}

}  // namespace
