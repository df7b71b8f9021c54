#include "gui/rules/rule_rows_panel.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QStyle>

#include "gui/drive/drive.h"
#include "core/common/number_key.h"
#include "core/session/session.h"
#include "core/rules/rules_sql.h"
#include "gui/widgets/cell_editor.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/keyed_tree.h"
#include "gui/widgets/text_filters.h"

namespace rules::ui {

using rules::ColDepartment;
using rules::ColDepartmentCode;
using rules::ColId;
using rules::ColNumber;
using rules::ColPosition;
using rules::ColPositionCode;

namespace {

// A sample box: a framed label with centred text.
QLabel* makeBox(QWidget* parent, const QString& text, const QRect& geometry) {
  QLabel* box = makeLabel(parent, text, geometry);
  box->setFrameShape(QFrame::Box);
  box->setAlignment(Qt::AlignCenter);
  return box;
}

QFrame* makeLine(QWidget* parent, const QRect& geometry, bool vertical) {
  auto* line = new QFrame(parent);
  line->setFrameShape(vertical ? QFrame::VLine : QFrame::HLine);
  line->setFrameShadow(QFrame::Plain);
  line->setGeometry(geometry);
  return line;
}

QString departmentKey(const QString& number) { return QStringLiteral("$") + number; }

}  // namespace

// ---- Construction --------------------------------------------------------------------------

RuleRowsPanel::RuleRowsPanel(session::Session& session, QWidget* frame, Labels& labels)
    : QWidget(frame), session_(session) {
  setGeometry(0, 0, frame->width(), frame->height());
  for (int position = 0; position < rules::kRuleCodes; ++position) {
    const int code = rules::kOptionOrder[position];
    Option1[code] = new QRadioButton(rules::codeCaption(code), this);
    Option1[code]->setGeometry(12, 24 + position * 24, 320, 22);
  }
  buildSample(30, labels);

  MSFlexGrid1 = new FlexGrid(this);
  MSFlexGrid1->setGeometry(12, 206, 642, 340);
  MSFlexGrid1->setFormatString(QStringLiteral("序 |<部门") + QString(27, QLatin1Char(' ')) +
                               QStringLiteral("|^部门码|<岗位类别") + QString(19, QLatin1Char(' ')) +
                               QStringLiteral("|^岗位码|"));
  MSFlexGrid1->setFixedCols(0);
  MSFlexGrid1->setRows(1);
  MSFlexGrid1->setColWidth(ColId, 0);

  const QIcon chooser = style()->standardIcon(QStyle::SP_ArrowDown);
  Command1 = makeButton(this, QString(), QRect(0, 0, 20, 20));
  Command1->setIcon(chooser);
  Command1->hide();
  Command6 = makeButton(this, QString(), QRect(0, 0, 20, 20));
  Command6->setIcon(chooser);
  Command6->hide();
  Text4 = makeEdit(this, QRect(0, 0, 60, 20));
  Text4->hide();
  cellEditor_ = new widgets::CellEditor(Text4, MSFlexGrid1);
  List1 = new QListWidget(this);
  List1->setGeometry(0, 0, 240, 160);
  // No focus: a list taking the focus would make its first line current, which counts as a choice.
  List1->setFocusPolicy(Qt::NoFocus);
  List1->hide();

  Command2 = makeButton(this, QStringLiteral("添加"), QRect(374, 560, 90, 28));
  Command3 = makeButton(this, QStringLiteral("删除"), QRect(469, 560, 90, 28));
  Command4 = makeButton(this, QStringLiteral("确定"), QRect(564, 560, 90, 28));
  Command3->setEnabled(false);

  for (int code = 0; code < rules::kRuleCodes; ++code) {
    QObject::connect(Option1[code], &QRadioButton::toggled, this, [this, code](bool checked) {
      if (checked) layoutClick(code);
    });
  }
  // Cell editor: Enter writes the cell; digits only (see eventFilter).
  Text4->installEventFilter(this);
  filterPasted(Text4, widgets::kDigits);
  QObject::connect(MSFlexGrid1, &FlexGrid::Click, this, [this] { gridClick(); });
  QObject::connect(Command2, &QPushButton::clicked, this, [this] { newRow(); });
  QObject::connect(Command3, &QPushButton::clicked, this, [this] { deleteRow(); });
  QObject::connect(Command4, &QPushButton::clicked, this, [this] { saveRow(); });
  QObject::connect(Command6, &QPushButton::clicked, this, [this] { positionButtonClick(); });
  QObject::connect(List1, &QListWidget::currentRowChanged, this, [this](int row) { positionChosen(row); });
}

void RuleRowsPanel::buildSample(int top, Labels& labels) {
  // "例" with the boxes department, category, position, serial joined by lines to their
  // headings, and below them the whole sample number.
  const int left = 420, width = 54, step = 60;
  labels[5] = makeLabel(this, QStringLiteral("例"), QRect(left - 28, top, 24, 24));
  for (int box = 0; box < 4; ++box) {
    const int x = left + box * step;
    const bool serial = box == 3;
    sample_[box] = makeBox(this, serial ? QStringLiteral("008") : rules::noPart(), QRect(x, top, width, 24));
    Line1[box] = makeLine(this, QRect(x + width / 2, top + 24, 1, 18), true);
  }
  const QString kHeadings[] = {QStringLiteral("部门码"), QStringLiteral("类别码"), QStringLiteral("岗位码"),
                               QStringLiteral("流水号")};
  for (int heading = 0; heading < 4; ++heading) {
    QLabel* label = labels[11 + heading] =
        makeLabel(this, kHeadings[heading], QRect(left + heading * step, top + 42, width, 20));
    label->setAlignment(Qt::AlignCenter);
    if (heading < 3) {
      headings_[heading] = label;
      label->setEnabled(false);
    }
  }
  // A bracket under the headings leading to the whole sample number.
  const int bracketTop = top + 70, right = left + 3 * step + width;
  Line1[4] = makeLine(this, QRect(left + width / 2, bracketTop, 1, 10), true);
  Line1[5] = makeLine(this, QRect(right - width / 2, bracketTop, 1, 10), true);
  Line1[6] = makeLine(this, QRect(left + width / 2, bracketTop + 10, right - left - width + 1, 1), false);
  Line1[7] = makeLine(this, QRect((left + right) / 2, bracketTop + 10, 1, 12), true);
  sample_[4] = makeBox(this, QStringLiteral("008"), QRect((left + right) / 2 - 80, bracketTop + 22, 160, 26));
  for (int box = 0; box < 5; ++box) labels[6 + box] = sample_[box];
}

void RuleRowsPanel::buildChooser(QWidget* host, Labels& labels) {
  Picture1 = makePopup(host, QRect(600, 180, 320, 400));
  labels[15] = makeLabel(Picture1, QStringLiteral("请选择部门"), QRect(10, 8, 300, 20));
  TreeView2 = makeTree(Picture1, QRect(10, 32, 300, 320));
  Command5 = makeButton(Picture1, QStringLiteral("选择确定"), QRect(100, 362, 100, 28));
  Command7 = makeButton(Picture1, QStringLiteral("取消"), QRect(210, 362, 100, 28));

  QObject::connect(Command1, &QPushButton::clicked, this, [this] {
    Picture1->show();
    Picture1->raise();
  });
  QObject::connect(Command5, &QPushButton::clicked, this, [this] { chooseDepartment(); });
  QObject::connect(Command7, &QPushButton::clicked, this, [this] { Picture1->hide(); });
}

bool RuleRowsPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched != Text4 || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (key->key() != Qt::Key_Backspace && key->key() != Qt::Key_Delete && !isPrintable(key->text()) &&
      key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) {
    return false;
  }
  return cellEditorKey(key->key(), key->text());
}

