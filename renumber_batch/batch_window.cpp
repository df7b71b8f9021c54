#include "renumber_batch/batch_window.h"


#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "db/database.h"
#include "widgets/dialogs.h"
#include "widgets/flex_grid.h"

using namespace batch;

namespace {

const QString kGridFormat = QStringLiteral(
    "序 |<原工号    |<新工号     |<姓名         |<部门                           |<岗位                            |");

// The wait cursor for the lifetime of the object.
class WaitCursor {
 public:
  WaitCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
  ~WaitCursor() { restore(); }
  void restore() {
    if (on_) QGuiApplication::restoreOverrideCursor();
    on_ = false;
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  bool on_ = true;
};

}  // namespace

frm员工工号统一修改::frm员工工号统一修改(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("员工工号统一修改(Orvale专用)"));

  Label1 = new QLabel(QStringLiteral("员工类别"), this);
  Combo1 = new QComboBox(this);
  Combo1->setMinimumContentsLength(16);
  Check1 = new QCheckBox(QStringLiteral("忽略多个岗位情况"), this);
  Check1->setChecked(true);
  Check2 = new QCheckBox(QStringLiteral("新工号重复自动生成"), this);
  Check2->setChecked(true);

  MSFlexGrid1 = new FlexGrid(this);
  MSFlexGrid1->setFormatString(kGridFormat);
  MSFlexGrid1->setRows(2);  // one empty data row until the first listing

  Label2 = new QLabel(this);
  QPalette red = Label2->palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  Label2->setPalette(red);

  Command1 = new QPushButton(QStringLiteral("生成新工号"), this);
  Command2 = new QPushButton(QStringLiteral("新工号核对"), this);
  Command4 = new QPushButton(QStringLiteral("导出对照表"), this);
  Command3 = new QPushButton(QStringLiteral("新工号上传"), this);
  Command5 = new QPushButton(QStringLiteral("无岗位员工工号处理"), this);
  for (QPushButton* b : {Command1, Command2, Command4, Command3}) b->setEnabled(false);

  // The editor lies over the grid's cell; it is no part of the layout.
  Text1 = new QLineEdit(this);
  Text1->hide();
  Text1->setAttribute(Qt::WA_InputMethodEnabled, false);
  Text1->installEventFilter(this);
  // Pasted text keeps only its digits, as typed text does.
  QObject::connect(Text1, &QLineEdit::textEdited, Text1, [this](const QString& text) {
    QString digits;
    for (QChar ch : text)
      if (ch >= u'0' && ch <= u'9') digits += ch;
    if (digits != text) Text1->setText(digits);
  });

  auto* top = new QHBoxLayout;
  top->addWidget(Label1);
  top->addWidget(Combo1);
  top->addSpacing(16);
  top->addWidget(Check1);
  top->addWidget(Check2);
  top->addStretch();
  auto* buttons = new QHBoxLayout;
  for (QPushButton* b : {Command1, Command2, Command4, Command3}) buttons->addWidget(b);
  buttons->addStretch();
  buttons->addWidget(Command5);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(MSFlexGrid1, 1);
  layout->addWidget(Label2);
  layout->addLayout(buttons);
  resize(860, 560);

  fillRules();

  connect(Combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) 列表();
  });
  connect(Check1, &QCheckBox::toggled, this, [this] { 列表(); });
  connect(MSFlexGrid1, &FlexGrid::Click, this, [this] { gridClick(); });
  connect(MSFlexGrid1, &FlexGrid::Scroll, this, [this] { closeEditor(); });
  connect(Command1, &QPushButton::clicked, this, [this] { propose(); });
  connect(Command2, &QPushButton::clicked, this, [this] { check(); });
  connect(Command3, &QPushButton::clicked, this, [this] { apply(); });
  connect(Command5, &QPushButton::clicked, this, [this] { stage(); });
  // Command4 (the old/new table to the export window) is wired by the start-up: see app/.
}

// ---- Rules and listing --------------------------------------------------------------------

void frm员工工号统一修改::fillRules() {
  const QSignalBlocker block(Combo1);  // filling chooses nothing
  try {
    db::Recordset rs = db::Database::shared().open(ruleListSql());
    for (; !rs.eof(); rs.moveNext())
      // The entry keeps the rule's own code beside its text, so a code holding a blank still
      // lists that rule's employees.
      Combo1->addItem(rs.text(QStringLiteral("类别码")) + u' ' + rs.text(QStringLiteral("编码类别名称")),
                      rs.text(QStringLiteral("类别码")));
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
  }
  Combo1->setCurrentIndex(-1);
}

