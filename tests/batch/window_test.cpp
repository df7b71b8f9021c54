// The batch window on the embedded database: listing, editor, proposal, checks, apply, staging.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include "host/host_schema.h"
#include "host/host_tables.h"
#include "db/database.h"
#include "ops/batch_logic.h"
#include "renumber_batch/batch_window.h"
#include "tests/support/db_snapshot.h"
#include "tests/support/harness.h"
#include "widgets/flex_grid.h"

namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

using testdb::snapshot;
using testdb::Snapshot;

// Each table with every column the given list names in it (and the extra condition's column).
template <std::size_t N>
QMap<QString, QStringList> columnsByTable(const std::array<host::RefColumn, N>& list) {
  QMap<QString, QStringList> out;
  for (const host::RefColumn& ref : list) out[ref.tableName()] << ref.columnName();
  return out;
}

// One reference row holding number in every column the list names, for each table but the register.
template <std::size_t N>
void referenceRows(Harness& h, const std::array<host::RefColumn, N>& list, const QString& number) {
  const QMap<QString, QStringList> tables = columnsByTable(list);
  for (auto it = tables.cbegin(); it != tables.cend(); ++it) {
    if (it.key() == u("员工档案")) continue;
    QStringList cols = it.value(), values;
    for (int i = 0; i < cols.size(); ++i) values << db::sqlQuote(number);
    if (it.key() == u("员工档案temp")) {
      cols << u("类型");
      values << u("'档案信息修改'");
    }
    h.exec(u("INSERT INTO ") + it.key() + u(" (") + cols.join(u(", ")) + u(") VALUES (") + values.join(u(", ")) +
           u(")"));
  }
}

// How many rows hold number in the given reference column.
qint64 holding(Harness& h, const host::RefColumn& ref, const QString& number) {
  return h
      .value(u("SELECT COUNT(*) FROM ") + ref.tableName() + u(" WHERE ") + ref.columnName() + u("=") +
             db::sqlQuote(number))
      .toLongLong();
}

class BatchWindow : public ::testing::Test {
 protected:
  Harness h;
  frm员工工号统一修改* w = nullptr;

  void SetUp() override {
    h.exec(u("INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('D01', '综合部')"));
    h.exec(u("INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('D02', '工程部')"));
    h.exec(u("INSERT INTO 岗位信息New (岗位代号, 岗位名称, 职能部门代号) VALUES ('P01', '主管', 'D01')"));
    h.exec(u("INSERT INTO 岗位信息New (岗位代号, 岗位名称, 职能部门代号) VALUES ('P02', '技工', 'D02')"));
    h.exec(u("INSERT INTO 岗位信息New (岗位代号, 岗位名称, 职能部门代号) VALUES ('P09', '撤销岗', 'D99')"));
    h.exec(u("INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('01', '保安', '1')"));
    h.exec(u("INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('02', '保洁', '1')"));
    h.exec(u("INSERT INTO 员工类别 (类别编号, 类别名称, 类别码) VALUES ('03', '工程', '2')"));
    h.exec(
        u("INSERT INTO 员工工号编码规则名称 (类别码, 编码类别名称, 编码规则, 流水号位数) VALUES ('2', '工程类', 0, "
          "'0000')"));
    h.exec(
        u("INSERT INTO 员工工号编码规则名称 (类别码, 编码类别名称, 编码规则, 流水号位数) VALUES ('1', '保安类', 0, "
          "'0000')"));
  }

  void add(const QString& number, const QString& name, const QString& category, const QString& position) {
    h.exec(u("INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES (") + db::sqlQuote(number) + u(", ") +
           db::sqlQuote(name) + u(", ") + db::sqlQuote(category) + u(", ") +
           (position.isEmpty() ? u("NULL") : db::sqlQuote(position)) + u(")"));
  }
  // Employees of rule 1 with a position in department D01 (odd) or D02 (even), named 员工1, 员工2 ...
  void addListed(const QStringList& numbers) {
    for (int i = 0; i < numbers.size(); ++i)
      add(numbers[i], u("员工") + QString::number(i + 1), i % 2 ? u("保洁") : u("保安"), i % 2 ? u("P02") : u("P01"));
  }

