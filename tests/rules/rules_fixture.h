#pragma once
// Shared setup of the rule window tests: a small organisation of our own (or the demo data)
// and the window's shared instance on it.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "tests/support/qt_print.h"
#include "ops/rule_codes.h"
#include "ops/rule_store.h"
#include "rules/rules_window.h"
#include "tests/support/harness.h"
#include "tests/support/scripted_dialogs.h"
#include "widgets/app_info.h"
#include "widgets/dialogs.h"
#include "widgets/flex_grid.h"
#include "widgets/keyed_tree.h"

using Window = frm工号规则设置;

class RulesWindowTest : public ::testing::Test {
 protected:
  Harness h;

  // Departments 01 总部 > 0101 办公室, 02 分部; position categories 01, 02; three free categories.
  void seedSmall() {
    h.exec("INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('01', '总部')");
    h.exec("INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('0101', '办公室')");
    h.exec("INSERT INTO 职能部门new (职能部门编号, 职能部门名称) VALUES ('02', '分部')");
    h.exec("INSERT INTO 上级部门new (职能部门编号, 上级部门编号, 起始日期) VALUES ('0101', '01', '2020-01-01')");
    h.exec("INSERT INTO 岗位类别 (岗位类别编号, 岗位类别名称) VALUES ('01', '管理岗')");
    h.exec("INSERT INTO 岗位类别 (岗位类别编号, 岗位类别名称) VALUES ('02', '技术岗')");
    h.exec("INSERT INTO 员工类别 (类别编号, 类别名称) VALUES ('01', '正式工')");
    h.exec("INSERT INTO 员工类别 (类别编号, 类别名称) VALUES ('02', '合同工')");
    h.exec("INSERT INTO 员工类别 (类别编号, 类别名称) VALUES ('03', '临时工')");
  }

  // A stored rule; returns its ID.
  QString addRule(const QString& code, const QString& name, int layout, const QString& pattern = "000") {
    h.exec("INSERT INTO 员工工号编码规则名称 (类别码, 编码类别名称, 编码规则, 流水号位数) VALUES ('" + code + "', '" +
           name + "', " + QString::number(layout) + ", '" + pattern + "')");
    return h.value("SELECT ID From 员工工号编码规则名称 Where 类别码='" + code + "'");
  }

  // A specific row of a rule; empty values are Null.
  void addRow(const QString& code, const QString& dept, const QString& deptCode, const QString& pos,
              const QString& posCode) {
    auto v = [](const QString& s) { return s.isEmpty() ? QStringLiteral("Null") : "'" + s + "'"; };
    h.exec("INSERT INTO 员工工号编码规则 (类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码) VALUES (" + v(code) + ", " +
           v(dept) + ", " + v(deptCode) + ", " + v(pos) + ", " + v(posCode) + ")");
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
