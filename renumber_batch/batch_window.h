#pragma once
// The batch renumbering window: list the employees of one numbering rule, propose and check new
// numbers, apply them across the database, and stage the numbers of employees without a position.
#include <QColor>
#include <QString>
#include <QWidget>
#include <optional>

#include "ops/batch_logic.h"

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

class frm员工工号统一修改 : public QWidget {
 public:
  explicit frm员工工号统一修改(QWidget* parent = nullptr);

  QLabel* Label1 = nullptr;  // caption of the rule combo
  QComboBox* Combo1 = nullptr;  // numbering rule: "类别码 编码类别名称"
  FlexGrid* MSFlexGrid1 = nullptr;  // the work list
  QLineEdit* Text1 = nullptr;  // in-place editor of the new-number column
  QLabel* Label2 = nullptr;  // message line of the checks
  QCheckBox* Check1 = nullptr;  // list each employee number once
  QCheckBox* Check2 = nullptr;  // resolve conflicts automatically
  QPushButton* Command1 = nullptr;  // propose new numbers
  QPushButton* Command2 = nullptr;  // check the new numbers
  QPushButton* Command4 = nullptr;  // export the old/new table
  QPushButton* Command3 = nullptr;  // apply the new numbers
  QPushButton* Command5 = nullptr;  // stage employees without a position

  // The checking procedures, one row or one candidate at a time, on the grid as it stands.
  // 本核: true when no row other than row carries number in the new-number column; otherwise
  // false with conflictRow set to the first such row.
  bool 本核(const QString& number, int& conflictRow, int row) const;
  // 数核: true when no employee of the register has number; on false with Check2 unticked
  // Label2 names the holder. Throws db::DbError.
  bool 数核(const QString& number);
  // 自动插入: the next number above number's leading digits that is free (自插核对).
  QString 自动插入(const QString& number);
  // 自插核对: true when no row's new number has the candidate's numeric value and 数核 agrees.
  bool 自插核对(qint64 candidate);

  // Renames oldNo to newNo in the register and every reference column, in one execution.
  // Throws db::DbError.
  void Kestrune(const QString& oldNo, const QString& newNo);

  // Lists the employees of the chosen rule (Combo1 or Check1 clicked).
  void 列表();

 private:
  void fillRules();
  void gridClick();
  void closeEditor();
  bool editorKey(int key, const QString& text);
  void propose();
  void check();
  void apply();
  void stage();

  batch::Rows gridRows() const;
  // The holder's name of a number in the register, or nothing when it is free.
  std::optional<QString> registerHolder(const QString& number);
  // Resets the colours of every data cell, then colours rows as the outcome says and sets Label2
  // for a failed manual check.
  void showOutcome(const batch::Outcome& outcome);
  void colourRow(int row, const QColor& colour);

  bool eventFilter(QObject* watched, QEvent* event) override;
};