  frm员工工号统一修改& open() {
    h.clearStatements();
    w = &h.open<frm员工工号统一修改>();
    return *w;
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
  // The colour of a row: the common colour of its columns 1 to 6, or "mixed".
  QString rowColour(int r) const {
    const QColor first = w->MSFlexGrid1->CellBackColor(r, 1);
    for (int c = 2; c < w->MSFlexGrid1->Cols(); ++c)
      if (w->MSFlexGrid1->CellBackColor(r, c) != first) return u("mixed");
    if (first == QColor(237, 235, 247)) return u("duplicate");
    if (first == QColor(255, 210, 182)) return u("taken");
    return first.isValid() ? first.name() : u("default");
  }
  QStringList rowColours() const {
    QStringList out;
    for (int r = 1; r < w->MSFlexGrid1->Rows(); ++r) out << rowColour(r);
    return out;
  }
  QStringList updates() const {
    QStringList out;
    for (const QString& s : h.statements())
      if (s.contains(u("Update"), Qt::CaseInsensitive)) out << s;
    return out;
  }
  void expectUsable() const {
    EXPECT_TRUE(w->MSFlexGrid1->isVisible());
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(w->isEnabled());
  }
};

TEST_F(BatchWindow, StartStateControlsAndRuleList) {
  open();
  EXPECT_EQ(w->windowTitle(), u("员工工号统一修改(Orvale专用)"));
  EXPECT_EQ(w->Label1->text(), u("员工类别"));
  ASSERT_EQ(w->Combo1->count(), 2);
  EXPECT_EQ(w->Combo1->itemText(0), u("1 保安类"));
  EXPECT_EQ(w->Combo1->itemText(1), u("2 工程类"));
  EXPECT_EQ(w->Combo1->currentIndex(), -1);
  EXPECT_EQ(h.statements(), QStringList{batch::ruleListSql()});

  FlexGrid* g = w->MSFlexGrid1;
  ASSERT_EQ(g->Cols(), 7);
  EXPECT_EQ(g->Rows(), 2);
  const QStringList headers{u("序 "),
                            u("原工号    "),
                            u("新工号     "),
                            u("姓名         "),
                            u("部门                           "),
                            u("岗位                            "),
                            QString()};
  for (int c = 0; c < 7; ++c) {
    EXPECT_EQ(g->TextMatrix(0, c), headers[c]) << c;
    EXPECT_EQ(g->TextMatrix(1, c), QString()) << c;
  }
  EXPECT_EQ(g->FixedCols(), 1);
  for (int c = 1; c <= 5; ++c) EXPECT_TRUE(g->ColAlignment(c).testFlag(Qt::AlignLeft)) << c;

  EXPECT_TRUE(w->Text1->isHidden());
  EXPECT_EQ(w->Label2->text(), QString());
  EXPECT_EQ(w->Label2->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_EQ(w->Check1->text(), u("忽略多个岗位情况"));
  EXPECT_TRUE(w->Check1->isChecked());
  EXPECT_EQ(w->Check2->text(), u("新工号重复自动生成"));
  EXPECT_TRUE(w->Check2->isChecked());
  const QList<QPair<QPushButton*, const char*>> buttons{{w->Command1, "生成新工号"},
                                                        {w->Command2, "新工号核对"},
                                                        {w->Command4, "导出对照表"},
                                                        {w->Command3, "新工号上传"},
                                                        {w->Command5, "无岗位员工工号处理"}};
  for (const auto& [b, caption] : buttons) {
    EXPECT_EQ(b->text(), u(caption));
    EXPECT_EQ(b->isEnabled(), b == w->Command5) << caption;
  }

  // Before the first listing the empty row's new-number cell opens the editor.
  g->clickCell(1, 2);
  EXPECT_TRUE(w->Text1->isVisible());
  // Check1 before any rule is chosen lists nothing.
  h.clearStatements();
  w->Check1->setChecked(false);
  EXPECT_TRUE(h.statements().isEmpty());
  EXPECT_EQ(g->Rows(), 2);
  EXPECT_FALSE(w->Command1->isEnabled());
}

TEST_F(BatchWindow, ListingTextOrderAndWhoIsListed) {
  add(u("1001"), u("张三"), u("保安"), u("P01"));
  add(u("999"), u("李四"), u("保洁"), u("P02"));
  add(u("1000"), u("王五"), u("保安"), u("P02"));
  add(u("998"), u("赵六"), u("工程"), u("P01"));  // another rule
  add(u("12"), u("无岗"), u("保安"), QString());  // no position
  add(u("13"), u("撤岗"), u("保安"), u("P09"));  // position of a missing department
  add(u("14"), u("错岗"), u("保安"), u("P77"));  // missing position
  open();
  h.clearStatements();
  chooseRule(u("1 保安类"));
  EXPECT_EQ(h.statements(), QStringList{batch::listingSql(u("1"))});
  ASSERT_EQ(w->MSFlexGrid1->Rows(), 4);
  EXPECT_EQ(column(0), (QStringList{u("1"), u("2"), u("3")}));
  EXPECT_EQ(column(1), (QStringList{u("999"), u("1000"), u("1001")}));
  EXPECT_EQ(column(2), (QStringList{QString(), QString(), QString()}));
  EXPECT_EQ(column(3), (QStringList{u("李四"), u("王五"), u("张三")}));
  EXPECT_EQ(column(4), (QStringList{u("D02 工程部"), u("D02 工程部"), u("D01 综合部")}));
  EXPECT_EQ(column(5), (QStringList{u("P02 技工"), u("P02 技工"), u("P01 主管")}));
  EXPECT_EQ(column(6), (QStringList{QString(), QString(), QString()}));
  EXPECT_EQ(w->MSFlexGrid1->Row(), 3);
  EXPECT_TRUE(w->Command1->isEnabled());
  EXPECT_FALSE(w->Command2->isEnabled());
  expectUsable();

  chooseRule(u("2 工程类"));
  EXPECT_EQ(column(1), QStringList{u("998")});
}

TEST_F(BatchWindow, RepeatedNumbersNullsAndRelisting) {
  add(u("2001"), u("甲"), u("保安"), u("P01"));
  add(u("2001"), u("甲"), u("保安"), u("P02"));  // one employee number on two positions
  add(u("2002"), u("乙"), u("保安"), u("P01"));
  h.exec(u("INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES (NULL, '无号', '保安', 'P01')"));
  h.exec(u("INSERT INTO 员工档案 (工号, 姓名, 员工类别, 岗位编号) VALUES ('2003', NULL, '保安', 'P01')"));
  open();
  chooseRule(u("1 保安类"));
  EXPECT_EQ(column(1), (QStringList{QString(), u("2001"), u("2002"), u("2003")}));
  EXPECT_EQ(column(3), (QStringList{u("无号"), u("甲"), u("乙"), QString()}));

  w->Command1->click();
  EXPECT_TRUE(w->Command2->isEnabled());
  w->Check1->setChecked(false);  // lists again: proposals gone, buttons back
  EXPECT_EQ(column(1), (QStringList{QString(), u("2001"), u("2001"), u("2002"), u("2003")}));
  EXPECT_EQ(column(0), (QStringList{u("1"), u("2"), u("3"), u("4"), u("5")}));
  EXPECT_EQ(column(2), QStringList(5, QString()));
  EXPECT_FALSE(w->Command2->isEnabled());
  w->Check1->setChecked(true);
  EXPECT_EQ(column(1), (QStringList{QString(), u("2001"), u("2002"), u("2003")}));
}

TEST_F(BatchWindow, EditorTakesDigitsAndEnter) {
  addListed({u("101"), u("102")});
  open();
  FlexGrid* g = w->MSFlexGrid1;
  chooseRule(u("1 保安类"));
  w->Command1->click();
  g->clickCell(1, 2);
  ASSERT_TRUE(w->Text1->isVisible());
  EXPECT_EQ(w->Text1->text(), u("10101"));
  EXPECT_EQ(w->Text1->selectedText(), u("10101"));
  const QRect cell = g->cellRect(1, 2);
  EXPECT_EQ(w->Text1->geometry(), QRect(g->geometry().topLeft() + cell.topLeft(), cell.size()));
  QTest::keyClicks(w->Text1, u("7a-'x8"));
  EXPECT_EQ(w->Text1->text(), u("78"));
  QTest::keyClick(w->Text1, Qt::Key_Backspace);
  QTest::keyClick(w->Text1, Qt::Key_Return);
  EXPECT_TRUE(w->Text1->isHidden());
  EXPECT_EQ(g->TextMatrix(1, 2), u("7"));

  // A click elsewhere closes the editor without writing; so does a scroll.
  g->clickCell(2, 2);
  QTest::keyClicks(w->Text1, u("55"));
  g->clickCell(2, 1);
  EXPECT_TRUE(w->Text1->isHidden());
  EXPECT_EQ(g->TextMatrix(2, 2), u("10102"));
  g->clickCell(2, 2);
  emit g->Scroll();
  EXPECT_TRUE(w->Text1->isHidden());
  // Enter on an empty editor writes the empty text.
  g->clickCell(2, 2);
  QTest::keyClick(w->Text1, Qt::Key_Backspace);
  QTest::keyClick(w->Text1, Qt::Key_Enter);
  EXPECT_EQ(g->TextMatrix(2, 2), QString());
  // An empty list: clicks do nothing.
  chooseRule(u("2 工程类"));
  EXPECT_EQ(g->Rows(), 1);
  g->clickCell(0, 2);
  EXPECT_TRUE(w->Text1->isHidden());
}

TEST_F(BatchWindow, ProposalsUseThePrefixAndLastFourDigits) {
  add(u("5"), u("甲"), u("保安"), u("P01"));
  add(u("123"), u("乙"), u("保安"), u("P01"));
  add(u("23456"), u("丙"), u("保安"), u("P01"));
  add(u("903456"), u("丁"), u("保安"), u("P01"));
  open();
  chooseRule(u("1 保安类"));
  ASSERT_EQ(column(1), (QStringList{u("5"), u("123"), u("23456"), u("903456")}));
  h.clearStatements();
  w->Command1->click();
  EXPECT_EQ(column(2), (QStringList{u("10005"), u("10123"), u("13456"), u("13456")}));
  EXPECT_TRUE(h.statements().isEmpty());
  EXPECT_TRUE(w->Command2->isEnabled());
  EXPECT_FALSE(w->Command4->isEnabled());
}

// Seven listed employees whose proposals are edited into conflicts.
class BatchCheck : public BatchWindow {
 protected:
  void SetUp() override {
    BatchWindow::SetUp();
    addListed({u("101"), u("102"), u("103"), u("104"), u("105"), u("106"), u("107")});
    add(u("10200"), u("无岗位甲"), u("保安"), QString());
    add(u("10009"), u("无岗位乙"), u("工程"), QString());
    open();
    chooseRule(u("1 保安类"));
    w->Command1->click();
  }
  void setNew(int row, const QString& number) { w->MSFlexGrid1->setTextMatrix(row, 2, number); }
};

TEST_F(BatchCheck, ManualCheckReportsTheFirstProblem) {
  w->Check2->setChecked(false);
  setNew(3, u("10008"));
  setNew(7, u("10008"));
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u("新工号有重复 在第7 行 D01 综合部 P01 主管 员工7"));
  EXPECT_EQ(rowColours(), (QStringList{u("default"), u("default"), u("duplicate"), u("default"), u("default"),
                                       u("default"), u("duplicate")}));
  EXPECT_FALSE(w->Command4->isEnabled());
  EXPECT_EQ(column(2)[6], u("10008"));
  expectUsable();

  // A proposal equal to an unlisted employee's number.
  setNew(7, u("10200"));
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u("新工号数据库中已经存在，同无岗位甲重复"));
  EXPECT_EQ(rowColours(), (QStringList{u("default"), u("default"), u("default"), u("default"), u("default"),
                                       u("default"), u("taken")}));
  EXPECT_FALSE(w->Command4->isEnabled());