// ---- The shown rule ------------------------------------------------------------------------

void RuleRowsPanel::showRule(const rules::RuleRef& rule, bool sharesCode, int layout,
                             const std::vector<rules::RuleRow>& rows) {
  rule_ = Rule{rule, sharesCode};
  suppressLayoutPrompt_ = true;
  if (layout >= 0) {
    Option1[layout]->setChecked(true);  // no question: the prompt is suppressed
    showRows(rows, layout);
  } else {
    // A code outside 0 to 6: no layout button fits, nothing is listed.
    for (QRadioButton* option : Option1) option->setAutoExclusive(false);
    for (QRadioButton* option : Option1) option->setChecked(false);
    for (QRadioButton* option : Option1) option->setAutoExclusive(true);
    emptyGrid();
  }
  suppressLayoutPrompt_ = false;
}

void RuleRowsPanel::setRule(const rules::RuleRef& rule) { rule_ = Rule{rule, false}; }

void RuleRowsPanel::clearRule() {
  rule_.reset();
  emptyGrid();
  hidePopups();
}

void RuleRowsPanel::startEmpty() {
  emptyGrid();
  MSFlexGrid1->setColWidth(ColId, 0);
}

void RuleRowsPanel::hidePopups() {
  Picture1->hide();
  hideCellControls();
}

