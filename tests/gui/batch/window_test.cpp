// The batch window's wiring on the embedded database: controls, listing, editor, proposal, check,
// apply and staging through the buttons. The work itself is tested on the operations module.
#include "gui/batch/batch_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "tools/bench/batch_literal.h"
#include "core/batch/batch_ops.h"
#include "core/rules/rules_ops.h"
#include "tests/support/batch_fixture.h"
#include "tests/support/db_snapshot.h"
#include "gui/widgets/flex_grid.h"

namespace {

class BatchWindow : public BatchData {
 protected:
  frm员工工号统一修改* w = nullptr;

  void open() {
    h.clearStatements();
    w = &h.open<frm员工工号统一修改>();
  }
  void chooseRule(const QString& entry) {
    const int index = w->Combo1->findText(entry);
    ASSERT_GE(index, 0);
    w->Combo1->setCurrentIndex(index);
  }
  QString cell(int r, int c) const { return w->MSFlexGrid1->TextMatrix(r, c); }
  QStringList column(int c) const {
    QStringList out;
    for (int r = 1; r < w->MSFlexGrid1->Rows(); ++r) out << cell(r, c);
    return out;
  }
  void setNew(int row, const QString& number) { w->MSFlexGrid1->setTextMatrix(row, 2, number); }
  // The colour of a row: the common colour of its columns 1 to 6, or "mixed".
  QString rowColour(int r) const {
    const QColor first = w->MSFlexGrid1->CellBackColor(r, 1);
    for (int c = 2; c < w->MSFlexGrid1->Cols(); ++c)
      if (w->MSFlexGrid1->CellBackColor(r, c) != first) return u"mixed"_s;
    if (first == QColor(237, 235, 247)) return u"duplicate"_s;
    if (first == QColor(255, 210, 182)) return u"taken"_s;
    return first.isValid() ? first.name() : u"-"_s;
  }
  QString rowColours() const {
    QString out;
    for (int r = 1; r < w->MSFlexGrid1->Rows(); ++r) out += (r > 1 ? u" "_s : QString()) + rowColour(r);
    return out;
  }
  // Which of Command1, Command2, Command4, Command3 are enabled, as "1243" with "-" for off.
  QString buttons() const {
    QString s;
    for (auto [b, n] : {std::pair{w->Command1, '1'}, {w->Command2, '2'}, {w->Command4, '4'}, {w->Command3, '3'}})
      s += b->isEnabled() ? n : '-';
    return w->Command5->isEnabled() ? s : s + u"(5 off)"_s;
  }
  QStringList updates() const { return h.statements().filter(u"Update"_s, Qt::CaseInsensitive); }
  void expectUsable() const {
    EXPECT_TRUE(w->MSFlexGrid1->isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  }
};

TEST_F(BatchWindow, StartStateControlsAndRuleList) {
  open();
  EXPECT_EQ(w->windowTitle() + u'|' + w->Label1->text(), u"员工工号统一修改(Orvale专用)|员工类别"_s);
  ASSERT_EQ(w->Combo1->count(), 3);
  EXPECT_EQ(w->Combo1->itemText(2), u"2 工程类"_s);
  EXPECT_EQ(w->Combo1->currentIndex(), -1);
  EXPECT_EQ(h.statements(), QStringList{rules::sqlListRules()});

  FlexGrid* g = w->MSFlexGrid1;
  ASSERT_EQ(g->Cols(), 7);
  EXPECT_EQ(g->Rows(), 2);
  const QString headers =
      u"序 |原工号    |新工号     |姓名         |部门                           |岗位                            |"_s;
  for (int c = 0; c < 7; ++c) EXPECT_EQ(g->TextMatrix(0, c), headers.section(u'|', c, c)) << c;
  EXPECT_EQ(g->FixedCols(), 1);
  for (int c = 1; c <= 5; ++c) EXPECT_TRUE(g->ColAlignment(c).testFlag(Qt::AlignLeft)) << c;
  EXPECT_TRUE(w->Text1->isHidden() && w->Label2->text().isEmpty());
  EXPECT_EQ(w->Label2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(w->Check1->text() + w->Check2->text(), u"忽略多个岗位情况新工号重复自动生成"_s);
  EXPECT_TRUE(w->Check1->isChecked() && w->Check2->isChecked());
  EXPECT_EQ(QStringList({w->Command1->text(), w->Command2->text(), w->Command4->text(), w->Command3->text(),
                         w->Command5->text()}),
            (QStringList{u"生成新工号"_s, u"新工号核对"_s, u"导出对照表"_s, u"新工号上传"_s, u"无岗位员工工号处理"_s}));
  EXPECT_EQ(buttons(), u"----"_s);

  // Before the first listing the empty row's new-number cell opens the editor.
  g->clickCell(1, 2);
  EXPECT_TRUE(w->Text1->isVisible());
  // Check1 before any rule is chosen lists nothing.
  h.clearStatements();
  w->Check1->setChecked(false);
  EXPECT_TRUE(h.statements().isEmpty());
  EXPECT_EQ(buttons(), u"----"_s);
}

TEST_F(BatchWindow, ChoosingARuleListsItAgainEvenTheOneShown) {
  testdata::employee({.number = "1001", .name = "张三", .category = "保安", .position = "P01"});
  testdata::employee({.number = "999", .name = "李四", .category = "保洁", .position = "P02"});
  testdata::employee({.number = "999", .name = "李四", .category = "保洁", .position = "P01"});
  testdata::employee({.number = "12", .name = "无岗", .category = "保安"});
  open();
  h.clearStatements();
  chooseRule(u"1 保安类"_s);
  EXPECT_EQ(h.statements(), QStringList{batch::listingSql(u"1"_s)});
  EXPECT_EQ((column(0) + column(1) + column(3) + column(4) + column(5)).join(u','),
            u"1,2,999,1001,李四,张三,D02 工程部,D01 综合部,P02 技工,P01 主管"_s);
  EXPECT_EQ(w->MSFlexGrid1->Row(), 2);
  EXPECT_EQ(w->Label2->text(), u"另有1名无岗位员工未列出"_s);
  EXPECT_EQ(buttons(), u"1---"_s);
  testdata::employee({.number = "17", .name = "旧岗", .category = "保安", .position = "P77"});
  QCoreApplication::processEvents();
  emit w->Combo1->activated(w->Combo1->currentIndex());
  EXPECT_EQ(w->Label2->text(), u"另有1名无岗位员工未列出；另有1名员工的岗位编号在岗位表中不存在，未列出"_s);

  // The entry already shown, chosen again: proposals and colours go.
  w->Command1->click();
  w->Command2->click();
  ASSERT_EQ(buttons(), u"124-"_s);
  QCoreApplication::processEvents();
  emit w->Combo1->activated(w->Combo1->currentIndex());
  EXPECT_EQ(column(2), QStringList(2, QString()));
  EXPECT_EQ(buttons(), u"1---"_s);
  // A change chosen by the user lists once; Check1 lists again.
  h.clearStatements();
  QTest::keyClick(w->Combo1, Qt::Key_Down);
  EXPECT_EQ(w->Combo1->currentText(), u"18 管理编号"_s);
  EXPECT_EQ(h.statements().size(), 2);
  EXPECT_EQ(w->Label2->text(), QString());
  chooseRule(u"1 保安类"_s);
  w->Check1->setChecked(false);
  EXPECT_EQ(column(1), (QStringList{u"999"_s, u"999"_s, u"1001"_s}));

  // A failing listing keeps the list on screen.
  h.exec(u"DROP TABLE 职能部门new"_s);
  w->Check1->setChecked(true);
  EXPECT_EQ(column(1).size(), 3);
  EXPECT_TRUE(h.messages().last().contains(u"职能部门new"_s)) << h.messages().last().toStdString();
  expectUsable();
}

TEST_F(BatchWindow, EditorTakesDigitsAndEnterAndAnEditCallsForANewCheck) {
  addListed({u"101"_s, u"102"_s});
  open();
  FlexGrid* g = w->MSFlexGrid1;
  chooseRule(u"1 保安类"_s);
  w->Command1->click();
  w->Command2->click();
  w->Command3->setEnabled(true);  // as after the export window
  g->clickCell(1, 2);
  ASSERT_TRUE(w->Text1->isVisible());
  EXPECT_EQ(w->Text1->selectedText(), u"10101"_s);
  const QRect rect = g->cellRect(1, 2);
  EXPECT_EQ(w->Text1->geometry(), QRect(g->geometry().topLeft() + rect.topLeft(), rect.size()));
  QTest::keyClick(w->Text1, Qt::Key_Return);  // unchanged: nothing to check again
  EXPECT_EQ(buttons(), u"1243"_s);
  g->clickCell(1, 2);
  QTest::keyClicks(w->Text1, u"7a-'x8"_s);
  EXPECT_EQ(w->Text1->text(), u"78"_s);
  QTest::keyClick(w->Text1, Qt::Key_Backspace);
  QTest::keyClick(w->Text1, Qt::Key_Return);
  EXPECT_TRUE(w->Text1->isHidden());
  EXPECT_EQ(cell(1, 2), u"7"_s);
  EXPECT_EQ(buttons(), u"12--"_s);
  EXPECT_EQ(w->Label2->text(), u"新工号已修改，请重新核对"_s);  // no longer "核对通过…"
  // What an input method writes (full-width, blanks) is written as the number it stands for.
  g->clickCell(1, 2);
  w->Text1->setText(u" \uFF17\uFF18 "_s);
  QTest::keyClick(w->Text1, Qt::Key_Return);
  EXPECT_EQ(cell(1, 2), u"78"_s);

  // A click elsewhere closes the editor without writing; so do Esc and a scroll.
  g->clickCell(2, 2);
  QTest::keyClicks(w->Text1, u"55"_s);
  QTest::keyClick(w->Text1, Qt::Key_Escape);
  EXPECT_TRUE(w->Text1->isHidden());
  EXPECT_EQ(cell(2, 2), u"10102"_s);
  g->clickCell(2, 2);
  QTest::keyClicks(w->Text1, u"55"_s);
  g->clickCell(2, 1);
  EXPECT_TRUE(w->Text1->isHidden());
  EXPECT_EQ(cell(2, 2), u"10102"_s);
  g->clickCell(2, 2);
  emit g->Scroll();
  EXPECT_TRUE(w->Text1->isHidden());
  // An empty list: clicks do nothing.
  chooseRule(u"2 工程类"_s);
  g->clickCell(0, 2);
  EXPECT_TRUE(w->Text1->isHidden());
}

TEST_F(BatchWindow, ProposalsPutTheWholeCategoryCodeFirst) {
  for (const char* n : {"5", "123", "23456", "903456"})
    testdata::employee({.number = n, .name = "甲", .category = "管理人员", .position = "P01"});
  open();
  chooseRule(u"18 管理编号"_s);
  h.clearStatements();
  w->Command1->click();
  EXPECT_EQ(column(2), (QStringList{u"180005"_s, u"180123"_s, u"183456"_s, u"183456"_s}));
  EXPECT_TRUE(h.statements().isEmpty());
  EXPECT_EQ(buttons(), u"12--"_s);
}

// Seven listed employees whose proposals are edited into conflicts.
class BatchCheck : public BatchWindow {
 protected:
  void SetUp() override {
    BatchWindow::SetUp();
    addListed({u"101"_s, u"102"_s, u"103"_s, u"104"_s, u"105"_s, u"106"_s, u"107"_s});
    testdata::employee({.number = "10200", .name = "无岗位甲", .category = "工程"});
    testdata::employee({.number = "10009", .name = "无岗位乙", .category = "工程"});
    open();
    chooseRule(u"1 保安类"_s);
    w->Command1->click();
  }
};

TEST_F(BatchCheck, AFailedManualCheckNamesShowsAndSelectsTheRow) {
  w->Check2->setChecked(false);
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u"核对通过，共7名员工，请导出对照表后上传"_s);
  w->Command3->setEnabled(true);  // as after the export window
  setNew(3, u"10008"_s);
  setNew(7, u"10008"_s);
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u"新工号有重复 在第7 行 D01 综合部 P01 主管 员工7"_s);
  EXPECT_EQ(rowColours(), u"- - duplicate - - - duplicate"_s);
  EXPECT_EQ(buttons(), u"12--"_s);
  EXPECT_EQ(w->MSFlexGrid1->Row(), 7);
  EXPECT_TRUE(w->MSFlexGrid1->item(7, 2)->isSelected());
  expectUsable();