  // An unchanged number is its employee's own; an empty one fails.
  setNew(7, u("107"));
  setNew(2, QString());
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u("第2行新工号不能为空"));
  EXPECT_EQ(rowColours()[1], u("taken"));
  EXPECT_FALSE(w->Command4->isEnabled());

  setNew(2, u("10102"));
  h.clearStatements();
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), QString());
  EXPECT_EQ(rowColours(), QStringList(7, u("default")));
  EXPECT_TRUE(w->Command4->isEnabled());
  // Six changed numbers looked up, the unchanged one not.
  EXPECT_EQ(h.statements().size(), 6);
  EXPECT_FALSE(h.statements().contains(batch::registerLookupSql(u("107"))));
  EXPECT_TRUE(h.statements().contains(batch::registerLookupSql(u("10101"))));
}

TEST_F(BatchCheck, AutomaticCheckMovesTheLaterRowToTheNextFreeNumber) {
  // Rows 3 and 7 both 10008; 10009 is held in the register and 10010 by row 4.
  setNew(3, u("10008"));
  setNew(7, u("10008"));
  setNew(4, u("10010"));
  w->Command2->click();
  EXPECT_EQ(column(2),
            (QStringList{u("10101"), u("10102"), u("10008"), u("10010"), u("10105"), u("10106"), u("10011")}));
  EXPECT_EQ(rowColours(), (QStringList{u("default"), u("default"), u("default"), u("default"), u("default"),
                                       u("default"), u("duplicate")}));
  EXPECT_EQ(w->Label2->text(), QString());
  EXPECT_TRUE(w->Command4->isEnabled());
  expectUsable();

  // A leading zero goes, and candidates go past 32767.
  setNew(1, u("01005"));
  setNew(2, u("50123"));
  setNew(5, u("50123"));
  setNew(6, u("10200"));  // an unlisted employee's number
  h.exec(u("UPDATE 员工档案 SET 工号='01005' WHERE 工号='10009'"));
  w->Command2->click();
  EXPECT_EQ(column(2),
            (QStringList{u("1006"), u("50123"), u("10008"), u("10010"), u("50124"), u("10201"), u("10011")}));
  EXPECT_EQ(rowColours(), (QStringList{u("duplicate"), u("default"), u("default"), u("default"), u("duplicate"),
                                       u("duplicate"), u("default")}));
  EXPECT_EQ(w->Label2->text(), QString());

  // An empty number stops the automatic check too.
  w->Command4->setEnabled(false);
  setNew(4, QString());
  w->Command2->click();
  EXPECT_EQ(w->Label2->text(), u("第4行新工号不能为空"));
  EXPECT_EQ(rowColours()[3], u("taken"));
  EXPECT_FALSE(w->Command4->isEnabled());
  expectUsable();
}

