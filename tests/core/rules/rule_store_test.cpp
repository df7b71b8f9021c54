// The rule store's statement texts, and its writes on the embedded database.
#include <gtest/gtest.h>

#include "db/database.h"
#include "tests/support/qt_print.h"
#include "core/rules/rules_ops.h"
#include "tests/support/harness.h"
#include "tests/support/test_data.h"

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

qint64 addRule(const QString& name, const QString& code, int layout, const QString& pattern) {
  return rules::addRule(Harness::current().session(), {name, code, layout, pattern}).id;
}

TEST(RuleStoreWrites, AddRuleWritesTheRecordAndTheDefaultRowOnce) {
  Harness h;
  const qint64 id = addRule("合同工", "7", 1, "0000");
  EXPECT_EQ(sent(h).last(), sqlEnsureDefaultRow("7"));  // the whole sequence: the window's statement test
  EXPECT_EQ(ruleFields(h, id), (QStringList{"合同工", "7", "1", "0000"}));
  h.database().execute(sqlEnsureDefaultRow("7"));
  EXPECT_EQ(
      h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码='7' And 部门编号 Is Null And 岗位类别 Is Null"),
      "1");
  // Code 2 and above make no default row; a code in use is refused without a change.
  addRule("正式工", "5", 4, "000");
  const AddedRule refused = rules::addRule(h.session(), {"重复", "5", 0, "000"});
  EXPECT_EQ(refused.id, 0);
  EXPECT_TRUE(refused.holder.exists && !refused.holder.noCode);
  EXPECT_EQ(refused.holder.code, "5");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称"), "2");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则"), "1");
  EXPECT_FALSE(codeHolder(h.database(), "6").exists);
}

// A rule without a code acts on "0": its default row is stored under "0", and no rule with the code
// "0" can be added beside it (nor the other way round).
TEST(RuleStoreWrites, NoCodeAndZeroAreOneCode) {
  for (const QString first : {"", "0"}) {
    SCOPED_TRACE(first.toStdString());
    Harness h;
    const qint64 id = addRule("临时工", first, 0, "000");
    EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称 Where 类别码 " +
                      QString(first.isEmpty() ? "Is Null" : "='0'") + " And ID=" + QString::number(id)),
              "1");
    EXPECT_EQ(h.column("SELECT 类别代码 From 员工工号编码规则"), QStringList{"0"});
    const QString second = first.isEmpty() ? "0" : "";
    const AddedRule refused = rules::addRule(h.session(), {"又一个", second, 1, "000"});
    EXPECT_EQ(refused.id, 0);
    EXPECT_EQ(refused.holder.noCode, first.isEmpty());
    EXPECT_EQ(refused.holder.code, first);
    EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称"), "1");
    EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则"), "1");
  }
}

// A database holding a rule without a code and rule "0": everything under "0" is rule 0's; what the
// window can't ask for (an attach, dropping rows) is refused as well, and a delete is by ID alone.
TEST(RuleStoreWrites, RuleWithoutCodeBesideRuleZeroTouchesOnlyItsOwnRow) {
  Harness h;
  addRule("零", "0", 3, "000");
  testdata::rule("", "无码", 3);
  testdata::ruleRow({.code = "0", .department = "01"});
  testdata::employeeCategory("02", "合同工");
  const RuleRef none{h.value("SELECT ID From 员工工号编码规则名称 Where 类别码 Is Null").toLongLong(), ""};
  db::Database& database = h.database();
  EXPECT_TRUE(sharesCode(database, none));
  EXPECT_TRUE(showRule(database, none, 0).sharesCode);
  EXPECT_FALSE(attachCategory(h.session(), none, "02"));
  changeRuleCode(h.session(), none, 1, true);
  h.clearStatements();
  EXPECT_EQ(deleteRule(h.session(), none), Deleted::RuleOnly);
  EXPECT_EQ(sent(h), (QStringList{"SELECT ID From 员工工号编码规则名称 Where 类别码='0'", sqlDeleteRuleById(none.id)}));
  EXPECT_EQ(h.column("SELECT 编码类别名称 From 员工工号编码规则名称"), QStringList{"零"});
  EXPECT_EQ(h.column("SELECT 部门编号 From 员工工号编码规则 Where 类别代码='0'"), QStringList{"01"});
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工类别 Where 类别码 Is Null"), "1");
}

// Alone, a rule without a code owns "0": deleting it takes its rows and categories under "0" and
// rows an older save left under the empty code.
TEST(RuleStoreWrites, DeletingARuleWithoutCodeLeavesNoOrphans) {
  Harness h;
  const RuleRef none{addRule("临时工", "", 1, "000"), ""};
  testdata::employeeCategory("01", "临时工");
  EXPECT_TRUE(attachCategory(h.session(), none, "01"));
  h.exec("INSERT INTO 员工工号编码规则 (类别代码) VALUES ('')");  // an empty text, not Null
  const RuleView view = showRule(h.database(), none, 1);
  EXPECT_FALSE(view.sharesCode);
  ASSERT_EQ(view.categories.size(), 1u);
  EXPECT_EQ(view.categories[0].name, "临时工");
  EXPECT_EQ(deleteRule(h.session(), none), Deleted::Whole);
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称"), "0");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则"), "0");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工类别 Where 类别码 Is Null"), "1");
}

