#include "renumber_single/single_window.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "db/database.h"
#include "ops/single_logic.h"
#include "widgets/dialogs.h"
#include "widgets/flex_grid.h"

namespace {

// Result list columns.
constexpr int kColNumber = 1, kColName = 2, kColSex = 3, kColIdCard = 4, kColDepartment = 5, kColPosition = 6;
constexpr int kColCategory = 7, kColPositionCategory = 8, kColId = 9;

const char* const kListFormat =
    "序|<工号   |<姓名     |<性别|<身份证            |<部门                      |<岗位                       |||";

QLabel* label(const QString& caption, QWidget* parent) { return new QLabel(caption, parent); }

}  // namespace

frm员工Kestrune::frm员工Kestrune(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("员工Kestrune"));
  buildControls();

  // Window load: the category, position category and ID columns stay invisible.
  const int cols = MSFlexGrid1->Cols();
  MSFlexGrid1->setColWidth(cols - 1, 0);
  MSFlexGrid1->setColWidth(cols - 2, 0);
  MSFlexGrid1->setColWidth(cols - 3, 0);

  connect(Command1, &QPushButton::clicked, this, [this] { textSearch(); });
  connect(Command5, &QPushButton::clicked, this, [this] { equalNumbersSearch(); });
  connect(Command2, &QPushButton::clicked, this, [this] {
    placeListPanel();
    Picture1->show();
    Picture1->raise();
  });
  connect(MSFlexGrid1, &FlexGrid::Click, this, [this] { listClicked(); });
  connect(Check1, &QCheckBox::toggled, this, [this] { check1Click(); });
  connect(Command3, &QPushButton::clicked, this, [this] { renumber(); });
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
  g2->addWidget(Label1[4], 0, 0, 1, 5);
  g2->addWidget(Label1[5], 1, 0);
  g2->addWidget(Text4, 1, 1);
  g2->addWidget(Check1, 1, 2);
  g2->addWidget(Command3, 1, 3);
  g2->setColumnStretch(1, 1);
  g2->setColumnStretch(4, 2);
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
  MSFlexGrid1->setFormatString(QString::fromUtf8(kListFormat));
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
  const QString c = single::textSearchCondition(Text1->text(), Text2->text(), Text3->text());
  if (c.isEmpty()) {
    ui::msg(this, single::noCriterionMessage());
    return;
  }
  searchStart();
  if (fillList(single::textSearchStatement(c)) && MSFlexGrid1->Rows() == 1) ui::msg(this, single::notFoundMessage());
}

void frm员工Kestrune::equalNumbersSearch() {
  searchStart();
  if (fillList(single::equalNumbersStatement()) && MSFlexGrid1->Rows() == 1) ui::msg(this, QString());
}