TEST_F(BatchCheck, WindowProceduresAnswerOnTheGridAsItStands) {
  setNew(3, u("10008"));
  setNew(7, u("10008"));
  int d = 0;
  EXPECT_FALSE(w->本核(u("10008"), d, 3));
  EXPECT_EQ(d, 7);
  EXPECT_TRUE(w->本核(u("10101"), d, 1));
  EXPECT_FALSE(w->数核(u("10200")));
  EXPECT_EQ(w->Label2->text(), QString());  // ticked Check2: no message
  EXPECT_TRUE(w->数核(u("10201")));
  EXPECT_FALSE(w->自插核对(10009));  // held in the register
  EXPECT_FALSE(w->自插核对(10008));  // held by rows 3 and 7
  EXPECT_TRUE(w->自插核对(40000));
  EXPECT_EQ(w->自动插入(u("010007")), u("10010"));
  w->Check2->setChecked(false);
  EXPECT_FALSE(w->数核(u("10200")));
  EXPECT_EQ(w->Label2->text(), u("新工号数据库中已经存在，同无岗位甲重复"));
}

TEST_F(BatchCheck, DatabaseFailureDuringACheckLeavesTheWindowUsable) {
  h.exec(u("DROP TABLE 员工档案"));
  for (bool automatic : {true, false}) {
    w->Check2->setChecked(automatic);
    const int before = int(h.messages().size());
    w->Command2->click();
    ASSERT_EQ(h.messages().size(), before + 1);
    EXPECT_TRUE(h.messages().last().contains(u("员工档案"))) << h.messages().last().toStdString();
    EXPECT_EQ(column(2)[0], u("10101"));
    EXPECT_FALSE(w->Command4->isEnabled());
    expectUsable();
  }
  // A failing listing keeps the list on screen.
  w->Combo1->setCurrentIndex(1);
  EXPECT_EQ(column(1).size(), 7);
  expectUsable();
}

