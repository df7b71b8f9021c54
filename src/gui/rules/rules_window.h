#pragma once
// The numbering-rule settings window: rules with their layout (rule code) and serial pattern,
// the employee categories of each rule, and the specific rule rows (department and position
// codes) of the shown rule. Three panels do the work; the window holds them together and keeps
// their controls under the window's own names.
#include <QMap>
#include <QString>
#include <array>
#include <vector>

#include <QWidget>

#include "core/rules/rules_ops.h"
#include "gui/rules/rule_list_panel.h"

class FlexGrid;
class KeyedTree;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace rules::ui {
class RuleCategoriesPanel;
class RuleRowsPanel;
}  // namespace rules::ui

namespace session {
class Session;
}

class frm工号规则设置 : public QWidget {
 public:
  // Works on session, which outlives the window.
  explicit frm工号规则设置(session::Session& session, QWidget* parent = nullptr);
  ~frm工号规则设置() override;

  // ---- Controls ----
  QGroupBox* Frame2 = nullptr;  // "编码类别": rules and categories
  KeyedTree* TreeView3 = nullptr;  // rules
  QLineEdit* Text2 = nullptr;  // rule name
  QLineEdit* Text3 = nullptr;  // category code
  QLineEdit* Text1 = nullptr;  // serial pattern (zeros)
  QPushButton* Command10 = nullptr;  // "添加" new rule
  QPushButton* Command11 = nullptr;  // "删除" delete rule
  QPushButton* Command12 = nullptr;  // "确定" save rule
  KeyedTree* TreeView4 = nullptr;  // categories of the shown rule
  QPushButton* Command13 = nullptr;  // "添加" attach a category
  QPushButton* Command14 = nullptr;  // "删除" release a category

  QGroupBox* Frame1 = nullptr;  // "编号规则明细": layout and specific rows
  std::array<QRadioButton*, 7> Option1{};
  std::array<QLabel*, 18> Label1{};
  std::array<QFrame*, 8> Line1{};
  FlexGrid* MSFlexGrid1 = nullptr;
  QPushButton* Command1 = nullptr;  // opens the department chooser (over a department cell)
  QPushButton* Command6 = nullptr;  // opens the position list (over a position cell)
  QPushButton* Command2 = nullptr;  // "添加" new row
  QPushButton* Command3 = nullptr;  // "删除" delete row
  QPushButton* Command4 = nullptr;  // "确定" save row
  QLineEdit* Text4 = nullptr;  // cell editor
  QListWidget* List1 = nullptr;  // position categories

  QFrame* Picture2 = nullptr;  // category chooser
  KeyedTree* TreeView1 = nullptr;
  QPushButton* Command9 = nullptr;  // "添加确定"
  QPushButton* Command8 = nullptr;  // "取消"

  QFrame* Picture1 = nullptr;  // department chooser
  KeyedTree* TreeView2 = nullptr;
  QPushButton* Command5 = nullptr;  // "选择确定"
  QPushButton* Command7 = nullptr;  // "取消"

  // ---- Window state (read only) ----
  using RuleEntry = rules::ui::RuleEntry;
  // One entry per node of TreeView3, by node key ("LB" + 类别码).
  const QMap<QString, RuleEntry>& ruleEntries() const;
  // Set while the window itself selects a layout button (showing a rule, undoing a refused change).
  bool suppressLayoutPrompt() const;

  using DepartmentRow = rules::Department;
  // Current departments in query order (length of the number, then the number).
  const std::vector<DepartmentRow>& departmentRows() const;

  // ---- Public procedures ----
  // Reloads the grid with the specific rows of the rule with this category code.
  void 列表(const QString& categoryCode);
  // The department tree's text (number + " " + name) of a department number; "" when not listed.
  QString 获取部门名称(const QString& number) const;
  // The position list's line (number + " " + name) of a position category number; "" when not listed.
  QString 获取岗位名称(const QString& number) const;
  // Refills the category chooser with the categories that belong to no rule.
  void 员工类别列表();
  // Fills the department tree from the current departments; one whose parent is no current
  // department (ended, or unknown) is a root.
  void LoadDepartmentTree();
  // Adds the children of a department under its node, recursively.
  void AddDepartmentChildren(const QString& parentNumber);

  // The layout: index of the selected layout button, 0 when none is selected.
  int selectedLayout() const;

  // Node keys of rules and categories: "LB" + code or number.
  static inline const QString& kKeyPrefix = rules::ui::kKeyPrefix;

 protected:
  // A code typed into the grid's cell editor and not yet written is not dropped without a word:
  // the user saves it with its row, drops it, or keeps the window open.
  void closeEvent(QCloseEvent* event) override;

 private:
  session::Session& session_;
  void takeControls();
  void connectPanels();
  void loadWindow();

  // The three panels: the rules (top left), their categories (bottom left), the layout and the
  // specific rows (right). They know nothing of each other: the window passes on what one of them
  // tells to the others.
  rules::ui::RuleListPanel* rules_ = nullptr;
  rules::ui::RuleCategoriesPanel* categories_ = nullptr;
  rules::ui::RuleRowsPanel* rows_ = nullptr;
};
