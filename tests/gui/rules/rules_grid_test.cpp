// The specific rules grid: listing, adding, editing through the cell editor, saving with the
// layout's check (each layout's check is on rules::rowCheckMessage), deleting, and the department
// and position choosers.
#include "rules_fixture.h"
#include "tests/support/scripted_dialogs.h"

#include <QPointer>

namespace {

using namespace rules;

TEST_F(RulesWindowTest, GridListsRowsWithNamesAndSample) {
  seedSmall();
  testdata::rule("7", "合同工", 5);
  testdata::ruleRow({.code = "7", .department = "99", .departmentCode = "14"});  // a department that is not current
  testdata::ruleRow(
      {.code = "7", .department = "02", .departmentCode = "13", .positionCategory = "02", .positionCode = "2"});
  testdata::ruleRow(
      {.code = "7", .department = "0101", .departmentCode = "12", .positionCategory = "01", .positionCode = "1"});
  testdata::ruleRow(
      {.code = "8", .department = "02", .departmentCode = "19", .positionCategory = "02", .positionCode = "9"});
  Window& w = openRule("7");
  EXPECT_EQ(gridColumn(w, 0), (QStringList{"1", "2", "3"}));
  EXPECT_EQ(gridColumn(w, 1), (QStringList{"0101 办公室", "02 分部", ""}));
  EXPECT_EQ(gridColumn(w, 2), (QStringList{"12", "13", "14"}));
  EXPECT_EQ(gridColumn(w, 3), (QStringList{"01 管理岗", "02 技术岗", ""}));
  EXPECT_EQ(gridColumn(w, 4), (QStringList{"1", "2", ""}));
  for (const QString& id : gridColumn(w, 5)) EXPECT_FALSE(id.isEmpty());
  EXPECT_TRUE(w.MSFlexGrid1->isVisible());
  EXPECT_TRUE(w.Command2->isEnabled());
  EXPECT_FALSE(w.Command3->isEnabled());
  EXPECT_FALSE(w.Command4->isEnabled());
  EXPECT_TRUE(w.Command1->isEnabled());
  EXPECT_TRUE(w.Command6->isEnabled());

  // A saved row's sample uses its codes and the rule's code.
  w.MSFlexGrid1->clickCell(1, 0);
  QStringList sample;
  for (int i = 6; i <= 10; ++i) sample << w.Label1[i]->text();
  EXPECT_EQ(sample, (QStringList{"12", "7", "1", "008", "1271008"}));
  EXPECT_TRUE(w.Command3->isEnabled());
  EXPECT_TRUE(w.Command4->isEnabled());
  w.MSFlexGrid1->clickCell(3, 0);
  EXPECT_EQ(w.Label1[8]->text(), "无");
  EXPECT_EQ(w.Label1[10]->text(), "147008");

  // Department column: the chooser button at the cell's right edge; code column: the editor over the cell.
  w.MSFlexGrid1->clickCell(2, 1);
  EXPECT_TRUE(w.Command1->isVisible());
  const QRect cell = w.MSFlexGrid1->cellRect(2, 1);
  EXPECT_EQ(w.Command1->x() + w.Command1->width(), w.MSFlexGrid1->x() + cell.right() + 1);
  EXPECT_EQ(w.Command1->y(), w.MSFlexGrid1->y() + cell.top());
  w.MSFlexGrid1->clickCell(2, 2);
  EXPECT_FALSE(w.Command1->isVisible());
  EXPECT_TRUE(w.Text4->isVisible());
  EXPECT_EQ(w.Text4->text(), "13");
  EXPECT_EQ(w.Text4->geometry(), w.MSFlexGrid1->cellRect(2, 2).translated(w.MSFlexGrid1->pos()));
  w.MSFlexGrid1->clickCell(2, 3);
  EXPECT_FALSE(w.Text4->isVisible());
  EXPECT_TRUE(w.Command6->isVisible());
}

TEST_F(RulesWindowTest, AddEditSaveAndDeleteRows) {
  seedSmall();
  testdata::rule("7", "合同工", 5);
  Window& w = openRule("7");
  ASSERT_EQ(w.MSFlexGrid1->Rows(), 1);
  w.Command2->click();
  w.Command2->click();  // an unsaved last row is reused
  ASSERT_EQ(w.MSFlexGrid1->Rows(), 2);
  EXPECT_EQ(w.MSFlexGrid1->Row(), 1);
  EXPECT_EQ(w.MSFlexGrid1->Col(), 1);
  EXPECT_TRUE(w.Command1->isVisible());
  EXPECT_FALSE(w.Command3->isEnabled());
  EXPECT_TRUE(w.Command4->isEnabled());

  // Department chooser: nothing chosen leaves the cell; a chosen department fills only column 1.
  w.Command1->click();
  EXPECT_TRUE(w.Picture1->isVisible());
  w.Command7->click();
  EXPECT_FALSE(w.Picture1->isVisible());
  w.Command1->click();
  w.Command5->click();
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 1), "");
  w.Command1->click();
  w.TreeView2->clickNode("$0101");
  w.Command5->click();
  EXPECT_FALSE(w.Picture1->isVisible());
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 1), "0101 办公室");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 2), "");

  w.Command4->click();
  EXPECT_EQ(h.messages(), QStringList{"请设置部门代码及岗位代码"});
  EXPECT_EQ(count("员工工号编码规则"), "0");

  // Enter in the department code goes on to the position category.
  typeIntoCell(w, 1, 2, "1a2");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 2), "12");
  EXPECT_EQ(w.MSFlexGrid1->Col(), 3);
  EXPECT_FALSE(w.Text4->isVisible());
  EXPECT_TRUE(w.Command6->isVisible());
  w.Command6->click();
  EXPECT_TRUE(w.List1->isVisible());
  w.Command6->click();
  EXPECT_FALSE(w.List1->isVisible());
  w.Command6->click();
  w.List1->setCurrentRow(1);
  EXPECT_FALSE(w.List1->isVisible());
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 3), "02 技术岗");

  // Enter in the position code saves the row.
  typeIntoCell(w, 1, 4, "5");
  EXPECT_EQ(h.messages().size(), 1);
  const QString id = w.MSFlexGrid1->TextMatrix(1, 5);
  ASSERT_FALSE(id.isEmpty());
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 0), "1");
  EXPECT_FALSE(w.Text4->isVisible());
  EXPECT_EQ(count("员工工号编码规则 Where ID=" + id +
                  " And 类别代码='7' And 部门编号='0101' And 部门代码='12' And 岗位类别='02' And 岗位代码='5'"),
            "1");

  // Typing replaces the code; typed text that is not entered is discarded.
  w.MSFlexGrid1->clickCell(1, 2);
  QTest::keyClicks(w.Text4, "99");
  EXPECT_EQ(w.Text4->text(), "99");
  w.MSFlexGrid1->clickCell(1, 0);
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 2), "12");

  // Editing the saved row rewrites it; a save does not reload the grid.
  typeIntoCell(w, 1, 2, "34");
  w.Command6->click();
  w.List1->setCurrentRow(1);  // the same line again
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 3), "02 技术岗");
  w.Command4->click();
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 5), id);
  EXPECT_EQ(count("员工工号编码规则"), "1");
  EXPECT_EQ(h.value("SELECT 部门代码 From 员工工号编码规则"), "34");

  // A second row, then deleting the first: refused, then confirmed.
  w.Command2->click();
  EXPECT_EQ(w.MSFlexGrid1->Rows(), 3);
  w.MSFlexGrid1->clickCell(1, 0);
  h.answer(false);
  w.Command3->click();
  EXPECT_EQ(h.messages().mid(h.messages().size() - 2),
            (QStringList{"确认要删除0101 办公室部门 岗位类别为：02 技术岗 的编码规则?", "已取消，数据库没有任何修改"}));
  EXPECT_EQ(count("员工工号编码规则"), "1");
  w.Command3->click();
  EXPECT_EQ(count("员工工号编码规则"), "0");
  EXPECT_EQ(w.MSFlexGrid1->Rows(), 1);  // reloaded: the unsaved row is gone as well
  EXPECT_FALSE(w.Command3->isEnabled());
  EXPECT_FALSE(w.Command4->isEnabled());
  EXPECT_FALSE(w.Command1->isVisible());
}

