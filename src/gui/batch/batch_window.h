#pragma once
// The batch renumbering window: list the employees of one numbering rule, propose and check new
// numbers, apply them across the database, and stage the numbers of employees without a position.
#include <QColor>
#include <QString>
#include <QWidget>
#include <functional>

#include "core/batch/batch_sql.h"
#include "core/preview/preview.h"
#include "gui/batch/batch_events.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class FlexGrid;

namespace batch {
// Cell colours of the checks: rows in conflict within the list, and repaired rows; a row whose
// number the register holds.
inline QColor duplicateColour() { return QColor(237, 235, 247); }
inline QColor takenColour() { return QColor(255, 210, 182); }
}  // namespace batch

namespace session {
class Session;
}

class frm员工工号统一修改 : public QWidget {
 public:
  // Works on session, which outlives the window.
  explicit frm员工工号统一修改(session::Session& session, QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;  // caption of the rule combo
  QComboBox* Combo1 = nullptr;  // numbering rule: "类别码 编码类别名称", the code as the entry's data
  FlexGrid* MSFlexGrid1 = nullptr;  // the work list
  QLineEdit* Text1 = nullptr;  // in-place editor of the new-number column
  QLabel* Label2 = nullptr;  // message line of the listing and the checks
  QCheckBox* Check1 = nullptr;  // list each employee number once
  QCheckBox* Check2 = nullptr;  // resolve conflicts automatically
  QPushButton* Command1 = nullptr;  // propose new numbers
  QPushButton* Command2 = nullptr;  // check the new numbers
  QPushButton* Command4 = nullptr;  // export the old/new table
  QPushButton* Command3 = nullptr;  // apply the new numbers
  QPushButton* Command5 = nullptr;  // stage employees without a position
  QPushButton* Command6 = nullptr;  // impact preview of the apply (enabled exactly when Command3 is)

  // The window's signals (a computed preview: previewReady).
  BatchWindowEvents* events = new BatchWindowEvents(this);
  // The server, database and login the script's header names; unset: the session's.
  std::function<preview::ScriptHeader()> scriptOrigin;
  // The session the window works on.
  session::Session& session() const { return session_; }

  // Lists the employees of the chosen rule (Combo1 chosen, Check1 clicked, after an apply).
  void 列表();

  // The work list as the grid holds it: columns 1 and 2 of every data row.
  batch::Rows gridRows() const;

 private:
  session::Session& session_;
  void fillRules();
  void gridClick();
  void closeEditor();
  bool editorKey(int key, const QString& text);
  void propose();
  void check();
  void apply();
  void stage();
  void previewApply();

  // The new numbers changed after a check: only a new check can enable the export and the apply.
  void numbersChanged();
  // The user changed the new numbers: numbersChanged(), and Label2 says so when a check had passed.
  void numbersEdited();
  // Colours every data row as the outcome says and sets Label2 and the buttons; returns the grid
  // row a failed check stopped at (the later twin of a duplicate), 0 for a passed one.
  int showOutcome(const batch::Outcome& outcome);
  // Makes the row's new-number cell current and scrolls it into view (nothing for row 0).
  void bringIntoView(int row);
  void colourRow(int row, const QColor& colour);

  bool eventFilter(QObject* watched, QEvent* event) override;

  int changedToIndex_ = -1;  // the entry a change of Combo1's index has just listed
};