void frm员工工号统一修改::列表() {
  if (Combo1->currentIndex() < 0) return;  // no rule chosen yet: nothing to list
  struct Listed {
    QString number, name, department, position;
  };
  std::vector<Listed> listed;
  const bool once = Check1->isChecked();
  try {
    db::Recordset rs = db::Database::shared().open(listingSql(Combo1->currentData().toString()));
    // A Null number never counts as the same employee as the row before it.
    std::optional<QString> previous;
    for (; !rs.eof(); rs.moveNext()) {
      const bool numberNull = rs.isNull(QStringLiteral("工号"));
      const QString number = rs.text(QStringLiteral("工号"));
      if (once && !numberNull && previous == number) continue;
      listed.push_back({number, rs.text(QStringLiteral("姓名")),
                        rs.text(QStringLiteral("职能部门编号")) + u' ' + rs.text(QStringLiteral("职能部门名称")),
                        rs.text(QStringLiteral("岗位代号")) + u' ' + rs.text(QStringLiteral("岗位名称"))});
      if (once) previous = numberNull ? std::nullopt : std::optional<QString>(number);
    }
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    return;  // the list on screen stays as it was
  }

  // Hidden while refilled, so that it is painted once.
  MSFlexGrid1->hide();
  MSFlexGrid1->setRows(1);
  MSFlexGrid1->setRows(int(listed.size()) + 1);
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const int r = int(i) + 1;
    MSFlexGrid1->setTextMatrix(r, 0, QString::number(r));
    MSFlexGrid1->setTextMatrix(r, 1, listed[i].number);
    MSFlexGrid1->setTextMatrix(r, 3, listed[i].name);
    MSFlexGrid1->setTextMatrix(r, 4, listed[i].department);
    MSFlexGrid1->setTextMatrix(r, 5, listed[i].position);
  }
  if (!listed.empty()) MSFlexGrid1->setRow(MSFlexGrid1->Rows() - 1);
  MSFlexGrid1->show();
  Text1->hide();
  Command1->setEnabled(true);
  Command2->setEnabled(false);
  Command3->setEnabled(false);
  Command4->setEnabled(false);
}

// ---- The in-place editor ------------------------------------------------------------------

void frm员工工号统一修改::gridClick() {
  if (MSFlexGrid1->Rows() == 1) return;
  Text1->hide();
  if (MSFlexGrid1->Col() != 2) return;
  const QRect cell = MSFlexGrid1->cellRect(MSFlexGrid1->Row(), 2);
  const QPoint grid = MSFlexGrid1->geometry().topLeft();
  Text1->setGeometry(grid.x() + cell.left(), grid.y() + cell.top(), cell.width(), cell.height());
  Text1->setText(MSFlexGrid1->Text());
  Text1->show();
  Text1->raise();
  Text1->setFocus();
  Text1->selectAll();
}

void frm员工工号统一修改::closeEditor() { Text1->hide(); }

// Enter writes the editor into the current cell; digits and Backspace are typed; any other
// character is dropped. Keys that type nothing (arrows, Home, End, Delete) edit as usual.
bool frm员工工号统一修改::editorKey(int key, const QString& text) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    MSFlexGrid1->setText(Text1->text());
    Text1->hide();
    return true;
  }
  if (key == Qt::Key_Backspace || key == Qt::Key_Delete) return false;
  if (text.isEmpty()) return false;
  return !(text.size() == 1 && text[0] >= u'0' && text[0] <= u'9');
}

bool frm员工工号统一修改::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Text1 && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    return editorKey(key->key(), key->text());
  }
  return QWidget::eventFilter(watched, event);
}

// ---- Proposal and checks ------------------------------------------------------------------

void frm员工工号统一修改::propose() {
  const QString prefix = numberPrefix(Combo1->currentText());
  for (int i = 1; i < MSFlexGrid1->Rows(); ++i)
    MSFlexGrid1->setTextMatrix(i, 2, proposal(prefix, MSFlexGrid1->TextMatrix(i, 1)));
  Command2->setEnabled(true);
}

Rows frm员工工号统一修改::gridRows() const {
  Rows rows;
  rows.reserve(std::size_t(std::max(0, MSFlexGrid1->Rows() - 1)));
  for (int i = 1; i < MSFlexGrid1->Rows(); ++i)
    rows.push_back({MSFlexGrid1->TextMatrix(i, 1), MSFlexGrid1->TextMatrix(i, 2)});
  return rows;
}

std::optional<QString> frm员工工号统一修改::registerHolder(const QString& number) {
  db::Recordset rs = db::Database::shared().open(registerLookupSql(number));
  if (rs.eof()) return std::nullopt;
  return rs.text(QStringLiteral("姓名"));
}

void frm员工工号统一修改::colourRow(int row, const QColor& colour) {
  for (int c = 1; c < MSFlexGrid1->Cols(); ++c) MSFlexGrid1->setCellBackColor(row, c, colour);
}

