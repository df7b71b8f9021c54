// The single-employee window on the embedded database: search, selection, composition and the
// renumber with its reference cascade.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "host/host_schema.h"
#include "host/host_tables.h"
#include "db/database.h"
#include "ops/single_logic.h"
#include "renumber_single/single_window.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/harness.h"
#include "widgets/app_info.h"
#include "widgets/flex_grid.h"

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

using testdb::snapshot;
using testdb::Snapshot;

// What a renumber from oldNumber to newNumber must leave: every cascade column that held the old
// number holds the new one; nothing else differs.
Snapshot renumbered(const Snapshot& s, const QString& oldNumber, const QString& newNumber) {
  return testdb::renamed(s, host::kSingleCascade, oldNumber, newNumber);
}

class SingleWindow : public ::testing::Test {
 protected:
  Harness h;
  frm员工Kestrune* w = nullptr;

  void SetUp() override {
    // A small organisation: two departments, two position categories, three positions.
    h.exec(u("INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('D01', '综合部')"));
    h.exec(u("INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('D02', '工程部')"));
    h.exec(u("INSERT INTO 岗位类别 (岗位类别编号, 岗位类别名称) VALUES ('01', '管理岗')"));
    h.exec(u("INSERT INTO 岗位类别 (岗位类别编号, 岗位类别名称) VALUES ('02', '技术岗')"));
    h.exec(
        u("INSERT INTO 岗位信息New (岗位代号, 岗位名称, 职能部门代号, 岗位类别代号) VALUES ('P01', '主管', 'D01', "
          "'01')"));
    h.exec(
        u("INSERT INTO 岗位信息New (岗位代号, 岗位名称, 职能部门代号, 岗位类别代号) VALUES ('P02', '技工', 'D02', "
          "'02')"));
    h.exec(u("INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('01', '管理人员', '18')"));
    h.exec(u("INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('02', '临时工', NULL)"));
    w = &h.open<frm员工Kestrune>();
  }

  void addEmployee(const QString& number, const QString& name, const QString& category = u("管理人员"),
                   const QString& position = u("P01"), const QString& idCard = u("110101199001011234")) {
    h.exec(u("INSERT INTO 员工档案 (工号, 姓名, 性别, 身份证号码, 员工类别, 岗位编号) VALUES (") +
           db::sqlQuote(number) + u(", ") + db::sqlQuote(name) + u(", '男', ") + db::sqlQuote(idCard) + u(", ") +
           db::sqlQuote(category) + u(", ") + (position.isEmpty() ? u("NULL") : db::sqlQuote(position)) + u(")"));
  }
  void addRule(int ruleCode, const QString& pattern = u("'000'"), const QString& code = u("18")) {
    h.exec(u("INSERT INTO 员工工号编码规则名称 (类别码, 编码类别名称, 编码规则, 流水号位数) VALUES (") +
           db::sqlQuote(code) + u(", '管理编号', ") + QString::number(ruleCode) + u(", ") + pattern + u(")"));
  }
  // A specific rule row: values given as SQL literals (NULL or '...').
  QString addRuleRow(const QString& dept, const QString& deptCode, const QString& posCat, const QString& posCode,
                     const QString& serial, const QString& code = u("'18'")) {
    h.exec(u("INSERT INTO 员工工号编码规则 (类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号) "
             "VALUES (") +
           code + u(", ") + dept + u(", ") + deptCode + u(", ") + posCat + u(", ") + posCode + u(", '00000', ") +
           serial + u(")"));
    return h.value(u("SELECT MAX(ID) FROM 员工工号编码规则"));
  }

  void search(const QString& number, const QString& name = QString(), const QString& idCard = QString()) {
    w->Text1->setText(number);
    w->Text2->setText(name);
    w->Text3->setText(idCard);
    w->Command1->click();
  }
  // Finds and selects the employee with this exact number (the only hit).
  void select(const QString& number) {
    search(number);
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 2) << number.toStdString();
    ASSERT_TRUE(w->Frame2->isEnabled());
  }
  QString cell(int row, int col) const { return w->MSFlexGrid1->TextMatrix(row, col); }
  QString tag() const { return w->Label1[4]->property("Tag").toString(); }
  bool inSearchStartState() const {
    return !w->Picture1->isVisible() && !w->Frame2->isEnabled() && !w->Label1[3]->isVisible() &&
           !w->Command2->isVisible();
  }
};

// ---- Window and search -----------------------------------------------------------------------

