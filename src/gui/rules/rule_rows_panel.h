#pragma once
// The rule rows panel of the rule settings window (its right frame): the layout (rule code) of
// the shown rule with its questions and sample number, and the grid of its specific rows
// (department and position codes) with the cell editor, the department chooser and the position
// list. What it needs of the rules panel (the serial pattern, the category code, the stored
// layout) it asks through the callbacks below, set by the window.
#include <QString>
#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "core/rules/rules_ops.h"
#include "gui/rules/rule_controls.h"

class FlexGrid;
class KeyedTree;
class QFrame;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
namespace widgets {
class CellEditor;
}

namespace session {
class Session;
}

namespace rules::ui {

class RuleRowsPanel : public QWidget {
 public:
  // Built over the whole right frame; fills Label1(5) to Label1(14).
  RuleRowsPanel(session::Session& session, QWidget* frame, Labels& labels);
  // The department chooser, a panel over the window (built after the frames); fills Label1(15).
  void buildChooser(QWidget* host, Labels& labels);

  std::array<QRadioButton*, 7> Option1{};
  std::array<QFrame*, 8> Line1{};
  FlexGrid* MSFlexGrid1 = nullptr;
  QPushButton* Command1 = nullptr;  // opens the department chooser (over a department cell)
  QPushButton* Command6 = nullptr;  // opens the position list (over a position cell)
  QPushButton* Command2 = nullptr;  // "添加" new row
  QPushButton* Command3 = nullptr;  // "删除" delete row
  QPushButton* Command4 = nullptr;  // "确定" save row
  QLineEdit* Text4 = nullptr;  // cell editor
  QListWidget* List1 = nullptr;  // position categories

  QFrame* Picture1 = nullptr;  // department chooser
  KeyedTree* TreeView2 = nullptr;
  QPushButton* Command5 = nullptr;  // "选择确定"
  QPushButton* Command7 = nullptr;  // "取消"

  // ---- What the panel asks and tells (set by the window) ----
  std::function<QString()> patternText;  // the serial pattern as typed
  std::function<QString()> categoryCodeText;  // the rule's category code as shown
  std::function<int()> storedLayout;  // the layout stored for the shown rule
  std::function<void(int)> layoutStored;  // the shown rule's layout was changed to this one

  // A rule is shown under layout (-1: no layout button fits, nothing is listed) with its rows;
  // sharesCode: it owns no rows (a rule without a code beside rule "0").
  void showRule(const rules::RuleRef& rule, bool sharesCode, int layout, const std::vector<rules::RuleRow>& rows);
  // A new rule was stored and is shown; what the panel shows stays.
  void setRule(const rules::RuleRef& rule);
  // No rule is shown: the grid is emptied.
  void clearRule();
  // The grid of a window just opened: the header row only.
  void startEmpty();
  void hidePopups();
  // Before the window closes: a code typed into the cell editor and not yet written is saved with
  // its row, dropped or kept, as the user chooses ("保存", "不保存", "取消"); false keeps the window
  // open (kept, or a save refused or failed, the user told why).
  bool mayClose();
  // The question: "<column>的修改尚未保存：“<was>”改为“<typed>”。\n关闭窗口前是否保存这一行？".
  static QString unsavedEditQuestion(const QString& column, const QString& was, const QString& typed);

  // Reloads the grid with the specific rows stored under this category code.
  void listRows(const QString& categoryCode);
  // The department tree's text (number + " " + name) of a department number; "" when not listed.
  QString departmentName(const QString& number) const;
  // The position list's line (number + " " + name) of a position category number; "" when not listed.
  QString positionName(const QString& number) const;
  // Fills the department tree from the current departments; one whose parent is no current
  // department (ended, or unknown) is a root.
  void loadDepartmentTree();
  // Adds the children of a department under its node, recursively.
  void addDepartmentChildren(const QString& parentNumber);
  void loadPositionList();
  // Current departments in query order (length of the number, then the number).
  const std::vector<rules::Department>& departments() const { return departments_; }

  // The layout: index of the selected layout button, 0 when none is selected.
  int selectedLayout() const;
  // Set while the panel itself selects a layout button (showing a rule, undoing a refused change).
  bool suppressLayoutPrompt() const { return suppressLayoutPrompt_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  session::Session& session_;
  void buildSample(int top, Labels& labels);

  // Layout and sample
  void layoutClick(int code);
  void undoLayoutChoice();
  void refreshLayout(int code);
  void showRows(const std::vector<rules::RuleRow>& rows, int code);
  void showSample(int code);

  // Grid
  void gridClick();
  void newRow();
  bool saveRow();  // true when the row was written
  void deleteRow();
  void chooseDepartment();
  void positionButtonClick();
  void positionChosen(int row);
  bool cellEditorKey(int key, const QString& text);
  void emptyGrid();
  void fillGrid(const std::vector<rules::RuleRow>& rows);
  void hideCellControls();
  bool onDataRow() const;
  void placeAtCellEdge(QWidget* control);
  QString pattern() const;
  // The code the shown rule's rows are stored under.
  QString actingCode() const;

  // The sample boxes (Label1(6) to Label1(10)) and the headings that go grey without their part.
  std::array<QLabel*, 5> sample_{};
  std::array<QLabel*, 3> headings_{};

  struct Rule {
    rules::RuleRef ref;
    bool sharesCode = false;  // no rows of its own to list or write
  };
  std::optional<Rule> rule_;  // the shown rule
  std::vector<rules::Department> departments_;
  bool suppressLayoutPrompt_ = false;
  bool choosingPosition_ = false;  // List1's selection is being reset by the panel
  widgets::CellEditor* cellEditor_ = nullptr;  // Text4 over a code cell
};

}  // namespace rules::ui