void frm员工工号统一修改::showOutcome(const Outcome& outcome) {
  const std::vector<Mark> m = marks(std::size_t(MSFlexGrid1->Rows() - 1), outcome);
  for (std::size_t i = 0; i < m.size(); ++i) {
    const int r = int(i) + 1;
    colourRow(r, m[i] == Mark::Duplicate ? duplicateColour() : m[i] == Mark::Taken ? takenColour() : QColor());
  }
  switch (outcome.status) {
    case Status::Passed: break;
    case Status::Duplicate: {
      const int d = outcome.otherRow + 1;
      Label2->setText(duplicateMessage(d, MSFlexGrid1->TextMatrix(d, 4), MSFlexGrid1->TextMatrix(d, 5),
                                       MSFlexGrid1->TextMatrix(d, 3)));
      break;
    }
    case Status::Taken: Label2->setText(takenMessage(outcome.holderName)); break;
    case Status::Empty: Label2->setText(emptyMessage(outcome.row + 1)); break;
  }
}

void frm员工工号统一修改::check() {
  Label2->clear();
  MSFlexGrid1->hide();
  Rows rows = gridRows();
  const RegisterLookup lookup = [this](const QString& n) { return registerHolder(n); };
  Outcome outcome;
  try {
    if (Check2->isChecked()) {
      WaitCursor wait;
      outcome = autoResolve(rows, lookup);
      for (int r : outcome.repairs) MSFlexGrid1->setTextMatrix(r + 1, 2, rows[std::size_t(r)].newNo);
    } else {
      outcome = manualCheck(rows, lookup);
    }
  } catch (const db::DbError& e) {
    showOutcome(Outcome{});  // default colours: nothing was found out
    MSFlexGrid1->show();
    ui::dbError(this, e.text());
    return;
  }
  showOutcome(outcome);
  MSFlexGrid1->show();
  if (outcome.status == Status::Passed) Command4->setEnabled(true);
}

bool frm员工工号统一修改::本核(const QString& number, int& conflictRow, int row) const {
  const int d = literal::firstTwin(gridRows(), number, row - 1);
  if (d < 0) return true;
  conflictRow = d + 1;
  return false;
}

bool frm员工工号统一修改::数核(const QString& number) {
  const std::optional<QString> holder = registerHolder(number);
  if (!holder) return true;
  if (!Check2->isChecked()) Label2->setText(takenMessage(*holder));
  return false;
}

QString frm员工工号统一修改::自动插入(const QString& number) {
  return literal::nextFree(gridRows(), number, [this](const QString& n) { return !数核(n); });
}

bool frm员工工号统一修改::自插核对(qint64 candidate) {
  return literal::candidateFree(gridRows(), candidate, [this](const QString& n) { return !数核(n); });
}

// ---- Apply and staging --------------------------------------------------------------------

void frm员工工号统一修改::Kestrune(const QString& oldNo, const QString& newNo) {
  db::Database::shared().execute(applyBatch(oldNo, newNo));
}

void frm员工工号统一修改::apply() {
  // The numbers may have been edited since the last check: check the grid as it stands.
  const Rows rows = gridRows();
  db::Database& db = db::Database::shared();
  std::optional<QString> failure;
  {
    WaitCursor wait;
    try {
      const Outcome outcome = manualCheck(rows, [this](const QString& n) { return registerHolder(n); });
      if (outcome.status != Status::Passed) {
        wait.restore();
        Label2->clear();
        showOutcome(outcome);
        return;
      }
    } catch (const db::DbError& e) {
      wait.restore();
      ui::dbError(this, e.text());
      return;
    }
    // Every row or none.
    std::size_t i = 0;
    try {
      db::Transaction tx(db);
      for (; i < rows.size(); ++i) Kestrune(rows[i].oldNo, rows[i].newNo);
      tx.commit();
    } catch (const db::DbError& e) {
      failure = e.text();
      if (i < rows.size())
        *failure += QStringLiteral("\n第%1行 原工号 %2 新工号 %3").arg(i + 1).arg(rows[i].oldNo, rows[i].newNo);
    }
  }
  if (failure) {
    ui::dbError(this, *failure);
    return;
  }
  ui::msg(this, QString::fromUtf16(kApplyDone));
}

void frm员工工号统一修改::stage() {
  db::Database& db = db::Database::shared();
  qint64 count = 0;
  try {
    db::Recordset rs = db.open(noPositionCountSql());
    count = rs.eof() ? 0 : rs.field(QStringLiteral("人数")).toLongLong();
  } catch (const db::DbError& e) {
    ui::dbError(this, e.text());
    return;
  }
  if (count == 0) {
    ui::msg(this, QString::fromUtf16(kNoStaging));
    return;
  }
  if (!ui::ask(this, stagingQuestion(count))) return;
  std::optional<QString> failure;
  {
    WaitCursor wait;
    try {
      db::Transaction tx(db);
      db.executeScript(stagingScript());
      tx.commit();
    } catch (const db::DbError& e) {
      failure = e.text();
    }
  }
  if (failure) ui::dbError(this, *failure);
}
