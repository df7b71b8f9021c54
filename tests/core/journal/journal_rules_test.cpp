// The rule settings' writes in the change journal: one entry per committed write with its
// operation and the statement text sent; a refused rule writes none.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/rules/rules_ops.h"
#include "tests/support/journal_fixture.h"

namespace {

using JournalRules = JournalOrganisation;

TEST_F(JournalRules, EveryRuleWriteIsOneEntryWithItsStatementsAndARefusalNone) {
  ASSERT_TRUE(journal().entries().empty());
  const rules::AddedRule added = rules::addRule(session, {"保安类", "07", 1, "0000"});
  ASSERT_NE(added.id, 0);
  EXPECT_EQ(rules::addRule(session, {"重复", "07", 1, "000"}).id, 0);  // refused: the code is held
  rules::updateRule(session, added.id, 2, "00000");
  rules::changeRuleCode(session, {added.id, "07"}, 3, true);
  EXPECT_TRUE(rules::attachCategory(session, {added.id, "07"}, "02"));
  rules::releaseCategory(session, "02");
  const qint64 row = rules::addRuleRow(session, {"07", "D01", "12", "", ""});
  rules::updateRuleRow(session, row, {"07", "D01", "13", "", ""});
  rules::deleteRuleRow(session, row);
  rules::deleteRule(session, {added.id, "07"});

  std::vector<journal::Entry> e = journal().entries();
  std::reverse(e.begin(), e.end());
  ASSERT_EQ(e.size(), 9u);
  QStringList operations;
  for (const journal::Entry& x : e) {
    operations << x.operation;
    EXPECT_TRUE(x.pairs.empty());
    EXPECT_TRUE(x.rows.empty());
    EXPECT_EQ(x.login, "sa");
  }
  EXPECT_EQ(operations, (QStringList{"规则新增", "规则修改", "规则修改", "类别关联", "类别关联", "具体规则", "具体规则",
                                     "具体规则", "规则删除"}));
  EXPECT_EQ(e[0].statement,
            "INSERT INTO 员工工号编码规则名称 (编码类别名称, 类别码, 编码规则, 流水号位数) VALUES ('保安类', '07', 1, "
            "'0000') " +
                rules::sqlEnsureDefaultRow("07"));
  EXPECT_EQ(e[1].statement,
            "UPDATE 员工工号编码规则名称 SET 编码规则=2, 流水号位数='00000' WHERE ID=" + QString::number(added.id));
  EXPECT_EQ(e[2].statement, rules::sqlDeleteRuleRows("07") + " " + rules::sqlSetRuleCode(3, added.id));
  EXPECT_EQ(e[3].statement, rules::sqlAttachCategory("07", "02"));
  EXPECT_EQ(e[4].statement, rules::sqlReleaseCategory("02"));
  EXPECT_EQ(e[5].statement,
            "INSERT INTO 员工工号编码规则 (类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码) VALUES ('07', 'D01', "
            "'12', Null, Null)");
  EXPECT_EQ(e[6].statement,
            "UPDATE 员工工号编码规则 SET 类别代码='07', 部门编号='D01', 部门代码='13', 岗位类别=Null, 岗位代码=Null "
            "WHERE ID=" +
                QString::number(row));
  EXPECT_EQ(e[7].statement, rules::sqlDeleteRuleRow(row));
  EXPECT_EQ(e[8].statement, rules::sqlDeleteRule("07"));
}

}  // namespace
