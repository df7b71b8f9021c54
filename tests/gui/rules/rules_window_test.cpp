// The rule window: start, rule list, new/save/delete of rules, layouts and their questions,
// key filters, categories, and every statement as sent.
#include <QDir>

#include "rules_fixture.h"
#include "tests/support/db_snapshot.h"

using namespace rules;

namespace {

const QString kAskPrefix = "确定要改成";
const QString kRowsQuestion = "您已经设置了具体的编码规则，是否确认要改成";

TEST_F(RulesWindowTest, StartState) {
  seedSmall();
  Window& w = open();
  EXPECT_EQ(w.windowTitle(), "工号编号规则设置");
  EXPECT_EQ(w.Frame2->title(), "编码类别");
  EXPECT_EQ(w.Frame1->title(), "编号规则明细");
  // No rule shown: nothing to save, delete or attach to; no category picked.
  using Widgets = std::initializer_list<QWidget*>;
  for (QWidget* off : Widgets{w.Frame1, w.Command11, w.Command12, w.Command13, w.Command14, w.Command3, w.Command9}) {
    EXPECT_FALSE(off->isEnabled());
  }
  EXPECT_FALSE(w.Text2->isReadOnly());
  EXPECT_FALSE(w.Text3->isReadOnly());
  EXPECT_EQ(w.Text1->text(), "000");
  EXPECT_EQ(w.Label1[2]->text(), "3 位数");
  for (QWidget* hidden : Widgets{w.Command1, w.Command6, w.Text4, w.List1, w.Picture1, w.Picture2}) {
    EXPECT_FALSE(hidden->isVisible());
  }
  const QStringList captions{
      "对应员工类别", "流水号位数", "3 位数", "编码类别",   "类别代码",     "例",
      "无",           "无",         "无",     "008",        "008",          "部门码",
      "类别码",       "岗位码",     "流水号", "请选择部门", "员工类别选择", "【只显示没有设置的员工类别】"};
  for (int i = 0; i < 18; ++i) EXPECT_EQ(w.Label1[i]->text(), captions[i]) << i;
  for (int i : {11, 12, 13}) EXPECT_FALSE(w.Label1[i]->isEnabled()) << i;
  const QList<QPair<QPushButton*, QString>> buttons{
      {w.Command10, "添加"},    {w.Command11, "删除"}, {w.Command12, "确定"},    {w.Command13, "添加"},
      {w.Command14, "删除"},    {w.Command2, "添加"},  {w.Command3, "删除"},     {w.Command4, "确定"},
      {w.Command9, "添加确定"}, {w.Command8, "取消"},  {w.Command5, "选择确定"}, {w.Command7, "取消"}};
  for (const auto& [button, caption] : buttons) EXPECT_EQ(button->text(), caption);
  // Layout buttons: none selected, top to bottom in the order 0, 1, 2, 3, 6, 4, 5.
  QList<int> byTop{0, 1, 2, 3, 4, 5, 6};
  std::sort(byTop.begin(), byTop.end(), [&](int a, int b) { return w.Option1[a]->y() < w.Option1[b]->y(); });
  EXPECT_EQ(byTop, (QList<int>{0, 1, 2, 3, 6, 4, 5}));
  for (int code = 0; code < 7; ++code) {
    EXPECT_FALSE(w.Option1[code]->isChecked());
    EXPECT_EQ(w.Option1[code]->text(), codeCaption(code));
  }
  // The grid: header row only, six columns, the ID column hidden.
  EXPECT_EQ(w.MSFlexGrid1->Rows(), 1);
  EXPECT_EQ(w.MSFlexGrid1->Cols(), 6);
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(0, 0).trimmed(), "序");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(0, 1).trimmed(), "部门");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(0, 2), "部门码");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(0, 3).trimmed(), "岗位类别");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(0, 4), "岗位码");
  EXPECT_EQ(w.MSFlexGrid1->ColWidth(5), 0);
  // The lists of the window.
  EXPECT_EQ(w.TreeView1->texts(), (QStringList{"01 正式工", "02 合同工", "03 临时工"}));
  EXPECT_EQ(w.TreeView1->keys(), (QStringList{"LB01", "LB02", "LB03"}));
  EXPECT_EQ(w.List1->count(), 2);
  EXPECT_EQ(w.List1->item(1)->text(), "02 技术岗");
  EXPECT_EQ(w.TreeView2->texts(), (QStringList{"01 总部", "0101 办公室", "02 分部"}));
}