QString RuleRowsPanel::pattern() const { return patternText ? patternText() : QString(); }

QString RuleRowsPanel::actingCode() const { return rules::actingCode(rule_ ? rule_->ref.code : QString()); }

// ---- Layout and sample ---------------------------------------------------------------------

int RuleRowsPanel::selectedLayout() const {
  for (int code = 0; code < rules::kRuleCodes; ++code) {
    if (Option1[code]->isChecked()) return code;
  }
  return 0;
}

void RuleRowsPanel::layoutClick(int code) {
  // Selected by the panel itself (showing a rule, undoing a refused change): its display stands.
  if (suppressLayoutPrompt_ || !rule_) return;
  const QString caption = rules::codeCaption(code);
  if (!drive::confirm(window(), QStringLiteral("确定要改成") + caption + QStringLiteral("?"), false)) {
    undoLayoutChoice();
    return;
  }
  const bool hasRows = MSFlexGrid1->Rows() > 1;
  if (hasRows &&
      !drive::confirm(window(),
                      QStringLiteral("您已经设置了具体的编码规则，是否确认要改成") + caption + QStringLiteral("?") +
                          QStringLiteral("\n") + QStringLiteral("【提醒】如果选择[是]系统将自动删除已设置的具体规则"),
                      false)) {
    undoLayoutChoice();
    return;
  }
  if (!drive::guarded(window(), [&] { rules::changeRuleCode(session_, rule_->ref, code, hasRows); })) {
    undoLayoutChoice();
    return;
  }
  if (layoutStored) layoutStored(code);
  refreshLayout(code);
}

void RuleRowsPanel::undoLayoutChoice() {
  const int stored = storedLayout ? storedLayout() : 0;
  suppressLayoutPrompt_ = true;
  if (stored >= 0 && stored < rules::kRuleCodes) Option1[stored]->setChecked(true);
  suppressLayoutPrompt_ = false;
}

void RuleRowsPanel::showSample(int code) {
  const rules::SampleBoxes boxes = rules::sampleBoxes(code);
  sample_[0]->setText(boxes.department);
  sample_[1]->setText(boxes.category);
  sample_[2]->setText(boxes.position);
  headings_[0]->setEnabled(rules::hasDepartment(code));
  headings_[1]->setEnabled(rules::hasCategory(code));
  headings_[2]->setEnabled(rules::hasPosition(code));
  sample_[3]->setText(rules::sampleSerial(pattern()));
  sample_[4]->setText(rules::sampleNumber(code, pattern()));
}

void RuleRowsPanel::refreshLayout(int code) {
  std::vector<rules::RuleRow> rows;
  drive::guarded(window(), [&] { rows = rules::layoutRows(session_.database(), rule_->ref, code); });
  showRows(rows, code);
}