TEST(RuleStoreWrites, FailingDefaultRowLeavesNoRule) {
  Harness h;
  h.exec("CREATE TRIGGER no_rows BEFORE INSERT ON 员工工号编码规则 BEGIN SELECT RAISE(ABORT, 'rows locked'); END");
  EXPECT_THROW(addRule("合同工", "7", 0, "000"), db::DbError);
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称"), "0");
}

TEST(RuleStoreWrites, UpdateRuleChangesOnlyCodeAndPattern) {
  Harness h;
  const qint64 id = addRule("合同工", "7", 2, "000");
  h.clearStatements();
  updateRule(h.session(), id, 6, "00000");
  EXPECT_EQ(sent(h).first(), sqlOpenRule(id));
  EXPECT_EQ(ruleFields(h, id), (QStringList{"合同工", "7", "6", "00000"}));
}

TEST(RuleStoreWrites, RuleRowsAddUpdateListDelete) {
  Harness h;
  const qint64 id = addRuleRow(h.session(), {"7", "0101", "12", "", ""});
  EXPECT_EQ(sent(h).first(), sqlOpenRuleRow(0));
  EXPECT_EQ(
      h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码='7' And 部门编号='0101' And 部门代码='12' And ID=" +
              QString::number(id)),
      "1");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则 Where 岗位类别 Is Null And 岗位代码 Is Null"), "1");
  h.clearStatements();
  updateRuleRow(h.session(), id, {"7", "", "", "02", "9"});
  EXPECT_EQ(sent(h).first(), sqlOpenRuleRow(id));
  EXPECT_EQ(
      h.value("SELECT COUNT(*) From 员工工号编码规则 Where 部门编号 Is Null And 部门代码 Is Null And 岗位类别='02' "
              "And 岗位代码='9'"),
      "1");
  const std::vector<RuleRow> rows = listRuleRows(h.database(), "7");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].id, id);
  EXPECT_TRUE(rows[0].departmentIsNull);
  EXPECT_FALSE(rows[0].positionIsNull);
  EXPECT_EQ(rows[0].position + rows[0].positionCode, "029");
  deleteRuleRow(h.session(), id);
  EXPECT_TRUE(listRuleRows(h.database(), "7").empty());
}

// A layout change drops the rule's rows (another rule's stay) before it stores the code, in one
// transaction; layout 1 then makes the default row.
TEST(RuleStoreWrites, ChangeRuleCodeDropsRowsInOneTransaction) {
  Harness h;
  const qint64 id = addRule("合同工", "7", 3, "000");
  testdata::ruleRow({.code = "7", .department = "0101", .departmentCode = "12"});
  testdata::ruleRow({.code = "8", .department = "0101", .departmentCode = "12"});
  h.exec("CREATE TRIGGER no_code BEFORE UPDATE ON 员工工号编码规则名称 BEGIN SELECT RAISE(ABORT, 'code locked'); END");
  EXPECT_THROW(changeRuleCode(h.session(), {id, "7"}, 5, true), db::DbError);
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则 Where 类别代码='7'"), "1");  // the delete was undone
  h.exec("DROP TRIGGER no_code");
  h.clearStatements();
  changeRuleCode(h.session(), {id, "7"}, 5, true);
  EXPECT_EQ(sent(h), (QStringList{sqlDeleteRuleRows("7"), sqlSetRuleCode(5, id)}));
  EXPECT_EQ(h.column("SELECT 类别代码 From 员工工号编码规则"), QStringList{"8"});
  EXPECT_EQ(h.value("SELECT 编码规则 From 员工工号编码规则名称"), "5");
  EXPECT_TRUE(layoutRows(h.database(), {id, "7"}, 1).empty());
  EXPECT_EQ(h.column("SELECT 类别代码 From 员工工号编码规则 Where 部门编号 Is Null"), QStringList{"7"});
}

TEST(RuleStoreWrites, DeleteRuleIsAllOrNothing) {
  Harness h;
  const qint64 id = addRule("合同工", "7", 1, "000");
  testdata::employeeCategory("01", "合同工", "7");
  h.exec(
      "CREATE TRIGGER keep_rule BEFORE DELETE ON 员工工号编码规则名称 BEGIN SELECT RAISE(ABORT, 'rule locked'); END");
  EXPECT_THROW(deleteRule(h.session(), {id, "7"}), db::DbError);
  EXPECT_EQ(h.value("SELECT 类别码 From 员工类别"), "7");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则"), "1");
  h.exec("DROP TRIGGER keep_rule");
  h.clearStatements();
  EXPECT_EQ(deleteRule(h.session(), {id, "7"}), Deleted::Whole);
  EXPECT_EQ(sent(h), QStringList{sqlDeleteRule("7")});
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工类别 Where 类别码='7'"), "0");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则"), "0");
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工工号编码规则名称"), "0");
}

}  // namespace
