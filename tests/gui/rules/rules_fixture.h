#pragma once
// Shared setup of the rule window tests: a small organisation of our own (or the demo data)
// and the window's shared instance on it. Rules and their rows come from testdata.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "tests/support/qt_print.h"
#include "core/rules/rules_sql.h"
#include "core/rules/rules_ops.h"
#include "gui/rules/rules_window.h"
#include "tests/support/harness.h"
#include "tests/support/scripted_dialogs.h"
#include "tests/support/test_data.h"
#include "gui/widgets/app_info.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/keyed_tree.h"

using Window = frm工号规则设置;

class RulesWindowTest : public ::testing::Test {
 protected:
  Harness h;

  // Departments 01 总部 > 0101 办公室, 02 分部; position categories 01, 02; three free categories.
  void seedSmall() {
    testdata::department("01", "总部");
    testdata::department("0101", "办公室", "01");
    testdata::department("02", "分部");
    testdata::positionCategory("01", "管理岗");
    testdata::positionCategory("02", "技术岗");
    testdata::employeeCategory("01", "正式工");
    testdata::employeeCategory("02", "合同工");
    testdata::employeeCategory("03", "临时工");
  }

  // The window's shared instance; the statement log then holds only what the window sent.
  Window& open() {
    h.clearStatements();
    return h.open<Window>();
  }

  // Opens the window and shows the rule with this code; the statement log starts afterwards.
  Window& openRule(const QString& code) {
    Window& w = open();
    w.TreeView3->clickNode("LB" + code);
    h.clearStatements();
    return w;
  }

  // The texts of one grid column, data rows only.
  static QStringList gridColumn(const Window& w, int col) {
    QStringList texts;
    for (int r = 1; r < w.MSFlexGrid1->Rows(); ++r) texts << w.MSFlexGrid1->TextMatrix(r, col);
    return texts;
  }

  // Types into the cell editor and presses Enter.
  static void typeIntoCell(Window& w, int row, int col, const QString& text) {
    w.MSFlexGrid1->clickCell(row, col);
    w.Text4->clear();
    QTest::keyClicks(w.Text4, text);
    QTest::keyClick(w.Text4, Qt::Key_Return);
  }

  QString count(const QString& where) { return h.value("SELECT COUNT(*) From " + where); }
};
