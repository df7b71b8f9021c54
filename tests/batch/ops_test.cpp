// The batch operations module on the embedded database: rule list, listing, checks, apply, staging.
#include "ops/batch_ops.h"

#include "ops/holders.h"
#include "ops/rule_store.h"
#include "tests/batch/batch_fixture.h"
#include "tests/support/db_snapshot.h"

namespace {

using namespace batch;
db::Database& shared() { return db::Database::shared(); }

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
  EXPECT_EQ(rules[1].text + u'|' + rules[1].code, u"10 管理类|10"_s);

  add(u"1001"_s, u"张三"_s, u"保安"_s, u"P01"_s);
  add(u"999"_s, u"李四"_s, u"保洁"_s, u"P02"_s);
  add(u"1000"_s, u"王五"_s, u"保安"_s, u"P02"_s);
  add(u"1000"_s, u"王五"_s, u"保安"_s, u"P01"_s);  // one number on two rows
  add(u"998"_s, u"赵六"_s, u"工程"_s, u"P01"_s);  // another rule
  add(u"13"_s, u"撤岗"_s, u"保安"_s, u"P09"_s);  // position of a missing department
  add(u"12"_s, u"无岗甲"_s, u"保安"_s, QString());  // no position: counted, not listed
  add(u"14"_s, u"无岗乙"_s, u"保洁"_s, QString());
  add(u"15"_s, u"无岗丙"_s, u"工程"_s, QString());  // another rule's
  h.exec(u"INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES (NULL, '无号', '保安', 'P01')"_s);
  h.clearStatements();
  Listing l = listRule(shared(), u"1"_s, true);
  EXPECT_EQ(h.statements(), (QStringList{listingSql(u"1"_s), unlistedCountSql(u"1"_s)}));
  EXPECT_EQ(listed(l), u" 无号,999 李四,1000 王五,1001 张三"_s);
  EXPECT_EQ(l.rows[1].department + u'|' + l.rows[1].position, u"D02 工程部|P02 技工"_s);
  EXPECT_EQ(l.unlisted, 2);
  l = listRule(shared(), u"1"_s, false);
  EXPECT_EQ(listed(l), u" 无号,999 李四,1000 王五,1000 王五,1001 张三"_s);
  EXPECT_EQ(listRule(shared(), u"2"_s, true).unlisted, 1);
}

// Three listed employees and one of another rule, each with a row in every column storing a number.
class BatchApplyOps : public BatchData {
 protected:
  const QStringList olds{u"1001"_s, u"1002"_s, u"1003"_s};
  const Rows rows{{u"1001"_s, u"11001"_s}, {u"1002"_s, u"11002"_s}, {u"1003"_s, u"11003"_s}};
  void SetUp() override {
    BatchData::SetUp();
    addListed(olds);
    add(u"4004"_s, u"别人"_s, u"工程"_s, u"P01"_s);
    for (const QString& n : olds + QStringList{u"4004"_s}) referenceRows(host::allColumns(), n);
    h.clearStatements();
  }
};

TEST_F(BatchApplyOps, EveryColumnOfEveryRowRenamedInOneTransaction) {
  EXPECT_TRUE(applyRows(shared(), rows).applied());
  const QStringList sent = h.statements();
  // The register's counts of the old numbers in one query, then the rows' texts in one execution.
  QStringList expected{registerCountsSql(olds), QString()};
  for (const Row& r : rows) {
    expected[1] += applyBatch(r.oldNo, r.newNo);
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
  ApplyResult r = applyRows(shared(), rows);
  EXPECT_EQ(r.staleRow, 2);
  EXPECT_EQ(r.staleOld, u"1003"_s);
  EXPECT_EQ(testdb::difference(renumbered, testdb::snapshot()), QString());
  h.exec(u"UPDATE 员工档案 SET 工号='1003' WHERE 工号 IN ('7003', '4004')"_s);
  EXPECT_EQ(applyRows(shared(), rows).staleRow, 2);
  h.exec(u"UPDATE 员工档案 SET 工号='4004' WHERE 姓名='别人'"_s);
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());

  testdb::rawExec(
      u"CREATE TRIGGER photo_locked BEFORE UPDATE ON 员工照片 WHEN NEW.工号='11003' "
      "BEGIN SELECT RAISE(ABORT, 'photo locked'); END"_s);
  try {
    applyRows(shared(), rows);
    ADD_FAILURE() << "no error";
  } catch (const db::DbError& e) {
    EXPECT_TRUE(e.text().startsWith(u"photo locked"_s)) << e.text().toStdString();
    EXPECT_TRUE(e.text().endsWith(u"\n第3行 原工号 1003 新工号 11003"_s)) << e.text().toStdString();
  }
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());
}

TEST_F(BatchApplyOps, NewNumbersHeldInOtherTables) {
  referenceRows(std::vector<host::RefColumn>{host::kBatchApply[31], host::kBatchApply[38]}, u"11003"_s);
  referenceRows(std::vector<host::RefColumn>{host::kBatchApply[38]}, u"11003"_s);
  referenceRows(std::vector<host::RefColumn>{host::missingFrom(host::kBatchApply)[0]}, u"11001"_s);
  h.clearStatements();
  const Rows withUnchanged{rows[0], rows[1], rows[2], {u"4004"_s, u"4004"_s}, {u"9"_s, u"11003"_s}};
  EXPECT_EQ(heldElsewhere(shared(), withUnchanged),
            (std::vector<HeldNumber>{{u"11001"_s, u"XZ文件流转路径 1行"_s},
                                     {u"11003"_s, u"工资单明细 1行，考勤表详细 2行"_s}}));
  // One query for all the columns and numbers; the unchanged row's own number is none of them.
  EXPECT_EQ(h.statements(),
            QStringList{ops::holdersUnionSql(host::allColumns(), {u"11001"_s, u"11002"_s, u"11003"_s})});
  EXPECT_FALSE(h.statements()[0].contains(u"'4004'"_s));
}

// Employee 12 has no position, 34 has one; both have a row in every column storing a number.
TEST_F(BatchData, StagingPutsNineInFrontInEveryColumnOrRollsBack) {
  add(u"12"_s, u"无岗"_s, u"保安"_s, QString());
  add(u"34"_s, u"有岗"_s, u"保安"_s, u"P01"_s);
  referenceRows(host::allColumns(), u"12"_s);
  referenceRows(host::allColumns(), u"34"_s);
  EXPECT_EQ(noPositionCount(shared()), 1);
  const testdb::Snapshot before = testdb::snapshot();
  testdb::rawExec(u"CREATE TRIGGER locked BEFORE UPDATE ON 出勤 BEGIN SELECT RAISE(ABORT, 'attendance locked'); END"_s);
  h.clearStatements();
  EXPECT_THROW(stageNoPosition(shared()), db::DbError);
  EXPECT_EQ(h.statements(), db::Database::splitBatches(stagingScript()).mid(0, 55));  // none after the failure
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());

  testdb::rawExec(u"DROP TRIGGER locked"_s);
  h.clearStatements();
  stageNoPosition(shared());
  EXPECT_EQ(h.statements(), db::Database::splitBatches(stagingScript()));
  EXPECT_EQ(everyColumn(u"12"_s, false), QString());
  EXPECT_EQ(everyColumn(u"912"_s, true), QString());
  EXPECT_EQ(everyColumn(u"34"_s, true), QString());
  EXPECT_EQ(noPositionCount(shared()), 1);
}

}  // namespace