TEST_F(SingleWindow, StartStateAndControls) {
  EXPECT_EQ(w->windowTitle(), u("员工Kestrune"));
  EXPECT_EQ(w->Frame1->title(), u("第一步 检索要修改工号的员工"));
  EXPECT_EQ(w->Frame2->title(), u("第二步 修改工号"));
  EXPECT_EQ(w->Command1->text(), u("检索"));
  EXPECT_EQ(w->Command2->text(), u("从列表中选择"));
  EXPECT_EQ(w->Command3->text(), u("修改确定"));
  EXPECT_EQ(w->Command4->text(), u("退出"));
  EXPECT_EQ(w->Command5->text(), u("检索数值相同员工"));
  EXPECT_EQ(w->Check1->text(), u("采用自动编号"));
  const char* labels[] = {"当前工号",
                          "姓名",
                          "身份证",
                          "检索结果有多个符合检索条件的员工，你可以从列表中选择",
                          "员工信息：",
                          "新工号",
                          "符合检索条件的员工列表"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(w->Label1[i]->text(), u(labels[i])) << i;
  EXPECT_TRUE(inSearchStartState());
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(w->MSFlexGrid1->Cols(), 10);
  EXPECT_EQ(w->MSFlexGrid1->TextMatrix(0, 1), u("工号   "));
  for (int c = 7; c <= 9; ++c) EXPECT_EQ(w->MSFlexGrid1->ColWidth(c), 0) << c;
  for (int c = 0; c <= 6; ++c) EXPECT_GT(w->MSFlexGrid1->ColWidth(c), 0) << c;
  EXPECT_EQ(w->Picture1, w->MSFlexGrid1->parentWidget());
  EXPECT_EQ(w->Picture1, w->Label1[6]->parentWidget());
}

TEST_F(SingleWindow, NoCriterionSearchesNothing) {
  h.clearStatements();
  search("", "", "");
  EXPECT_EQ(h.messages(), QStringList{u("请输入检索条件")});
  EXPECT_EQ(h.titles(), QStringList{app_info::title()});
  EXPECT_TRUE(h.statements().isEmpty());
}

TEST_F(SingleWindow, OneHitSelectsAtOnce) {
  addEmployee("0007", u("张三"));
  h.clearStatements();
  search("", "", "110101");
  EXPECT_EQ(h.statements(), QStringList{single::textSearchStatement(u("员工档案.身份证号码 Like '%110101%'"))});
  EXPECT_TRUE(h.messages().isEmpty());
  ASSERT_EQ(w->MSFlexGrid1->Rows(), 2);
  EXPECT_EQ(w->MSFlexGrid1->Row(), 1);
  const QString id = h.value(u("SELECT ID FROM 员工档案 WHERE 工号='0007'"));
  const QStringList expected{"1",           "0007",        u("张三"), u("男"), "110101199001011234", u("D01 综合部"),
                             u("P01 主管"), u("管理人员"), "01",      id};
  for (int c = 0; c < 10; ++c) EXPECT_EQ(cell(1, c), expected[c]) << c;
  EXPECT_FALSE(w->Picture1->isVisible());
  EXPECT_TRUE(w->Frame2->isEnabled());
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(tag(), "0007");
  EXPECT_EQ(w->Label1[4]->text(),
            u("员工信息：工号 0007 姓名 张三 身份证 110101199001011234 所在部门 D01 综合部 、P01 主管"));
}

TEST_F(SingleWindow, SeveralHitsArePickedFromTheList) {
  addEmployee("0012", u("王五"));
  addEmployee("0120", u("李四"), u("管理人员"), u("P02"));
  addEmployee("0300", u("王强"));
  search("12", u("王"));
  EXPECT_EQ(h.statements().last(),
            single::textSearchStatement(u("员工档案.工号 Like '%12%' Or 员工档案.姓名 Like '%王%'")));
  ASSERT_EQ(w->MSFlexGrid1->Rows(), 4);
  EXPECT_TRUE(w->Label1[3]->isVisible());
  EXPECT_TRUE(w->Command2->isVisible());
  EXPECT_FALSE(w->Frame2->isEnabled());
  EXPECT_FALSE(w->Picture1->isVisible());
  EXPECT_EQ(w->MSFlexGrid1->Row(), 3);

  w->Command2->click();
  EXPECT_TRUE(w->Picture1->isVisible());
  // The panel lies over step two and leaves step one, with its notice, in view.
  EXPECT_GE(w->Picture1->geometry().top(), w->Frame1->geometry().bottom());
  EXPECT_TRUE(w->Picture1->geometry().intersects(w->Frame2->geometry()));
  // A click on the header row selects nobody.
  w->MSFlexGrid1->clickCell(0, 2);
  EXPECT_FALSE(w->Frame2->isEnabled());

  int row = 0;
  for (int r = 1; r < 4; ++r)
    if (cell(r, 1) == "0120") row = r;
  ASSERT_GT(row, 0);
  w->MSFlexGrid1->clickCell(row, 2);
  EXPECT_FALSE(w->Picture1->isVisible());
  EXPECT_TRUE(w->Frame2->isEnabled());
  EXPECT_EQ(tag(), "0120");
  EXPECT_EQ(w->Label1[4]->text(),
            u("员工信息：工号 0120 姓名 李四 身份证 110101199001011234 所在部门 D02 工程部 、P02 技工"));

  // A second search disables step two again, even when the same employee is among the hits.
  search("12", u("王"));
  EXPECT_TRUE(w->Label1[3]->isVisible());
  EXPECT_FALSE(w->Frame2->isEnabled());
}

TEST_F(SingleWindow, NothingFound) {
  addEmployee("0007", u("张三"));
  search("9999");
  EXPECT_EQ(h.messages(), QStringList{u("未找到符合条件的员工")});
  EXPECT_EQ(w->MSFlexGrid1->Rows(), 1);
  EXPECT_TRUE(inSearchStartState());
  // The equal-numbers search reports no hit with an empty message.
  w->Command5->click();
  EXPECT_EQ(h.messages(), (QStringList{u("未找到符合条件的员工"), QString()}));
  EXPECT_EQ(h.titles(), (QStringList{app_info::title(), app_info::title()}));
}

TEST_F(SingleWindow, WildcardsQuotesBlanksAndMissingPositions) {
  addEmployee("0103", "O'Neil", u("管理人员"), "");
  addEmployee("0113", u("赵六"), u("管理人员"), "GW999");  // names a position that does not exist
  addEmployee("0130", u("钱七"));
  // "_" matches one character: 0103 and 0113, not 0130.
  search("1_3");
  ASSERT_EQ(w->MSFlexGrid1->Rows(), 3);
  QStringList found{cell(1, 1), cell(2, 1)};
  found.sort();
  EXPECT_EQ(found, (QStringList{"0103", "0113"}));
  for (int r = 1; r <= 2; ++r) {
    EXPECT_EQ(cell(r, 5), QString()) << r;
    EXPECT_EQ(cell(r, 6), QString()) << r;
    EXPECT_EQ(cell(r, 8), QString()) << r;
  }
  // A quote finds what it says.
  search("", "O'Neil");
  EXPECT_EQ(h.statements().last(), single::textSearchStatement(u("员工档案.姓名 Like '%O''Neil%'")));
  ASSERT_EQ(w->MSFlexGrid1->Rows(), 2);
  EXPECT_EQ(cell(1, 2), "O'Neil");
  EXPECT_EQ(tag(), "0103");
  // A blank is a criterion as typed; nobody's number holds one.
  search(" ");
  EXPECT_EQ(h.messages().last(), u("未找到符合条件的员工"));
}

TEST_F(SingleWindow, EqualNumbersListedTogether) {
  for (const char* n : {"0012", "0005", "12", "0007", "5", "012"}) addEmployee(n, u("员工") + n);
  h.clearStatements();
  w->Command5->click();
  EXPECT_EQ(h.statements(), QStringList{single::equalNumbersStatement()});
  ASSERT_EQ(w->MSFlexGrid1->Rows(), 6);
  QStringList first{cell(1, 1), cell(2, 1)}, second{cell(3, 1), cell(4, 1), cell(5, 1)};
  first.sort();
  second.sort();
  EXPECT_EQ(first, (QStringList{"0005", "5"}));
  EXPECT_EQ(second, (QStringList{"0012", "012", "12"}));
  for (int r = 1; r <= 5; ++r) EXPECT_EQ(cell(r, 0), QString::number(r));
  EXPECT_TRUE(w->Command2->isVisible());
  EXPECT_FALSE(w->Frame2->isEnabled());
}

TEST_F(SingleWindow, FailedSearchShowsTheDatabaseTextAndStaysAtSearchStart) {
  addEmployee("0007", u("张三"));
  addEmployee("0008", u("张四"));
  search(u("000"));
  w->Command2->click();
  ASSERT_TRUE(w->Picture1->isVisible());
  h.exec(u("DROP TABLE 职能部门new"));
  search(u("0007"));
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(h.messages().first().contains(u("职能部门new"), Qt::CaseInsensitive))
      << h.messages().first().toStdString();
  EXPECT_TRUE(inSearchStartState());
  EXPECT_EQ(w->MSFlexGrid1->Rows(), 1);
  w->Command5->click();
  EXPECT_EQ(h.messages().size(), 2);
  EXPECT_TRUE(inSearchStartState());
}

TEST_F(SingleWindow, CommandsTwoAndFour) {
  addEmployee("0007", u("张三"));
  addEmployee("0008", u("张四"));
  search("000");
  w->Command2->click();
  EXPECT_TRUE(w->Picture1->isVisible());
  QPointer<frm员工Kestrune> alive(w);
  w->Command4->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull());
  EXPECT_FALSE(shared_window::exists<frm员工Kestrune>());
}