// Listed employees with a row in every reference table of the apply list.
class BatchApply : public BatchWindow {
 protected:
  const QStringList olds{u("1001"), u("1002"), u("1003")};
  QStringList news;
  void SetUp() override {
    BatchWindow::SetUp();
    addListed(olds);
    add(u("4004"), u("别人"), u("工程"), u("P01"));
    {
      db::Transaction tx(db::Database::shared());
      for (const QString& n : olds + QStringList{u("4004")}) referenceRows(h, host::kBatchApply, n);
      tx.commit();
    }
    open();
    chooseRule(u("1 保安类"));
    w->Command1->click();
    w->Command2->click();
    ASSERT_TRUE(w->Command4->isEnabled());
    news = column(2);
    ASSERT_EQ(news, (QStringList{u("11001"), u("11002"), u("11003")}));
    w->Command3->setEnabled(true);  // as after the export window
    h.clearStatements();
  }
};

TEST_F(BatchApply, EveryReferenceColumnRenamedForEveryRow) {
  w->Command3->click();
  const QStringList log = h.statements();
  EXPECT_EQ(h.messages(), QStringList{u("修改完成")});
  for (const host::RefColumn& ref : host::kBatchApply) {
    for (int i = 0; i < olds.size(); ++i) {
      EXPECT_EQ(holding(h, ref, olds[i]), 0) << ref.tableName().toStdString() << " " << i;
      EXPECT_EQ(holding(h, ref, news[i]), 1) << ref.tableName().toStdString() << " " << i;
    }
    EXPECT_EQ(holding(h, ref, u("4004")), 1) << ref.tableName().toStdString();
  }
  // The check first, then one batch per row.
  QStringList expected;
  for (int i = 0; i < olds.size(); ++i) expected << batch::registerLookupSql(news[i]);
  for (int i = 0; i < olds.size(); ++i) expected << batch::applyBatch(olds[i], news[i]);
  EXPECT_EQ(log, expected);
  EXPECT_EQ(column(1), olds);  // the grid is not refreshed
  expectUsable();
}

