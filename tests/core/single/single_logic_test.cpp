// Statement texts, composition and messages of the single-employee window, without a window.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include "host/host_tables.h"
#include "core/single/single_sql.h"

using namespace single;

namespace {

const char* const kSearchHead =
    "SELECT 员工档案.工号, 员工档案.姓名, 员工档案.性别, 员工档案.员工类别, 员工档案.身份证号码, 员工档案.岗位编号, "
    "员工档案.ID, 岗位信息New.岗位名称, 职能部门new.职能部门编号, 职能部门new.职能部门名称, 岗位信息New.岗位类别代号 "
    "From 员工档案 Left Join 岗位信息New On 员工档案.岗位编号=岗位信息New.岗位代号 "
    "Left Join 职能部门new On 岗位信息New.职能部门代号=职能部门new.职能部门编号";

// The reference cascade of a single renumber as the operators know it: table and column, in order
// (entries separated by a comma and white space).
const char* const kCascade =
    R"(员工档案 工号, 岗位信息new 工号, 岗位员工new 员工代号, XZ文件流转情况 查阅人, XZ文件记录 拟稿人,
XZ文件记录 盖章人, XZ文件流转路径 czydh, 楼域范围设置 工号, 员工档案temp 工号, pg维修人员 工号,
员工工作时间表 工号, 养护单维修人员 工号, 权限委托设置 工号, KC采购管理员 工号, 社会关系new 工号,
签报工资调整 工号, 员工顶班设置 工号, 员工记录 工号, 操作证New 工号, 员工照片 工号,
教育经历new 工号, 社会关系 工号, 履历表 工号, KC采购员 工号, 工作经历new 工号,
班组人员设置 工号, 员工考勤卡信息 工号, 考勤机数据匹配信息 工号, 养护单查验人员 工号, 工资支付划账表 员工编号,
工资支付现金表 员工编号, 工资单明细 员工编号, 个性化设置 员工编号, 工资单类型 员工编号, 银行卡设置 员工编号,
员工考勤部门设置 员工编号, 工资支付入卡表 员工编号, 月考勤审核记录 员工编号, 考勤表详细 员工编号, 工资事务处理人设置 员工编号,
员工离职信息 员工编号, 月考勤记录 员工编号, 月考勤记录_temp 员工编号, 工资单项目明细 员工编号, 奖金发放记录 员工编号,
工资福利待遇 员工编号, 员工公式 员工编号, 奖金单详细 员工编号, 员工个人所得税 员工编号, 员工合同信息 员工编号,
奖惩记录 员工编号, 员工公式变更 员工编号, 人事费用 员工编号, 工资审核记录 员工编号, 工资单类型对应员工 员工编号,
人事费用分摊表 员工编号, 员工考勤方式设置 员工编号, 员工工资结构明细 员工工号, TS投诉受理 员工工号, TS投诉处理 员工工号,
ZS_招商客户分配 员工工号, ZS_组人员设置 员工工号, WYZJ 收款人ID, skoperator OperatorNum, 票据领用记录 领用人代号,
票据核销记录 核销人)";

// The batch split into its statements (every statement after the first begins with " Update ").
QStringList statementsOf(const QString& batch) {
  QStringList parts = batch.split(" Update ");
  for (qsizetype i = 1; i < parts.size(); ++i) parts[i] = "Update " + parts[i];
  return parts;
}

}  // namespace

