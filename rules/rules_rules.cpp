// The rule settings window: the rule list, new/save/delete of a rule, the layout (rule code)
// with its questions, the sample number, and attaching and releasing categories.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

#include "ops/connection.h"
#include "ops/rule_codes.h"
#include "ops/rule_store.h"
#include "rules/rules_window.h"
#include "widgets/dialogs.h"
#include "widgets/flex_grid.h"
#include "widgets/keyed_tree.h"

namespace {

// A locked box takes no typing and looks it: the background of the frame around it. It shows a
// stored value whole; an unlocked one takes at most what the column holds.
void lockBox(QLineEdit* box, bool locked) {
  box->setReadOnly(locked);
  constexpr int kWhole = 32767;  // QLineEdit's own limit
  box->setMaxLength(locked ? kWhole : rules::kTextLength);
  QPalette palette = box->palette();
  const QPalette around = box->parentWidget()->palette();
  palette.setColor(QPalette::Base, around.color(locked ? QPalette::Window : QPalette::Base));
  box->setPalette(palette);
}

// The message for a new rule whose code is held already.
QString codeTakenMessage(const rules::CodeHolder& holder) {
  return holder.noCode
             ? QStringLiteral("已经有一个类别代码为空的编码类别，请输入类别代码")
             : QStringLiteral("类别代码") + holder.code + QStringLiteral("已被其他编码类别使用，请输入另一个类别代码");
}

}  // namespace

const frm工号规则设置::RuleEntry* frm工号规则设置::shownRule() const {
  auto it = ruleEntries.constFind(shownKey_);
  return shownKey_.isNull() || it == ruleEntries.constEnd() ? nullptr : &it.value();
}

frm工号规则设置::RuleEntry* frm工号规则设置::shownRule() {
  auto it = ruleEntries.find(shownKey_);
  return shownKey_.isNull() || it == ruleEntries.end() ? nullptr : &it.value();
}

rules::RuleRef frm工号规则设置::shownRef() const {
  const RuleEntry* entry = shownRule();
  // The node key holds the stored code: "LB" alone for a rule without one.
  return {entry ? entry->ID : 0, shownKey_.mid(kKeyPrefix.size())};
}

void frm工号规则设置::lockRuleBoxes(bool locked) {
  lockBox(Text2, locked);
  lockBox(Text3, locked);
}

int frm工号规则设置::selectedLayout() const {
  for (int code = 0; code < rules::kRuleCodes; ++code) {
    if (Option1[code]->isChecked()) return code;
  }
  return 0;
}

void frm工号规则设置::hidePopups() {
  Picture1->hide();
  Picture2->hide();
  hideCellControls();
}

void frm工号规则设置::loadRules() {
  ruleEntries.clear();
  TreeView3->clearNodes();
  std::vector<rules::RuleListEntry> list;
  if (!ui::guarded(this, [&] { list = rules::listRules(ops::sharedConnection()); })) return;
  for (const rules::RuleListEntry& rule : list) {
    const QString key = kKeyPrefix + rule.categoryCode;
    // A second rule with the same code can't be listed (node keys are unique): the first stays.
    if (!TreeView3->addNode(QString(), key, rule.categoryCode + QLatin1Char(' ') + rule.name, 3)) continue;
    RuleEntry entry;
    entry.ID = static_cast<qint32>(rule.id);
    entry.编码类别名称 = rule.name;
    entry.类别码 = rule.codeIsNull ? QString::fromLatin1(rules::kNoCode) : rule.categoryCode;
    entry.流水号位数 = rule.patternIsNull ? QStringLiteral("0000") : rule.pattern;
    entry.编码规则 = rule.ruleCodeIsNull ? QStringLiteral("0") : QString::number(rule.ruleCode);
    ruleEntries.insert(key, entry);
  }
}