TEST_F(RulesWindowTest, ClosingWithATypedCodeAsksToSaveDropOrKeepIt) {
  seedSmall();
  testdata::rule("7", "合同工", 5);
  testdata::ruleRow(
      {.code = "7", .department = "02", .departmentCode = "33", .positionCategory = "02", .positionCode = "2"});
  {
    Window& w = openRule("7");
    w.MSFlexGrid1->clickCell(1, 2);
    QTest::keyClicks(w.Text4, "34");
    QTest::keyClick(w.Text4, Qt::Key_Escape);  // the edit is dropped: no question
    EXPECT_FALSE(w.Text4->isVisible());
    EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 2), "33");
    EXPECT_TRUE(w.close());
    EXPECT_TRUE(h.messages().isEmpty());
  }
  struct Case {
    int choice;  // 保存, 不保存, 取消
    bool closed;
    const char* stored;
  };
  for (const Case& c : {Case{2, false, "33"}, Case{1, true, "33"}, Case{0, true, "34"}}) {
    SCOPED_TRACE(c.choice);
    Window& w = openRule("7");
    w.MSFlexGrid1->clickCell(1, 2);
    QTest::keyClicks(w.Text4, "34");
    h.dialogs().shown.clear();
    h.dialogs().choices = {c.choice};
    QPointer<Window> guard(&w);
    EXPECT_EQ(w.close(), c.closed);
    EXPECT_EQ(h.messages(), QStringList{"部门码的修改尚未保存：“33”改为“34”。\n关闭窗口前是否保存这一行？"});
    EXPECT_EQ(h.dialogs().choiceButtons.last(), (QStringList{"保存", "不保存", "取消"}));
    EXPECT_EQ(h.value("SELECT 部门代码 From 员工工号编码规则"), c.stored);
    if (!c.closed) {
      EXPECT_EQ(w.Text4->text(), "34");  // kept in the editor
    }
    if (guard && guard->isVisible()) {
      h.dialogs().choices = {1};
      guard->close();
    }
  }
}

