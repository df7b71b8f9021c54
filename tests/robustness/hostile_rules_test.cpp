// Hostile input typed or pasted into the boxes of the rule settings window: the rule name, the
// category code, the serial pattern and the cell editor of the specific rows.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "db/database.h"
#include "core/rules/rules_sql.h"
#include "core/rules/rules_ops.h"
#include "gui/rules/rules_window.h"
#include "tests/robustness/robust_support.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/keyed_tree.h"
#include "gui/widgets/text_filters.h"

using namespace robust;

namespace {

const QString kRules = u("员工工号编码规则名称");
const QString kRows = u("员工工号编码规则");

// The literal of one column of a snapshot row ("" when the row has no such column).
QString field(const QStringList& row, const QString& column) {
  for (const QString& f : row)
    if (f.startsWith(column + u("="))) return f.mid(column.size() + 1);
  return QString();
}

// A new rule: name, category code and serial pattern typed or pasted; only digits stay in the
// code box and only zeros in the pattern box, each box holds at most what its column holds (the
// pattern at most 9 zeros), and what is saved is exactly what the boxes show.
TEST(HostileInput, RuleWindowNewRuleBoxes) {
  forCorpusEntries(u("new rule boxes"), [](const Hostile& hostile, Entry how, Problems& p) {
    const QString& v = hostile.text;
    Harness h;
    organisation(h);
    auto& w = h.open<frm工号规则设置>();
    w.Command10->click();
    enter(w.Text2, v, how);
    enter(w.Text3, v, how);
    enter(w.Text1, v, how);
    const QString name = v.left(rules::kTextLength);
    const QString code = widgets::keepOnly(v.left(rules::kTextLength), widgets::kDigits);
    const QString pattern = widgets::keepOnly(v.left(rules::kPatternLength), u("0"));
    p.same(name, w.Text2->text(), u("name box"));
    p.same(code, w.Text3->text(), u("code box keeps the digits"));
    p.same(pattern, w.Text1->text(), u("pattern box keeps the zeros"));
    const Snapshot before = snapshot();
    h.clearStatements();
    w.Command12->click();
    const Snapshot after = snapshot();
    const QStringList messages = h.messages();
    if (pattern.isEmpty()) {
      p.same(u("请输入流水号位数  提示用0的数量表示"), messages.join(u(" / ")), u("messages"));
      p.same(QString(), difference(before, after), u("database"));
    } else if (code == u("1") || code == u("18")) {
      p.same(u("类别代码") + code + u("已被其他编码类别使用，请输入另一个类别代码"), messages.join(u(" / ")),
             u("messages"));
      p.same(QString(), difference(before, after), u("database"));
    } else {
      p.same(QString(), messages.join(u(" / ")), u("messages"));
      p.same(QString(), differenceBesides(before, after, {kRules, kRows, u("sqlite_sequence")}), u("other tables"));
      QString problem;
      const QList<QStringList> rule = addedRows(before, after, kRules, &problem);
      p.same(QString(), problem, u("rules"));
      const QList<QStringList> row = addedRows(before, after, kRows, &problem);
      p.same(QString(), problem, u("rule rows"));
      const QString codeLiteral = code.isEmpty() ? u("NULL") : literal(code);
      if (rule.size() == 1) {
        p.same(literal(name), field(rule[0], u("编码类别名称")), u("stored name"));
        p.same(codeLiteral, field(rule[0], u("类别码")), u("stored code"));
        p.same(u("0"), field(rule[0], u("编码规则")), u("stored layout"));
        p.same(literal(pattern), field(rule[0], u("流水号位数")), u("stored pattern"));
      } else {
        p.expect(false, u("%1 rules added").arg(rule.size()));
      }
      // Layout 0 has its default row, holding only the code ("0" for a rule without one).
      p.expect(row.size() == 1 && field(row.value(0), u("类别代码")) == literal(rules::actingCode(code)),
               u("default row: ") + (row.isEmpty() ? QString() : row[0].join(u(" | "))));
      p.same(code + u(" ") + name, w.TreeView3->selectedText(), u("rule node"));
    }
  });
}

// A shown rule: its name and code boxes are locked, keys change neither; the pattern box keeps
// only zeros, and saving stores only the layout and the pattern.
TEST(HostileInput, RuleWindowShownRuleBoxes) {
  forCorpusEntries(u("shown rule boxes"), [](const Hostile& hostile, Entry how, Problems& p) {
    const QString& v = hostile.text;
    Harness h;
    organisation(h);
    auto& w = h.open<frm工号规则设置>();
    w.TreeView3->clickNode(u("LB18"));
    const QString id = h.value(u("SELECT ID FROM 员工工号编码规则名称 WHERE 类别码='18'"));
    typeText(w.Text2, v);
    typeText(w.Text3, v);
    p.same(u("管理编号"), w.Text2->text(), u("locked name box"));
    p.same(u("18"), w.Text3->text(), u("locked code box"));
    enter(w.Text1, u("00") + v, how);
    const QString pattern = widgets::keepOnly((u("00") + v).left(rules::kPatternLength), u("0"));
    p.same(pattern, w.Text1->text(), u("pattern box"));
    const Snapshot before = snapshot();
    w.Command12->click();
    p.same(QString(), h.messages().join(u(" / ")), u("messages"));
    const Snapshot expected =
        renamedColumn(before, kRules, u("流水号位数"), u("'000'"), literal(pattern), u("ID=") + id);
    p.same(QString(), difference(expected, snapshot()), u("database"));
  });
}

// The cell editor of the specific rows takes only digits, typed or pasted; a row whose codes come
// to nothing is refused with the layout's message.
TEST(HostileInput, RuleWindowCellEditor) {
  forCorpusEntries(u("cell editor"), [](const Hostile& hostile, Entry how, Problems& p) {
    const QString& v = hostile.text;
    Harness h;
    organisation(h);
    testdata::rule("7", "合同工", 4);
    auto& w = h.open<frm工号规则设置>();
    w.TreeView3->clickNode(u("LB7"));
    w.Command2->click();  // a new row, department column
    const int row = w.MSFlexGrid1->Rows() - 1;
    w.Command1->click();
    w.TreeView2->clickNode(u("$D01"));
    w.Command5->click();
    w.MSFlexGrid1->clickCell(row, 2);
    enter(w.Text4, v, how);
    const QString digits = widgets::keepOnly(v.left(rules::kTextLength), widgets::kDigits);
    p.same(digits, w.Text4->text(), u("department code editor"));
    QTest::keyClick(w.Text4, Qt::Key_Return);  // on to the position category
    w.Command6->click();
    w.List1->setCurrentRow(0);
    w.MSFlexGrid1->clickCell(row, 4);
    enter(w.Text4, v, how);
    p.same(digits, w.Text4->text(), u("position code editor"));
    const Snapshot before = snapshot();
    QTest::keyClick(w.Text4, Qt::Key_Return);  // saves the row
    const Snapshot after = snapshot();
    if (digits.isEmpty()) {
      p.same(u("请设置部门代码及岗位代码"), h.messages().join(u(" / ")), u("messages"));
      p.same(QString(), difference(before, after), u("database"));
    } else {
      p.same(QString(), h.messages().join(u(" / ")), u("messages"));
      p.same(QString(), differenceBesides(before, after, {kRows, u("sqlite_sequence")}), u("other tables"));
      QString problem;
      const QList<QStringList> added = addedRows(before, after, kRows, &problem);
      p.same(QString(), problem, u("rule rows"));
      const QStringList r = added.value(0);
      p.expect(added.size() == 1, u("%1 rows added").arg(added.size()));
      p.same(u("'7' 'D01' ") + literal(digits) + u(" '01' ") + literal(digits),
             QStringList({field(r, u("类别代码")), field(r, u("部门编号")), field(r, u("部门代码")),
                          field(r, u("岗位类别")), field(r, u("岗位代码"))})
                 .join(u(" ")),
             u("stored row"));
    }
  });
}

}  // namespace