// ---- Composition -----------------------------------------------------------------------------

struct RuleCase {
  int ruleCode;
  QString number, prefix, rowKey;
  qint32 serial;
};

TEST_F(SingleWindow, ComposesForEveryRuleCode) {
  addEmployee("0007", u("张三"));
  addRule(0);
  QMap<QString, QString> row;
  row["default"] = addRuleRow("NULL", "NULL", "NULL", "NULL", "NULL");
  row["position"] = addRuleRow("NULL", "NULL", "'01'", "'28'", "4");
  row["department"] = addRuleRow("'D01'", "'68'", "NULL", "NULL", "7");
  row["both"] = addRuleRow("'D01'", "'68'", "'01'", "'28'", "12");
  addRuleRow("'D02'", "'69'", "'01'", "'29'", "50");  // another department's row
  const RuleCase cases[] = {
      {0, "001", "", "default", 1},
      {1, "18001", "18", "default", 1},
      {2, "1828005", "1828", "position", 5},
      {3, "68008", "68", "department", 8},
      {4, "6828013", "6828", "both", 13},
      {5, "681828013", "681828", "both", 13},
      {6, "6818008", "6818", "department", 8},
  };
  const QString ruleQuery = u(
      "SELECT 员工工号编码规则名称.类别码, 员工工号编码规则名称.编码类别名称, 员工工号编码规则名称.编码规则, "
      "员工工号编码规则名称.流水号位数, 员工类别.类别编号, 员工类别.类别名称 FROM 员工类别 LEFT OUTER JOIN "
      "员工工号编码规则名称 ON 员工类别.类别码 = 员工工号编码规则名称.类别码 WHERE (员工类别.类别名称 = N'管理人员')");
  const QString rowQuery =
      u("SELECT ID, 员工类别, 类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号 "
        "From 员工工号编码规则 Where ");
  const QString conditions[] = {
      u("部门编号 Is Null AND 岗位类别 Is Null AND 类别代码='18'"),
      u("部门编号 Is Null AND 岗位类别 Is Null AND 类别代码='18'"),
      u("部门编号 Is Null AND 岗位类别 ='01' AND 类别代码='18'"),
      u("部门编号 ='D01' AND 岗位类别 Is Null AND 类别代码='18'"),
      u("部门编号 ='D01' AND 岗位类别 ='01' AND 类别代码='18'"),
      u("部门编号 ='D01' AND 岗位类别 ='01' AND 类别代码='18'"),
      u("部门编号 ='D01' AND 岗位类别 Is Null AND 类别代码='18'"),
  };
  select("0007");
  for (const RuleCase& c : cases) {
    SCOPED_TRACE(c.ruleCode);
    h.exec(u("UPDATE 员工工号编码规则名称 SET 编码规则=") + QString::number(c.ruleCode));
    h.clearStatements();
    w->Check1->setChecked(true);
    EXPECT_EQ(h.statements(), (QStringList{ruleQuery, rowQuery + conditions[c.ruleCode]}));
    EXPECT_TRUE(h.messages().isEmpty());
    EXPECT_TRUE(w->Check1->isChecked());
    EXPECT_EQ(w->Text4->text(), c.number);
    EXPECT_EQ(w->ruleCode(), c.ruleCode);
    EXPECT_EQ(w->serialPattern(), "000");  // the rule's pattern, not the row's
    EXPECT_EQ(w->categoryCode(), "18");
    EXPECT_EQ(w->ruleRowId(), row[c.rowKey]);
    EXPECT_EQ(w->numberPrefix(), c.prefix);
    EXPECT_EQ(w->nextSerial(), c.serial);
    w->Check1->setChecked(false);
  }
}