void frm工号规则设置::ruleNodeClick(const QString& key) {
  auto it = ruleEntries.constFind(key);
  if (it == ruleEntries.constEnd()) return;
  const RuleEntry entry = it.value();
  hidePopups();
  suppressLayoutPrompt = true;
  Command12->setEnabled(true);
  shownKey_ = key;
  lockRuleBoxes(true);
  // A stored pattern longer than a new one may be is shown (and saved again) whole.
  Text1->setMaxLength(std::max(rules::kPatternLength, static_cast<int>(entry.流水号位数.size())));
  Text1->setText(entry.流水号位数);
  Text2->setText(entry.编码类别名称);
  Text3->setText(entry.类别码);

  bool validCode = false;
  int code = entry.编码规则.toInt(&validCode);
  if (!validCode || code < 0 || code >= rules::kRuleCodes) code = -1;
  rules::RuleView view;
  ui::guarded(this, [&] { view = rules::showRule(ops::sharedConnection(), shownRef(), code); });
  sharesCode_ = view.sharesCode;
  fillCategoryNodes(TreeView4, view.categories);
  if (code >= 0) {
    Option1[code]->setChecked(true);  // no question: suppressLayoutPrompt is set
    showRows(view.rows, code);
  } else {
    // A code outside 0 to 6: no layout button fits, nothing is listed.
    for (QRadioButton* option : Option1) option->setAutoExclusive(false);
    for (QRadioButton* option : Option1) option->setChecked(false);
    for (QRadioButton* option : Option1) option->setAutoExclusive(true);
    emptyGrid();
  }
  suppressLayoutPrompt = false;
  Frame1->setEnabled(true);
  // A rule sharing its code with rule "0" owns no categories or rows: nothing may be added to it.
  Command13->setEnabled(!sharesCode_);
  Command14->setEnabled(false);
  Command11->setEnabled(true);
}

void frm工号规则设置::newRule() {
  Text2->clear();
  Text3->clear();
  lockRuleBoxes(false);
  Text1->setMaxLength(rules::kPatternLength);
  Text2->setFocus();
  Command11->setEnabled(false);
  Command12->setEnabled(true);
  emptyGrid();
  Frame1->setEnabled(false);
  hidePopups();
  TreeView4->clearNodes();
  Command13->setEnabled(false);
  Command14->setEnabled(false);
  shownKey_.clear();
  sharesCode_ = false;
}

void frm工号规则设置::saveRule() {
  if (Text1->text().isEmpty()) {
    ui::msg(this, QStringLiteral("请输入流水号位数  提示用0的数量表示"));
    return;
  }
  if (!rules::isSerialPattern(Text1->text())) {
    ui::msg(this, QStringLiteral("流水号位数只能由0组成  提示用0的数量表示"));
    return;
  }
  if (Text2->text().isEmpty()) {
    ui::msg(this, QStringLiteral("请输入名称"));
    return;
  }
  const int layout = selectedLayout();

  if (Command11->isEnabled()) {  // edit mode: only the layout and the serial pattern change
    RuleEntry* entry = shownRule();
    if (!entry) return;
    if (!ui::guarded(this, [&] { rules::updateRule(ops::sharedConnection(), entry->ID, layout, Text1->text()); })) {
      return;
    }
    entry->流水号位数 = Text1->text();
    entry->编码规则 = QString::number(layout);
    return;
  }

  const rules::NewRule rule{Text2->text(), Text3->text(), layout, Text1->text()};
  rules::AddedRule added;
  if (!ui::guarded(this, [&] { added = rules::addRule(ops::sharedConnection(), rule); })) return;
  if (added.holder.exists) {
    // Two rules with one code would share their rows and categories.
    ui::msg(this, codeTakenMessage(added.holder));
    return;
  }
  const QString key = kKeyPrefix + rule.code;
  TreeView3->addNode(QString(), key, rule.code + QLatin1Char(' ') + rule.name, 3);
  RuleEntry entry;
  entry.ID = static_cast<qint32>(added.id);
  entry.编码类别名称 = rule.name;
  entry.类别码 = rules::actingCode(rule.code);
  entry.流水号位数 = rule.pattern;
  entry.编码规则 = QString::number(layout);
  ruleEntries.insert(key, entry);
  TreeView3->selectNode(key);
  shownKey_ = key;
  sharesCode_ = false;
  // The rule is now shown in edit mode: its name and code are not changed any more.
  lockRuleBoxes(true);
  Text3->setText(entry.类别码);
  Frame1->setEnabled(true);
  Command13->setEnabled(true);
  Command11->setEnabled(true);
}

void frm工号规则设置::deleteRule() {
  if (!shownRule()) return;
  if (!ui::ask(this, QStringLiteral("是否要删除") + Text2->text() + QStringLiteral("?"))) return;
  rules::Deleted deleted = rules::Deleted::Whole;
  if (!ui::guarded(this, [&] { deleted = rules::deleteRule(ops::sharedConnection(), shownRef()); })) return;
  if (deleted == rules::Deleted::RuleOnly) {
    ui::msg(this, QStringLiteral("该编码类别没有类别代码，只删除了规则本身，类别代码为0的规则及其明细未受影响"));
  }
  Text2->clear();
  Text3->clear();
  lockRuleBoxes(false);
  TreeView3->removeNode(shownKey_);
  ruleEntries.remove(shownKey_);
  shownKey_.clear();
  sharesCode_ = false;
  emptyGrid();
  Command11->setEnabled(false);
  Command12->setEnabled(false);
  hidePopups();
  Frame1->setEnabled(false);
  TreeView4->clearNodes();
  Command13->setEnabled(false);
  Command14->setEnabled(false);
  员工类别列表();
}

