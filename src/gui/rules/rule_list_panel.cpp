#include "gui/rules/rule_list_panel.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <algorithm>

#include "gui/drive/drive.h"
#include "core/session/session.h"
#include "core/rules/rules_sql.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/keyed_tree.h"
#include "gui/widgets/text_filters.h"

namespace rules::ui {

namespace {

// What the serial pattern box keeps: zeros.
const QString kZeros = QStringLiteral("0");

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

}  // namespace

RuleListPanel::RuleListPanel(session::Session& session, QWidget* frame, Labels& labels)
    : QWidget(frame), session_(session) {
  setGeometry(0, 0, frame->width(), 356);
  TreeView3 = makeTree(this, QRect(10, 24, 290, 200));
  labels[3] = makeLabel(this, QStringLiteral("编码类别"), QRect(10, 234, 70, 22));
  Text2 = makeEdit(this, QRect(84, 234, 216, 22));
  labels[4] = makeLabel(this, QStringLiteral("类别代码"), QRect(10, 262, 70, 22));
  Text3 = makeEdit(this, QRect(84, 262, 216, 22));
  labels[1] = makeLabel(this, QStringLiteral("流水号位数"), QRect(10, 290, 72, 22));
  Text1 = makeEdit(this, QRect(84, 290, 130, 22), rules::kPatternLength);
  Text1->setText(QStringLiteral("000"));
  QLabel* digits = labels[2] = makeLabel(this, QStringLiteral("3 位数"), QRect(222, 290, 78, 22));

  Command10 = makeButton(this, QStringLiteral("添加"), QRect(10, 322, 90, 28));
  Command11 = makeButton(this, QStringLiteral("删除"), QRect(110, 322, 90, 28));
  Command12 = makeButton(this, QStringLiteral("确定"), QRect(210, 322, 90, 28));
  Command11->setEnabled(false);
  Command12->setEnabled(false);

  QObject::connect(TreeView3, &KeyedTree::NodeClick, this, [this](const QString& key) { nodeClick(key); });
  QObject::connect(Command10, &QPushButton::clicked, this, [this] { newRule(); });
  QObject::connect(Command11, &QPushButton::clicked, this, [this] { deleteRule(); });
  QObject::connect(Command12, &QPushButton::clicked, this, [this] { saveRule(); });
  // Serial pattern box: only "0" and Backspace are typed; pasted text keeps only its zeros.
  Text1->installEventFilter(this);
  filterPasted(Text1, kZeros);
  QObject::connect(Text1, &QLineEdit::textChanged, this,
                   [digits](const QString& text) { digits->setText(rules::patternDigitsCaption(text)); });
  // Category code box: only digits and Backspace; pasted text keeps only its digits.
  Text3->installEventFilter(this);
  filterPasted(Text3, widgets::kDigits);
}

bool RuleListPanel::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const QString text = static_cast<QKeyEvent*>(event)->text();
    // Only "0" and Backspace; keys without a printable character (moving, shortcuts) pass.
    if (watched == Text1) return isPrintable(text) && text != kZeros;
    if (watched == Text3) return isPrintable(text) && widgets::keepOnly(text, widgets::kDigits) != text;
  }
  return QWidget::eventFilter(watched, event);
}

const RuleEntry* RuleListPanel::shownRule() const {
  auto it = entries_.constFind(shownKey_);
  return shownKey_.isNull() || it == entries_.constEnd() ? nullptr : &it.value();
}

RuleEntry* RuleListPanel::shownRule() {
  auto it = entries_.find(shownKey_);
  return shownKey_.isNull() || it == entries_.end() ? nullptr : &it.value();
}

rules::RuleRef RuleListPanel::shownRef() const {
  const RuleEntry* entry = shownRule();
  // The node key holds the stored code: "LB" alone for a rule without one.
  return {entry ? entry->ID : 0, shownKey_.mid(kKeyPrefix.size())};
}

int RuleListPanel::storedLayout() const {
  const RuleEntry* entry = shownRule();
  return entry ? entry->编码规则.toInt() : 0;
}

void RuleListPanel::setStoredLayout(int code) {
  if (RuleEntry* entry = shownRule()) entry->编码规则 = QString::number(code);
}

void RuleListPanel::lockRuleBoxes(bool locked) {
  lockBox(Text2, locked);
  lockBox(Text3, locked);
}

void RuleListPanel::load() {
  entries_.clear();
  TreeView3->clearNodes();
  std::vector<rules::RuleListEntry> list;
  if (!drive::guarded(window(), [&] { list = rules::listRules(session_.database()); })) return;
  for (const rules::RuleListEntry& rule : list) {
    const QString key = kKeyPrefix + rule.categoryCode;
    // A second rule with the same code can't be listed (node keys are unique): the first stays.
    if (!TreeView3->addNode(QString(), key, rule.categoryCode + QLatin1Char(' ') + rule.name, 3)) continue;
    RuleEntry entry;
    entry.ID = static_cast<qint32>(rule.id);
    entry.编码类别名称 = rule.name;
    entry.类别码 = rule.codeIsNull ? rules::kNoCode.toString() : rule.categoryCode;
    entry.流水号位数 = rule.patternIsNull ? QStringLiteral("0000") : rule.pattern;
    entry.编码规则 = rule.ruleCodeIsNull ? QStringLiteral("0") : QString::number(rule.ruleCode);
    entries_.insert(key, entry);
  }
}