TEST_F(SingleWindow, UntickingAndTickingAgain) {
  addEmployee("0007", u("张三"));
  addRule(1, u("'0000'"));
  addRuleRow("NULL", "NULL", "NULL", "NULL", "41");
  select("0007");
  w->Check1->setChecked(true);
  EXPECT_EQ(w->Text4->text(), "180042");
  w->Check1->setChecked(false);
  EXPECT_EQ(w->Text4->text(), QString());
  EXPECT_EQ(w->numberPrefix(), QString());
  EXPECT_EQ(w->ruleRowId(), QString());
  EXPECT_EQ(w->ruleCode(), 1);
  EXPECT_EQ(w->serialPattern(), "0000");
  EXPECT_EQ(w->categoryCode(), "18");
  EXPECT_EQ(w->nextSerial(), 42);
  w->Check1->setChecked(true);
  EXPECT_EQ(w->Text4->text(), "180042");
  // A new selection unticks the box.
  select("0007");
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(w->Text4->text(), QString());
  EXPECT_EQ(w->ruleRowId(), QString());
  EXPECT_TRUE(h.messages().isEmpty());
}

TEST_F(SingleWindow, SerialsLongerThanThePatternNullSerialsAndNullPatterns) {
  addEmployee("0007", u("张三"));
  addRule(1, u("'00'"));
  const QString id = addRuleRow("NULL", "NULL", "NULL", "NULL", "99");
  select("0007");
  w->Check1->setChecked(true);
  EXPECT_EQ(w->Text4->text(), "18100");
  EXPECT_EQ(w->nextSerial(), 100);
  w->Check1->setChecked(false);

  h.exec(u("UPDATE 员工工号编码规则名称 SET 编码规则=0, 流水号位数=NULL"));
  h.exec(u("UPDATE 员工工号编码规则 SET 流水号=NULL WHERE ID=") + id);
  w->Check1->setChecked(true);
  EXPECT_EQ(w->serialPattern(), "0000");
  EXPECT_EQ(w->Text4->text(), "0001");
  EXPECT_EQ(w->nextSerial(), 1);
  w->Check1->setChecked(false);

  // A Null rule code counts as 0.
  h.exec(u("UPDATE 员工工号编码规则名称 SET 编码规则=NULL, 流水号位数='000'"));
  w->Check1->setChecked(true);
  EXPECT_EQ(w->ruleCode(), 0);
  EXPECT_EQ(w->Text4->text(), "001");
}

