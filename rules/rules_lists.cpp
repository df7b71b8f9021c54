// The rule settings window: the department tree, the category lists and the position list.
#include <QListWidget>
#include <QPushButton>

#include "ops/connection.h"
#include "ops/rule_codes.h"
#include "ops/rule_store.h"
#include "rules/rules_window.h"
#include "widgets/dialogs.h"
#include "widgets/keyed_tree.h"

namespace {
QString departmentKey(const QString& number) { return QStringLiteral("$") + number; }
}  // namespace

void frm工号规则设置::LoadDepartmentTree() {
  if (!ui::guarded(this, [&] { departmentRows = rules::currentDepartments(ops::sharedConnection()); })) return;
  TreeView2->clearNodes();
  for (const DepartmentRow& row : departmentRows) {
    if (!row.parent.isEmpty()) continue;
    if (TreeView2->addNode(QString(), departmentKey(row.number), row.number + QLatin1Char(' ') + row.name, 1)) {
      AddDepartmentChildren(row.number);
    }
  }
  if (TreeView2->topLevelItemCount() > 0) TreeView2->topLevelItem(0)->setExpanded(true);
}

void frm工号规则设置::AddDepartmentChildren(const QString& parentNumber) {
  // Children in list order, depth first. A node is only descended into when it was added, so a
  // department listed twice can't make the recursion run forever.
  for (size_t i = 0; i < departmentRows.size(); ++i) {
    const DepartmentRow row = departmentRows[i];
    if (row.parent != parentNumber) continue;
    if (TreeView2->addNode(departmentKey(parentNumber), departmentKey(row.number),
                           row.number + QLatin1Char(' ') + row.name, 1)) {
      AddDepartmentChildren(row.number);
    }
  }
}

QString frm工号规则设置::获取部门名称(const QString& number) const {
  for (const QString& text : TreeView2->texts()) {
    if (rules::itemNumber(text) == number) return text;
  }
  return QString();
}

QString frm工号规则设置::获取岗位名称(const QString& number) const {
  for (int row = 0; row < List1->count(); ++row) {
    const QString line = List1->item(row)->text();
    if (rules::itemNumber(line) == number) return line;
  }
  return QString();
}

void frm工号规则设置::员工类别列表() {
  std::vector<rules::NumberedName> categories;
  if (!ui::guarded(this, [&] { categories = rules::freeCategories(ops::sharedConnection()); })) return;
  fillCategoryNodes(TreeView1, categories);
  Command9->setEnabled(false);  // nothing is picked in the refilled list
}

void frm工号规则设置::fillCategoryNodes(KeyedTree* tree, const std::vector<rules::NumberedName>& categories) {
  tree->clearNodes();
  for (const rules::NumberedName& category : categories) {
    tree->addNode(QString(), kKeyPrefix + category.number, category.number + QLatin1Char(' ') + category.name, 2);
  }
}

void frm工号规则设置::loadPositionList() {
  std::vector<rules::NumberedName> positions;
  if (!ui::guarded(this, [&] { positions = rules::positionCategories(ops::sharedConnection()); })) return;
  List1->clear();
  for (const rules::NumberedName& position : positions) {
    List1->addItem(position.number + QLatin1Char(' ') + position.name);
  }
}