TEST_F(RulesWindowTest, CodeCellsWithoutTheirPartTakeNoKeys) {
  seedSmall();
  testdata::rule("3", "按部门", 3);
  testdata::rule("2", "按岗位", 2);
  Window& w = openRule("3");
  w.Command2->click();
  w.MSFlexGrid1->clickCell(1, 4);
  QTest::keyClicks(w.Text4, "56");
  QTest::keyClick(w.Text4, Qt::Key_Backspace);
  EXPECT_EQ(w.Text4->text(), "");
  w.MSFlexGrid1->clickCell(1, 2);
  QTest::keyClicks(w.Text4, "5x6");
  EXPECT_EQ(w.Text4->text(), "56");
  w.Text4->insert("a7b");  // as pasted
  EXPECT_EQ(w.Text4->text(), "567");

  w.TreeView3->clickNode("LB2");
  w.Command2->click();
  w.MSFlexGrid1->clickCell(1, 2);
  QTest::keyClicks(w.Text4, "5");
  EXPECT_EQ(w.Text4->text(), "");
  w.MSFlexGrid1->clickCell(1, 4);
  QTest::keyClicks(w.Text4, "5");
  EXPECT_EQ(w.Text4->text(), "5");
}

TEST_F(RulesWindowTest, HeaderOnlyGridIgnoresClicksAndSaves) {
  seedSmall();
  testdata::rule("7", "合同工", 4);
  Window& w = openRule("7");
  w.MSFlexGrid1->clickCell(0, 2);
  w.Command4->click();  // disabled
  EXPECT_FALSE(w.Text4->isVisible());
  EXPECT_TRUE(h.messages().isEmpty());
  EXPECT_TRUE(h.statements().isEmpty());
}

TEST_F(RulesWindowTest, FailingRowSaveKeepsTheRowUnsaved) {
  seedSmall();
  testdata::rule("7", "合同工", 3);
  Window& w = openRule("7");
  h.exec(
      "CREATE TRIGGER no_rows BEFORE INSERT ON 员工工号编码规则 BEGIN SELECT RAISE(ABORT, 'rows are read only'); END");
  w.Command2->click();
  w.TreeView2->clickNode("$01");
  w.Command5->click();
  typeIntoCell(w, 1, 2, "11");
  w.Command4->click();
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(h.messages()[0].contains("rows are read only"));
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 5), "");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 2), "11");
  h.exec("DROP TRIGGER no_rows");
  w.Command4->click();
  EXPECT_FALSE(w.MSFlexGrid1->TextMatrix(1, 5).isEmpty());
  EXPECT_EQ(count("员工工号编码规则"), "1");
}

TEST_F(RulesWindowTest, PositionListOpensAboveTheButtonNearTheBottom) {
  seedSmall();
  testdata::rule("7", "合同工", 2);
  for (int i = 0; i < 20; ++i)
    testdata::ruleRow({.code = "7", .positionCategory = "01", .positionCode = QString::number(i)});
  Window& w = openRule("7");
  w.MSFlexGrid1->clickCell(1, 3);
  w.Command6->click();
  EXPECT_EQ(w.List1->y(), w.Command6->y() + w.Command6->height());
  w.Command6->click();
  int low = 1;  // the lowest row fully in view
  while (low + 1 < w.MSFlexGrid1->Rows() &&
         w.MSFlexGrid1->cellRect(low + 1, 3).bottom() < w.MSFlexGrid1->height() - 20) {
    ++low;
  }
  w.MSFlexGrid1->clickCell(low, 3);
  ASSERT_GT(w.Command6->y() + w.Command6->height() + w.List1->height(), w.Frame1->height());
  w.Command6->click();
  EXPECT_TRUE(w.List1->isVisible());
  EXPECT_EQ(w.List1->y(), w.Command6->y() - w.List1->height());
}

}  // namespace
