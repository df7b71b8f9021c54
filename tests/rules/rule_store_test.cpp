// The rule store's statement texts, and its writes on the embedded database.
#include <gtest/gtest.h>

#include "db/database.h"
#include "tests/support/qt_print.h"
#include "ops/rule_store.h"
#include "tests/support/harness.h"

using namespace rules;

namespace {

// Statement texts of a sample rule with category code 7, ID 12, category 03, row 40.
TEST(RuleStoreTexts, EveryStatementOfASampleRule) {
  EXPECT_EQ(sqlListRules(),
            "SELECT ID, 编码类别名称, 类别码, 编码规则, 流水号位数 From 员工工号编码规则名称 Order By 类别码");
  EXPECT_EQ(sqlOpenRule(12),
            "SELECT ID, 类别码, 编码类别名称, 编码规则, 流水号位数 From 员工工号编码规则名称 Where ID=12");
  EXPECT_EQ(sqlOpenRule(0),
            "SELECT ID, 类别码, 编码类别名称, 编码规则, 流水号位数 From 员工工号编码规则名称 Where ID=0");
  EXPECT_EQ(
      sqlEnsureDefaultRow("7"),
      "if not exists (select * from 员工工号编码规则 where 类别代码 ='7')  INSERT INTO 员工工号编码规则 (类别代码) "
      "VALUES ('7')");
  EXPECT_EQ(sqlDeleteRuleRows("7"), "Delete From 员工工号编码规则 Where 类别代码='7'");
  EXPECT_EQ(sqlSetRuleCode(3, 12), "Update 员工工号编码规则名称 Set 编码规则=3 Where ID=12");
  EXPECT_EQ(
      sqlDeleteRule("7"),
      "Update 员工类别 Set 类别码=Null Where 类别码='7' Delete From 员工工号编码规则 Where  类别代码='7' Delete From "
      "员工工号编码规则名称 Where 类别码='7'");
  EXPECT_EQ(sqlFreeCategories(),
            "SELECT 类别编号, 类别名称, 类别码 From 员工类别 Where 类别码 Is Null Order By 类别编号");
  EXPECT_EQ(sqlRuleCategories("7"),
            " SELECT 类别编号, 类别名称, 类别码 From 员工类别 WHERE (类别码 = N'7') ORDER BY 类别编号");
  EXPECT_EQ(sqlAttachCategory("7", "03"), "Update 员工类别 Set 类别码='7' Where 类别编号='03'");
  EXPECT_EQ(sqlReleaseCategory("03"), "Update 员工类别 Set 类别码=Null Where 类别编号='03'");
  EXPECT_EQ(
      sqlListRuleRows("7"),
      "SELECT ID, 员工类别, 类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号 From 员工工号编码规则 "
      "WHERE (类别代码 = N'7') ORDER BY 部门编号, 岗位类别");
  EXPECT_EQ(
      sqlOpenRuleRow(40),
      "SELECT ID, 员工类别, 类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号 From 员工工号编码规则 "
      "WHERE ID=40");
  EXPECT_EQ(
      sqlOpenRuleRow(0),
      "SELECT ID, 员工类别, 类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号 From 员工工号编码规则 "
      "WHERE ID=0");
  EXPECT_EQ(sqlDeleteRuleRow(40), "Delete From 员工工号编码规则 Where ID=40");
  EXPECT_EQ(sqlPositionCategories(), "SELECT 岗位类别编号, 岗位类别名称 From 岗位类别 ORDER BY 岗位类别编号");
  EXPECT_EQ(
      sqlCurrentDepartments(),
      " select 职能部门new.职能部门编号,职能部门new.职能部门名称,table2.上级部门编号 from 职能部门new left join"
      " (select 上级部门new.职能部门编号,上级部门new.上级部门编号 from 上级部门new,"
      " (select 职能部门编号,max(起始日期) as 设置日期 from 上级部门new group by 职能部门编号) as table1"
      " where 上级部门new.职能部门编号 = table1.职能部门编号 and 上级部门new.起始日期 = table1.设置日期) as table2"
      " on 职能部门new.职能部门编号 = table2.职能部门编号 where 职能部门new.终止日期 is null"
      " order by len(职能部门new.职能部门编号),职能部门new.职能部门编号");
}

TEST(RuleStoreTexts, QuotesInValuesAreDoubled) {
  EXPECT_EQ(
      sqlEnsureDefaultRow("7'"),
      "if not exists (select * from 员工工号编码规则 where 类别代码 ='7''')  INSERT INTO 员工工号编码规则 (类别代码) "
      "VALUES ('7''')");
  EXPECT_EQ(sqlRuleCategories("a'b"),
            " SELECT 类别编号, 类别名称, 类别码 From 员工类别 WHERE (类别码 = N'a''b') ORDER BY 类别编号");
  EXPECT_EQ(sqlAttachCategory("x'", "0'3"), "Update 员工类别 Set 类别码='x''' Where 类别编号='0''3'");
  EXPECT_EQ(
      sqlDeleteRule("'"),
      "Update 员工类别 Set 类别码=Null Where 类别码='''' Delete From 员工工号编码规则 Where  类别代码='''' Delete From "
      "员工工号编码规则名称 Where 类别码=''''");
}

// Name, code, rule code and serial pattern of a stored rule.
QStringList ruleFields(Harness& h, qint64 id) {
  QStringList fields;
  for (const char* column : {"编码类别名称", "类别码", "编码规则", "流水号位数"}) {
    fields << h.value(QStringLiteral("SELECT ") + QString::fromUtf8(column) +
                      " From 员工工号编码规则名称 Where ID=" + QString::number(id));
  }
  return fields;
}

// Statements sent to the database, leaving out transaction control.
QStringList sent(const Harness& h) {
  QStringList result;
  for (const QString& s : h.statements()) {
    const QString upper = s.trimmed().toUpper();
    if (upper.startsWith("BEGIN") || upper.startsWith("COMMIT") || upper.startsWith("ROLLBACK")) continue;
    result << s;
  }
  return result;
}

TEST(RuleStoreWrites, AddRuleWritesTheRecordAndTheDefaultRowOnce) {
  Harness h;
  const qint64 id = addRule(db::Database::shared(), "合同工", "7", 1, "0000");
  EXPECT_EQ(sent(h).first(), sqlOpenRule(0));
  EXPECT_EQ(sent(h).last(), sqlEnsureDefaultRow("7"));
  EXPECT_EQ(ruleFields(h, id), (QStringList{"合同工", "7", "1", "0000"}));
  db::Database::shared().execute(sqlEnsureDefaultRow("7"));
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码='7'"), "1");
  EXPECT_EQ(
      h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码='7' And 部门编号 Is Null And 岗位类别 Is Null"),
      "1");
}

TEST(RuleStoreWrites, RuleWithoutCodeGetsNullAndAnEmptyDefaultRow) {
  Harness h;
  const qint64 id = addRule(db::Database::shared(), "临时工", "", 0, "000");
  EXPECT_TRUE(sent(h).contains(sqlEnsureDefaultRow("")));
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称 Where 类别码 Is Null And ID=" + QString::number(id)),
            "1");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码=''"), "1");
  EXPECT_TRUE(categoryCodeUsed(db::Database::shared(), ""));
  EXPECT_FALSE(categoryCodeUsed(db::Database::shared(), "0"));
}