  setNew(7, u"10200"_s);  // an unlisted employee's number
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u"新工号数据库中已经存在，同无岗位甲重复"_s);
  EXPECT_EQ(rowColours(), u"- - - - - - taken"_s);
  setNew(7, u"107"_s);  // unchanged: the employee's own
  setNew(2, QString());
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u"第2行新工号不能为空"_s);
  EXPECT_EQ(rowColours(), u"- taken - - - - -"_s);
  EXPECT_EQ(w->MSFlexGrid1->Row(), 2);
  EXPECT_EQ(buttons(), u"12--"_s);
  setNew(2, u"10002 "_s);
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u"第2行新工号不能含有空格：只能由字母和数字组成"_s);
  EXPECT_EQ(rowColours(), u"- taken - - - - -"_s);
}

TEST_F(BatchCheck, TheAutomaticCheckMovesTheLaterRowAndSaysHowMany) {
  // Rows 3 and 7 both 10008; 10009 is held in the register and 10010 by row 4.
  setNew(3, u"10008"_s);
  setNew(7, u"10008"_s);
  setNew(4, u"10010"_s);
  setNew(6, u"10200"_s);
  h.clearStatements();
  w->Command2->click();
  EXPECT_EQ(column(2),
            (QStringList{u"10101"_s, u"10102"_s, u"10008"_s, u"10010"_s, u"10105"_s, u"10201"_s, u"10011"_s}));
  EXPECT_EQ(rowColours(), u"- - - - - duplicate duplicate"_s);
  EXPECT_EQ(w->Label2->text(), u"核对通过，共7名员工，自动调整了2个新工号，请导出对照表后上传"_s);
  EXPECT_EQ(buttons(), u"124-"_s);
  EXPECT_FALSE(h.statements().contains(batch::registerLookupSql(u"107"_s)));
  expectUsable();

  // A database failure: the database's text, default colours, the window usable.
  h.exec(u"DROP TABLE 员工档案"_s);
  for (bool automatic : {true, false}) {
    w->Check2->setChecked(automatic);
    const qsizetype before = h.messages().size();
    w->Command2->click();
    ASSERT_EQ(h.messages().size(), before + 1);
    EXPECT_TRUE(h.messages().last().contains(u"员工档案"_s)) << h.messages().last().toStdString();
    EXPECT_EQ(rowColours(), u"- - - - - - -"_s);
    EXPECT_EQ(buttons(), u"12--"_s);
    expectUsable();
  }
}

