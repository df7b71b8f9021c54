#pragma once
// The categories panel of the rule settings window: the employee categories of the shown rule,
// attaching one from the chooser of the categories that belong to no rule, and releasing one.
#include <QWidget>
#include <optional>
#include <vector>

#include "core/rules/rules_ops.h"
#include "gui/rules/rule_controls.h"

class KeyedTree;
class QFrame;
class QPushButton;

namespace session {
class Session;
}

namespace rules::ui {

class RuleCategoriesPanel : public QWidget {
 public:
  // Built in the left frame below the rules; fills Label1(0).
  RuleCategoriesPanel(session::Session& session, QWidget* frame, Labels& labels);
  // The chooser, a panel over the window (built after the frames); fills Label1(16) and Label1(17).
  void buildChooser(QWidget* host, Labels& labels);

  KeyedTree* TreeView4 = nullptr;  // categories of the shown rule
  QPushButton* Command13 = nullptr;  // "添加" attach a category
  QPushButton* Command14 = nullptr;  // "删除" release a category

  QFrame* Picture2 = nullptr;  // category chooser
  KeyedTree* TreeView1 = nullptr;
  QPushButton* Command9 = nullptr;  // "添加确定"
  QPushButton* Command8 = nullptr;  // "取消"

  // A rule is shown with its categories; canAttach is false for a rule that owns none.
  void showRule(const rules::RuleRef& rule, const std::vector<rules::NumberedName>& categories, bool canAttach);
  // A new rule was stored and is shown: it has no categories yet.
  void setRule(const rules::RuleRef& rule);
  // No rule is shown.
  void clearRule();
  // Refills the chooser with the categories that belong to no rule.
  void loadFree();
  void hideChooser();

 private:
  session::Session& session_;
  void attach();
  void release();
  static void fill(KeyedTree* tree, const std::vector<rules::NumberedName>& categories);

  std::optional<rules::RuleRef> rule_;  // the shown rule
};

}  // namespace rules::ui
