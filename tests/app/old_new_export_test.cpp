// "导出对照表" of the batch window: the export window filled from the chosen rule, shown modally.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "calc/calc_engine.h"
#include "gui/export/export_window.h"
#include "gui/batch/batch_window.h"
#include "app/old_new_export.h"
#include "app/wiring.h"
#include "tests/support/temporary_home.h"
#include "tests/support/xls_reader.h"
#include "tests/support/harness.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/test_data.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"

namespace {

// Every batch window made in these tests gets its old/new export, as at start-up.
const bool kWired = (wireFeatures(), true);

TEST(OldNewExportFields, ComeFromTheRuleEntryTheProgramFolderAndTheDate) {
  const OldNewExportFields f = oldNewExportFields("1 工程", "/opt/renumber", QDate(2024, 3, 7));
  EXPECT_EQ(f.path, QDir::toNativeSeparators("/opt/renumber/工程类员工新旧工号对照表.XLS"));
  EXPECT_EQ(f.title1, "工程类员工新旧工号对照表");
  EXPECT_EQ(f.title2, "2024-03-07");
  EXPECT_EQ(f.sheet, "工程");
  // A two-character code leaves its blank at the start of the name.
  const OldNewExportFields g = oldNewExportFields("12 管理", "/opt/renumber", QDate(2025, 12, 31));
  EXPECT_EQ(g.sheet, " 管理");
  EXPECT_EQ(g.title1, " 管理类员工新旧工号对照表");
  EXPECT_EQ(g.title2, "2025-12-31");
}

struct Boxes {
  QString path, title1, title2, sheet;
  QList<QStringList> table;
};

class OldNewExport : public ::testing::Test {
 protected:
  Harness h;
  frm员工工号统一修改* w = nullptr;
  QStringList shown;

  void SetUp() override {
    frm输出到Excel文件::openWorkbook = [this](const QString& path) {
      shown.append(path);
      return true;
    };
    testdata::department("D01", "工程部");
    testdata::position("P01", "电工", "D01");
    testdata::employeeCategory("01", "工程类", "1");
    testdata::rule("1", "工程", 0, "0000");
    for (const QString n : {"0012", "0013", "0107"})
      testdata::employee({.number = n, .name = "员工" + n, .category = "工程类", .position = "P01"});
    w = &h.open<frm员工工号统一修改>();
    // Command4 is wired by the start-up (wireFeatures above).
    const int index = w->Combo1->findText("1 工程");
    ASSERT_GE(index, 0);
    w->Combo1->setCurrentIndex(index);
    ASSERT_EQ(w->MSFlexGrid1->Rows(), 4);
    w->Command1->click();  // propose
    w->Command2->click();  // check: passes, "导出对照表" becomes available
    ASSERT_TRUE(w->Command4->isEnabled()) << w->Label2->text().toStdString();
    ASSERT_FALSE(w->Command3->isEnabled());
  }
  void TearDown() override { frm输出到Excel文件::openWorkbook = nullptr; }

