// The rule settings window: the department tree, the category lists and the position list.
#include <QListWidget>
#include <QSet>

#include "db/database.h"
#include "ops/rule_codes.h"
#include "ops/rule_store.h"
#include "rules/rules_window.h"
#include "widgets/dialogs.h"
#include "widgets/keyed_tree.h"

namespace {
QString departmentKey(const QString& number) { return QStringLiteral("$") + number; }
}  // namespace

void frm工号规则设置::LoadDepartmentTree() {
  try {
    std::vector<DepartmentRow> rows;
    QSet<QString> seen;
    for (db::Recordset rs = db::Database::shared().open(rules::sqlCurrentDepartments()); !rs.eof(); rs.moveNext()) {
      DepartmentRow row{rs.text(QStringLiteral("职能部门编号")), rs.text(QStringLiteral("职能部门名称")),
                        rs.text(QStringLiteral("上级部门编号"))};
      // Two parent records with the same latest start date return a department twice: the first row stays.
      if (seen.contains(row.number)) continue;
      seen.insert(row.number);
      rows.push_back(row);
    }
    departmentRows = std::move(rows);
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    return;
  }
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

void frm工号规则设置::员工类别列表() { addCategoryNodes(TreeView1, rules::sqlFreeCategories()); }

void frm工号规则设置::addCategoryNodes(KeyedTree* tree, const QString& sql) {
  try {
    db::Recordset rs = db::Database::shared().open(sql);
    tree->clearNodes();
    for (; !rs.eof(); rs.moveNext()) {
      const QString number = rs.text(QStringLiteral("类别编号"));
      tree->addNode(QString(), QStringLiteral("LB") + number,
                    number + QLatin1Char(' ') + rs.text(QStringLiteral("类别名称")), 2);
    }
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
  }
}

void frm工号规则设置::loadPositionList() {
  try {
    db::Recordset rs = db::Database::shared().open(rules::sqlPositionCategories());
    List1->clear();
    for (; !rs.eof(); rs.moveNext()) {
      List1->addItem(rs.text(QStringLiteral("岗位类别编号")) + QLatin1Char(' ') +
                     rs.text(QStringLiteral("岗位类别名称")));
    }
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
  }
}