TEST(RuleStoreWrites, CodeTwoAndAboveMakeNoDefaultRow) {
  Harness h;
  addRule(db::Database::shared(), "正式工", "5", 4, "000");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则"), "0");
  EXPECT_TRUE(categoryCodeUsed(db::Database::shared(), "5"));
  EXPECT_FALSE(categoryCodeUsed(db::Database::shared(), "6"));
}

TEST(RuleStoreWrites, FailingDefaultRowLeavesNoRule) {
  Harness h;
  h.exec("CREATE TRIGGER no_rows BEFORE INSERT ON 员工工号编码规则 BEGIN SELECT RAISE(ABORT, 'rows locked'); END");
  EXPECT_THROW(addRule(db::Database::shared(), "合同工", "7", 0, "000"), db::DbError);
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称"), "0");
}

TEST(RuleStoreWrites, UpdateRuleChangesOnlyCodeAndPattern) {
  Harness h;
  const qint64 id = addRule(db::Database::shared(), "合同工", "7", 2, "000");
  h.clearStatements();
  updateRule(db::Database::shared(), id, 6, "00000");
  EXPECT_EQ(sent(h).first(), sqlOpenRule(id));
  EXPECT_EQ(ruleFields(h, id), (QStringList{"合同工", "7", "6", "00000"}));
}