  // Queues a modal show that records the export window's boxes and then runs then.
  void onExportWindow(Boxes& seen, std::function<void(frm输出到Excel文件&)> then) {
    h.onModal([&seen, then](QWidget* window) {
      auto* x = dynamic_cast<frm输出到Excel文件*>(window);
      ASSERT_NE(x, nullptr);
      seen = {x->Text1[0]->text(), x->Text1[1]->text(), x->Text1[3]->text(), x->Text1[2]->text(), x->SourceTable};
      then(*x);
    });
  }
};

TEST_F(OldNewExport, FillsTheExportWindowAndEnablesApplyAfterACancel) {
  const TemporaryHome home;  // the workbook goes to the user's documents folder
  Boxes seen;
  onExportWindow(seen, [](frm输出到Excel文件& x) {
    x.Text1[2]->setText("edited");
    x.Command3->click();  // 取消
  });
  const QDate before = QDate::currentDate();
  w->Command4->click();
  const QDate after = QDate::currentDate();

  EXPECT_EQ(h.dialogs().modalShows, 1);
  EXPECT_EQ(seen.path, QDir::toNativeSeparators(home.documents() + "/工程类员工新旧工号对照表.XLS"));
  EXPECT_EQ(seen.title1, "工程类员工新旧工号对照表");
  EXPECT_EQ(seen.sheet, "工程");
  EXPECT_TRUE(seen.title2 == before.toString("yyyy-MM-dd") || seen.title2 == after.toString("yyyy-MM-dd"))
      << seen.title2.toStdString();
  EXPECT_EQ(seen.table, w->MSFlexGrid1->table());
  EXPECT_TRUE(w->Command3->isEnabled());
  EXPECT_EQ(w->Label2->text(), "核对通过，共3名员工，请导出对照表后上传") << "not exported: still asked";
  EXPECT_FALSE(QFile::exists(seen.path)) << "a cancel writes nothing";
  EXPECT_TRUE(h.messages().isEmpty());

  // Each press fills the boxes anew.
  Boxes again;
  onExportWindow(again, [](frm输出到Excel文件& x) { x.Command3->click(); });
  w->Command4->click();
  EXPECT_EQ(h.dialogs().modalShows, 2);
  EXPECT_EQ(again.sheet, "工程");
}

TEST_F(OldNewExport, WritesTheWorkListAsItStandsWithEditedNumbers) {
  if (!calc::installedEngine()) GTEST_SKIP() << "this build has no spreadsheet engine";
  w->MSFlexGrid1->setTextMatrix(2, 2, "19999");  // edited after the check
  const QString path = h.dir() + "/工程类员工新旧工号对照表.XLS";
  Boxes seen;
  bool closed = false;
  QStringList columns;  // the export window's column headers
  onExportWindow(seen, [&](frm输出到Excel文件& x) {
    for (int c = 0; c < x.Grid1->Cols(); ++c) columns << x.Grid1->TextMatrix(0, c);
    x.Text1[0]->setText(path);
    QPointer<frm输出到Excel文件> guard(&x);
    x.Command2->click();  // 输出
    closed = !guard || !guard->isVisible();
  });
  w->Command4->click();
  EXPECT_TRUE(closed);
  EXPECT_TRUE(h.messages().isEmpty());
  EXPECT_THAT(shown, ::testing::ElementsAre(path));
  EXPECT_TRUE(w->Command3->isEnabled());
  EXPECT_EQ(w->Label2->text(), "") << "exported: no longer asked";

  const xls::Book book = xls::read(path);
  ASSERT_EQ(book.error, "");
  const xls::Sheet* s = book.sheet("工程");
  ASSERT_NE(s, nullptr);
  const FlexGrid* g = w->MSFlexGrid1;
  ASSERT_EQ(g->Cols(), 7);  // the last column has no header and no text: it is not written
  EXPECT_EQ(columns, (QStringList{"序", "原工号", "新工号", "姓名", "部门", "岗位"}));
  ASSERT_EQ(s->rows, g->Rows() + 2);
  ASSERT_EQ(s->cols, 6);
  EXPECT_EQ(s->at(1, 1).value, "工程类员工新旧工号对照表");
  // The header row without the blanks that set the widths on screen.
  for (int j = 0; j < 6; ++j) EXPECT_EQ(s->at(3, j + 1).value, g->TextMatrix(0, j).trimmed()) << j;
  EXPECT_EQ(s->at(3, 2).value, "原工号");
  for (int i = 1; i < g->Rows(); ++i)
    for (int j = 0; j < 6; ++j) EXPECT_EQ(s->at(i + 3, j + 1).value, g->TextMatrix(i, j)) << i << "," << j;
  EXPECT_EQ(s->at(5, 3).value, "19999");
  EXPECT_EQ(s->at(4, 2).value, "0012");
}

}  // namespace