TEST_F(BatchCheck, TheWindowProceduresAnswerOnTheGridAsItStands) {
  setNew(3, u"10008"_s);
  setNew(7, u"10008"_s);
  int d = 0;
  EXPECT_FALSE(batch::literal::本核(*w, u"10008"_s, d, 3));
  EXPECT_EQ(d, 7);
  EXPECT_TRUE(batch::literal::本核(*w, u"10101"_s, d, 1));
  EXPECT_FALSE(batch::literal::数核(*w, u"10200"_s));
  EXPECT_EQ(w->Label2->text(), QString());  // ticked Check2: no message
  EXPECT_TRUE(batch::literal::数核(*w, u"10201"_s));
  EXPECT_FALSE(batch::literal::自插核对(*w, 10009));  // held in the register
  EXPECT_FALSE(batch::literal::自插核对(*w, 10008));  // held by rows 3 and 7
  EXPECT_TRUE(batch::literal::自插核对(*w, 40000));
  EXPECT_EQ(batch::literal::自动插入(*w, u"010007"_s), u"10010"_s);
  w->Check2->setChecked(false);
  EXPECT_FALSE(batch::literal::数核(*w, u"10200"_s));
  EXPECT_EQ(w->Label2->text(), u"新工号数据库中已经存在，同无岗位甲重复"_s);
}