void RuleRowsPanel::showRows(const std::vector<rules::RuleRow>& rows, int code) {
  showSample(code);
  emptyGrid();
  Command1->hide();
  Command6->hide();
  Command3->setEnabled(false);
  Command4->setEnabled(false);
  if (code < 2) {
    Command2->setEnabled(false);
    return;
  }
  fillGrid(rows);
  Command2->setEnabled(!rule_->sharesCode);
  Command1->setEnabled(rules::hasDepartment(code));
  Command6->setEnabled(rules::hasPosition(code));
}

// ---- The grid of specific rows -------------------------------------------------------------

void RuleRowsPanel::emptyGrid() { MSFlexGrid1->setRows(1); }

bool RuleRowsPanel::onDataRow() const { return MSFlexGrid1->Rows() > 1 && MSFlexGrid1->Row() >= 1; }

void RuleRowsPanel::hideCellControls() {
  Command1->hide();
  Command6->hide();
  cellEditor_->close();
  List1->hide();
}

void RuleRowsPanel::listRows(const QString& categoryCode) {
  std::vector<rules::RuleRow> rows;
  if (drive::guarded(window(), [&] { rows = rules::listRuleRows(session_.database(), categoryCode); })) {
    fillGrid(rows);
  }
}

void RuleRowsPanel::fillGrid(const std::vector<rules::RuleRow>& rows) {
  emptyGrid();
  MSFlexGrid1->hide();
  for (const rules::RuleRow& rs : rows) {
    const int row = MSFlexGrid1->Rows();
    MSFlexGrid1->setRows(row + 1);
    MSFlexGrid1->setRow(row);
    MSFlexGrid1->setTextMatrix(row, ColNumber, QString::number(row));
    if (!rs.departmentIsNull) MSFlexGrid1->setTextMatrix(row, ColDepartment, departmentName(rs.department));
    MSFlexGrid1->setTextMatrix(row, ColDepartmentCode, rs.departmentCode);
    if (!rs.positionIsNull) MSFlexGrid1->setTextMatrix(row, ColPosition, positionName(rs.position));
    MSFlexGrid1->setTextMatrix(row, ColPositionCode, rs.positionCode);
    MSFlexGrid1->setTextMatrix(row, ColId, QString::number(rs.id));
  }
  MSFlexGrid1->show();
}

void RuleRowsPanel::placeAtCellEdge(QWidget* control) {
  const QRect cell = MSFlexGrid1->cellRect(MSFlexGrid1->Row(), MSFlexGrid1->Col());
  const QPoint grid = MSFlexGrid1->pos();
  control->resize(control->width(), qMin(cell.height(), 22));
  control->move(grid.x() + cell.left() + cell.width() - control->width(), grid.y() + cell.top());
  control->show();
  control->raise();
}

void RuleRowsPanel::gridClick() {
  if (!onDataRow()) return;
  hideCellControls();
  Picture1->hide();
  const int row = MSFlexGrid1->Row();
  if (!MSFlexGrid1->TextMatrix(row, ColId).isEmpty()) {
    auto boxText = [](const QString& text) { return text.isEmpty() ? rules::noPart() : text; };
    sample_[0]->setText(boxText(MSFlexGrid1->TextMatrix(row, ColDepartmentCode)));
    sample_[1]->setText(boxText(categoryCodeText ? categoryCodeText() : QString()));
    sample_[2]->setText(boxText(MSFlexGrid1->TextMatrix(row, ColPositionCode)));
    sample_[3]->setText(rules::sampleSerial(pattern()));
    sample_[4]->setText(rules::rowSampleNumber(sample_[0]->text(), sample_[1]->text(), sample_[2]->text(), pattern()));
    Command3->setEnabled(true);
  } else {
    Command3->setEnabled(false);
  }
  Command4->setEnabled(true);
  switch (MSFlexGrid1->Col()) {
    case ColDepartment: placeAtCellEdge(Command1); break;
    case ColPosition: placeAtCellEdge(Command6); break;
    case ColDepartmentCode:
    case ColPositionCode:
      // A code the layout has no part for can't be edited.
      Text4->setReadOnly(!rules::cellEditable(MSFlexGrid1->Col(), selectedLayout()));
      cellEditor_->open();  // typing replaces the code
      break;
    default: break;
  }
}

