// The batch operations module on the embedded database: rule list, listing, checks, apply, staging.
#include "core/batch/batch_ops.h"

#include <functional>

#include "db/catalogue.h"
#include "core/common/holders.h"
#include "core/rules/rules_ops.h"
#include "tests/support/batch_fixture.h"
#include "tests/support/pinned_columns.h"
#include "tests/support/db_snapshot.h"

namespace {

using namespace batch;
db::Database& shared() { return Harness::current().database(); }
session::Session& session() { return Harness::current().session(); }

// "number name" of every listed row, joined by commas.
QString listed(const Listing& l) {
  QStringList out;
  for (const Listed& r : l.rows) out << r.number + u' ' + r.name;
  return out.join(u',');
}

TEST_F(BatchData, RuleEntriesAndTheListingOfARule) {
  h.clearStatements();
  const std::vector<RuleEntry> rules = ruleEntries(shared());
  EXPECT_EQ(h.statements(), QStringList{rules::sqlListRules()});
  ASSERT_EQ(rules.size(), 3u);
  EXPECT_EQ(rules[0].text + u'|' + rules[0].code, u"1 保安类|1"_s);
  EXPECT_EQ(rules[1].text + u'|' + rules[1].code, u"18 管理编号|18"_s);

  testdata::employee({.number = "1001", .name = "张三", .category = "保安", .position = "P01"});
  testdata::employee({.number = "999", .name = "李四", .category = "保洁", .position = "P02"});
  testdata::employee({.number = "1000", .name = "王五", .category = "保安", .position = "P02"});
  testdata::employee(
      {.number = "1000", .name = "王五", .category = "保安", .position = "P01"});  // one number on two rows
  testdata::employee({.number = "998", .name = "赵六", .category = "工程", .position = "P01"});  // another rule
  testdata::employee(
      {.number = "13", .name = "撤岗", .category = "保安", .position = "P09"});  // position of a missing department
  testdata::employee({.number = "12", .name = "无岗甲", .category = "保安"});  // no position: counted, not listed
  testdata::employee({.number = "14", .name = "无岗乙", .category = "保洁"});
  testdata::employee({.number = "15", .name = "无岗丙", .category = "工程"});  // another rule's
  testdata::employee({.name = "无号", .category = "保安", .position = "P01"});  // no number
  testdata::employee({.number = "17", .name = "旧岗甲", .category = "保安", .position = "P77"});  // no such position
  testdata::employee({.number = "18", .name = "旧岗乙", .category = "保洁", .position = "P78"});
  testdata::employee({.number = "19", .name = "旧岗丙", .category = "工程", .position = "P77"});  // another rule's
  h.clearStatements();
  Listing l = listRule(shared(), u"1"_s, true);
  EXPECT_EQ(h.statements(), QStringList{listingSql(u"1"_s)});  // the counts come with the rows
  EXPECT_EQ(listed(l), u" 无号,999 李四,1000 王五,1001 张三"_s);
  EXPECT_EQ(l.rows[1].department + u'|' + l.rows[1].position, u"D02 工程部|P02 技工"_s);
  EXPECT_EQ(l.unlisted, 2);
  EXPECT_EQ(l.unknownPosition, 2);
  EXPECT_EQ(l.unknownDepartment, 1);  // 撤岗
  l = listRule(shared(), u"1"_s, false);
  EXPECT_EQ(listed(l), u" 无号,999 李四,1000 王五,1000 王五,1001 张三"_s);
  l = listRule(shared(), u"2"_s, true);
  EXPECT_EQ(l.unlisted + 10 * l.unknownPosition + 100 * l.unknownDepartment, 11);
  // A rule that lists nobody asks for its count on its own.
  testdata::employee({.number = "16", .name = "无岗丁", .category = "管理人员"});
  h.clearStatements();
  l = listRule(shared(), u"18"_s, true);
  EXPECT_TRUE(l.rows.empty());
  EXPECT_EQ(l.unlisted, 1);
  EXPECT_EQ(h.statements(), (QStringList{listingSql(u"18"_s), leftOutCountsSql(u"18"_s)}));
  testdata::employee({.number = "20", .name = "旧岗丁", .category = "管理人员", .position = "P77"});
  l = listRule(shared(), u"18"_s, true);
  EXPECT_EQ(l.unlisted + 10 * l.unknownPosition + 100 * l.unknownDepartment, 11);
}

// Three listed employees and one of another rule, each with a row in every column storing a number.
class BatchApplyOps : public BatchData {
 protected:
  const QStringList olds{u"1001"_s, u"1002"_s, u"1003"_s};
  const Rows rows{{u"1001"_s, u"11001"_s}, {u"1002"_s, u"11002"_s}, {u"1003"_s, u"11003"_s}};
  void SetUp() override {
    BatchData::SetUp();
    addListed(olds);
    testdata::employee({.number = "4004", .name = "别人", .category = "工程", .position = "P01"});
    for (const QString& n : olds + QStringList{u"4004"_s}) testdata::references(pinned::refColumns(), n);
    h.clearStatements();
  }
};

TEST_F(BatchApplyOps, EveryColumnOfEveryRowRenamedInOneTransaction) {
  EXPECT_TRUE(applyRows(session(), rows).applied());
  const QStringList sent = h.statements();
  // The widths first (once per connection), the register's holders of the old and new numbers in
  // one query kept until the end, then the rows' texts in one execution.
  QStringList expected{
      db::catalogueSql(shared()),
      common::registerHoldersSql(olds + QStringList{u"11001"_s, u"11002"_s, u"11003"_s}, common::Lock::Held),
      QString()};
  for (const Row& r : rows) {
    expected[2] += applyBatch(r.oldNo, r.newNo, {});
    EXPECT_EQ(everyColumn(r.oldNo, false), QString()) << r.oldNo.toStdString();
    EXPECT_EQ(everyColumn(r.newNo, true), QString()) << r.newNo.toStdString();
  }
  EXPECT_EQ(everyColumn(u"4004"_s, true), QString());
  EXPECT_EQ(sent, expected);
}

TEST_F(BatchApplyOps, AStaleRowOrAFailingStatementChangesNothing) {
  const testdb::Snapshot before = testdb::snapshot();
  // Another user renumbered the third employee meanwhile; then two employees share its number.
  h.exec(u"UPDATE 员工档案 SET 工号='7003' WHERE 工号='1003'"_s);
  const testdb::Snapshot renumbered = testdb::snapshot();
  ApplyResult r = applyRows(session(), rows);
  EXPECT_EQ(r.staleRow, 2);
  EXPECT_EQ(r.staleOld, u"1003"_s);
  EXPECT_EQ(testdb::difference(renumbered, testdb::snapshot()), QString());
  h.exec(u"UPDATE 员工档案 SET 工号='1003' WHERE 工号 IN ('7003', '4004')"_s);
  EXPECT_EQ(applyRows(session(), rows).staleRow, 2);
  h.exec(u"UPDATE 员工档案 SET 工号='4004' WHERE 姓名='别人'"_s);
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());