// Three listed employees, checked and past the export window.
class BatchApply : public BatchWindow {
 protected:
  const QStringList olds{u"1001"_s, u"1002"_s, u"1003"_s};
  const QStringList news{u"11001"_s, u"11002"_s, u"11003"_s};
  void SetUp() override {
    BatchWindow::SetUp();
    addListed(olds);
    testdata::references(host::kBatchApply, u"11002"_s);  // rows already under a new number
    open();
    chooseRule(u"1 保安类"_s);
    w->Command1->click();
    w->Command2->click();
    ASSERT_EQ(column(2), news);
    w->Command3->setEnabled(true);  // as after the export window
    h.clearStatements();
  }
};

TEST_F(BatchApply, AskedAboutHeldNumbersThenAppliedAndListedAgain) {
  const testdb::Snapshot before = testdb::snapshot();
  h.answer(false);
  w->Command3->click();
  ASSERT_EQ(h.messages().size(), 2);
  EXPECT_TRUE(h.messages()[0].startsWith(u"以下新工号在其他表中已有记录：11002：岗位信息new 1行，"_s));
  EXPECT_EQ(h.messages()[1], u"已取消，数据库没有任何修改"_s);
  EXPECT_TRUE(updates().isEmpty());
  EXPECT_EQ(testdb::difference(before, testdb::snapshot()), QString());

  h.answer(true);
  w->Command3->click();
  EXPECT_EQ(h.messages().last(), u"修改完成"_s);
  // The three rows' texts in one execution.
  EXPECT_EQ(updates(), QStringList{batch::applyBatch(olds[0], news[0], {}) + batch::applyBatch(olds[1], news[1], {}) +
                                   batch::applyBatch(olds[2], news[2], {})});
  EXPECT_EQ(column(1), news);  // listed again
  EXPECT_EQ(buttons(), u"1---"_s);
  expectUsable();
}