TEST_F(SingleWindow, QuoteInTheCategoryName) {
  h.exec(u("INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('03', 'O''Brien类', 'Q''1')"));
  addRule(1, u("'000'"), "Q'1");
  addRuleRow("NULL", "NULL", "NULL", "NULL", "2", u("'Q''1'"));
  addEmployee("0007", u("张三"), "O'Brien类");
  select("0007");
  w->Check1->setChecked(true);
  EXPECT_TRUE(h.messages().isEmpty()) << h.messages().join('|').toStdString();
  EXPECT_EQ(w->Text4->text(), "Q'1003");
  EXPECT_EQ(w->categoryCode(), "Q'1");
}

TEST_F(SingleWindow, NoRuleUnticksTheBox) {
  addEmployee("0001", u("临时甲"), u("临时工"));  // category without a rule
  addEmployee("0002", u("无类乙"), u("不存在的类别"));  // category that does not exist
  addEmployee("0003", u("无岗丙"), u("管理人员"), "");  // no department under a department rule
  addEmployee("0004", u("工程丁"), u("管理人员"), "P02");  // no row for department D02
  addEmployee("0005", u("综合戊"), u("管理人员"), "P01");
  addRule(3);
  addRuleRow("'D01'", "NULL", "NULL", "NULL", "3");  // a department row without a department code
  addRuleRow("'D01'", "NULL", "'01'", "NULL", "3");  // a pair row without any code

  struct Case {
    const char* number;
    int ruleCode;
    int queries;  // statements sent by the composition
  };
  const Case cases[] = {{"0001", 3, 2}, {"0002", 3, 1}, {"0003", 3, 1}, {"0004", 3, 2},
                        {"0005", 3, 2}, {"0005", 4, 2}, {"0005", 7, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.number) + " rule code " + std::to_string(c.ruleCode));
    h.exec(u("UPDATE 员工工号编码规则名称 SET 编码规则=") + QString::number(c.ruleCode));
    select(c.number);
    h.clearStatements();
    const qsizetype before = h.messages().size();
    w->Check1->setChecked(true);
    EXPECT_EQ(h.statements().size(), c.queries);
    ASSERT_EQ(h.messages().size(), before + 1);
    EXPECT_EQ(h.messages().last(), u("该员工的员工类别没有设置过工号编号规则，不能采用自动编号"));
    EXPECT_FALSE(w->Check1->isChecked());
    EXPECT_EQ(w->Text4->text(), QString());
    EXPECT_EQ(w->numberPrefix(), QString());
    EXPECT_EQ(w->ruleRowId(), QString());
  }
}

TEST_F(SingleWindow, FailedCompositionQueryShowsTheDatabaseText) {
  addEmployee("0007", u("张三"));
  select("0007");
  h.exec(u("DROP TABLE 员工工号编码规则名称"));
  w->Check1->setChecked(true);
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(h.messages().first().contains(u("员工工号编码规则名称"))) << h.messages().first().toStdString();
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(w->Text4->text(), QString());
}

// ---- On the demo data ----------------------------------------------------------------------

class SingleDemo : public ::testing::Test {
 protected:
  Harness h;
  frm员工Kestrune* w = nullptr;
  void SetUp() override {
    h.seedDemo();
    w = &h.open<frm员工Kestrune>();
  }

  // Finds an employee by number and selects exactly that one (also among several hits).
  void selectExact(const QString& number) {
    w->Text1->setText(number);
    w->Command1->click();
    FlexGrid* g = w->MSFlexGrid1;
    if (g->Rows() > 2) {
      w->Command2->click();
      for (int r = 1; r < g->Rows(); ++r)
        if (g->TextMatrix(r, 1) == number) g->clickCell(r, 1);
    }
    ASSERT_EQ(g->TextMatrix(g->Row(), 1), number);
    ASSERT_TRUE(w->Frame2->isEnabled());
  }

