// The rule settings window: the grid of specific rule rows (department and position codes),
// its cell editor, the department chooser and the position list.
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "ops/connection.h"
#include "ops/rule_codes.h"
#include "ops/rule_store.h"
#include "rules/rules_window.h"
#include "widgets/dialogs.h"
#include "widgets/flex_grid.h"
#include "widgets/keyed_tree.h"
#include "widgets/text_filters.h"

using rules::ColDepartment;
using rules::ColDepartmentCode;
using rules::ColId;
using rules::ColNumber;
using rules::ColPosition;
using rules::ColPositionCode;

void frm工号规则设置::emptyGrid() { MSFlexGrid1->setRows(1); }

bool frm工号规则设置::onDataRow() const { return MSFlexGrid1->Rows() > 1 && MSFlexGrid1->Row() >= 1; }

void frm工号规则设置::hideCellControls() {
  Command1->hide();
  Command6->hide();
  Text4->hide();
  List1->hide();
}

void frm工号规则设置::列表(const QString& categoryCode) {
  std::vector<rules::RuleRow> rows;
  if (ui::guarded(this, [&] { rows = rules::listRuleRows(ops::sharedConnection(), categoryCode); })) fillGrid(rows);
}

void frm工号规则设置::fillGrid(const std::vector<rules::RuleRow>& rows) {
  emptyGrid();
  MSFlexGrid1->hide();
  for (const rules::RuleRow& rs : rows) {
    const int row = MSFlexGrid1->Rows();
    MSFlexGrid1->setRows(row + 1);
    MSFlexGrid1->setRow(row);
    MSFlexGrid1->setTextMatrix(row, ColNumber, QString::number(row));
    if (!rs.departmentIsNull) MSFlexGrid1->setTextMatrix(row, ColDepartment, 获取部门名称(rs.department));
    MSFlexGrid1->setTextMatrix(row, ColDepartmentCode, rs.departmentCode);
    if (!rs.positionIsNull) MSFlexGrid1->setTextMatrix(row, ColPosition, 获取岗位名称(rs.position));
    MSFlexGrid1->setTextMatrix(row, ColPositionCode, rs.positionCode);
    MSFlexGrid1->setTextMatrix(row, ColId, QString::number(rs.id));
  }
  MSFlexGrid1->show();
}

void frm工号规则设置::placeOverCell(QWidget* control, bool atRightEdge) {
  const QRect cell = MSFlexGrid1->cellRect(MSFlexGrid1->Row(), MSFlexGrid1->Col());
  const QPoint grid = MSFlexGrid1->pos();
  if (atRightEdge) {
    control->resize(control->width(), qMin(cell.height(), 22));
    control->move(grid.x() + cell.left() + cell.width() - control->width(), grid.y() + cell.top());
  } else {
    control->setGeometry(grid.x() + cell.left(), grid.y() + cell.top(), cell.width(), cell.height());
  }
  control->show();
  control->raise();
}

void frm工号规则设置::gridClick() {
  if (!onDataRow()) return;
  hideCellControls();
  Picture1->hide();
  const int row = MSFlexGrid1->Row();
  if (!MSFlexGrid1->TextMatrix(row, ColId).isEmpty()) {
    auto boxText = [](const QString& text) { return text.isEmpty() ? rules::noPart() : text; };
    Label1[6]->setText(boxText(MSFlexGrid1->TextMatrix(row, ColDepartmentCode)));
    Label1[7]->setText(boxText(Text3->text()));
    Label1[8]->setText(boxText(MSFlexGrid1->TextMatrix(row, ColPositionCode)));
    Label1[9]->setText(rules::sampleSerial(Text1->text()));
    Label1[10]->setText(rules::rowSampleNumber(Label1[6]->text(), Label1[7]->text(), Label1[8]->text(), Text1->text()));
    Command3->setEnabled(true);
  } else {
    Command3->setEnabled(false);
  }
  Command4->setEnabled(true);
  switch (MSFlexGrid1->Col()) {
    case ColDepartment: placeOverCell(Command1, true); break;
    case ColPosition: placeOverCell(Command6, true); break;
    case ColDepartmentCode:
    case ColPositionCode:
      Text4->setText(MSFlexGrid1->Text());
      // A code the layout has no part for can't be edited.
      Text4->setReadOnly(!rules::cellEditable(MSFlexGrid1->Col(), selectedLayout()));
      placeOverCell(Text4, false);
      Text4->setFocus();
      break;
    default: break;
  }
}