void RuleListPanel::nodeClick(const QString& key) {
  auto it = entries_.constFind(key);
  if (it == entries_.constEnd()) return;
  const RuleEntry entry = it.value();
  Command12->setEnabled(true);
  shownKey_ = key;
  lockRuleBoxes(true);
  // A stored pattern longer than a new one may be is shown (and saved again) whole.
  Text1->setMaxLength(std::max(rules::kPatternLength, static_cast<int>(entry.流水号位数.size())));
  Text1->setText(entry.流水号位数);
  Text2->setText(entry.编码类别名称);
  Text3->setText(entry.类别码);

  Shown rule;
  rule.ref = shownRef();
  bool validCode = false;
  rule.layout = entry.编码规则.toInt(&validCode);
  if (!validCode || rule.layout < 0 || rule.layout >= rules::kRuleCodes) rule.layout = -1;
  drive::guarded(window(), [&] { rule.view = rules::showRule(session_.database(), rule.ref, rule.layout); });
  Command11->setEnabled(true);
  if (shown) shown(rule);
}

void RuleListPanel::newRule() {
  Text2->clear();
  Text3->clear();
  lockRuleBoxes(false);
  Text1->setMaxLength(rules::kPatternLength);
  Text2->setFocus();
  Command11->setEnabled(false);
  Command12->setEnabled(true);
  shownKey_.clear();
  if (newStarted) newStarted();
}

void RuleListPanel::saveRule() {
  if (Text1->text().isEmpty()) {
    widgets::msg(window(), QStringLiteral("请输入流水号位数  提示用0的数量表示"));
    return;
  }
  if (!rules::isSerialPattern(Text1->text())) {
    widgets::msg(window(), QStringLiteral("流水号位数只能由0组成  提示用0的数量表示"));
    return;
  }
  if (Text2->text().isEmpty()) {
    widgets::msg(window(), QStringLiteral("请输入名称"));
    return;
  }
  const int layout = selectedLayout ? selectedLayout() : 0;

  if (Command11->isEnabled()) {  // edit mode: only the layout and the serial pattern change
    RuleEntry* entry = shownRule();
    if (!entry) return;
    if (!drive::guarded(window(), [&] { rules::updateRule(session_, entry->ID, layout, Text1->text()); })) {
      return;
    }
    entry->流水号位数 = Text1->text();
    entry->编码规则 = QString::number(layout);
    return;
  }

  const rules::NewRule rule{Text2->text(), Text3->text(), layout, Text1->text()};
  const std::optional<rules::RuleAdded> ran = drive::change<rules::RulePlan, rules::RuleAdded>(
      window(), {false}, [&](const common::Progress&) { return rules::planAddRule(session_, rule); }, {true},
      [&](const rules::RulePlan& plan, const common::Progress&) { return rules::runAddRule(session_, plan); });
  if (!ran || !ran->done()) return;
  const rules::AddedRule& stored = ran->added;
  const QString key = kKeyPrefix + rule.code;
  TreeView3->addNode(QString(), key, rule.code + QLatin1Char(' ') + rule.name, 3);
  RuleEntry entry;
  entry.ID = static_cast<qint32>(stored.id);
  entry.编码类别名称 = rule.name;
  entry.类别码 = rules::actingCode(rule.code);
  entry.流水号位数 = rule.pattern;
  entry.编码规则 = QString::number(layout);
  entries_.insert(key, entry);
  TreeView3->selectNode(key);
  shownKey_ = key;
  // The rule is now shown in edit mode: its name and code are not changed any more.
  lockRuleBoxes(true);
  Text3->setText(entry.类别码);
  Command11->setEnabled(true);
  if (added) added(shownRef());
}

void RuleListPanel::deleteRule() {
  if (!shownRule()) return;
  if (!drive::confirm(window(), QStringLiteral("是否要删除") + Text2->text() + QStringLiteral("?"), false)) return;
  rules::Deleted outcome = rules::Deleted::Whole;
  if (!drive::guarded(window(), [&] { outcome = rules::deleteRule(session_, shownRef()); })) return;
  if (outcome == rules::Deleted::RuleOnly) {
    widgets::msg(window(),
                 QStringLiteral("该编码类别没有类别代码，只删除了规则本身，类别代码为0的规则及其明细未受影响"));
  }
  Text2->clear();
  Text3->clear();
  lockRuleBoxes(false);
  TreeView3->removeNode(shownKey_);
  entries_.remove(shownKey_);
  shownKey_.clear();
  Command11->setEnabled(false);
  Command12->setEnabled(false);
  if (deleted) deleted();
}

}  // namespace rules::ui