TEST(SingleSearchText, ConditionJoinsFilledBoxesWithOr) {
  EXPECT_EQ(textSearchCondition("", "", "110"), "员工档案.身份证号码 Like '%110%' ESCAPE '!'");
  EXPECT_EQ(textSearchCondition("12", "王", ""),
            "员工档案.工号 Like '%12%' ESCAPE '!' Or 员工档案.姓名 Like N'%王%' ESCAPE '!'");
  EXPECT_EQ(textSearchCondition("", "王", "110"),
            "员工档案.姓名 Like N'%王%' ESCAPE '!' Or 员工档案.身份证号码 Like '%110%' ESCAPE '!'");
  EXPECT_EQ(textSearchCondition("12", "王", "110"),
            "员工档案.工号 Like '%12%' ESCAPE '!' Or 员工档案.姓名 Like N'%王%' ESCAPE '!' Or 员工档案.身份证号码 Like "
            "'%110%' ESCAPE '!'");
  EXPECT_EQ(textSearchCondition("", "", ""), QString());
  // Texts are found as typed: blanks count, "%", "_", "[" and the escape itself are escaped, a quote is doubled.
  EXPECT_EQ(textSearchCondition(" ", "", ""), "员工档案.工号 Like '% %' ESCAPE '!'");
  EXPECT_EQ(textSearchCondition("1_3%", "", ""), "员工档案.工号 Like '%1!_3!%%' ESCAPE '!'");
  EXPECT_EQ(textSearchCondition("", "[王]!%", ""), "员工档案.姓名 Like N'%![王]!!!%%' ESCAPE '!'");
  EXPECT_EQ(textSearchCondition("", "O'Neil", ""), "员工档案.姓名 Like N'%O''Neil%' ESCAPE '!'");
}

TEST(SingleSearchText, Statements) {
  EXPECT_EQ(textSearchStatement("员工档案.身份证号码 Like '%110%'"),
            QString(kSearchHead) + " Where 员工档案.身份证号码 Like '%110%'");
  // Numbers of digits only, compared by their text without leading zeros; no CONVERT.
  EXPECT_EQ(equalNumbersStatement(),
            QString(kSearchHead) +
                " Where LEN(员工档案.工号) > 0 AND LEN(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE("
                "REPLACE(REPLACE(RTRIM(员工档案.工号), '0', ''), '1', ''), '2', ''), '3', ''), '4', ''), '5', ''), "
                "'6', ''), '7', ''), '8', ''), '9', '') + '.') = 1 AND REPLACE(LTRIM(REPLACE(RTRIM(员工档案.工号), "
                "'0', ' ')), ' ', '0') In(SELECT REPLACE(LTRIM(REPLACE(RTRIM(工号), '0', ' ')), ' ', '0') AS SZGH "
                "From 员工档案 Where LEN(工号) > 0 AND LEN(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE(REPLACE("
                "REPLACE(REPLACE(REPLACE(RTRIM(工号), '0', ''), '1', ''), '2', ''), '3', ''), '4', ''), '5', ''), "
                "'6', ''), '7', ''), '8', ''), '9', '') + '.') = 1 GROUP BY REPLACE(LTRIM(REPLACE(RTRIM(工号), '0', "
                "' ')), ' ', '0') HAVING (COUNT(*) > 1)) Order By LEN(REPLACE(LTRIM(REPLACE(RTRIM(员工档案.工号), "
                "'0', ' ')), ' ', '0')), REPLACE(LTRIM(REPLACE(RTRIM(员工档案.工号), '0', ' ')), ' ', '0'), "
                "员工档案.工号");
}

TEST(SingleSearchText, ListCellsAndCaption) {
  EXPECT_EQ(codeAndName("P01", "主管", false), "P01 主管");
  EXPECT_EQ(codeAndName("P01", QString(), true), QString());
  EXPECT_EQ(codeAndName("P01", QString(), false), "P01 ");
  EXPECT_EQ(employeeInfoCaption("0007", "张三", "110101", "D01 综合部", "P01 主管"),
            "员工信息：工号 0007 姓名 张三 身份证 110101 所在部门 D01 综合部 、P01 主管");
  EXPECT_EQ(employeeInfoCaption("0007", "张三", "110101", "D01 综合部", ""),
            "员工信息：工号 0007 姓名 张三 身份证 110101 所在部门 D01 综合部");
}