  const QString failure = applyFailingAt(rows, u"11003"_s);
  EXPECT_TRUE(failure.startsWith(u"NOT NULL constraint failed: 员工照片.工号"_s)) << failure.toStdString();
  EXPECT_TRUE(failure.endsWith(u"\n第3行 原工号 1003 新工号 11003"_s)) << failure.toStdString();
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());
}

TEST_F(BatchApplyOps, NewNumbersHeldInOtherTables) {
  testdata::reference(host::kBatchApply[31], u"11003"_s);
  testdata::reference(host::kBatchApply[38], u"11003"_s);
  testdata::reference(host::kBatchApply[38], u"11003"_s);
  testdata::reference(host::missingFrom(host::kBatchApply, {})[0], u"11001"_s);
  h.clearStatements();
  const Rows withUnchanged{rows[0], rows[1], rows[2], {u"4004"_s, u"4004"_s}, {u"9"_s, u"11003"_s}};
  EXPECT_EQ(heldElsewhere(session(), withUnchanged),
            (std::vector<HeldNumber>{{u"11001"_s, u"XZ文件流转路径 1行"_s},
                                     {u"11003"_s, u"工资单明细 1行，考勤表详细 2行"_s}}));
  // One query for all the columns and numbers; the unchanged row's own number is none of them.
  EXPECT_EQ(h.statements(),
            QStringList{common::holdersUnionSql(pinned::refColumns(), {u"11001"_s, u"11002"_s, u"11003"_s})});
  EXPECT_FALSE(h.statements()[0].contains(u"'4004'"_s));
}