bool frm员工Kestrune::fillList(const QString& sql) {
  FlexGrid* g = MSFlexGrid1;
  g->setRows(1);
  try {
    db::Recordset rs = db::Database::shared().open(sql);
    while (!rs.eof()) {
      const int r = g->Rows();
      g->setRows(r + 1);
      g->setRow(r);
      g->setTextMatrix(r, 0, QString::number(r));
      g->setTextMatrix(r, kColNumber, rs.text(QStringLiteral("工号")));
      g->setTextMatrix(r, kColName, rs.text(QStringLiteral("姓名")));
      g->setTextMatrix(r, kColSex, rs.text(QStringLiteral("性别")));
      g->setTextMatrix(r, kColIdCard, rs.text(QStringLiteral("身份证号码")));
      g->setTextMatrix(
          r, kColDepartment,
          single::codeAndName(rs.text(QStringLiteral("职能部门编号")), rs.text(QStringLiteral("职能部门名称")),
                              rs.isNull(QStringLiteral("职能部门名称"))));
      g->setTextMatrix(r, kColPosition,
                       single::codeAndName(rs.text(QStringLiteral("岗位编号")), rs.text(QStringLiteral("岗位名称")),
                                           rs.isNull(QStringLiteral("岗位名称"))));
      g->setTextMatrix(r, kColCategory, rs.text(QStringLiteral("员工类别")));
      g->setTextMatrix(r, kColPositionCategory, rs.text(QStringLiteral("岗位类别代号")));
      g->setTextMatrix(r, kColId, rs.text(QStringLiteral("ID")));
      rs.moveNext();
    }
  } catch (const db::DbError& e) {
    g->setRows(1);
    ui::dbError(this, e.text());
    return false;
  }

  const int rows = g->Rows();
  if (rows == 2) {
    g->setRow(1);
    selectRow(1);
  } else if (rows >= 3) {
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
  Check1->setChecked(false);
}

void frm员工Kestrune::listClicked() {
  const int r = MSFlexGrid1->Row();
  if (r < 1 || r >= MSFlexGrid1->Rows()) return;  // the header row holds no employee
  selectRow(r);
  Picture1->hide();
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

std::optional<single::Proposal> frm员工Kestrune::lookUpProposal(QString* rowId) {
  const FlexGrid* g = MSFlexGrid1;
  const int r = g->Row();
  const QString category = g->TextMatrix(r, g->Cols() - 3);
  const QString department = single::codeBeforeBlank(g->TextMatrix(r, kColDepartment));
  const QString positionCategory = g->TextMatrix(r, g->Cols() - 2);
  db::Database& database = db::Database::shared();
  {
    // Each result is let go before the next query is sent on the connection.
    db::Recordset rule = database.open(single::ruleQuery(category));
    if (rule.eof()) return std::nullopt;
    ruleCode_ = static_cast<qint16>(rule.field(QStringLiteral("编码规则")).toInt());
    serialPattern_ = rule.text(QStringLiteral("流水号位数"), QStringLiteral("0000"));
    categoryCode_ = rule.text(QStringLiteral("类别码"));
  }
  // Under rule codes 3 to 6 an employee without a department has no rule row to look up.
  if (single::ruleNeedsDepartment(ruleCode_) && department.isEmpty()) return std::nullopt;
  const std::optional<QString> condition =
      single::ruleRowCondition(ruleCode_, department, positionCategory, categoryCode_);
  if (!condition) return std::nullopt;

  db::Recordset row = database.open(single::ruleRowQuery(*condition));
  if (row.eof()) return std::nullopt;
  single::RuleValues values;
  values.ruleCode = ruleCode_;
  values.serialPattern = serialPattern_;
  values.categoryCode = categoryCode_;
  values.departmentCode = row.text(QStringLiteral("部门代码"));
  values.positionCode = row.text(QStringLiteral("岗位代码"));
  if (!row.isNull(QStringLiteral("流水号"))) values.lastSerial = row.field(QStringLiteral("流水号")).toLongLong();
  *rowId = QString::number(row.field(QStringLiteral("ID")).toLongLong());
  return single::propose(values);
}

void frm员工Kestrune::compose() {
  try {
    QString rowId;
    const std::optional<single::Proposal> proposal = lookUpProposal(&rowId);
    if (!proposal) {
      ui::msg(this, single::noRuleMessage());
      composeFailed();
      return;
    }
    ruleRowId_ = rowId;
    numberPrefix_ = proposal->prefix;
    nextSerial_ = proposal->serial;
    Text4->setText(proposal->number);
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    composeFailed();
  }
}

QString frm员工Kestrune::composedNumber() const {
  return numberPrefix_ + single::formatSerial(nextSerial_, serialPattern_);
}

// ---- Renumber --------------------------------------------------------------------------------

bool frm员工Kestrune::numberTaken(const QString& number) {
  return !db::Database::shared().open(single::existsQuery(number)).eof();
}

void frm员工Kestrune::renumber() {
  QString newNumber = Text4->text();
  if (newNumber.isEmpty()) {
    ui::msg(this, single::noNewNumberMessage());
    return;
  }
  if (single::paddedNumber(newNumber)) {
    ui::msg(this, single::paddedNumberMessage());
    return;
  }
  const bool automatic = Check1->isChecked();
  const QString oldNumber = Label1[4]->property("Tag").toString();
  db::Database& database = db::Database::shared();
  try {
    if (automatic) {
      // A taken number moves on to the next serial without a word.
      while (numberTaken(newNumber)) {
        ++nextSerial_;
        newNumber = composedNumber();
        Text4->setText(newNumber);
      }
    } else if (numberTaken(newNumber)) {
      ui::msg(this, single::numberTakenMessage(newNumber));
      return;
    }

    QString batch = single::renumberBatch(oldNumber, newNumber);
    if (automatic && !ruleRowId_.isEmpty()) batch += single::serialStatement(nextSerial_, ruleRowId_);
    db::Transaction transaction(database);
    database.execute(batch);
    transaction.commit();
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    return;
  }

  FlexGrid* g = MSFlexGrid1;
  const int r = g->Row();
  ui::msg(this, single::successMessage(g->TextMatrix(r, kColName), newNumber));
  g->setTextMatrix(r, kColNumber, newNumber);
  showSelection(r);  // the selection follows the employee to the new number
}