TEST_F(BatchApply, AFailingRowLeavesTheWholeDatabaseAsItWas) {
  testdb::rawExec(
      u("CREATE TRIGGER photo_locked BEFORE UPDATE ON 员工照片 WHEN NEW.工号='11003' "
        "BEGIN SELECT RAISE(ABORT, 'photo locked'); END"));
  const Snapshot before = snapshot();
  h.clearStatements();
  w->Command3->click();
  const int sent = int(updates().size());
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(h.messages()[0].contains(u("photo locked"))) << h.messages()[0].toStdString();
  EXPECT_TRUE(h.messages()[0].contains(u("1003"))) << h.messages()[0].toStdString();
  EXPECT_TRUE(h.messages()[0].contains(u("11003"))) << h.messages()[0].toStdString();
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(sent, 3);  // rows 1 and 2 were sent, and rolled back with row 3
  expectUsable();

  // A missing table: the first row fails, nothing changes.
  h.exec(u("DROP TABLE 票据领用记录"));
  const Snapshot before2 = snapshot();
  w->Command3->click();
  ASSERT_EQ(h.messages().size(), 2);
  EXPECT_TRUE(h.messages()[1].contains(u("票据领用记录"))) << h.messages()[1].toStdString();
  EXPECT_EQ(testdb::difference(before2, snapshot()), QString());
  expectUsable();
}

TEST_F(BatchApply, NumbersEditedAfterTheCheckAreCheckedAgain) {
  w->MSFlexGrid1->setTextMatrix(3, 2, u("11001"));
  w->Command3->click();
  EXPECT_TRUE(updates().isEmpty());
  EXPECT_TRUE(h.messages().isEmpty());
  EXPECT_EQ(w->Label2->text(), u("新工号有重复 在第3 行 D01 综合部 P01 主管 员工3"));
  EXPECT_EQ(rowColours(), (QStringList{u("duplicate"), u("default"), u("duplicate")}));
  // A proposal equal to another listed employee's current number.
  w->MSFlexGrid1->setTextMatrix(3, 2, u("1002"));
  w->Command3->click();
  EXPECT_TRUE(updates().isEmpty());
  EXPECT_EQ(w->Label2->text(), u("新工号数据库中已经存在，同员工2重复"));
  w->MSFlexGrid1->setTextMatrix(3, 2, QString());
  w->Command3->click();
  EXPECT_TRUE(updates().isEmpty());
  EXPECT_EQ(w->Label2->text(), u("第3行新工号不能为空"));
  EXPECT_EQ(h.value(u("SELECT COUNT(*) FROM 员工档案 WHERE 工号 IN ('1001','1002','1003')")), u("3"));
}