// The hand-written list of every column storing a number but the register (the first).
std::vector<host::RefColumn> withoutRegister() {
  std::vector<host::RefColumn> columns = pinned::refColumns();
  columns.erase(columns.begin());
  return columns;
}

// Employee 12 has no position, 34 has one; both have a row in every column storing a number.
TEST_F(BatchData, StagingPutsNineInFrontInEveryColumnOrRollsBack) {
  testdata::employee({.number = "12", .name = "无岗", .category = "保安"});
  testdata::employee({.number = "34", .name = "有岗", .category = "保安", .position = "P01"});
  testdata::references(pinned::refColumns(), u"12"_s);
  testdata::references(pinned::refColumns(), u"34"_s);
  EXPECT_EQ(noPositionCount(shared()), 1);
  const testdb::Snapshot before = testdb::snapshot();
  testdb::rawExec(u"CREATE TRIGGER locked BEFORE UPDATE ON 出勤 BEGIN SELECT RAISE(ABORT, 'attendance locked'); END"_s);
  h.clearStatements();
  EXPECT_THROW(stageNoPosition(session()), db::DbError);
  const QStringList checks{stagingCollisionsSql(), stagingHeldSql(withoutRegister())};
  // Inside the transaction the rows read are kept until the end.
  const QStringList again{stagingCollisionsSql(common::Lock::Held),
                          stagingHeldSql(withoutRegister(), common::Lock::Held)};
  // The checks before the transaction and again inside it; none after the failure.
  // The employees without a position and the widths (once per connection) first.
  const QStringList first{noPositionEmployeesSql(), db::catalogueSql(shared())};
  EXPECT_EQ(h.statements(), first + checks + again + db::Database::splitBatches(stagingScript({})).mid(0, 55));
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());

  testdb::rawExec(u"DROP TRIGGER locked"_s);
  h.clearStatements();
  EXPECT_TRUE(stageNoPosition(session()).staged);
  EXPECT_EQ(h.statements(), QStringList{noPositionEmployeesSql()} + checks + again + stagingChange({}, {}).executions);
  EXPECT_EQ(stagingChange({}, {}).executions, db::Database::splitBatches(stagingScript({})));
  EXPECT_EQ(everyColumn(u"12"_s, false), QString());
  EXPECT_EQ(everyColumn(u"912"_s, true), QString());
  EXPECT_EQ(everyColumn(u"34"_s, true), QString());
  EXPECT_EQ(noPositionCount(shared()), 1);
}

