// The rule settings window: the rule list, new/save/delete of a rule, the layout (rule code)
// with its questions, the sample number, and attaching and releasing categories.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "db/database.h"
#include "ops/rule_codes.h"
#include "ops/rule_store.h"
#include "rules/rules_window.h"
#include "widgets/dialogs.h"
#include "widgets/flex_grid.h"
#include "widgets/keyed_tree.h"

namespace {
void lockBox(QLineEdit* box, bool locked) { box->setReadOnly(locked); }
}  // namespace

const frm工号规则设置::RuleEntry* frm工号规则设置::shownRule() const {
  auto it = ruleEntries.constFind(shownKey_);
  return shownKey_.isNull() || it == ruleEntries.constEnd() ? nullptr : &it.value();
}

frm工号规则设置::RuleEntry* frm工号规则设置::shownRule() {
  auto it = ruleEntries.find(shownKey_);
  return shownKey_.isNull() || it == ruleEntries.end() ? nullptr : &it.value();
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

void frm工号规则设置::ruleNodeClick(const QString& key) {
  auto it = ruleEntries.constFind(key);
  if (it == ruleEntries.constEnd()) return;
  const RuleEntry entry = it.value();
  hidePopups();
  suppressLayoutPrompt = true;
  Command12->setEnabled(true);
  shownKey_ = key;
  Text1->setText(entry.流水号位数);
  Text2->setText(entry.编码类别名称);
  Text3->setText(entry.类别码);
  lockBox(Text2, true);
  lockBox(Text3, true);
  loadRuleCategories(entry.类别码);

  bool validCode = false;
  const int code = entry.编码规则.toInt(&validCode);
  if (validCode && code >= 0 && code < rules::kRuleCodes) {
    if (Option1[code]->isChecked()) {
      refreshLayout(code);  // the button is already selected: no click comes
    } else {
      Option1[code]->setChecked(true);  // its click refreshes the display without questions
    }
  } else {
    // A code outside 0 to 6: no layout button fits, nothing is listed.
    for (QRadioButton* option : Option1) option->setAutoExclusive(false);
    for (QRadioButton* option : Option1) option->setChecked(false);
    for (QRadioButton* option : Option1) option->setAutoExclusive(true);
    emptyGrid();
  }
  suppressLayoutPrompt = false;
  Frame1->setEnabled(true);
  Command13->setEnabled(true);
  Command11->setEnabled(true);
}

void frm工号规则设置::newRule() {
  Text2->clear();
  Text3->clear();
  lockBox(Text2, false);
  lockBox(Text3, false);
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
  db::Database& database = db::Database::shared();

  if (Command11->isEnabled()) {  // edit mode: only the layout and the serial pattern change
    RuleEntry* entry = shownRule();
    if (!entry) return;
    try {
      rules::updateRule(database, entry->ID, layout, Text1->text());
    } catch (const db::DbError& e) {
      ui::dbError(this, e.text());
      return;
    }
    entry->流水号位数 = Text1->text();
    entry->编码规则 = QString::number(layout);
    return;
  }

  const QString code = Text3->text();
  const QString name = Text2->text();
  qint64 id = 0;
  try {
    // Two rules with one code would share their rows and categories.
    if (rules::categoryCodeUsed(database, code)) {
      ui::msg(this, code.isEmpty() ? QStringLiteral("已经有一个类别代码为空的编码类别，请输入类别代码")
                                   : QStringLiteral("类别代码") + code +
                                         QStringLiteral("已被其他编码类别使用，请输入另一个类别代码"));
      return;
    }
    id = rules::addRule(database, name, code, layout, Text1->text());
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    return;
  }
  const QString key = QStringLiteral("LB") + code;
  TreeView3->addNode(QString(), key, code + QLatin1Char(' ') + name, 3);
  RuleEntry entry;
  entry.ID = static_cast<qint32>(id);
  entry.编码类别名称 = name;
  entry.类别码 = code.isEmpty() ? QStringLiteral("0") : code;
  entry.流水号位数 = Text1->text();
  entry.编码规则 = QString::number(layout);
  ruleEntries.insert(key, entry);
  TreeView3->selectNode(key);
  shownKey_ = key;
  // The rule is now shown in edit mode: its name and code are not changed any more.
  lockBox(Text2, true);
  lockBox(Text3, true);
  Frame1->setEnabled(true);
  Command13->setEnabled(true);
  Command11->setEnabled(true);
}

void frm工号规则设置::deleteRule() {
  const RuleEntry* entry = shownRule();
  if (!entry) return;
  if (!ui::ask(this, QStringLiteral("是否要删除") + Text2->text() + QStringLiteral("?"))) return;
  try {
    // A rule whose code is Null is listed under the key "LB" and shows the code "0", which
    // matches none of its rows: it is then also removed by its ID.
    const bool nullCode = shownKey_ == QStringLiteral("LB");
    rules::deleteRule(db::Database::shared(), Text3->text(), nullCode ? entry->ID : 0);
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    return;
  }
  Text2->clear();
  Text3->clear();
  lockBox(Text2, false);
  lockBox(Text3, false);
  TreeView3->removeNode(shownKey_);
  ruleEntries.remove(shownKey_);
  shownKey_.clear();
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
  if (!suppressLayoutPrompt) {
    RuleEntry* entry = shownRule();
    if (!entry) return;
    const QString caption = rules::codeCaption(code);
    if (!ui::ask(this, QStringLiteral("确定要改成") + caption + QStringLiteral("?"))) {
      undoLayoutChoice();
      return;
    }
    const bool hasRows = MSFlexGrid1->Rows() > 1;
    if (hasRows && !ui::ask(this, QStringLiteral("您已经设置了具体的编码规则，是否确认要改成") + caption +
                                      QStringLiteral("?") + QStringLiteral("\n") +
                                      QStringLiteral("【提醒】如果选择[是]系统将自动删除已设置的具体规则"))) {
      undoLayoutChoice();
      return;
    }
    try {
      rules::changeRuleCode(db::Database::shared(), entry->ID, entry->类别码, code, hasRows);
    } catch (const db::DbError& e) {
      ui::dbError(this, e.text());
      undoLayoutChoice();
      return;
    }
    if (hasRows) emptyGrid();
    entry->编码规则 = QString::number(code);
  }
  suppressLayoutPrompt = false;
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
  showSample(code);
  emptyGrid();
  Command1->hide();
  Command6->hide();
  if (code < 2) {
    Command2->setEnabled(false);
    Command3->setEnabled(false);
    Command4->setEnabled(false);
    try {
      db::Database::shared().execute(rules::sqlEnsureDefaultRow(Text3->text()));
    } catch (const db::DbError& e) {
      ui::dbError(this, e.text());
    }
    return;
  }
  列表(Text3->text());
  Command2->setEnabled(true);
  Command3->setEnabled(false);
  Command4->setEnabled(false);
  Command1->setEnabled(rules::hasDepartment(code));
  Command6->setEnabled(rules::hasPosition(code));
}

void frm工号规则设置::loadRuleCategories(const QString& categoryCode) {
  addCategoryNodes(TreeView4, rules::sqlRuleCategories(categoryCode));
}

void frm工号规则设置::attachCategory() {
  const QString key = TreeView1->selectedKey();
  if (key.isEmpty() || !shownRule()) return;
  const QString text = TreeView1->selectedText();
  try {
    db::Database::shared().execute(rules::sqlAttachCategory(Text3->text(), rules::itemNumber(text)));
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    return;
  }
  TreeView4->addNode(QString(), key, text, 2);
  TreeView1->removeNode(key);
}

void frm工号规则设置::releaseCategory() {
  const QString key = TreeView4->selectedKey();
  if (key.isEmpty()) return;
  const QString text = TreeView4->selectedText();
  if (!ui::ask(this, QStringLiteral("是否要删除") + text + QStringLiteral("这个员工类别？"))) return;
  try {
    db::Database::shared().execute(rules::sqlReleaseCategory(rules::itemNumber(text)));
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    return;
  }
  TreeView4->removeNode(key);
  Command14->setEnabled(false);
  员工类别列表();
}