TEST_F(RulesWindowTest, RuleListAndEntries) {
  seedSmall();
  const qint64 id7 = testdata::rule("7", "合同工", 5, "0000");
  const qint64 id2 = testdata::rule("2", "正式工", 1);
  testdata::row("员工工号编码规则名称", {{"编码类别名称", "无码"}});  // code, layout, pattern Null
  Window& w = open();
  EXPECT_EQ(w.TreeView3->keys(), (QStringList{"LB", "LB2", "LB7"}));
  EXPECT_EQ(w.TreeView3->texts(), (QStringList{" 无码", "2 正式工", "7 合同工"}));
  ASSERT_EQ(w.ruleEntries().size(), 3);
  const Window::RuleEntry& e7 = w.ruleEntries()["LB7"];
  EXPECT_EQ(e7.ID, id7);
  EXPECT_EQ(e7.类别码, "7");
  EXPECT_EQ(e7.编码类别名称, "合同工");
  EXPECT_EQ(e7.编码规则, "5");
  EXPECT_EQ(e7.流水号位数, "0000");
  EXPECT_EQ(w.ruleEntries()["LB2"].ID, id2);
  const Window::RuleEntry& none = w.ruleEntries()["LB"];
  EXPECT_EQ(none.类别码, "0");
  EXPECT_EQ(none.编码规则, "0");
  EXPECT_EQ(none.流水号位数, "0000");

  // Showing a rule: boxes locked, layout selected without a question, right frame enabled.
  w.TreeView3->clickNode("LB7");
  EXPECT_TRUE(h.messages().isEmpty());
  EXPECT_EQ(w.Text1->text(), "0000");
  EXPECT_EQ(w.Label1[2]->text(), "4位数");
  EXPECT_EQ(w.Text2->text(), "合同工");
  EXPECT_EQ(w.Text3->text(), "7");
  EXPECT_TRUE(w.Text2->isReadOnly());
  EXPECT_TRUE(w.Text3->isReadOnly());
  // Locked boxes look it: the frame's background instead of a box's.
  const QColor greyed = w.Frame2->palette().color(QPalette::Window);
  EXPECT_EQ(w.Text2->palette().color(QPalette::Base), greyed);
  EXPECT_EQ(w.Text3->palette().color(QPalette::Base), greyed);
  EXPECT_NE(w.Text1->palette().color(QPalette::Base), greyed);
  EXPECT_TRUE(w.Option1[5]->isChecked());
  EXPECT_FALSE(w.suppressLayoutPrompt());
  for (QWidget* on : std::initializer_list<QWidget*>{w.Frame1, w.Command11, w.Command12, w.Command13}) {
    EXPECT_TRUE(on->isEnabled());
  }
  // The sample of code 5 with four serial digits.
  QStringList sample;
  for (int i = 6; i <= 10; ++i) sample << w.Label1[i]->text();
  EXPECT_EQ(sample, (QStringList{"68", "18", "28", "0008", "6818280008"}));
  for (int i : {11, 12, 13}) EXPECT_TRUE(w.Label1[i]->isEnabled()) << i;

  // Another rule whose layout button is the same one shows its own sample.
  w.TreeView3->clickNode("LB2");
  EXPECT_TRUE(w.Option1[1]->isChecked());
  sample.clear();
  for (int i = 6; i <= 10; ++i) sample << w.Label1[i]->text();
  EXPECT_EQ(sample, (QStringList{"无", "18", "无", "008", "18008"}));
  EXPECT_FALSE(w.Label1[11]->isEnabled());
  EXPECT_TRUE(w.Label1[12]->isEnabled());
  EXPECT_FALSE(w.Label1[13]->isEnabled());
  EXPECT_FALSE(w.Command2->isEnabled());
  EXPECT_TRUE(h.messages().isEmpty());
}