// Employees without a position: 1489 (91489 is 田阳建's), 12 beside 912 (staged too: no
// collision), 55 twice (955 held by 甲 and 乙, who have positions) and 66 (966 free, records under it).
TEST_F(BatchData, StagingRefusesNumbersTakenInTheRegisterAndAsksBeforeMergingRecords) {
  for (const char* n : {"1489", "12", "912", "55", "55", "66"})
    testdata::employee(
        {.number = QString::fromLatin1(n), .name = u"无岗"_s + QString::fromLatin1(n), .category = u"保安"_s});
  testdata::employee({.number = "91489", .name = "田阳建", .category = "保安", .position = "P01"});
  testdata::employee({.number = "955", .name = "甲", .category = "保安", .position = "P01"});
  testdata::employee({.number = "955", .name = "乙", .category = "工程", .position = "P02"});
  testdata::references(pinned::refColumns(), u"912"_s);  // 912's own rows: they move on to 9912
  const testdb::Snapshot before = testdb::snapshot();
  h.clearStatements();
  bool asked = false;
  const StagingResult refused = stageNoPosition(session(), {}, [&](const auto&) { return asked = true; });
  EXPECT_EQ(h.statements(), (QStringList{noPositionEmployeesSql(), db::catalogueSql(shared()),
                                         stagingCollisionsSql()}));  // reads, no Update
  EXPECT_FALSE(asked);
  EXPECT_FALSE(refused.staged);
  EXPECT_EQ(collisionMessage(refused.collisions),
            u"以下无岗位员工加9后的工号已被占用：55→955（甲、乙）\n"
            u"1489→91489（田阳建）\n没有修改任何工号，请先处理这些员工的工号"_s);
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());
  EXPECT_FALSE(shared().inTransaction());

  // The register freed: rows under 966 (not a staged number) are asked about; No sends nothing.
  h.exec(u"DELETE FROM 员工档案 WHERE 工号 IN ('91489', '955')"_s);
  testdata::reference(host::kSingleCascade[31], u"966"_s);
  testdata::reference(host::kSingleCascade[38], u"966"_s);
  testdata::reference(host::kSingleCascade[38], u"966"_s);
  const testdb::Snapshot freed = testdb::snapshot();
  std::vector<HeldNumber> held;
  for (bool yes : {false, true}) {
    h.clearStatements();
    const StagingResult r = stageNoPosition(session(), {}, [&](const std::vector<HeldNumber>& asking) {
      held = asking;
      return yes;
    });
    EXPECT_EQ(held, (std::vector<HeldNumber>{{u"966"_s, u"工资单明细 1行，考勤表详细 2行"_s}}));
    EXPECT_EQ(r.staged, yes);
    if (!yes) {
      EXPECT_EQ(h.statements(),
                (QStringList{noPositionEmployeesSql(), stagingCollisionsSql(), stagingHeldSql(withoutRegister())}));
      EXPECT_EQ(testdb::difference(freed, testdb::snapshot()), QString());
    }
  }
  EXPECT_EQ(h.value(u"SELECT COUNT(*) FROM 考勤表详细 WHERE 员工编号='966'"_s), u"2"_s);
  EXPECT_EQ(h.value(u"SELECT COUNT(*) FROM 员工档案 WHERE 工号 IN ('91489', '912', '9912', '955', '966')"_s), u"6"_s);
  EXPECT_EQ(everyColumn(u"9912"_s, true), QString());
  // With no question to ask, rows to merge send nothing.
  h.exec(u"UPDATE 员工档案 SET 岗位编号='P01'"_s);
  h.exec(u"UPDATE 员工档案 SET 岗位编号=NULL WHERE 工号='9912'"_s);
  testdata::reference(host::kSingleCascade[31], u"99912"_s);
  const testdb::Snapshot last = testdb::snapshot();
  EXPECT_FALSE(stageNoPosition(session()).staged);
  EXPECT_EQ(testdb::difference(last, testdb::snapshot()), QString());
}

// The merge question waits with no transaction open; what it was asked about is checked again
// inside the staging's transaction: rows or a register holder that came meanwhile send nothing.
TEST_F(BatchData, StagingAsksBeforeItsTransactionAndRefusesWhatChangedSince) {
  testdata::employee({.number = u"66"_s, .name = u"无岗66"_s, .category = u"保安"_s});
  testdata::reference(host::kSingleCascade[31], u"966"_s);
  const QStringList checks{stagingCollisionsSql(common::Lock::Held),
                           stagingHeldSql(withoutRegister(), common::Lock::Held)};
  testdb::Snapshot meanwhile;
  const auto changeThen = [&](const std::function<void()>& change) {
    return [&, change](const std::vector<HeldNumber>&) {
      EXPECT_FALSE(shared().inTransaction());
      change();
      meanwhile = testdb::snapshot();
      h.clearStatements();
      return true;
    };
  };
  const StagingResult moreRows =
      stageNoPosition(session(), {}, changeThen([] { testdata::reference(host::kSingleCascade[38], u"966"_s); }));
  EXPECT_TRUE(moreRows.changedMeanwhile);
  EXPECT_FALSE(moreRows.staged);
  EXPECT_EQ(moreRows.held, (std::vector<HeldNumber>{{u"966"_s, u"工资单明细 1行，考勤表详细 1行"_s}}));
  EXPECT_EQ(h.statements(), checks);  // checked again inside the transaction, nothing sent
  EXPECT_EQ(testdb::difference(meanwhile, testdb::snapshot()), QString());

  const StagingResult taken = stageNoPosition(
      session(), {}, changeThen([] {
        testdata::employee({.number = u"966"_s, .name = u"甲"_s, .category = u"保安"_s, .position = u"P01"_s});
      }));
  EXPECT_FALSE(taken.staged);
  EXPECT_EQ(collisionMessage(taken.collisions),
            u"以下无岗位员工加9后的工号已被占用：66→966（甲）\n"
            u"没有修改任何工号，请先处理这些员工的工号"_s);
  EXPECT_EQ(h.statements(), QStringList{stagingCollisionsSql(common::Lock::Held)});
  EXPECT_EQ(testdb::difference(meanwhile, testdb::snapshot()), QString());
  EXPECT_FALSE(shared().inTransaction());
}

}  // namespace