  struct Pick {
    QString number, rowId, departmentCode, positionCode;
    qint64 lastSerial = 0;
  };
  // An employee of a category whose post matches a specific rule row of ruleKey under the given
  // condition on the row (r) and the post (p).
  Pick pick(const QString& category, const QString& ruleKey, const QString& match) {
    db::Recordset rs = db::Database::shared().open(
        u("SELECT e.工号, r.ID, r.部门代码, r.岗位代码, r.流水号 FROM 员工档案 e "
          "JOIN 岗位信息New p ON e.岗位编号=p.岗位代号 JOIN 员工工号编码规则 r ON r.类别代码=") +
        db::sqlQuote(ruleKey) + u(" AND ") + match + u(" WHERE e.员工类别=") + db::sqlQuote(category) +
        u(" ORDER BY e.ID"));
    Pick p;
    if (rs.eof()) return p;
    p.number = rs.text(u("工号"));
    p.rowId = rs.text(u("ID"));
    p.departmentCode = rs.text(u("部门代码"));
    p.positionCode = rs.text(u("岗位代码"));
    p.lastSerial = rs.field(u("流水号")).toLongLong();
    return p;
  }
  static QString serial(qint64 last, int width) {
    return QStringLiteral("%1").arg(last + 1, width, 10, QLatin1Char('0'));
  }

  void expectComposed(const Pick& p, int ruleCode, const QString& number) {
    SCOPED_TRACE(ruleCode);
    ASSERT_FALSE(p.number.isEmpty());
    selectExact(p.number);
    w->Check1->setChecked(true);
    EXPECT_TRUE(h.messages().isEmpty()) << h.messages().join('|').toStdString();
    EXPECT_EQ(w->ruleCode(), ruleCode);
    EXPECT_EQ(w->ruleRowId(), p.rowId);
    EXPECT_EQ(w->Text4->text(), number);
    EXPECT_EQ(w->nextSerial(), p.lastSerial + 1);
  }
};

TEST_F(SingleDemo, ComposesUnderEveryRuleCode) {
  const QString byDefault = u("r.部门编号 Is Null AND r.岗位类别 Is Null");
  const QString byDepartment = u("r.部门编号=p.职能部门代号 AND r.岗位类别 Is Null");
  const QString byPair = u("r.部门编号=p.职能部门代号 AND r.岗位类别=p.岗位类别代号");
  auto setRule = [&](const QString& key, int code) {
    h.exec(u("UPDATE 员工工号编码规则名称 SET 编码规则=") + QString::number(code) + u(" WHERE 类别码=") +
           db::sqlQuote(key));
  };

  // The demo's own rules: managers by category code (1), technicians by department (3),
  // service staff by department, category and position (5).
  Pick p = pick(u("管理人员"), "1", byDefault);
  expectComposed(p, 1, "1" + serial(p.lastSerial, 4));
  setRule("1", 0);
  expectComposed(p, 0, serial(p.lastSerial, 4));

  p = pick(u("专业技术人员"), "2", byDepartment);
  expectComposed(p, 3, p.departmentCode + serial(p.lastSerial, 3));
  setRule("2", 6);
  expectComposed(p, 6, p.departmentCode + "2" + serial(p.lastSerial, 3));

  p = pick(u("服务人员"), "3", byPair);
  expectComposed(p, 5, p.departmentCode + "3" + p.positionCode + serial(p.lastSerial, 3));
  setRule("3", 4);
  expectComposed(p, 4, p.departmentCode + p.positionCode + serial(p.lastSerial, 3));

  // Code 2 by position category alone, from a new row without a serial; then a serial longer
  // than the pattern.
  h.exec(u("INSERT INTO 员工工号编码规则 (类别代码, 岗位类别, 岗位代码) SELECT '3', 岗位类别编号, '9' FROM 岗位类别"));
  setRule("3", 2);
  p = pick(u("服务人员"), "3", u("r.部门编号 Is Null AND r.岗位类别=p.岗位类别代号"));
  EXPECT_EQ(p.lastSerial, 0);
  expectComposed(p, 2, "39001");
  h.exec(u("UPDATE 员工工号编码规则 SET 流水号=1233 WHERE ID=") + p.rowId);
  p.lastSerial = 1233;
  expectComposed(p, 2, "391234");
}

TEST_F(SingleDemo, EqualNumbersAndEmployeesWithoutPosition) {
  w->Command5->click();
  FlexGrid* g = w->MSFlexGrid1;
  ASSERT_EQ(g->Rows(), 8);
  QList<QStringList> groups{{}, {}, {}};
  for (int r = 1; r < 8; ++r) groups[r <= 3 ? 0 : r <= 5 ? 1 : 2] << g->TextMatrix(r, 1);
  for (QStringList& group : groups) group.sort();
  EXPECT_EQ(groups[0], (QStringList{"0012", "012", "12"}));
  EXPECT_EQ(groups[1], (QStringList{"0108", "108"}));
  EXPECT_EQ(groups[2], (QStringList{"02046", "2046"}));

  const QString number = h.value(u("SELECT 工号 FROM 员工档案 WHERE 岗位编号 IS NULL ORDER BY ID"));
  ASSERT_FALSE(number.isEmpty());
  selectExact(number);
  const int r = g->Row();
  EXPECT_EQ(g->TextMatrix(r, 5), QString());
  EXPECT_EQ(g->TextMatrix(r, 6), QString());
  EXPECT_EQ(g->TextMatrix(r, 8), QString());
  EXPECT_FALSE(g->TextMatrix(r, 7).isEmpty());
}