TEST_F(RulesWindowTest, EveryStatementAsSentForASampleRule) {
  seedSmall();
  Window& w = open();
  // Window load: departments, free categories, rules, position categories.
  EXPECT_EQ(h.statements(),
            (QStringList{sqlCurrentDepartments(), sqlFreeCategories(), sqlListRules(), sqlPositionCategories()}));

  // New rule 7 with layout 1 chosen before: S2 with a new record, then S3.
  w.Command10->click();
  w.Text2->setText("合同工");
  QTest::keyClicks(w.Text3, "7");
  w.Option1[1]->setChecked(true);  // the frame is disabled: set in code, no rule shown, no question
  EXPECT_TRUE(h.messages().isEmpty());
  h.clearStatements();
  w.Command12->click();
  const QStringList saved = h.statements();
  const QString id = h.value("SELECT ID From 员工工号编码规则名称 Where 类别码='7'");
  ASSERT_FALSE(id.isEmpty());
  EXPECT_EQ(
      saved,
      (QStringList{"SELECT ID From 员工工号编码规则名称 Where 类别码='7'",  // the plan's, then again inside
                   "SELECT ID From 员工工号编码规则名称 Where 类别码='7'",
                   "SELECT ID, 类别码, 编码类别名称, 编码规则, 流水号位数 From 员工工号编码规则名称 Where ID=0",
                   "INSERT INTO 员工工号编码规则名称 (编码类别名称, 类别码, 编码规则, 流水号位数) VALUES (?, ?, ?, ?)",
                   "if not exists (select * from 员工工号编码规则 where 类别代码 ='7')  INSERT INTO 员工工号编码规则 "
                   "(类别代码) VALUES ('7')"}));

  // Showing it: S8, then (code 1) S3.
  h.clearStatements();
  w.TreeView3->clickNode("LB7");
  EXPECT_EQ(h.statements(),
            (QStringList{" SELECT 类别编号, 类别名称, 类别码 From 员工类别 WHERE (类别码 = N'7') ORDER BY 类别编号",
                         sqlEnsureDefaultRow("7")}));

  // Saving it again: S2 by ID.
  h.clearStatements();
  w.Command12->click();
  EXPECT_EQ(
      h.statements(),
      (QStringList{"SELECT ID, 类别码, 编码类别名称, 编码规则, 流水号位数 From 员工工号编码规则名称 Where ID=" + id,
                   "UPDATE 员工工号编码规则名称 SET 编码规则=?, 流水号位数=? WHERE ID=" + id}));

  // Attaching category 02: S9. Releasing it: S10, then S7.
  h.clearStatements();
  w.Command13->click();
  w.TreeView1->clickNode("LB02");
  w.Command9->click();
  EXPECT_EQ(h.statements(), QStringList{"Update 员工类别 Set 类别码='7' Where 类别编号='02'"});
  h.clearStatements();
  w.TreeView4->clickNode("LB02");
  w.Command14->click();
  EXPECT_EQ(h.statements(), (QStringList{"Update 员工类别 Set 类别码=Null Where 类别编号='02'", sqlFreeCategories()}));

  // Layout 4 on a rule whose grid is empty: S5, then S11 to list.
  h.clearStatements();
  w.Option1[4]->click();
  EXPECT_EQ(
      h.statements(),
      (QStringList{"Update 员工工号编码规则名称 Set 编码规则=4 Where ID=" + id,
                   "SELECT ID, 员工类别, 类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号 From "
                   "员工工号编码规则 WHERE (类别代码 = N'7') ORDER BY 部门编号, 岗位类别"}));
  ASSERT_EQ(w.MSFlexGrid1->Rows(), 2);  // the default row made for layout 1 is listed
  const QString defaultRow = w.MSFlexGrid1->TextMatrix(1, 5);

  // Saving a row: S12 with a new record; rewriting it: S12 by ID; deleting it: S13, then S11.
  w.Command2->click();
  w.TreeView2->clickNode("$0101");
  w.Command1->click();
  w.Command5->click();
  typeIntoCell(w, 2, 2, "12");
  w.Command6->click();
  w.List1->setCurrentRow(0);
  h.clearStatements();
  typeIntoCell(w, 2, 4, "3");
  const QString rowId = w.MSFlexGrid1->TextMatrix(2, 5);
  ASSERT_FALSE(rowId.isEmpty());
  const QString s12 =
      "SELECT ID, 员工类别, 类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号 From 员工工号编码规则";
  EXPECT_EQ(
      h.statements(),
      (QStringList{
          s12 + " WHERE ID=0",
          "INSERT INTO 员工工号编码规则 (类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码) VALUES (?, ?, ?, ?, ?)"}));
  h.clearStatements();
  w.MSFlexGrid1->clickCell(2, 0);
  w.Command4->click();
  EXPECT_EQ(
      h.statements(),
      (QStringList{
          s12 + " WHERE ID=" + rowId,
          "UPDATE 员工工号编码规则 SET 类别代码=?, 部门编号=?, 部门代码=?, 岗位类别=?, 岗位代码=? WHERE ID=" + rowId}));
  h.clearStatements();
  w.MSFlexGrid1->clickCell(1, 0);
  w.Command3->click();
  EXPECT_EQ(h.statements(), (QStringList{"Delete From 员工工号编码规则 Where ID=" + defaultRow, sqlListRuleRows("7")}));

  // Layout 2 on a rule with rows: S4, S5, S11.
  h.clearStatements();
  w.Option1[2]->click();
  EXPECT_EQ(h.statements(),
            (QStringList{"Delete From 员工工号编码规则 Where 类别代码='7'",
                         "Update 员工工号编码规则名称 Set 编码规则=2 Where ID=" + id, sqlListRuleRows("7")}));

  // Deleting the rule: S6 in one text, then S7.
  h.clearStatements();
  w.Command11->click();
  EXPECT_EQ(
      h.statements(),
      (QStringList{"Update 员工类别 Set 类别码=Null Where 类别码='7' Delete From 员工工号编码规则 Where  类别代码='7' "
                   "Delete From 员工工号编码规则名称 Where 类别码='7'",
                   sqlFreeCategories()}));
}