void frm工号规则设置::newRow() {
  const int rows = MSFlexGrid1->Rows();
  if (rows == 1 || !MSFlexGrid1->TextMatrix(rows - 1, ColId).isEmpty()) MSFlexGrid1->setRows(rows + 1);
  MSFlexGrid1->setRow(MSFlexGrid1->Rows() - 1);
  MSFlexGrid1->setCol(ColDepartment);
  gridClick();
}

bool frm工号规则设置::cellEditorKey(int key, const QString& text) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (!onDataRow()) return true;
    MSFlexGrid1->setText(Text4->text());
    if (MSFlexGrid1->Col() == ColPositionCode) {
      saveRow();
    } else {
      MSFlexGrid1->setCol(MSFlexGrid1->Col() + 1);
      gridClick();
    }
    return true;
  }
  if (!rules::cellEditable(MSFlexGrid1->Col(), selectedLayout())) return true;
  if (key == Qt::Key_Backspace || key == Qt::Key_Delete) return false;
  return ui::keepOnly(text, ui::kDigits) != text;
}

void frm工号规则设置::saveRow() {
  if (!onDataRow()) return;
  const int row = MSFlexGrid1->Row();
  const QString department = MSFlexGrid1->TextMatrix(row, ColDepartment);
  const QString departmentCode = MSFlexGrid1->TextMatrix(row, ColDepartmentCode);
  const QString position = MSFlexGrid1->TextMatrix(row, ColPosition);
  const QString positionCode = MSFlexGrid1->TextMatrix(row, ColPositionCode);
  const QString check = rules::rowCheckMessage(selectedLayout(), department, departmentCode, position, positionCode);
  if (!check.isEmpty()) {
    ui::msg(this, check);
    return;
  }
  // A rule sharing its code "0" with rule "0" has no rows of its own to write.
  if (!shownRule() || sharesCode_) return;
  const rules::RuleRowValues values{rules::actingCode(shownRef().code), rules::itemNumber(department), departmentCode,
                                    rules::itemNumber(position), positionCode};
  const QString id = MSFlexGrid1->TextMatrix(row, ColId);
  const bool saved = ui::guarded(this, [&] {
    if (id.isEmpty()) {
      const qint64 newId = rules::addRuleRow(ops::sharedConnection(), values);
      MSFlexGrid1->setTextMatrix(row, ColNumber, QString::number(row));
      MSFlexGrid1->setTextMatrix(row, ColId, QString::number(newId));
    } else {
      rules::updateRuleRow(ops::sharedConnection(), id.toLongLong(), values);
    }
  });
  if (!saved) return;
  Picture1->hide();
  hideCellControls();
}

void frm工号规则设置::deleteRow() {
  if (!onDataRow()) return;
  const int row = MSFlexGrid1->Row();
  const QString id = MSFlexGrid1->TextMatrix(row, ColId);
  if (id.isEmpty()) return;
  const QString department = MSFlexGrid1->TextMatrix(row, ColDepartment);
  const QString position = MSFlexGrid1->TextMatrix(row, ColPosition);
  QString question = QStringLiteral("确认要删除");
  if (!department.isEmpty()) question += department + QStringLiteral("部门");
  if (!position.isEmpty()) question += QStringLiteral(" 岗位类别为：") + position;
  question += QStringLiteral(" 的编码规则?");
  if (!ui::ask(this, question)) return;
  if (!ui::guarded(this, [&] { rules::deleteRuleRow(ops::sharedConnection(), id.toLongLong()); })) return;
  emptyGrid();
  列表(rules::actingCode(shownRef().code));
  Command3->setEnabled(false);
  Command4->setEnabled(false);
  hideCellControls();
  Picture1->hide();
}

void frm工号规则设置::chooseDepartment() {
  if (!TreeView2->selectedKey().isEmpty() && onDataRow()) {
    MSFlexGrid1->setTextMatrix(MSFlexGrid1->Row(), ColDepartment, TreeView2->selectedText());
  }
  Picture1->hide();
}

void frm工号规则设置::positionButtonClick() {
  // Below the button, or above it when the list would reach below the bottom of the frame.
  int top = Command6->y() + Command6->height();
  if (top + List1->height() > List1->parentWidget()->height()) top = Command6->y() - List1->height();
  const int left = qMax(0, Command6->x() + Command6->width() - List1->width());
  List1->move(left, top);
  List1->setVisible(!List1->isVisible());
  List1->raise();
}

void frm工号规则设置::positionChosen(int row) {
  if (choosingPosition_ || row < 0) return;
  if (onDataRow()) MSFlexGrid1->setText(List1->item(row)->text());
  List1->hide();
  // Clear the choice so that the same line can be picked again for another row.
  choosingPosition_ = true;
  List1->setCurrentRow(-1);
  choosingPosition_ = false;
}
