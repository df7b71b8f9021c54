#include "gui/single/single_window.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "gui/drive/drive.h"
#include "core/common/number_key.h"
#include "core/session/session.h"
#include "core/rules/rules_sql.h"
#include "core/single/single_sql.h"
#include "core/single/single_preview.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/wait_cursor.h"

namespace {

// Result list columns.
constexpr int kColNumber = 1, kColName = 2, kColSex = 3, kColIdCard = 4, kColDepartment = 5, kColPosition = 6;
constexpr int kColCategory = 7, kColPositionCategory = 8, kColId = 9;

const QString kListFormat = QStringLiteral(
    "序|<工号   |<姓名     |<性别|<身份证            |<部门                      |<岗位                       |||");

QLabel* label(const QString& caption, QWidget* parent) { return new QLabel(caption, parent); }

}  // namespace

frm员工Kestrune::frm员工Kestrune(session::Session& session, QWidget* parent) : QWidget(parent), session_(session) {
  setWindowTitle(QStringLiteral("员工Kestrune"));
  buildControls();

  // Window load: the category, position category and ID columns stay invisible.
  const int cols = MSFlexGrid1->Cols();
  MSFlexGrid1->setColWidth(cols - 1, 0);
  MSFlexGrid1->setColWidth(cols - 2, 0);
  MSFlexGrid1->setColWidth(cols - 3, 0);

  connect(Command1, &QPushButton::clicked, this, [this] { textSearch(); });
  for (QLineEdit* box : {Text1, Text2, Text3}) connect(box, &QLineEdit::returnPressed, this, [this] { textSearch(); });
  connect(Command5, &QPushButton::clicked, this, [this] { equalNumbersSearch(); });
  connect(Command2, &QPushButton::clicked, this, [this] {
    placeListPanel();
    Picture1->show();
    Picture1->raise();
  });
  connect(MSFlexGrid1, &FlexGrid::Click, this, [this] { listClicked(); });
  connect(Check1, &QCheckBox::toggled, this, [this] { check1Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { renumber(); });
  connect(Command6, &QPushButton::clicked, this, [this] { previewRenumber(); });
  connect(Text4, &QLineEdit::textChanged, this, [this](const QString& text) { Command6->setEnabled(!text.isEmpty()); });
  connect(Command4, &QPushButton::clicked, this, [this] { close(); });
}

void frm员工Kestrune::buildControls() {
  resize(880, 560);
  auto* outer = new QVBoxLayout(this);

  // Step one.
  Frame1 = new QGroupBox(QStringLiteral("第一步 检索要修改工号的员工"), this);
  auto* g1 = new QGridLayout(Frame1);
  Label1[0] = label(QStringLiteral("当前工号"), Frame1);
  Label1[1] = label(QStringLiteral("姓名"), Frame1);
  Label1[2] = label(QStringLiteral("身份证"), Frame1);
  Text1 = new QLineEdit(Frame1);
  Text2 = new QLineEdit(Frame1);
  Text3 = new QLineEdit(Frame1);
  Command1 = new QPushButton(QStringLiteral("检索"), Frame1);
  Command5 = new QPushButton(QStringLiteral("检索数值相同员工"), Frame1);
  Command2 = new QPushButton(QStringLiteral("从列表中选择"), Frame1);
  Label1[3] = label(QStringLiteral("检索结果有多个符合检索条件的员工，你可以从列表中选择"), Frame1);
  Label1[3]->setStyleSheet(QStringLiteral("color: #b00000;"));
  g1->addWidget(Label1[0], 0, 0);
  g1->addWidget(Text1, 0, 1);
  g1->addWidget(Label1[1], 0, 2);
  g1->addWidget(Text2, 0, 3);
  g1->addWidget(Label1[2], 0, 4);
  g1->addWidget(Text3, 0, 5);
  g1->addWidget(Command1, 0, 6);
  g1->addWidget(Command5, 0, 7);
  g1->addWidget(Label1[3], 1, 0, 1, 6);
  g1->addWidget(Command2, 1, 6, 1, 2);
  g1->setColumnStretch(1, 1);
  g1->setColumnStretch(3, 1);
  g1->setColumnStretch(5, 2);
  outer->addWidget(Frame1);

  // Step two.
  Frame2 = new QGroupBox(QStringLiteral("第二步 修改工号"), this);
  auto* g2 = new QGridLayout(Frame2);
  Label1[4] = label(QStringLiteral("员工信息："), Frame2);
  Label1[4]->setWordWrap(true);
  Label1[4]->setMinimumHeight(40);
  Label1[5] = label(QStringLiteral("新工号"), Frame2);
  Text4 = new QLineEdit(Frame2);
  Check1 = new QCheckBox(QStringLiteral("采用自动编号"), Frame2);
  Command3 = new QPushButton(QStringLiteral("修改确定"), Frame2);
  Command6 = new QPushButton(QStringLiteral("影响预览"), Frame2);
  Command6->setEnabled(false);  // no new number yet
  g2->addWidget(Label1[4], 0, 0, 1, 6);
  g2->addWidget(Label1[5], 1, 0);
  g2->addWidget(Text4, 1, 1);
  g2->addWidget(Check1, 1, 2);
  g2->addWidget(Command3, 1, 3);
  g2->addWidget(Command6, 1, 4);
  g2->setColumnStretch(1, 1);
  g2->setColumnStretch(5, 2);
  outer->addWidget(Frame2);
  outer->addStretch(1);

  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  Command4 = new QPushButton(QStringLiteral("退出"), this);
  bottom->addWidget(Command4);
  outer->addLayout(bottom);

  // The result list panel lies over step two when it is opened.
  Picture1 = new QFrame(this);
  Picture1->setFrameShape(QFrame::Panel);
  Picture1->setFrameShadow(QFrame::Raised);
  Picture1->setAutoFillBackground(true);
  auto* p = new QVBoxLayout(Picture1);
  Label1[6] = label(QStringLiteral("符合检索条件的员工列表"), Picture1);
  MSFlexGrid1 = new FlexGrid(Picture1);
  MSFlexGrid1->setFormatString(kListFormat);
  MSFlexGrid1->setFixedCols(1);
  p->addWidget(Label1[6]);
  p->addWidget(MSFlexGrid1, 1);

  // Nothing selected yet.
  Picture1->hide();
  Frame2->setEnabled(false);
  Label1[3]->hide();
  Command2->hide();
}

void frm员工Kestrune::placeListPanel() {
  layout()->activate();  // step one grows when the several-hits notice is shown
  const int top = Frame2->geometry().top();
  Picture1->setGeometry(Frame2->geometry().left(), top, Frame2->width(), height() - top - 8);
}

void frm员工Kestrune::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeListPanel();
}