TEST_F(RulesWindowTest, NewRuleWithoutLayoutThenCodeThree) {
  seedSmall();
  Window& w = open();
  w.Command10->click();
  EXPECT_TRUE(w.Command12->isEnabled());
  EXPECT_FALSE(w.Command11->isEnabled());
  w.Text2->setText("合同工");
  QTest::keyClicks(w.Text3, "7");
  w.Command12->click();
  EXPECT_TRUE(h.messages().isEmpty());
  // Stored with code 0 and the pattern of the box, with its default row.
  EXPECT_EQ(h.value("SELECT 编码规则 + '/' + 流水号位数 From 员工工号编码规则名称 Where 类别码='7'"), "0/000");
  EXPECT_EQ(count("员工工号编码规则 Where 类别代码='7'"), "1");
  // Listed and selected, in edit mode, with its right frame.
  EXPECT_EQ(w.TreeView3->texts(), QStringList{"7 合同工"});
  EXPECT_EQ(w.TreeView3->selectedKey(), "LB7");
  EXPECT_EQ(w.ruleEntries()["LB7"].编码规则, "0");
  EXPECT_EQ(w.ruleEntries()["LB7"].流水号位数, "000");
  for (QWidget* on : std::initializer_list<QWidget*>{w.Frame1, w.Command11, w.Command13}) EXPECT_TRUE(on->isEnabled());
  EXPECT_TRUE(w.Text3->isReadOnly());

  // Picking layout 3: one question, code stored, default row kept and listed.
  h.answer(true);
  w.Option1[3]->click();
  EXPECT_EQ(h.messages(), QStringList{"确定要改成按部门代码 + 流水号?"});
  EXPECT_EQ(h.value("SELECT 编码规则 From 员工工号编码规则名称 Where 类别码='7'"), "3");
  EXPECT_EQ(w.ruleEntries()["LB7"].编码规则, "3");
  EXPECT_EQ(count("员工工号编码规则 Where 类别代码='7'"), "1");
  ASSERT_EQ(w.MSFlexGrid1->Rows(), 2);
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 0), "1");
  EXPECT_EQ(w.MSFlexGrid1->TextMatrix(1, 1) + w.MSFlexGrid1->TextMatrix(1, 3), "");
  EXPECT_FALSE(w.MSFlexGrid1->TextMatrix(1, 5).isEmpty());
  EXPECT_TRUE(w.Command2->isEnabled());
  EXPECT_TRUE(w.Command1->isEnabled());
  EXPECT_FALSE(w.Command6->isEnabled());
  EXPECT_EQ(w.Label1[10]->text(), "68008");
}

