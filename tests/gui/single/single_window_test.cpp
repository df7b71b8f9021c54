// The single-employee window: its controls, and that its clicks, ticks and keys reach the
// operations (tests/core/single/single_ops_test.cpp checks what those do on the database) and leave
// the window, its messages and the list as they should.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "db/catalogue.h"
#include "core/common/holders.h"
#include "core/single/single_sql.h"
#include "gui/single/single_window.h"
#include "tests/support/single_fixture.h"
#include "tests/support/pinned_columns.h"
#include "gui/widgets/app_info.h"
#include "gui/widgets/flex_grid.h"

namespace {

using testdb::snapshot;
using testdb::Snapshot;

class SingleWindow : public SingleOrganisation {
 protected:
  frm员工Kestrune* w = nullptr;

  void SetUp() override {
    SingleOrganisation::SetUp();
    w = &h.open<frm员工Kestrune>();
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
  // Opens the list and clicks the row of a number.
  void pick(const QString& number) {
    w->Command2->click();
    for (int r = 1; r < w->MSFlexGrid1->Rows(); ++r)
      if (cell(r, 1) == number) return w->MSFlexGrid1->clickCell(r, 2);
    ADD_FAILURE() << number.toStdString() << " not listed";
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
  EXPECT_EQ(w->windowTitle(), "员工Kestrune");
  EXPECT_EQ(w->Frame1->title(), "第一步 检索要修改工号的员工");
  EXPECT_EQ(w->Frame2->title(), "第二步 修改工号");
  EXPECT_EQ(w->Command1->text(), "检索");
  EXPECT_EQ(w->Command2->text(), "从列表中选择");
  EXPECT_EQ(w->Command3->text(), "修改确定");
  EXPECT_EQ(w->Command4->text(), "退出");
  EXPECT_EQ(w->Command5->text(), "检索数值相同员工");
  EXPECT_EQ(w->Check1->text(), "采用自动编号");
  QStringList labels;
  for (const QLabel* label : w->Label1) labels << label->text();
  EXPECT_EQ(labels.join("|"),
            "当前工号|姓名|身份证|检索结果有多个符合检索条件的员工，你可以从列表中选择|员工信息：|新工号|"
            "符合检索条件的员工列表");
  EXPECT_TRUE(inSearchStartState());
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(w->MSFlexGrid1->Cols(), 10);
  EXPECT_EQ(w->MSFlexGrid1->TextMatrix(0, 1), "工号   ");
  for (int c = 7; c <= 9; ++c) EXPECT_EQ(w->MSFlexGrid1->ColWidth(c), 0) << c;
  for (int c = 0; c <= 6; ++c) EXPECT_GT(w->MSFlexGrid1->ColWidth(c), 0) << c;
  EXPECT_EQ(w->Picture1, w->MSFlexGrid1->parentWidget());
  EXPECT_EQ(w->Picture1, w->Label1[6]->parentWidget());
}

TEST_F(SingleWindow, OneHitSelectsAtOnce) {
  addEmployee("0007", "张三");
  h.clearStatements();
  search("", "", "110101");
  EXPECT_EQ(h.statements(), QStringList{single::textSearchStatement("员工档案.身份证号码 Like '%110101%' ESCAPE '!'")});
  EXPECT_TRUE(h.messages().isEmpty());
  ASSERT_EQ(w->MSFlexGrid1->Rows(), 2);
  EXPECT_EQ(w->MSFlexGrid1->Row(), 1);
  const QString id = h.value("SELECT ID FROM 员工档案 WHERE 工号='0007'");
  const QStringList expected{"1",          "0007",     "张三",     "男", "110101199001011234",
                             "D01 综合部", "P01 主管", "管理人员", "01", id};
  for (int c = 0; c < 10; ++c) EXPECT_EQ(cell(1, c), expected[c]) << c;
  EXPECT_FALSE(w->Picture1->isVisible());
  EXPECT_TRUE(w->Frame2->isEnabled());
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(tag(), "0007");
  EXPECT_EQ(w->Label1[4]->text(),
            "员工信息：工号 0007 姓名 张三 身份证 110101199001011234 所在部门 D01 综合部 、P01 主管");
}

TEST_F(SingleWindow, SeveralHitsArePickedFromTheList) {
  addEmployee("0012", "王五");
  addEmployee("0120", "李四", "管理人员", "P02");
  addEmployee("0300", "王强");
  search("12", "王");
  EXPECT_EQ(
      h.statements().last(),
      single::textSearchStatement("员工档案.工号 Like '%12%' ESCAPE '!' Or 员工档案.姓名 Like N'%王%' ESCAPE '!'"));
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

  pick("0120");
  EXPECT_FALSE(w->Picture1->isVisible());
  EXPECT_FALSE(w->Label1[3]->isVisible()) << "the notice of several hits has done its work";
  EXPECT_TRUE(w->Frame2->isEnabled());
  EXPECT_EQ(tag(), "0120");
  EXPECT_EQ(w->Label1[4]->text(),
            "员工信息：工号 0120 姓名 李四 身份证 110101199001011234 所在部门 D02 工程部 、P02 技工");

  // A second search disables step two again, even when the same employee is among the hits.
  search("12", "王");
  EXPECT_TRUE(w->Label1[3]->isVisible());
  EXPECT_FALSE(w->Frame2->isEnabled());
  // Command4 closes the window.
  QPointer<frm员工Kestrune> alive(w);
  w->Command4->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(alive.isNull());
  EXPECT_FALSE(widgets::shared_window::exists<frm员工Kestrune>());
}

TEST_F(SingleWindow, NoCriterionAndNothingFound) {
  addEmployee("0007", "张三");
  h.clearStatements();
  search("", "", "");  // nothing is searched
  EXPECT_TRUE(h.statements().isEmpty());
  search("9999");
  EXPECT_EQ(h.messages(), (QStringList{"请输入检索条件", "未找到符合条件的员工"}));
  EXPECT_EQ(w->MSFlexGrid1->Rows(), 1);
  EXPECT_TRUE(inSearchStartState());
  // The equal-numbers search reports no hit with an empty message.
  w->Command5->click();
  EXPECT_EQ(h.messages().last(), QString());
  EXPECT_EQ(h.titles(), QStringList(3, widgets::app_info::title()));
}

TEST_F(SingleWindow, FailedSearchShowsTheDatabaseTextAndStaysAtSearchStart) {
  addEmployee("0007", "张三");
  addEmployee("0008", "张四");
  search("000");
  w->Command2->click();
  ASSERT_TRUE(w->Picture1->isVisible());
  h.exec("DROP TABLE 职能部门new");
  search("0007");
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(h.messages().first().contains("职能部门new", Qt::CaseInsensitive)) << h.messages().first().toStdString();
  EXPECT_TRUE(inSearchStartState());
  EXPECT_EQ(w->MSFlexGrid1->Rows(), 1);
  w->Command5->click();
  EXPECT_EQ(h.messages().size(), 2);
  EXPECT_TRUE(inSearchStartState());
}

TEST_F(SingleWindow, EnterInAnySearchBoxSearches) {
  addEmployee("0007", "张三");
  for (QLineEdit* box : {w->Text1, w->Text2, w->Text3}) {
    search("9");  // nothing found: step two disabled
    w->Text1->clear();
    box->setText(box == w->Text2 ? "张三" : "0");
    h.clearStatements();
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(h.statements(), QStringList{single::textSearchStatement(
                                  single::textSearchCondition(w->Text1->text(), w->Text2->text(), w->Text3->text()))});
    EXPECT_TRUE(w->Frame2->isEnabled());
    box->clear();
  }
}

TEST_F(SingleWindow, SelectingAnEmployeeClearsTheNewNumber) {
  addEmployee("0007", "张三");
  addEmployee("0008", "张四");
  addRule(1, "'0000'");
  addRuleRow("NULL", "NULL", "NULL", "NULL", "41");
  search("000");
  pick("0007");
  w->Check1->setChecked(true);
  ASSERT_EQ(w->Text4->text(), "180042");
  pick("0008");  // a click in the list
  EXPECT_EQ(tag(), "0008");
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(w->Text4->text(), QString());
  EXPECT_EQ(w->ruleRowId(), QString());
  w->Text4->setText("5555");
  pick("0007");
  EXPECT_EQ(w->Text4->text(), QString());
  w->Text4->setText("5555");
  select("0008");  // a search with one hit
  EXPECT_EQ(w->Text4->text(), QString());
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_TRUE(h.messages().isEmpty());
}

// ---- Composition -----------------------------------------------------------------------------

TEST_F(SingleWindow, TickingComposesAndUntickingForgets) {
  addEmployee("0007", "张三");
  addRule(4);
  const QString row = addRuleRow("'D01'", "'68'", "'01'", "'28'", "12");
  select("0007");
  h.clearStatements();
  w->Check1->setChecked(true);
  // The category, the department number (before the blank) and the position category of the row.
  EXPECT_EQ(h.statements(),
            (QStringList{single::ruleQuery("管理人员"),
                         single::ruleRowQuery("部门编号 ='D01' AND 岗位类别 ='01' AND 类别代码='18'")}));
  EXPECT_TRUE(h.messages().isEmpty());
  EXPECT_EQ(w->Text4->text(), "6828013");
  EXPECT_EQ(QStringList({QString::number(w->ruleCode()), w->serialPattern(), w->categoryCode(), w->ruleRowId(),
                         w->numberPrefix(), QString::number(w->nextSerial())}),
            QStringList({"4", "000", "18", row, "6828", "13"}));
  w->Check1->setChecked(false);
  EXPECT_EQ(w->Text4->text(), QString());
  EXPECT_EQ(QStringList({QString::number(w->ruleCode()), w->serialPattern(), w->categoryCode(), w->ruleRowId(),
                         w->numberPrefix(), QString::number(w->nextSerial())}),
            QStringList({"4", "000", "18", "", "", "13"}));
  // Nothing was written: the same proposal again.
  w->Check1->setChecked(true);
  EXPECT_EQ(w->Text4->text(), "6828013");
}

TEST_F(SingleWindow, NoRuleAndFailedQueryUntickTheBox) {
  addEmployee("0001", "临时甲", "临时工");  // a category without a rule
  addEmployee("0007", "张三");
  addRule(0);
  addRuleRow("NULL", "NULL", "NULL", "NULL", "NULL", "''");
  select("0001");
  w->Check1->setChecked(true);
  EXPECT_EQ(h.messages(), QStringList{"该员工的员工类别没有设置过工号编号规则，不能采用自动编号"});
  EXPECT_EQ(h.titles(), QStringList{widgets::app_info::title()});
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(w->Text4->text(), QString());
  EXPECT_EQ(w->numberPrefix() + w->ruleRowId(), QString());

  select("0007");
  h.exec("DROP TABLE 员工工号编码规则名称");
  w->Check1->setChecked(true);
  ASSERT_EQ(h.messages().size(), 2);
  EXPECT_TRUE(h.messages().last().contains("员工工号编码规则名称")) << h.messages().last().toStdString();
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(w->Text4->text(), QString());
}

// ---- Renumber --------------------------------------------------------------------------------

class SingleRenumber : public SingleWindow {
 protected:
  void SetUp() override {
    SingleWindow::SetUp();
    seedEveryColumn();
  }
  // Selects 0007 under rule code 0 with the serial pattern "0000" and the given last serial.
  void tickUnderRuleZero(const QString& lastSerial) {
    addRule(0, "'0000'");
    rowId = addRuleRow("NULL", "NULL", "NULL", "NULL", lastSerial);
    select("0007");
    w->Check1->setChecked(true);
  }
  QString serial() { return h.value("SELECT 流水号 FROM 员工工号编码规则 WHERE ID=" + rowId); }
  QString rowId;
};

TEST_F(SingleRenumber, EmptyRefusedAndTakenNumbersAreRefused) {
  select("0007");
  const Snapshot before = snapshot();
  h.clearStatements();
  // The last one is typed in full-width mode with blanks: the box shows the number asked about.
  for (const char* typed : {"", "00'12", " ００９９ "}) {
    w->Text4->setText(typed);
    w->Command3->click();
  }
  EXPECT_EQ(w->Text4->text(), "0099");
  EXPECT_EQ(h.messages(),
            (QStringList{"请输入新工号", "新工号不能含有“'”：只能由字母和数字组成", "0099已经存在，请输入另外的工号"}));
  EXPECT_EQ(h.statements(), (QStringList{single::registerCountQuery("0007"), single::existsQuery("0099")}));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(tag(), "0007");
}

TEST_F(SingleRenumber, RenumberOnceAndASecondPressIsRefused) {
  select("0007");
  w->Text4->setText("0012");
  h.clearStatements();
  w->Command3->click();
  EXPECT_EQ(h.messages(), QStringList{"修改成功请通知张三 工号已经改成0012"});
  EXPECT_EQ(h.titles(), QStringList{widgets::app_info::title()});
  // The plan: the old number's holders, the existence check, the widths (once per connection),
  // the records already under the new number (every column in one query); then inside the
  // transaction the register's holders of both numbers again and the batch, without a serial.
  const QStringList expected{single::registerCountQuery("0007"),
                             single::existsQuery("0012"),
                             db::catalogueSql(Harness::current().database()),
                             common::holdersUnionSql(pinned::refColumns(), {"0012"}),
                             common::registerHoldersSql({"0007", "0012"}, common::Lock::Held),
                             single::renumberBatch("0007", "0012", {})};
  EXPECT_EQ(h.statements(), expected);
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 考勤员设置 WHERE 工号='0012'"), "1");

  // The list and the selection follow the employee; Text4 keeps the new number.
  EXPECT_EQ(cell(1, 1), "0012");
  EXPECT_EQ(tag(), "0012");
  EXPECT_TRUE(w->Label1[4]->text().startsWith("员工信息：工号 0012 姓名 张三"));
  EXPECT_EQ(w->Text4->text(), "0012");
  // A second click with the same number is refused: the employee holds it now.
  const Snapshot after = snapshot();
  w->Command3->click();
  EXPECT_EQ(h.messages().last(), "0012已经存在，请输入另外的工号");
  EXPECT_EQ(testdb::difference(after, snapshot()), QString());
}

TEST_F(SingleRenumber, RecordsUnderTheNewNumberAreMergedOnlyWhenConfirmed) {
  h.exec(QString("INSERT INTO 工资单明细 (员工编号) VALUES ('0345') ").repeated(3) +
         QString("INSERT INTO 考勤表详细 (员工编号) VALUES ('0345') ").repeated(12));
  const QString question =
      "新工号0345在以下表中已有记录：工资单明细 3行，考勤表详细 12行。继续修改将把这些记录并入该员工，是否继续？";
  select("0007");
  w->Text4->setText("0345");
  const Snapshot before = snapshot();
  h.answer(false);
  w->Command3->click();
  EXPECT_EQ(h.messages(), (QStringList{question, "已取消，数据库没有任何修改"}));
  EXPECT_FALSE(h.statements().contains(common::registerHoldersSql({"0007", "0345"}, common::Lock::Held)));
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());

  h.answer(true);
  w->Command3->click();
  EXPECT_EQ(h.messages().mid(2), (QStringList{question, "修改成功请通知张三 工号已经改成0345"}));
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 工资单明细 WHERE 员工编号='0345'"), "4");
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 员工档案 WHERE 工号='0345'"), "1");
}

// The host system's own programs give the new number to a new hire, on a connection of their own,
// while the merge question is on the screen: the renumber reads the register again inside its
// transaction and changes nothing.
TEST_F(SingleRenumber, ANumberTakenWhileTheQuestionIsShownIsRefusedInsideTheTransaction) {
  h.exec("INSERT INTO 工资单明细 (员工编号) VALUES ('0345')");
  db::Database host;
  QString error;
  ASSERT_TRUE(host.openSqlite(h.databasePath(), &error)) << error.toStdString();
  Snapshot meanwhile;
  h.dialogs().whileAsking = [&] {
    host.execute("INSERT INTO 员工档案 (工号, 姓名) VALUES ('0345', '李新')");
    meanwhile = snapshot();
    h.clearStatements();
  };
  select("0007");
  w->Text4->setText("0345");
  w->Command3->click();
  EXPECT_EQ(h.messages(),
            (QStringList{"新工号0345在以下表中已有记录：工资单明细 1行。继续修改将把这些记录并入该员工，是否继续？",
                         "新工号0345在核对之后已被员工李新使用，没有做任何修改，请输入另外的工号"}));
  EXPECT_EQ(h.statements(), QStringList{common::registerHoldersSql({"0007", "0345"}, common::Lock::Held)});
  EXPECT_EQ(testdb::difference(meanwhile, snapshot()), QString());
}

TEST_F(SingleRenumber, TickedBoxMovesPastTakenNumbersAndStoresTheSerial) {
  addEmployee("0003", "王三");
  addEmployee("0004", "王四");
  h.exec("INSERT INTO 工资单明细 (员工编号) VALUES ('0005')");
  tickUnderRuleZero("2");
  ASSERT_EQ(w->Text4->text(), "0003");
  h.clearStatements();
  w->Command3->click();
  // The question is about the number finally used.
  EXPECT_EQ(h.messages(),
            (QStringList{single::mergeQuestion("0005", "工资单明细 1行"), "修改成功请通知张三 工号已经改成0005"}));
  const QStringList sent = h.statements();
  for (const char* n : {"0003", "0004", "0005"}) EXPECT_TRUE(sent.contains(single::existsQuery(n))) << n;
  EXPECT_EQ(sent.last(), single::renumberBatch("0007", "0005", {}) + single::serialStatement(5, rowId));
  EXPECT_EQ(serial(), "5");
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 员工档案 WHERE 工号='0005'"), "1");
  // The composition is forgotten; the number stays, so a second press is refused.
  EXPECT_EQ(w->Text4->text(), "0005");
  EXPECT_FALSE(w->Check1->isChecked());
  EXPECT_EQ(w->ruleRowId() + w->numberPrefix(), QString());
  EXPECT_EQ(w->nextSerial(), 0);
  w->Command3->click();
  EXPECT_EQ(h.messages().last(), "0005已经存在，请输入另外的工号");
  EXPECT_EQ(serial(), "5");
  // The next composition proposes the serial after the one stored.
  w->Check1->setChecked(true);
  EXPECT_EQ(w->Text4->text(), "0006");
}

TEST_F(SingleRenumber, TypedNumberOverTheProposalStillStoresTheProposalSerial) {
  tickUnderRuleZero("2");
  w->Text4->setText("8000");
  w->Command3->click();
  EXPECT_EQ(h.messages(), QStringList{"修改成功请通知张三 工号已经改成8000"});
  EXPECT_EQ(h.value("SELECT COUNT(*) FROM 员工档案 WHERE 工号='8000'"), "1");
  EXPECT_EQ(serial(), "3");
}

TEST_F(SingleRenumber, StaleSelectionChangesNothing) {
  tickUnderRuleZero("2");
  h.exec("UPDATE 员工档案 SET 工号='0008' WHERE 工号='0007'");  // another user, meanwhile
  const Snapshot before = snapshot();
  w->Command3->click();
  EXPECT_EQ(h.messages(), QStringList{"原工号0007已不存在，可能已被他人修改，请重新检索"});
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(serial(), "2");
  EXPECT_TRUE(inSearchStartState());
}

TEST_F(SingleRenumber, FailureShowsTheDatabaseTextAndKeepsTheWindow) {
  h.exec("DROP TABLE 工资事务处理人设置");
  tickUnderRuleZero("2");
  w->Command3->click();
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(h.messages().first().contains("工资事务处理人设置")) << h.messages().first().toStdString();
  EXPECT_EQ(cell(1, 1), "0007");
  EXPECT_EQ(tag(), "0007");
  EXPECT_EQ(w->Text4->text(), "0003");
  EXPECT_TRUE(w->Frame2->isEnabled() && w->Check1->isChecked());
  EXPECT_EQ(w->nextSerial(), 3);
}

}  // namespace