void frm员工Kestrune::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  placeListPanel();
}

// ---- Search and selection --------------------------------------------------------------------

void frm员工Kestrune::searchStart() {
  Picture1->hide();
  Frame2->setEnabled(false);
  Label1[3]->hide();
  Command2->hide();
}

void frm员工Kestrune::textSearch() {
  const QString number = Text1->text(), name = Text2->text(), idCard = Text3->text();
  if (single::textSearchCondition(number, name, idCard).isEmpty()) {
    widgets::msg(this, single::noCriterionMessage());
    return;
  }
  searchStart();
  if (fillList([&] { return single::textSearch(session_.database(), number, name, idCard); }) &&
      MSFlexGrid1->Rows() == 1)
    widgets::msg(this, single::notFoundMessage());
}

void frm员工Kestrune::equalNumbersSearch() {
  searchStart();
  if (fillList([this] { return single::equalNumbersSearch(session_.database()); }) && MSFlexGrid1->Rows() == 1)
    widgets::msg(this, QString());
}

bool frm员工Kestrune::fillList(const std::function<std::vector<single::EmployeeRow>()>& search) {
  FlexGrid* g = MSFlexGrid1;
  g->setRows(1);
  std::vector<single::EmployeeRow> rows;
  if (!drive::guarded(this, [&] { rows = search(); })) return false;
  for (const single::EmployeeRow& e : rows) {
    const int r = g->Rows();
    g->setRows(r + 1);
    g->setRow(r);
    g->setTextMatrix(r, 0, QString::number(r));
    g->setTextMatrix(r, kColNumber, e.number);
    g->setTextMatrix(r, kColName, e.name);
    g->setTextMatrix(r, kColSex, e.sex);
    g->setTextMatrix(r, kColIdCard, e.idCard);
    g->setTextMatrix(r, kColDepartment, e.department);
    g->setTextMatrix(r, kColPosition, e.position);
    g->setTextMatrix(r, kColCategory, e.category);
    g->setTextMatrix(r, kColPositionCategory, e.positionCategory);
    g->setTextMatrix(r, kColId, e.id);
  }

  const int count = g->Rows();
  if (count == 2) {
    g->setRow(1);
    selectRow(1);
  } else if (count >= 3) {
    Label1[3]->show();
    Command2->show();
  }
  return true;
}