TEST_F(RulesWindowTest, RefusedQuestionsStoreNothing) {
  seedSmall();
  testdata::rule("7", "合同工", 3);
  Window& w = openRule("7");
  ASSERT_TRUE(w.Option1[3]->isChecked());
  h.answer(false);
  w.Option1[5]->click();
  EXPECT_EQ(h.messages(),
            (QStringList{kAskPrefix + "按部门代码 + 类别码 + 岗位类别码 + 流水号?", "已取消，数据库没有任何修改"}));
  EXPECT_TRUE(w.Option1[3]->isChecked());
  EXPECT_FALSE(w.Option1[5]->isChecked());
  EXPECT_FALSE(w.suppressLayoutPrompt());
  EXPECT_EQ(w.ruleEntries()["LB7"].编码规则, "3");
  EXPECT_EQ(h.value("SELECT 编码规则 From 员工工号编码规则名称"), "3");
  EXPECT_TRUE(h.statements().filter("Update").isEmpty());
  EXPECT_EQ(w.Label1[10]->text(), "68008");

  // With rows: refusing the second question keeps rows, code and selection.
  testdata::ruleRow({.code = "7", .department = "0101", .departmentCode = "12"});
  w.TreeView3->clickNode("LB7");
  ASSERT_EQ(w.MSFlexGrid1->Rows(), 2);
  h.clearStatements();
  h.answer(true);
  h.answer(false);
  w.Option1[6]->click();
  ASSERT_EQ(h.messages().size(), 5);
  EXPECT_EQ(h.messages()[3],
            kRowsQuestion + "按部门代码 + 类别码 + 流水号?\n【提醒】如果选择[是]系统将自动删除已设置的具体规则");
  EXPECT_EQ(h.messages()[4], "已取消，数据库没有任何修改");
  EXPECT_TRUE(w.Option1[3]->isChecked());
  EXPECT_EQ(h.value("SELECT 编码规则 From 员工工号编码规则名称"), "3");
  EXPECT_EQ(count("员工工号编码规则"), "1");
  EXPECT_EQ(w.MSFlexGrid1->Rows(), 2);
  EXPECT_TRUE(h.statements().filter("Update").isEmpty());
  EXPECT_TRUE(h.statements().filter("Delete").isEmpty());
}

TEST_F(RulesWindowTest, LayoutChangeFailureLeavesRuleAsItWas) {
  seedSmall();
  testdata::rule("7", "合同工", 3);
  testdata::ruleRow({.code = "7", .department = "0101", .departmentCode = "12"});
  Window& w = openRule("7");
  h.exec(
      "CREATE TRIGGER no_code BEFORE UPDATE ON 员工工号编码规则名称 BEGIN SELECT RAISE(ABORT, 'code is locked'); END");
  w.Option1[6]->click();
  ASSERT_EQ(h.messages().size(), 3);
  EXPECT_TRUE(h.messages()[2].contains("code is locked"));
  EXPECT_EQ(count("员工工号编码规则 Where 类别代码='7'"), "1");  // the rows' delete was undone
  EXPECT_TRUE(w.Option1[3]->isChecked());
  EXPECT_EQ(w.ruleEntries()["LB7"].编码规则, "3");
  EXPECT_EQ(w.MSFlexGrid1->Rows(), 2);
  EXPECT_TRUE(w.MSFlexGrid1->isVisible());
}

TEST_F(RulesWindowTest, SavingChecksBoxesAndCodes) {
  seedSmall();
  testdata::rule("7", "合同工", 3);
  Window& w = open();
  w.Command10->click();
  w.Text1->clear();
  w.Command12->click();
  w.Text1->setText("00a0");  // only possible by pasting
  w.Command12->click();
  w.Text1->setText("000");
  w.Command12->click();  // no name
  w.Text2->setText("重复");
  w.Text3->setText("7");
  w.Command12->click();  // code 7 is taken
  EXPECT_EQ(h.messages(),
            (QStringList{"请输入流水号位数  提示用0的数量表示", "流水号位数只能由0组成  提示用0的数量表示",
                         "请输入名称", "类别代码7已被其他编码类别使用，请输入另一个类别代码"}));
  EXPECT_EQ(h.titles().first(), widgets::app_info::title());
  EXPECT_EQ(count("员工工号编码规则名称"), "1");
  EXPECT_TRUE(h.statements().filter("Where ID=0").isEmpty());
  EXPECT_EQ(w.TreeView3->keys(), QStringList{"LB7"});
  EXPECT_FALSE(w.Command11->isEnabled());  // still in new mode

  // Two rules without a code can't both be listed either.
  w.Text3->clear();
  w.Command12->click();
  EXPECT_EQ(count("员工工号编码规则名称 Where 类别码 Is Null"), "1");
  // No layout selected: code 0 and its default row, under "0" as the rule acts on it.
  EXPECT_EQ(h.column("SELECT 类别代码 From 员工工号编码规则"), QStringList{"0"});
  EXPECT_EQ(w.Text3->text(), "0");
  EXPECT_EQ(w.Text3->palette().color(QPalette::Base), w.Frame2->palette().color(QPalette::Window));  // locked
  // Null and "0" are one code: neither an empty code nor "0" is taken again.
  for (const QString code : {"", "0"}) {
    w.Command10->click();
    EXPECT_EQ(w.Text2->palette().color(QPalette::Base), w.Text1->palette().color(QPalette::Base));
    w.Text2->setText("又一个");
    w.Text3->setText(code);
    w.Command12->click();
    EXPECT_EQ(h.messages().last(), "已经有一个类别代码为空的编码类别，请输入类别代码");
  }
  EXPECT_EQ(count("员工工号编码规则名称"), "2");
  EXPECT_EQ(count("员工工号编码规则"), "1");
}

