#include "gui/rules/rule_categories_panel.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>

#include "gui/drive/drive.h"
#include "core/session/session.h"
#include "core/rules/rules_sql.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/keyed_tree.h"

namespace rules::ui {

// The panel sits below the rules in the left frame; its controls' places are the frame's less this.
constexpr int kTop = 356;

RuleCategoriesPanel::RuleCategoriesPanel(session::Session& session, QWidget* frame, Labels& labels)
    : QWidget(frame), session_(session) {
  setGeometry(0, kTop, frame->width(), frame->height() - kTop);
  labels[0] = makeLabel(this, QStringLiteral("对应员工类别"), QRect(10, 360 - kTop, 200, 22));
  TreeView4 = makeTree(this, QRect(10, 384 - kTop, 290, 170));
  Command13 = makeButton(this, QStringLiteral("添加"), QRect(110, 564 - kTop, 90, 28));
  Command14 = makeButton(this, QStringLiteral("删除"), QRect(210, 564 - kTop, 90, 28));
  // No category can be attached while no rule is shown.
  Command13->setEnabled(false);
  Command14->setEnabled(false);

  QObject::connect(TreeView4, &KeyedTree::NodeClick, this, [this] { Command14->setEnabled(true); });
  QObject::connect(Command14, &QPushButton::clicked, this, [this] { release(); });
}

void RuleCategoriesPanel::buildChooser(QWidget* host, Labels& labels) {
  Picture2 = makePopup(host, QRect(30, 150, 280, 380));
  labels[16] = makeLabel(Picture2, QStringLiteral("员工类别选择"), QRect(10, 8, 260, 20));
  labels[17] = makeLabel(Picture2, QStringLiteral("【只显示没有设置的员工类别】"), QRect(10, 30, 260, 20));
  TreeView1 = makeTree(Picture2, QRect(10, 54, 260, 280));
  Command9 = makeButton(Picture2, QStringLiteral("添加确定"), QRect(60, 342, 100, 28));
  Command8 = makeButton(Picture2, QStringLiteral("取消"), QRect(170, 342, 100, 28));
  Command9->setEnabled(false);  // until a category is picked

  QObject::connect(Command13, &QPushButton::clicked, this, [this] {
    Picture2->show();
    Picture2->raise();
  });
  QObject::connect(TreeView1, &KeyedTree::NodeClick, this, [this] { Command9->setEnabled(true); });
  QObject::connect(Command9, &QPushButton::clicked, this, [this] { attach(); });
  QObject::connect(Command8, &QPushButton::clicked, this, [this] { Picture2->hide(); });
}

void RuleCategoriesPanel::showRule(const rules::RuleRef& rule, const std::vector<rules::NumberedName>& categories,
                                   bool canAttach) {
  rule_ = rule;
  fill(TreeView4, categories);
  Command13->setEnabled(canAttach);
  Command14->setEnabled(false);
}

void RuleCategoriesPanel::setRule(const rules::RuleRef& rule) {
  rule_ = rule;
  Command13->setEnabled(true);
}

void RuleCategoriesPanel::clearRule() {
  rule_.reset();
  hideChooser();
  TreeView4->clearNodes();
  Command13->setEnabled(false);
  Command14->setEnabled(false);
}

void RuleCategoriesPanel::hideChooser() { Picture2->hide(); }

void RuleCategoriesPanel::fill(KeyedTree* tree, const std::vector<rules::NumberedName>& categories) {
  tree->clearNodes();
  for (const rules::NumberedName& category : categories) {
    tree->addNode(QString(), kKeyPrefix + category.number, category.number + QLatin1Char(' ') + category.name, 2);
  }
}

void RuleCategoriesPanel::loadFree() {
  std::vector<rules::NumberedName> categories;
  if (!drive::guarded(window(), [&] { categories = rules::freeCategories(session_.database()); })) return;
  fill(TreeView1, categories);
  Command9->setEnabled(false);  // nothing is picked in the refilled list
}

void RuleCategoriesPanel::attach() {
  const QString key = TreeView1->selectedKey();
  if (key.isEmpty() || !rule_) return;
  const QString text = TreeView1->selectedText();
  bool attached = false;
  if (!drive::guarded(window(), [&] { attached = rules::attachCategory(session_, *rule_, rules::itemNumber(text)); })) {
    return;
  }
  if (!attached) return;
  TreeView4->addNode(QString(), key, text, 2);
  TreeView1->removeNode(key);
  // The selection has moved on to another node, which nobody picked.
  Command9->setEnabled(false);
}

void RuleCategoriesPanel::release() {
  const QString key = TreeView4->selectedKey();
  if (key.isEmpty()) return;
  const QString text = TreeView4->selectedText();
  if (!drive::confirm(window(), QStringLiteral("是否要删除") + text + QStringLiteral("这个员工类别？"), false)) return;
  if (!drive::guarded(window(), [&] { rules::releaseCategory(session_, rules::itemNumber(text)); })) {
    return;
  }
  TreeView4->removeNode(key);
  Command14->setEnabled(false);
  loadFree();
}

}  // namespace rules::ui