void RuleRowsPanel::newRow() {
  const int rows = MSFlexGrid1->Rows();
  if (rows == 1 || !MSFlexGrid1->TextMatrix(rows - 1, ColId).isEmpty()) MSFlexGrid1->setRows(rows + 1);
  MSFlexGrid1->setRow(MSFlexGrid1->Rows() - 1);
  MSFlexGrid1->setCol(ColDepartment);
  gridClick();
}

bool RuleRowsPanel::cellEditorKey(int key, const QString& text) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    if (!onDataRow()) return true;
    MSFlexGrid1->setText(common::typedNumber(Text4->text()).number);  // as the numbers take it
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
  return widgets::keepOnly(text, widgets::kDigits) != text;
}

bool RuleRowsPanel::mayClose() {
  // A rule without rows of its own writes none: its rows' edits go as "确定" drops them.
  if (!cellEditor_->changed() || !onDataRow() || !rule_ || rule_->sharesCode) return true;
  const QString typed = common::typedNumber(Text4->text()).number;  // as Enter writes it
  if (typed == MSFlexGrid1->Text()) return true;
  const QString column = MSFlexGrid1->TextMatrix(0, MSFlexGrid1->Col()).trimmed();
  switch (widgets::choose(window(), unsavedEditQuestion(column, MSFlexGrid1->Text(), typed),
                          {QStringLiteral("保存"), QStringLiteral("不保存"), QStringLiteral("取消")})) {
    case 0:
      // Saved as Enter and "确定" save it; a refused or failed save keeps the window open.
      MSFlexGrid1->setText(typed);
      cellEditor_->close();
      return saveRow();
    case 1: cellEditor_->close(); return true;
    default: return false;  // the edit stays in the cell editor
  }
}

QString RuleRowsPanel::unsavedEditQuestion(const QString& column, const QString& was, const QString& typed) {
  return QStringLiteral("%1的修改尚未保存：“%2”改为“%3”。\n关闭窗口前是否保存这一行？").arg(column, was, typed);
}

bool RuleRowsPanel::saveRow() {
  if (!onDataRow()) return false;
  const int row = MSFlexGrid1->Row();
  const QString department = MSFlexGrid1->TextMatrix(row, ColDepartment);
  const QString departmentCode = MSFlexGrid1->TextMatrix(row, ColDepartmentCode);
  const QString position = MSFlexGrid1->TextMatrix(row, ColPosition);
  const QString positionCode = MSFlexGrid1->TextMatrix(row, ColPositionCode);
  const QString check = rules::rowCheckMessage(selectedLayout(), department, departmentCode, position, positionCode);
  if (!check.isEmpty()) {
    widgets::msg(window(), check);
    return false;
  }
  // A rule sharing its code "0" with rule "0" has no rows of its own to write.
  if (!rule_ || rule_->sharesCode) return false;
  const rules::RuleRowValues values{actingCode(), rules::itemNumber(department), departmentCode,
                                    rules::itemNumber(position), positionCode};
  const QString id = MSFlexGrid1->TextMatrix(row, ColId);
  const bool saved = drive::guarded(window(), [&] {
    if (id.isEmpty()) {
      const qint64 newId = rules::addRuleRow(session_, values);
      MSFlexGrid1->setTextMatrix(row, ColNumber, QString::number(row));
      MSFlexGrid1->setTextMatrix(row, ColId, QString::number(newId));
    } else {
      rules::updateRuleRow(session_, id.toLongLong(), values);
    }
  });
  if (!saved) return false;
  hidePopups();
  return true;
}