TEST_F(RulesWindowTest, SavingAShownRuleChangesOnlyLayoutAndPattern) {
  seedSmall();
  testdata::rule("7", "合同工", 3);
  Window& w = openRule("7");
  QTest::keyClicks(w.Text1, "0");
  EXPECT_EQ(w.Label1[2]->text(), "4位数");
  w.Text2->setText("改名");  // locked for typing; even if set, it is not stored
  w.Command12->click();
  EXPECT_EQ(h.value("SELECT 流水号位数 From 员工工号编码规则名称"), "0000");
  EXPECT_EQ(h.value("SELECT 编码类别名称 From 员工工号编码规则名称"), "合同工");
  EXPECT_EQ(h.value("SELECT 编码规则 From 员工工号编码规则名称"), "3");
  EXPECT_EQ(w.ruleEntries()["LB7"].流水号位数, "0000");
  EXPECT_EQ(w.TreeView3->texts(), QStringList{"7 合同工"});
}

TEST_F(RulesWindowTest, KeyFiltersAndPastedText) {
  seedSmall();
  testdb::ignoreLengthChecks();  // a rule name wider than the box, from a wider column
  testdata::rule("9", QString("名").repeated(60), 3, QString(12, '0'));
  Window& w = open();
  w.Text1->clear();
  QTest::keyClicks(w.Text1, "0a0 1-0");
  EXPECT_EQ(w.Text1->text(), "000");
  EXPECT_EQ(w.Label1[2]->text(), "3位数");
  QTest::keyClick(w.Text1, Qt::Key_Backspace);
  EXPECT_EQ(w.Text1->text(), "00");
  EXPECT_EQ(w.Label1[2]->text(), "2位数");
  w.Text1->insert("0x0");  // as pasted
  EXPECT_EQ(w.Text1->text(), "0000");

  QTest::keyClicks(w.Text3, "1a2 -3.");
  EXPECT_EQ(w.Text3->text(), "123");
  QTest::keyClick(w.Text3, Qt::Key_Backspace);
  EXPECT_EQ(w.Text3->text(), "12");
  w.Text3->insert("4b5");
  EXPECT_EQ(w.Text3->text(), "1245");

  QTest::keyClicks(w.Text2, "ab 1-");  // the name box takes anything
  EXPECT_EQ(w.Text2->text(), "ab 1-");

  // Each box holds what its column holds (50 characters), the pattern at most 9 zeros.
  w.Text2->insert(QString("名").repeated(60));
  EXPECT_EQ(w.Text2->text().size(), 50);
  w.Text3->clear();
  w.Text3->insert(QString("1").repeated(60));
  EXPECT_EQ(w.Text3->text(), QString("1").repeated(50));
  QTest::keyClicks(w.Text1, "000000000");
  EXPECT_EQ(w.Text1->text(), "000000000");
  EXPECT_EQ(w.Label1[2]->text(), "9位数");
  EXPECT_EQ(w.Text4->maxLength(), 50);
  // A locked box shows a stored value whole, and a stored pattern is saved again whole; unlocked
  // again the boxes take 50 characters and 9 zeros.
  w.TreeView3->clickNode("LB9");
  EXPECT_EQ(w.Text2->text().size(), 60);
  w.Command12->click();
  EXPECT_EQ(h.value("SELECT 流水号位数 From 员工工号编码规则名称 Where 类别码='9'"), QString(12, '0'));
  w.Command10->click();
  EXPECT_EQ(w.Text1->text(), QString(9, '0'));
  w.Text2->insert(QString("名").repeated(60));
  EXPECT_EQ(w.Text2->text().size(), 50);
}