void frm工号规则设置::layoutClick(int code) {
  // Selected by the window itself (showing a rule, undoing a refused change): its display stands.
  if (suppressLayoutPrompt) return;
  RuleEntry* entry = shownRule();
  if (!entry) return;
  const QString caption = rules::codeCaption(code);
  if (!ui::ask(this, QStringLiteral("确定要改成") + caption + QStringLiteral("?"))) {
    undoLayoutChoice();
    return;
  }
  const bool hasRows = MSFlexGrid1->Rows() > 1;
  if (hasRows &&
      !ui::ask(this, QStringLiteral("您已经设置了具体的编码规则，是否确认要改成") + caption + QStringLiteral("?") +
                         QStringLiteral("\n") + QStringLiteral("【提醒】如果选择[是]系统将自动删除已设置的具体规则"))) {
    undoLayoutChoice();
    return;
  }
  if (!ui::guarded(this, [&] { rules::changeRuleCode(ops::sharedConnection(), shownRef(), code, hasRows); })) {
    undoLayoutChoice();
    return;
  }
  entry->编码规则 = QString::number(code);
  refreshLayout(code);
}

void frm工号规则设置::undoLayoutChoice() {
  const RuleEntry* entry = shownRule();
  const int stored = entry ? entry->编码规则.toInt() : 0;
  suppressLayoutPrompt = true;
  if (stored >= 0 && stored < rules::kRuleCodes) Option1[stored]->setChecked(true);
  suppressLayoutPrompt = false;
}

void frm工号规则设置::showSample(int code) {
  const rules::SampleBoxes boxes = rules::sampleBoxes(code);
  Label1[6]->setText(boxes.department);
  Label1[7]->setText(boxes.category);
  Label1[8]->setText(boxes.position);
  Label1[11]->setEnabled(rules::hasDepartment(code));
  Label1[12]->setEnabled(rules::hasCategory(code));
  Label1[13]->setEnabled(rules::hasPosition(code));
  Label1[9]->setText(rules::sampleSerial(Text1->text()));
  Label1[10]->setText(rules::sampleNumber(code, Text1->text()));
}

void frm工号规则设置::refreshLayout(int code) {
  std::vector<rules::RuleRow> rows;
  ui::guarded(this, [&] { rows = rules::layoutRows(ops::sharedConnection(), shownRef(), code); });
  showRows(rows, code);
}

void frm工号规则设置::showRows(const std::vector<rules::RuleRow>& rows, int code) {
  showSample(code);
  emptyGrid();
  Command1->hide();
  Command6->hide();
  Command3->setEnabled(false);
  Command4->setEnabled(false);
  if (code < 2) {
    Command2->setEnabled(false);
    return;
  }
  fillGrid(rows);
  Command2->setEnabled(!sharesCode_);
  Command1->setEnabled(rules::hasDepartment(code));
  Command6->setEnabled(rules::hasPosition(code));
}

void frm工号规则设置::attachCategory() {
  const QString key = TreeView1->selectedKey();
  if (key.isEmpty() || !shownRule()) return;
  const QString text = TreeView1->selectedText();
  bool attached = false;
  if (!ui::guarded(this, [&] {
        attached = rules::attachCategory(ops::sharedConnection(), shownRef(), rules::itemNumber(text));
      })) {
    return;
  }
  if (!attached) return;
  TreeView4->addNode(QString(), key, text, 2);
  TreeView1->removeNode(key);
  // The selection has moved on to another node, which nobody picked.
  Command9->setEnabled(false);
}

void frm工号规则设置::releaseCategory() {
  const QString key = TreeView4->selectedKey();
  if (key.isEmpty()) return;
  const QString text = TreeView4->selectedText();
  if (!ui::ask(this, QStringLiteral("是否要删除") + text + QStringLiteral("这个员工类别？"))) return;
  if (!ui::guarded(this, [&] { rules::releaseCategory(ops::sharedConnection(), rules::itemNumber(text)); })) return;
  TreeView4->removeNode(key);
  Command14->setEnabled(false);
  员工类别列表();
}