TEST(SingleComposeText, RuleQueryQuotesTheCategoryName) {
  const QString head = QString(
      "SELECT 员工工号编码规则名称.类别码, 员工工号编码规则名称.编码类别名称, 员工工号编码规则名称.编码规则, "
      "员工工号编码规则名称.流水号位数, 员工类别.类别编号, 员工类别.类别名称 FROM 员工类别 LEFT OUTER JOIN "
      "员工工号编码规则名称 ON 员工类别.类别码 = 员工工号编码规则名称.类别码 WHERE (员工类别.类别名称 = N'");
  EXPECT_EQ(ruleQuery("合同工"), head + "合同工')");
  EXPECT_EQ(ruleQuery("O'Brien"), head + "O''Brien')");
}

TEST(SingleComposeText, RuleRowConditionPerRuleCode) {
  const QString defaultRow = "部门编号 Is Null AND 岗位类别 Is Null AND 类别代码='18'";
  const QString byPosition = "部门编号 Is Null AND 岗位类别 ='02' AND 类别代码='18'";
  const QString byDepartment = "部门编号 ='D01' AND 岗位类别 Is Null AND 类别代码='18'";
  const QString byBoth = "部门编号 ='D01' AND 岗位类别 ='02' AND 类别代码='18'";
  const QString expected[] = {defaultRow, defaultRow, byPosition, byDepartment, byBoth, byBoth, byDepartment};
  for (int code = 0; code <= 6; ++code) {
    SCOPED_TRACE(code);
    EXPECT_EQ(ruleRowCondition(code, "D01", "02", "18"), expected[code]);
    EXPECT_EQ(ruleNeedsDepartment(code), code >= 3);
  }
  EXPECT_FALSE(ruleRowCondition(7, "D01", "02", "18").has_value());
  EXPECT_FALSE(ruleRowCondition(-1, "D01", "02", "18").has_value());
  EXPECT_EQ(ruleRowCondition(4, "D'1", "0'2", "1'8"), "部门编号 ='D''1' AND 岗位类别 ='0''2' AND 类别代码='1''8'");
  EXPECT_EQ(ruleRowQuery(defaultRow),
            "SELECT ID, 员工类别, 类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号 From "
            "员工工号编码规则 Where " +
                defaultRow + " ORDER BY ID");
}

TEST(SingleCompose, PrefixPartsInOrder) {
  const QString expected[] = {"", "18", "1828", "68", "6828", "681828", "6818"};
  for (int code = 0; code <= 6; ++code) EXPECT_EQ(numberPrefix(code, "18", "68", "28"), expected[code]) << code;
  // A Null code contributes nothing.
  EXPECT_EQ(numberPrefix(5, "18", "", "28"), "1828");
  EXPECT_EQ(numberPrefix(4, "18", "68", ""), "68");
}

TEST(SingleCompose, ProposalFromRuleValues) {
  // Rule code 0, Null serial, pattern "0000".
  RuleValues r0{0, "0000", "18", "", "", std::nullopt};
  auto p = propose(r0);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->prefix, "");
  EXPECT_EQ(p->serial, 1);
  EXPECT_EQ(p->number, "0001");

  // Rule code 5: department, category, position, serial 7 + 1 in three digits.
  p = propose({5, "000", "18", "68", "28", 7});
  ASSERT_TRUE(p);
  EXPECT_EQ(p->number, "681828008");
  EXPECT_EQ(p->prefix, "681828");
  EXPECT_EQ(p->serial, 8);

  // A serial longer than the pattern is not cut.
  EXPECT_EQ(propose({1, "00", "18", "", "", 99}).value().number, "18100");

  EXPECT_EQ(propose({6, "000", "18", "68", "", 0}).value().number, "6818001");
  // A negative serial keeps its sign before the zero fill; an empty pattern gives the bare serial.
  EXPECT_EQ(propose({0, "000", "", "", "", -6}).value().number, "-005");
  EXPECT_EQ(propose({0, "", "", "", "", 41}).value().number, "42");
}