void frm员工Kestrune::showSelection(int r) {
  const FlexGrid* g = MSFlexGrid1;
  const QString number = g->TextMatrix(r, kColNumber);
  Label1[4]->setText(single::employeeInfoCaption(number, g->TextMatrix(r, kColName), g->TextMatrix(r, kColIdCard),
                                                 g->TextMatrix(r, kColDepartment), g->TextMatrix(r, kColPosition)));
  Label1[4]->setProperty("Tag", number);
}

void frm员工Kestrune::selectRow(int r) {
  showSelection(r);
  Frame2->setEnabled(true);
  // A new employee starts without a number typed or composed for the one before.
  Check1->setChecked(false);
  Text4->clear();
}

void frm员工Kestrune::listClicked() {
  const int r = MSFlexGrid1->Row();
  if (r < 1 || r >= MSFlexGrid1->Rows()) return;  // the header row holds no employee
  selectRow(r);
  Picture1->hide();
  Label1[3]->hide();  // the notice of several hits has done its work
}

// ---- Composition -----------------------------------------------------------------------------

void frm员工Kestrune::check1Click() {
  if (Check1->isChecked())
    compose();
  else
    untick();
}

void frm员工Kestrune::untick() {
  Text4->clear();
  Text4->setFocus();
  numberPrefix_.clear();
  ruleRowId_.clear();
}

void frm员工Kestrune::composeFailed() {
  Check1->setChecked(false);
  numberPrefix_.clear();
  ruleRowId_.clear();
}

void frm员工Kestrune::forgetComposition() {
  const QSignalBlocker quiet(Check1);  // unticked without the unticking steps: Text4 keeps the number
  Check1->setChecked(false);
  numberPrefix_.clear();
  ruleRowId_.clear();
  nextSerial_ = 0;
}

void frm员工Kestrune::compose() {
  const FlexGrid* g = MSFlexGrid1;
  const int r = g->Row();
  const QString category = g->TextMatrix(r, g->Cols() - 3);
  const QString department = rules::itemNumber(g->TextMatrix(r, kColDepartment));
  const QString positionCategory = g->TextMatrix(r, g->Cols() - 2);
  std::optional<single::Composition> c;
  if (!drive::guarded(this,
                      [&] { c = single::compose(session_.database(), category, department, positionCategory); })) {
    composeFailed();
    return;
  }
  if (!c) {
    widgets::msg(this, single::noRuleMessage());
    composeFailed();
    return;
  }
  ruleCode_ = c->ruleCode;
  serialPattern_ = c->serialPattern;
  categoryCode_ = c->categoryCode;
  ruleRowId_ = c->ruleRowId;
  numberPrefix_ = c->prefix;
  nextSerial_ = c->serial;
  Text4->setText(c->number);
}