// The host system gives a new number to a new hire on its own connection while the question is on
// the screen: the apply reads the register again inside its transaction and sends nothing.
TEST_F(BatchApply, ANumberTakenWhileTheQuestionIsShownIsRefusedInsideTheTransaction) {
  db::Database host;
  QString error;
  ASSERT_TRUE(host.openSqlite(h.databasePath(), &error)) << error.toStdString();
  testdb::Snapshot meanwhile;
  h.dialogs().whileAsking = [&] {
    host.execute(u"INSERT INTO 员工档案 (工号, 姓名) VALUES ('11003', '李新')"_s);
    meanwhile = testdb::snapshot();
  };
  w->Command3->click();
  ASSERT_EQ(h.messages().size(), 2);
  EXPECT_EQ(h.messages()[1], u"第3行 新工号11003在核对之后已被员工李新使用，没有做任何修改，请重新核对"_s);
  EXPECT_TRUE(updates().isEmpty());
  EXPECT_EQ(testdb::difference(meanwhile, testdb::snapshot()), QString());
  EXPECT_EQ(column(1), olds);
}

TEST_F(BatchApply, StaleOrEditedRowsAreRefused) {
  h.exec(u"UPDATE 员工档案 SET 工号='7003' WHERE 工号='1003'"_s);
  w->Command3->click();
  EXPECT_EQ(h.messages().last(), u"第3行 原工号1003已不存在，可能已被他人修改，请重新列出"_s);
  EXPECT_EQ(h.value(u"SELECT COUNT(*) FROM 员工档案 WHERE 工号 IN ('1001','1002','7003')"_s), u"3"_s);
  EXPECT_EQ(column(1), olds);

  // Numbers changed after the check are checked again (a change by code: no edit is seen).
  h.clearStatements();
  const qsizetype shown = h.messages().size();
  setNew(3, u"1002"_s);  // another listed employee's current number
  w->Command3->click();
  EXPECT_EQ(w->Label2->text(), u"新工号数据库中已经存在，同员工2重复"_s);
  EXPECT_EQ(rowColours(), u"- - taken"_s);
  EXPECT_EQ(buttons(), u"12--"_s);
  EXPECT_EQ(h.messages().size(), shown);
  EXPECT_TRUE(updates().isEmpty());
}

TEST_F(BatchWindow, StagingAsksFirstAndSaysWhenDone) {
  testdata::employee({.number = "12", .name = "无岗", .category = "保安"});
  open();
  h.answer(false);
  w->Command5->click();
  const QString question = u"共有1名无岗位员工（所有员工类别，不只是所选的编号规则），工号前将加9，是否继续？"_s;
  const QString nothing = u"已取消，数据库没有任何修改"_s;  // each 否 is told
  EXPECT_EQ(h.messages(), (QStringList{question, nothing}));
  EXPECT_TRUE(updates().isEmpty());
  // A "9" number taken in the register: a warning before any question, nothing sent.
  testdata::employee({.number = "912", .name = "有岗", .category = "保安", .position = "P01"});
  h.clearStatements();
  w->Command5->click();
  EXPECT_EQ(h.messages().mid(2), (QStringList{u"以下无岗位员工加9后的工号已被占用：12→912（有岗）\n"
                                              u"没有修改任何工号，请先处理这些员工的工号"_s}));
  EXPECT_EQ(h.dialogs().shown.last().icon, widgets::Icon::Warning);
  EXPECT_TRUE(updates().isEmpty());
  // Records under it: the merge question, No sends nothing.
  h.exec(u"DELETE FROM 员工档案 WHERE 姓名='有岗'"_s);
  testdata::reference(host::kSingleCascade[31], u"912"_s);
  h.answer(true);
  h.answer(false);
  w->Command5->click();
  EXPECT_EQ(h.messages().mid(3), (QStringList{question,
                                              u"以下新工号在其他表中已有记录：912：工资单明细 1行\n"
                                              u"继续修改将把这些记录并入相应员工，是否继续？"_s,
                                              nothing}));
  EXPECT_TRUE(updates().isEmpty());
  h.exec(u"DELETE FROM 工资单明细"_s);
  w->Command5->click();
  EXPECT_EQ(h.value(u"SELECT 工号 FROM 员工档案 WHERE 姓名='无岗'"_s), u"912"_s);
  h.exec(u"UPDATE 员工档案 SET 岗位编号='P02'"_s);
  w->Command5->click();
  EXPECT_EQ(h.messages().mid(6), (QStringList{question, u"已处理1名无岗位员工"_s, u"没有无岗位员工"_s}));
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