void RuleRowsPanel::deleteRow() {
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
  if (!drive::confirm(window(), question, false)) return;
  if (!drive::guarded(window(), [&] { rules::deleteRuleRow(session_, id.toLongLong()); })) return;
  emptyGrid();
  listRows(actingCode());
  Command3->setEnabled(false);
  Command4->setEnabled(false);
  hidePopups();
}

void RuleRowsPanel::chooseDepartment() {
  if (!TreeView2->selectedKey().isEmpty() && onDataRow()) {
    MSFlexGrid1->setTextMatrix(MSFlexGrid1->Row(), ColDepartment, TreeView2->selectedText());
  }
  Picture1->hide();
}

void RuleRowsPanel::positionButtonClick() {
  // Below the button, or above it when the list would reach below the bottom of the frame.
  int top = Command6->y() + Command6->height();
  if (top + List1->height() > List1->parentWidget()->height()) top = Command6->y() - List1->height();
  const int left = qMax(0, Command6->x() + Command6->width() - List1->width());
  List1->move(left, top);
  List1->setVisible(!List1->isVisible());
  List1->raise();
}

void RuleRowsPanel::positionChosen(int row) {
  if (choosingPosition_ || row < 0) return;
  if (onDataRow()) MSFlexGrid1->setText(List1->item(row)->text());
  List1->hide();
  // Clear the choice so that the same line can be picked again for another row.
  choosingPosition_ = true;
  List1->setCurrentRow(-1);
  choosingPosition_ = false;
}

// ---- The department tree and the position list ---------------------------------------------

void RuleRowsPanel::loadDepartmentTree() {
  if (!drive::guarded(window(), [&] { departments_ = rules::currentDepartments(session_.database()); })) return;
  TreeView2->clearNodes();
  // A current department whose parent is no current department (it ended, or it is no
  // department) stands at the top, so that its name shows wherever its number is used.
  QSet<QString> listed;
  for (const rules::Department& row : departments_) listed.insert(row.number);
  for (const rules::Department& row : departments_) {
    if (!row.parent.isEmpty() && listed.contains(row.parent)) continue;
    if (TreeView2->addNode(QString(), departmentKey(row.number), row.number + QLatin1Char(' ') + row.name, 1)) {
      addDepartmentChildren(row.number);
    }
  }
  if (TreeView2->topLevelItemCount() > 0) TreeView2->topLevelItem(0)->setExpanded(true);
}

void RuleRowsPanel::addDepartmentChildren(const QString& parentNumber) {
  // Children in list order, depth first. A node is only descended into when it was added, so a
  // department listed twice can't make the recursion run forever.
  for (size_t i = 0; i < departments_.size(); ++i) {
    const rules::Department row = departments_[i];
    if (row.parent != parentNumber) continue;
    if (TreeView2->addNode(departmentKey(parentNumber), departmentKey(row.number),
                           row.number + QLatin1Char(' ') + row.name, 1)) {
      addDepartmentChildren(row.number);
    }
  }
}

QString RuleRowsPanel::departmentName(const QString& number) const {
  for (const QString& text : TreeView2->texts()) {
    if (rules::itemNumber(text) == number) return text;
  }
  return QString();
}

QString RuleRowsPanel::positionName(const QString& number) const {
  for (int row = 0; row < List1->count(); ++row) {
    const QString line = List1->item(row)->text();
    if (rules::itemNumber(line) == number) return line;
  }
  return QString();
}

void RuleRowsPanel::loadPositionList() {
  std::vector<rules::NumberedName> positions;
  if (!drive::guarded(window(), [&] { positions = rules::positionCategories(session_.database()); })) return;
  List1->clear();
  for (const rules::NumberedName& position : positions) {
    List1->addItem(position.number + QLatin1Char(' ') + position.name);
  }
}

}  // namespace rules::ui