TEST(SingleCompose, RowYieldingNoCodeWhereTheRuleNeedsOne) {
  EXPECT_FALSE(propose({3, "000", "18", "", "", 1}));
  EXPECT_FALSE(propose({4, "000", "18", "", "", 1}));
  EXPECT_FALSE(propose({1, "000", "", "", "", 1}));
  // One code present is enough.
  EXPECT_TRUE(propose({4, "000", "18", "", "28", 1}));
  EXPECT_TRUE(propose({5, "000", "18", "", "", 1}));
  // Rule code 0 never needs a code.
  EXPECT_TRUE(propose({0, "000", "", "", "", 1}));
}

TEST(SingleRenumberText, WholeBatchForOneEmployee) {
  const QString batch = renumberBatch("0007", "0012", {});
  const QStringList statements = statementsOf(batch);
  const std::vector<host::RefColumn> others = host::missingFrom(host::kSingleCascade, {});
  ASSERT_EQ(statements.size(), 66 + static_cast<qsizetype>(others.size()));
  EXPECT_TRUE(
      batch.startsWith(QString("Update 员工档案 set 工号='0012' Where 工号='0007' "
                               "Update 岗位信息new set 工号='0012' Where 工号='0007' Update ")));
  // The kind of record is Chinese text: a Unicode literal, found on a server of any default collation.
  EXPECT_EQ(statements[8], "Update 员工档案temp set 工号='0012' Where 工号='0007' AND 类型=N'档案信息修改'");
  EXPECT_EQ(statements[4], "Update XZ文件记录 set 拟稿人='0012' Where 拟稿人='0007'");
  EXPECT_EQ(statements[5], "Update XZ文件记录 set 盖章人='0012' Where 盖章人='0007'");

  const QStringList cascade = QString(kCascade).split(QRegularExpression(",\\s+"));
  ASSERT_EQ(cascade.size(), 66);
  for (int i = 0; i < 66; ++i) {
    const QStringList tc = cascade[i].split(' ');
    QString expected = "Update " + tc[0] + " set " + tc[1] + "='0012' Where " + tc[1] + "='0007'";
    if (i == 8) expected += " AND 类型=N'档案信息修改'";
    EXPECT_EQ(statements[i], expected) << "statement " << i + 1;
  }
  EXPECT_EQ(statements[65], "Update 票据核销记录 set 核销人='0012' Where 核销人='0007'");
  // Then every other column that stores an employee number, so that no record stays behind.
  ASSERT_EQ(others.size(), 26u);
  for (size_t i = 0; i < others.size(); ++i) {
    const QString c = others[i].columnName();
    EXPECT_EQ(statements[66 + i], "Update " + others[i].tableName() + " set " + c + "='0012' Where " + c + "='0007'");
  }
  EXPECT_EQ(statements[66], "Update 考勤员设置 set 工号='0012' Where 工号='0007'");
  EXPECT_FALSE(batch.endsWith(' '));
}

TEST(SingleRenumberText, SerialStatementAndQuotes) {
  EXPECT_EQ(serialStatement(5, "17"), " Update 员工工号编码规则 Set 流水号=5 Where ID=17");
  const QString withSerial = renumberBatch("0007", "0012", {}) + serialStatement(5, "17");
  const QStringList statements = statementsOf(withSerial);
  EXPECT_EQ(statements.last(), "Update 员工工号编码规则 Set 流水号=5 Where ID=17");
  EXPECT_EQ(statements.size(), statementsOf(renumberBatch("0007", "0012", {})).size() + 1);

  EXPECT_EQ(statementsOf(renumberBatch("A'1", "B'2", {}))[0], "Update 员工档案 set 工号='B''2' Where 工号='A''1'");
  EXPECT_EQ(existsQuery("0012"), "Select * From 员工档案 Where 工号='0012'");
  EXPECT_EQ(existsQuery("0'12"), "Select * From 员工档案 Where 工号='0''12'");
  EXPECT_EQ(registerCountQuery("0'07"), "SELECT COUNT(*) AS 行数 FROM 员工档案 WHERE 工号='0''07'");
}