// ---- Renumber --------------------------------------------------------------------------------

class SingleRenumber : public SingleWindow {
 protected:
  // Every column of every table that can hold an employee number gets a row with the old number
  // and a row with another number; the register and the position table too.
  void SetUp() override {
    SingleWindow::SetUp();
    addEmployee("0007", u("张三"));
    addEmployee("0099", u("李四"), u("管理人员"), "P02");
    h.exec(u("UPDATE 岗位信息New SET 工号='0007' WHERE 岗位代号='P01'"));
    h.exec(u("UPDATE 岗位信息New SET 工号='0099' WHERE 岗位代号='P02'"));
    QSet<QString> done;
    QStringList inserts;
    auto seed = [&](const auto& list) {
      for (const host::RefColumn& ref : list) {
        const QString table = ref.tableName();
        if (table == u("员工档案") || table.compare(u("岗位信息new"), Qt::CaseInsensitive) == 0) continue;
        const QString key = (table + u(".") + ref.columnName()).toLower();
        if (done.contains(key)) continue;
        done.insert(key);
        const QString insert = u("INSERT INTO ") + table + u(" (") + ref.columnName();
        if (ref.extraCondition().isEmpty()) {
          inserts << insert + u(") VALUES ('0007')") << insert + u(") VALUES ('0099')");
        } else {
          inserts << insert + u(", 类型) VALUES ('0007', '档案信息修改')")
                  << insert + u(", 类型) VALUES ('0007', '新员工入职')")
                  << insert + u(", 类型) VALUES ('0099', '档案信息修改')");
        }
      }
    };
    seed(host::kSingleCascade);
    seed(host::kBatchApply);
    seed(host::kStaging);
    h.exec(inserts.join(u(" ")));
    // One filing record drafted and stamped by the same employee.
    h.exec(u("INSERT INTO XZ文件记录 (拟稿人, 盖章人) VALUES ('0007', '0007')"));
  }

  // Selects 0007 under rule code 0 with the serial pattern "0000" and the given last serial.
  void tickUnderRuleZero(const QString& lastSerial) {
    addRule(0, u("'0000'"));
    rowId = addRuleRow("NULL", "NULL", "NULL", "NULL", lastSerial);
    select("0007");
    w->Check1->setChecked(true);
  }
  QString rowId;
};

TEST_F(SingleRenumber, EmptyNewNumber) {
  select("0007");
  h.clearStatements();
  w->Command3->click();
  EXPECT_EQ(h.messages(), QStringList{u("请输入新工号")});
  EXPECT_TRUE(h.statements().isEmpty());
}

TEST_F(SingleRenumber, TakenNumberWithTheBoxUnticked) {
  select("0007");
  const Snapshot before = snapshot();
  w->Text4->setText("0099");
  h.clearStatements();
  w->Command3->click();
  EXPECT_EQ(h.messages(), QStringList{u("0099已经存在，请输入另外的工号")});
  EXPECT_EQ(h.statements(), QStringList{single::existsQuery("0099")});
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(tag(), "0007");
}

TEST_F(SingleRenumber, EveryReferenceMovesAndNothingElse) {
  select("0007");
  const Snapshot before = snapshot();
  w->Text4->setText("0012");
  h.clearStatements();
  w->Command3->click();
  EXPECT_EQ(h.messages(), QStringList{u("修改成功请通知张三 工号已经改成0012")});
  EXPECT_EQ(h.titles(), QStringList{app_info::title()});
  // One existence query, then the whole batch in one execution, without a serial statement.
  const QString batch = single::renumberBatch("0007", "0012");
  EXPECT_EQ(h.statements(), (QStringList{single::existsQuery("0012"), batch}));
  EXPECT_FALSE(batch.contains(u("流水号")));

  const Snapshot after = snapshot();
  EXPECT_EQ(testdb::difference(renumbered(before, "0007", "0012"), after), QString());
  EXPECT_NE(after, before);
  // Spot checks of the end state.
  EXPECT_EQ(h.value(u("SELECT COUNT(*) FROM XZ文件记录 WHERE 拟稿人='0012' AND 盖章人='0012'")), "1");
  EXPECT_EQ(h.value(u("SELECT COUNT(*) FROM 员工档案temp WHERE 工号='0007'")), "1");  // another kind of record
  EXPECT_EQ(h.value(u("SELECT COUNT(*) FROM 考勤员设置 WHERE 工号='0007'")), "1");  // not in this cascade
  EXPECT_EQ(h.value(u("SELECT 工号 FROM 岗位信息New WHERE 岗位代号='P01'")), "0012");
  EXPECT_EQ(h.value(u("SELECT COUNT(*) FROM skoperator WHERE OperatorNum='0012'")), "1");

  // The list and the selection follow the employee.
  EXPECT_EQ(cell(1, 1), "0012");
  EXPECT_EQ(tag(), "0012");
  EXPECT_TRUE(w->Label1[4]->text().startsWith(u("员工信息：工号 0012 姓名 张三")));
  EXPECT_EQ(w->Text4->text(), "0012");
  // A second click with the same number is refused: the employee holds it now.
  w->Command3->click();
  EXPECT_EQ(h.messages().last(), u("0012已经存在，请输入另外的工号"));
}