TEST_F(RulesWindowTest, AttachAndReleaseCategories) {
  seedSmall();
  testdata::rule("7", "合同工", 3);
  testdata::rule("8", "正式工", 3);
  h.exec("UPDATE 员工类别 SET 类别码='8' WHERE 类别编号='01'");
  Window& w = open();
  EXPECT_EQ(w.TreeView1->keys(), (QStringList{"LB02", "LB03"}));
  w.Command13->click();
  EXPECT_FALSE(w.Picture2->isVisible());  // no rule shown: the button does nothing
  w.TreeView3->clickNode("LB7");
  EXPECT_TRUE(w.TreeView4->keys().isEmpty());
  w.Command13->click();
  EXPECT_TRUE(w.Picture2->isVisible());
  EXPECT_FALSE(w.Command9->isEnabled());  // nothing picked yet
  w.TreeView1->clickNode("LB03");
  EXPECT_TRUE(w.Command9->isEnabled());
  w.Command9->click();
  // The selection moved on to 02, which nobody picked: the button waits for a pick.
  EXPECT_FALSE(w.Command9->isEnabled());
  w.Command9->click();
  EXPECT_EQ(w.TreeView1->keys(), QStringList{"LB02"});
  w.TreeView1->clickNode("LB02");
  w.Command9->click();
  EXPECT_TRUE(w.Picture2->isVisible());  // stays open for more
  EXPECT_EQ(w.TreeView4->texts(), (QStringList{"03 临时工", "02 合同工"}));
  EXPECT_EQ(w.TreeView4->keys(), (QStringList{"LB03", "LB02"}));
  EXPECT_TRUE(w.TreeView1->keys().isEmpty());
  EXPECT_EQ(h.column("SELECT 类别码 From 员工类别 ORDER BY 类别编号"), (QStringList{"8", "7", "7"}));
  w.Command8->click();
  EXPECT_FALSE(w.Picture2->isVisible());

  // Shown again, the categories come in number order.
  w.TreeView3->clickNode("LB8");
  EXPECT_EQ(w.TreeView4->texts(), QStringList{"01 正式工"});
  w.TreeView3->clickNode("LB7");
  EXPECT_EQ(w.TreeView4->texts(), (QStringList{"02 合同工", "03 临时工"}));

  // Release: a refused question changes nothing; Yes frees it and it is offered again.
  EXPECT_FALSE(w.Command14->isEnabled());
  w.TreeView4->clickNode("LB03");
  EXPECT_TRUE(w.Command14->isEnabled());
  h.answer(false);
  w.Command14->click();
  EXPECT_EQ(h.messages().mid(h.messages().size() - 2),
            (QStringList{"是否要删除03 临时工这个员工类别？", "已取消，数据库没有任何修改"}));
  EXPECT_EQ(h.value("SELECT 类别码 From 员工类别 WHERE 类别编号='03'"), "7");
  w.Command14->click();
  EXPECT_EQ(h.value("SELECT COUNT(*) From 员工类别 WHERE 类别编号='03' AND 类别码 Is Null"), "1");
  EXPECT_EQ(w.TreeView4->texts(), QStringList{"02 合同工"});
  EXPECT_FALSE(w.Command14->isEnabled());
  EXPECT_EQ(w.TreeView1->texts(), QStringList{"03 临时工"});

  // New-rule mode: no attaching.
  w.Command10->click();
  EXPECT_FALSE(w.Command13->isEnabled());
  EXPECT_TRUE(w.TreeView4->keys().isEmpty());
}