// Employee 12 has no position; employee 34 has one. Both have a row in every staged table.
class BatchStaging : public BatchWindow {
 protected:
  void SetUp() override {
    BatchWindow::SetUp();
    add(u("12"), u("无岗"), u("保安"), QString());
    add(u("34"), u("有岗"), u("保安"), u("P01"));
    db::Transaction tx(db::Database::shared());
    referenceRows(h, host::kStaging, u("12"));
    referenceRows(h, host::kStaging, u("34"));
    tx.commit();
    open();
    h.clearStatements();
  }
};

TEST_F(BatchStaging, AnsweredYesPutsNineInFrontEverywhere) {
  h.answer(true);
  w->Command5->click();
  const QStringList log = h.statements();
  ASSERT_EQ(h.messages(), QStringList{u("共有1名无岗位员工，工号前将加9，是否继续？")});
  for (const host::RefColumn& ref : host::kStaging) {
    EXPECT_EQ(holding(h, ref, u("12")), 0) << ref.tableName().toStdString();
    EXPECT_EQ(holding(h, ref, u("912")), 1) << ref.tableName().toStdString();
    EXPECT_EQ(holding(h, ref, u("34")), 1) << ref.tableName().toStdString();
    EXPECT_EQ(holding(h, ref, u("934")), 0) << ref.tableName().toStdString();
  }
  ASSERT_EQ(log.size(), 1 + 87);
  EXPECT_EQ(log[0], batch::noPositionCountSql());
  const QString s = u("Select 工号 From 员工档案 Where 岗位编号 Is Null");
  EXPECT_EQ(log[1], u(" Update XZ文件流转情况 set 查阅人='9' +查阅人 Where 查阅人 In(") + s + u("); "));
  EXPECT_EQ(log[6], u(" Update 员工档案temp set 工号='9' +工号 Where 工号 In(") + s + u(") AND 类型='档案信息修改'; "));
  EXPECT_EQ(log[86], u(" Update WYZJ set 收款人ID='9' + 收款人ID Where 收款人ID In(") + s + u(");"));
  EXPECT_EQ(log[87], u(" Update 员工档案 Set 工号='9'+工号 Where 工号 In(") + s + u(")"));
  EXPECT_EQ(db::Database::splitBatches(batch::stagingScript()), log.mid(1));
  expectUsable();
}

TEST_F(BatchStaging, AskedFirstAndNothingToDo) {
  h.answer(false);
  w->Command5->click();
  EXPECT_EQ(h.messages().size(), 1);
  EXPECT_TRUE(updates().isEmpty());
  EXPECT_EQ(h.value(u("SELECT 工号 FROM 员工档案 WHERE 姓名='无岗'")), u("12"));

  h.exec(u("UPDATE 员工档案 SET 岗位编号='P02' WHERE 岗位编号 IS NULL"));
  h.clearStatements();
  w->Command5->click();
  EXPECT_EQ(h.messages().last(), u("没有无岗位员工"));
  EXPECT_EQ(h.messages().size(), 2);
  EXPECT_TRUE(updates().isEmpty());
}

TEST_F(BatchStaging, AFailingBatchRollsEverythingBack) {
  testdb::rawExec(
      u("CREATE TRIGGER attendance_locked BEFORE UPDATE ON 出勤 BEGIN SELECT RAISE(ABORT, 'attendance locked'); END"));
  const Snapshot before = snapshot();
  h.clearStatements();
  w->Command5->click();
  const int sent = int(updates().size());
  ASSERT_EQ(h.messages().size(), 2);
  EXPECT_TRUE(h.messages()[1].contains(u("attendance locked"))) << h.messages()[1].toStdString();
  EXPECT_EQ(testdb::difference(before, snapshot()), QString());
  EXPECT_EQ(sent, 55);  // statement 55 failed; none after it was sent
  expectUsable();
}

}  // namespace