TEST(RuleStoreWrites, RuleRowsAddUpdateWithNulls) {
  Harness h;
  const qint64 id = addRuleRow(db::Database::shared(), {"7", "0101", "12", "", ""});
  EXPECT_EQ(sent(h).first(), sqlOpenRuleRow(0));
  EXPECT_EQ(
      h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码='7' And 部门编号='0101' And 部门代码='12' And ID=" +
              QString::number(id)),
      "1");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则 Where 岗位类别 Is Null And 岗位代码 Is Null"), "1");
  h.clearStatements();
  updateRuleRow(db::Database::shared(), id, {"7", "", "", "02", "9"});
  EXPECT_EQ(sent(h).first(), sqlOpenRuleRow(id));
  EXPECT_EQ(
      h.value("SELECT COUNT(*) From 员工工号编码规则 Where 部门编号 Is Null And 部门代码 Is Null And 岗位类别='02' "
              "And 岗位代码='9'"),
      "1");
}

TEST(RuleStoreWrites, ChangeRuleCodeDropsRowsInOneTransaction) {
  Harness h;
  const qint64 id = addRule(db::Database::shared(), "合同工", "7", 3, "000");
  addRuleRow(db::Database::shared(), {"7", "0101", "12", "", ""});
  h.exec("CREATE TRIGGER no_code BEFORE UPDATE ON 员工工号编码规则名称 BEGIN SELECT RAISE(ABORT, 'code locked'); END");
  EXPECT_THROW(changeRuleCode(db::Database::shared(), id, "7", 5, true), db::DbError);
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码='7'"), "1");  // the delete was undone
  h.exec("DROP TRIGGER no_code");
  h.clearStatements();
  changeRuleCode(db::Database::shared(), id, "7", 5, true);
  EXPECT_EQ(sent(h), (QStringList{sqlDeleteRuleRows("7"), sqlSetRuleCode(5, id)}));
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码='7'"), "0");
  EXPECT_EQ(h.value("SELECT 编码规则 From 员工工号编码规则名称"), "5");
}

TEST(RuleStoreWrites, DeleteRuleIsAllOrNothing) {
  Harness h;
  addRule(db::Database::shared(), "合同工", "7", 1, "000");
  h.exec("INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('01', '合同工', '7')");
  h.exec(
      "CREATE TRIGGER keep_rule BEFORE DELETE ON 员工工号编码规则名称 BEGIN SELECT RAISE(ABORT, 'rule locked'); END");
  EXPECT_THROW(deleteRule(db::Database::shared(), "7"), db::DbError);
  EXPECT_EQ(h.value("SELECT 类别码 From 员工类别"), "7");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则"), "1");
  h.exec("DROP TRIGGER keep_rule");
  h.clearStatements();
  deleteRule(db::Database::shared(), "7");
  EXPECT_EQ(sent(h), QStringList{sqlDeleteRule("7")});
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工类别 Where 类别码='7'"), "0");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则"), "0");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称"), "0");
}

}  // namespace