// Deleting asks first; Yes deletes, offers the rule's categories again and returns to the start state.
TEST_F(RulesWindowTest, DeletingARuleReturnsToTheStartState) {
  seedSmall();
  testdata::rule("7", "合同工", 5);
  testdata::rule("8", "正式工", 3);
  testdata::ruleRow(
      {.code = "7", .department = "0101", .departmentCode = "12", .positionCategory = "01", .positionCode = "1"});
  h.exec("UPDATE 员工类别 SET 类别码='7' WHERE 类别编号 IN ('01', '03')");
  Window& w = openRule("7");
  h.answer(false);
  w.Command11->click();
  EXPECT_EQ(h.messages(), (QStringList{"是否要删除合同工?", "已取消，数据库没有任何修改"}));
  EXPECT_EQ(count("员工工号编码规则名称"), "2");
  w.Command11->click();
  EXPECT_EQ(h.column("SELECT 类别码 From 员工工号编码规则名称"), QStringList{"8"});
  EXPECT_EQ(w.TreeView3->keys(), QStringList{"LB8"});
  EXPECT_FALSE(w.ruleEntries().contains("LB7"));
  EXPECT_EQ(w.Text2->text() + w.Text3->text(), "");
  EXPECT_FALSE(w.Text3->isReadOnly());
  EXPECT_EQ(w.MSFlexGrid1->Rows(), 1);
  for (QWidget* off : std::initializer_list<QWidget*>{w.Frame1, w.Command11, w.Command12, w.Command13}) {
    EXPECT_FALSE(off->isEnabled());
  }
  EXPECT_TRUE(w.Option1[5]->isChecked());  // the layout buttons keep their selection
  EXPECT_TRUE(w.TreeView4->keys().isEmpty());
  EXPECT_EQ(w.TreeView1->keys(), (QStringList{"LB01", "LB02", "LB03"}));
}

// Alone, a rule without a code is shown with the code "0" (its delete is on the operations). Beside
// rule "0" it shows none of rule 0's rows or categories, takes none, and its delete leaves rule 0
// whole and says so.
TEST_F(RulesWindowTest, RuleWithoutCodeBesideRuleZero) {
  seedSmall();
  testdata::rule("0", "零", 3);
  testdata::ruleRow({.code = "0", .department = "01", .departmentCode = "11"});
  h.exec("UPDATE 员工类别 SET 类别码='0' WHERE 类别编号='01'");
  testdata::rule("", "无码", 3);
  Window& w = openRule("");
  EXPECT_EQ(w.Text3->text(), "0");
  EXPECT_EQ(w.MSFlexGrid1->Rows(), 1);
  EXPECT_TRUE(w.TreeView4->keys().isEmpty());
  EXPECT_FALSE(w.Command2->isEnabled());
  EXPECT_FALSE(w.Command13->isEnabled());
  w.Option1[0]->click();  // code 0 makes no default row under rule 0's code
  EXPECT_EQ(h.value("SELECT 编码规则 From 员工工号编码规则名称 Where 类别码 Is Null"), "0");
  EXPECT_EQ(count("员工工号编码规则"), "1");
  w.Command11->click();
  EXPECT_EQ(h.messages().last(), "该编码类别没有类别代码，只删除了规则本身，类别代码为0的规则及其明细未受影响");
  EXPECT_EQ(h.column("SELECT 编码类别名称 From 员工工号编码规则名称"), QStringList{"零"});
  EXPECT_EQ(count("员工工号编码规则 Where 类别代码='0' And 部门编号='01'"), "1");
  EXPECT_EQ(count("员工类别 Where 类别码='0'"), "1");
  EXPECT_EQ(w.TreeView3->keys(), QStringList{"LB0"});
  w.TreeView3->clickNode("LB0");
  EXPECT_EQ(w.MSFlexGrid1->Rows(), 2);
  EXPECT_EQ(w.TreeView4->keys(), QStringList{"LB01"});
}

TEST_F(RulesWindowTest, ScreenshotOfARuleWithCodeFive) {
  h.seedDemo();
  Window& w = open();
  w.TreeView3->clickNode("LB3");
  ASSERT_TRUE(w.Option1[5]->isChecked());
  ASSERT_GT(w.MSFlexGrid1->Rows(), 3);
  w.MSFlexGrid1->clickCell(3, 0);
  const QImage shot = w.grab().toImage();
  ASSERT_EQ(shot.size(), w.size());
  // Something is drawn: the picture is not one flat colour.
  QSet<QRgb> colours;
  for (int y = 0; y < shot.height(); y += 7) {
    for (int x = 0; x < shot.width(); x += 7) colours.insert(shot.pixel(x, y));
  }
  EXPECT_GT(colours.size(), 20);
  const QString target = qEnvironmentVariable("RULES_SCREENSHOT");
  if (!target.isEmpty()) {
    EXPECT_TRUE(shot.save(target));
  }
}

}  // namespace