// ---- Renumber --------------------------------------------------------------------------------

std::optional<QString> frm员工Kestrune::newNumberTyped() {
  const common::TypedNumber typed = common::typedNumber(Text4->text());
  if (typed.number.isEmpty()) {
    widgets::msg(this, single::noNewNumberMessage());
    return std::nullopt;
  }
  if (!typed.accepted()) {
    widgets::msg(this, single::refusedNumberMessage(typed.refused));
    return std::nullopt;
  }
  if (Text4->text() != typed.number) Text4->setText(typed.number);
  return typed.number;
}

void frm员工Kestrune::renumber() {
  const std::optional<QString> typed = newNumberTyped();
  if (!typed) return;
  std::optional<single::AutoNumbering> automatic;
  if (Check1->isChecked()) automatic = single::AutoNumbering{numberPrefix_, nextSerial_, serialPattern_, ruleRowId_};
  const QString oldNumber = Label1[4]->property("Tag").toString();
  std::optional<single::RenumberPlan> plan;
  const std::optional<single::Renumbered> done = drive::change<single::RenumberPlan, single::Renumbered>(
      this, {false},
      [&](const common::Progress&) { return single::planRenumber(session_, oldNumber, *typed, automatic); }, {true},
      [&](const single::RenumberPlan& p, const common::Progress&) { return single::runRenumber(session_, p); }, &plan);
  if (!plan) return;
  const bool oldNumberGone = plan->status == single::RenumberPlan::Status::OldNumberGone ||
                             (done && done->result == single::RenumberResult::OldNumberGone);
  if (oldNumberGone) {
    searchStart();
    return;
  }
  if (automatic) {
    // The first free number from the one proposed, as the plan found it.
    nextSerial_ = plan->freeSerial;
    Text4->setText(plan->newNumber);
  }
  if (!done || !done->done()) return;
  FlexGrid* g = MSFlexGrid1;
  const int r = g->Row();
  widgets::msg(this, single::successMessage(g->TextMatrix(r, kColName), plan->newNumber));
  g->setTextMatrix(r, kColNumber, plan->newNumber);
  showSelection(r);  // the selection follows the employee to the new number
  forgetComposition();  // a second press finds the number taken instead of renumbering again
}

void frm员工Kestrune::previewRenumber() {
  const std::optional<QString> typed = newNumberTyped();
  if (!typed) return;
  const QString newNumber = *typed;
  std::optional<single::AutoNumbering> automatic;
  if (Check1->isChecked()) automatic = single::AutoNumbering{numberPrefix_, nextSerial_, serialPattern_, ruleRowId_};
  const QString oldNumber = Label1[4]->property("Tag").toString();
  const preview::ScriptHeader origin = scriptOrigin ? scriptOrigin() : session_.scriptHeader();
  single::RenumberPreview p;
  if (!drive::guarded(this, [&] {
        const WaitCursor wait;  // back before a database error is shown
        p = single::previewRenumber(session_, oldNumber, newNumber, automatic, origin);
      }))
    return;
  switch (p.status) {
    case single::RenumberPreview::Status::OldNumberGone:
      widgets::msg(this, single::oldNumberGoneMessage(oldNumber));
      return;
    case single::RenumberPreview::Status::NewNumberTaken:
      widgets::msg(this, single::numberTakenMessage(newNumber));
      return;
    case single::RenumberPreview::Status::TooLong: widgets::msg(this, single::refusalMessage(p)); return;
    case single::RenumberPreview::Status::MissingTable:  // the renumber's only
    case single::RenumberPreview::Status::Ready: break;
  }
  Q_EMIT events->previewReady(p.caption, p.impact, p.script, p.fileName);
}