TEST_F(SingleRenumber, TickedBoxMovesPastTakenNumbersAndStoresTheSerial) {
  addEmployee("0003", u("王三"));
  addEmployee("0004", u("王四"));
  tickUnderRuleZero("2");
  ASSERT_EQ(w->Text4->text(), "0003");
  const Snapshot before = snapshot();
  h.clearStatements();
  w->Command3->click();
  EXPECT_EQ(w->Text4->text(), "0005");
  EXPECT_EQ(w->nextSerial(), 5);
  EXPECT_EQ(h.messages(), QStringList{u("修改成功请通知张三 工号已经改成0005")});
  const QStringList sent = h.statements();
  EXPECT_TRUE(sent.contains(single::existsQuery("0003")));
  EXPECT_TRUE(sent.contains(single::existsQuery("0004")));
  EXPECT_TRUE(sent.contains(single::existsQuery("0005")));
  const QString batch =
      single::renumberBatch("0007", "0005") + u(" Update 员工工号编码规则 Set 流水号=5 Where ID=") + rowId;
  EXPECT_TRUE(sent.contains(batch));

  Snapshot expected = renumbered(before, "0007", "0005");
  for (QStringList& r : expected[u("员工工号编码规则")])
    if (r.contains(u("ID=") + rowId)) r.replaceInStrings(QRegularExpression(u("^流水号=.*$")), u("流水号=5"));
  EXPECT_EQ(testdb::difference(expected, snapshot()), QString());
  EXPECT_EQ(h.value(u("SELECT 流水号 FROM 员工工号编码规则 WHERE ID=") + rowId), "5");

  // The next composition proposes the serial after the one stored.
  w->Check1->setChecked(false);
  w->Check1->setChecked(true);
  EXPECT_EQ(w->Text4->text(), "0006");
}

TEST_F(SingleRenumber, TypedNumberOverTheProposalStillStoresTheProposalSerial) {
  tickUnderRuleZero("2");
  w->Text4->setText("8000");
  w->Command3->click();
  EXPECT_EQ(h.messages(), QStringList{u("修改成功请通知张三 工号已经改成8000")});
  EXPECT_EQ(h.value(u("SELECT COUNT(*) FROM 员工档案 WHERE 工号='8000'")), "1");
  EXPECT_EQ(h.value(u("SELECT 流水号 FROM 员工工号编码规则 WHERE ID=") + rowId), "3");
}

TEST_F(SingleRenumber, FailureInTheFortiethStatementLeavesEverythingAsItWas) {
  const QString dropped = u("工资事务处理人设置");
  h.exec(u("DROP TABLE ") + dropped);
  tickUnderRuleZero("2");
  const QString proposal = w->Text4->text();
  const Snapshot before = snapshot();
  w->Command3->click();
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(h.messages().first().contains(u("工资事务处理人设置"))) << h.messages().first().toStdString();
  EXPECT_FALSE(h.messages().first().contains(u("修改成功")));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(cell(1, 1), "0007");
  EXPECT_EQ(tag(), "0007");
  EXPECT_EQ(proposal, "0003");
  EXPECT_EQ(h.value(u("SELECT 流水号 FROM 员工工号编码规则 WHERE ID=") + rowId), "2");
  EXPECT_TRUE(w->isEnabled());
  EXPECT_TRUE(w->Frame2->isEnabled());
}

TEST_F(SingleRenumber, FailingSerialStatementUndoesTheWholeBatch) {
  tickUnderRuleZero("2");
  testdb::rawExec(
      u("CREATE TRIGGER serial_locked BEFORE UPDATE OF 流水号 ON 员工工号编码规则 "
        "BEGIN SELECT RAISE(ABORT, 'serial locked'); END"));
  const Snapshot before = snapshot();
  w->Command3->click();
  EXPECT_EQ(h.messages(), QStringList{u("serial locked")});
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(tag(), "0007");
  EXPECT_EQ(cell(1, 1), "0007");
}

}  // namespace
