#pragma once
// The rules panel of the rule settings window: the list of rules, the boxes of the shown rule
// (name, code, serial pattern) and new/delete/save of a rule. It holds the rules as listed and
// which one is shown; what the other panels do about it the window decides, told through the
// callbacks below.
#include <QMap>
#include <QString>
#include <QWidget>
#include <functional>

#include "core/rules/rules_ops.h"
#include "gui/rules/rule_controls.h"

class KeyedTree;
class QLineEdit;
class QPushButton;

namespace session {
class Session;
}

namespace rules::ui {

// A rule as the window lists it, with its values as texts.
struct RuleEntry {
  qint32 ID = 0;
  QString 类别码;
  QString 编码类别名称;
  QString 编码规则;  // the rule code as text
  QString 流水号位数;
};

class RuleListPanel : public QWidget {
 public:
  // Built in the left frame, above the categories; fills Label1(1) to Label1(4).
  RuleListPanel(session::Session& session, QWidget* frame, Labels& labels);

  KeyedTree* TreeView3 = nullptr;  // rules
  QLineEdit* Text2 = nullptr;  // rule name
  QLineEdit* Text3 = nullptr;  // category code
  QLineEdit* Text1 = nullptr;  // serial pattern (zeros)
  QPushButton* Command10 = nullptr;  // "添加" new rule
  QPushButton* Command11 = nullptr;  // "删除" delete rule
  QPushButton* Command12 = nullptr;  // "确定" save rule

  // A rule clicked in the list: what the operations read for it under its layout (-1 when its
  // stored code fits no layout button).
  struct Shown {
    rules::RuleRef ref;
    int layout = -1;
    rules::RuleView view;
  };

  // ---- What the panel asks and tells (set by the window) ----
  std::function<int()> selectedLayout;  // the layout a saved rule gets
  std::function<void(const Shown&)> shown;  // a rule is shown
  std::function<void()> newStarted;  // no rule is shown: a new one is being typed
  std::function<void(const rules::RuleRef&)> added;  // a new rule was stored and is shown
  std::function<void()> deleted;  // the shown rule was deleted: no rule is shown

  // Lists the rules.
  void load();
  // One entry per node of TreeView3, by node key ("LB" + 类别码).
  const QMap<QString, RuleEntry>& entries() const { return entries_; }
  // The layout stored for the shown rule (0 when none is shown).
  int storedLayout() const;
  // The shown rule's layout was changed and stored.
  void setStoredLayout(int code);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  session::Session& session_;
  void nodeClick(const QString& key);
  void newRule();
  void saveRule();
  void deleteRule();
  const RuleEntry* shownRule() const;
  RuleEntry* shownRule();
  // The shown rule as the operations address it (ID and stored code).
  rules::RuleRef shownRef() const;
  void lockRuleBoxes(bool locked);

  QMap<QString, RuleEntry> entries_;
  QString shownKey_;  // node key of the shown rule, "" when none
};

}  // namespace rules::ui
