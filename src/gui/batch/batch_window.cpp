#include "gui/batch/batch_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QVBoxLayout>
#include <functional>

#include "gui/drive/drive.h"
#include "core/batch/batch_ops.h"
#include "core/batch/batch_preview.h"
#include "core/common/number_key.h"
#include "core/session/session.h"
#include "gui/widgets/app_info.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/progress.h"
#include "gui/widgets/text_filters.h"
#include "gui/widgets/wait_cursor.h"

using namespace batch;

namespace {

const QString kGridFormat = QStringLiteral(
    "序 |<原工号    |<新工号     |<姓名         |<部门                           |<岗位                            |");

// The grid hidden for the lifetime of the object, so that it is painted once (also when the
// work fails half-way).
class HiddenWhileRefilled {
 public:
  explicit HiddenWhileRefilled(QWidget* w) : w_(w) { w_->hide(); }
  ~HiddenWhileRefilled() { w_->show(); }
  HiddenWhileRefilled(const HiddenWhileRefilled&) = delete;
  HiddenWhileRefilled& operator=(const HiddenWhileRefilled&) = delete;

 private:
  QWidget* w_;
};

// Keeps a button enabled exactly when another one is (whoever enables or disables that one).
class FollowEnabled : public QObject {
 public:
  FollowEnabled(QWidget* followed, QWidget* follower) : QObject(follower), followed_(followed), follower_(follower) {
    followed->installEventFilter(this);
    follower->setEnabled(followed->isEnabledTo(followed->parentWidget()));
  }
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == followed_ && event->type() == QEvent::EnabledChange)
      follower_->setEnabled(followed_->isEnabledTo(followed_->parentWidget()));
    return false;
  }

 private:
  QWidget* followed_;
  QWidget* follower_;
};

}  // namespace

frm员工工号统一修改::frm员工工号统一修改(session::Session& session, QWidget* parent)
    : QWidget(parent), session_(session) {
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
  Command6 = new QPushButton(QStringLiteral("影响预览"), this);
  new FollowEnabled(Command3, Command6);

  // The editor lies over the grid's cell; it is no part of the layout.
  Text1 = new QLineEdit(this);
  Text1->hide();
  Text1->setAttribute(Qt::WA_InputMethodEnabled, false);
  Text1->installEventFilter(this);
  // Pasted text keeps only its digits, as typed text does.
  QObject::connect(Text1, &QLineEdit::textEdited, Text1, [this](const QString& text) {
    const QString digits = widgets::keepOnly(text, widgets::kDigits);
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
  buttons->addWidget(Command6);
  buttons->addStretch();
  buttons->addWidget(Command5);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(MSFlexGrid1, 1);
  layout->addWidget(Label2);
  layout->addLayout(buttons);
  resize(860, 560);

  fillRules();

  // A changed index lists (also when set by code); an entry chosen by the user lists too, also
  // the one already shown. The activation that follows a change in the same event lists no twice.
  connect(Combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    列表();
    changedToIndex_ = index;
    QTimer::singleShot(0, this, [this] { changedToIndex_ = -1; });
  });
  connect(Combo1, &QComboBox::activated, this, [this](int index) {
    if (index == changedToIndex_) {
      changedToIndex_ = -1;
      return;
    }
    列表();
  });
  connect(Check1, &QCheckBox::toggled, this, [this] { 列表(); });
  connect(MSFlexGrid1, &FlexGrid::Click, this, [this] { gridClick(); });
  connect(MSFlexGrid1, &FlexGrid::Scroll, this, [this] { closeEditor(); });
  connect(Command1, &QPushButton::clicked, this, [this] { propose(); });
  connect(Command2, &QPushButton::clicked, this, [this] { check(); });
  connect(Command3, &QPushButton::clicked, this, [this] { apply(); });
  connect(Command5, &QPushButton::clicked, this, [this] { stage(); });
  connect(Command6, &QPushButton::clicked, this, [this] { previewApply(); });
  // Command4 (the old/new table to the export window) is wired by the start-up: see app/.
}

// ---- Rules and listing --------------------------------------------------------------------

void frm员工工号统一修改::fillRules() {
  const QSignalBlocker block(Combo1);  // filling chooses nothing
  std::vector<RuleEntry> entries;
  drive::guarded(this, [&] { entries = ruleEntries(session_.database()); });
  // The entry keeps the rule's own code beside its text: the listing and the proposal use it.
  for (const RuleEntry& e : entries) Combo1->addItem(e.text, e.code);
  Combo1->setCurrentIndex(-1);
}

void frm员工工号统一修改::列表() {
  if (Combo1->currentIndex() < 0) return;  // no rule chosen yet: nothing to list
  Listing listing;
  widgets::ProgressDialog progress(this, QStringLiteral("正在列出员工 %1"), QStringLiteral("正在列出员工，已读 %1 行"));
  if (drive::run(this, false, [&] {
        listing =
            listRule(session_.database(), Combo1->currentData().toString(), Check1->isChecked(), progress.callback());
      }) != drive::Outcome::Done)
    return;  // the list on screen stays as it was

  {
    // A long list is written in slices between which the window is painted; the rows are read, so
    // the list is written to its end.
    constexpr std::size_t kRowsPerSlice = 2000;
    const HiddenWhileRefilled hidden(MSFlexGrid1);
    MSFlexGrid1->setRows(1);
    MSFlexGrid1->setRows(int(listing.rows.size()) + 1);
    for (std::size_t i = 0; i < listing.rows.size(); ++i) {
      if (i % kRowsPerSlice == kRowsPerSlice - 1) progress.step(-1, 0);
      const int r = int(i) + 1;
      MSFlexGrid1->setTextMatrix(r, 0, QString::number(r));
      MSFlexGrid1->setTextMatrix(r, 1, listing.rows[i].number);
      MSFlexGrid1->setTextMatrix(r, 3, listing.rows[i].name);
      MSFlexGrid1->setTextMatrix(r, 4, listing.rows[i].department);
      MSFlexGrid1->setTextMatrix(r, 5, listing.rows[i].position);
    }
    if (!listing.rows.empty()) MSFlexGrid1->setRow(MSFlexGrid1->Rows() - 1);
  }
  // A message of an earlier list would speak of rows that are gone.
  QStringList leftOut;
  if (listing.unlisted > 0) leftOut << unlistedMessage(listing.unlisted);
  if (listing.unknownPosition > 0) leftOut << unknownPositionMessage(listing.unknownPosition);
  if (listing.unknownDepartment > 0) leftOut << unknownDepartmentMessage(listing.unknownDepartment);
  Label2->setText(leftOut.join(QStringLiteral("；")));
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

// Enter writes the editor into the current cell, Esc closes it without writing; digits and
// Backspace are typed; any other character is dropped. Keys that type nothing (arrows, Home, End,
// Delete) edit as usual.
bool frm员工工号统一修改::editorKey(int key, const QString& text) {
  if (key == Qt::Key_Escape) {
    closeEditor();
    return true;
  }
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    // The number as it will be written: full-width digits (an input method's) made ASCII, blanks
    // at either end dropped; any other character stays for the check to refuse.
    const QString typed = common::typedNumber(Text1->text()).number;
    if (MSFlexGrid1->Text() != typed) {
      MSFlexGrid1->setText(typed);
      numbersEdited();
    }
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

void frm员工工号统一修改::numbersChanged() {
  Command4->setEnabled(false);
  Command3->setEnabled(false);
}

// ---- Proposal and checks ------------------------------------------------------------------

void frm员工工号统一修改::numbersEdited() {
  if (Command4->isEnabled()) Label2->setText(QStringLiteral("新工号已修改，请重新核对"));  // a passed check stood
  numbersChanged();
}

void frm员工工号统一修改::propose() {
  // The whole category code of the rule, as the listing uses it.
  const QString prefix = Combo1->currentData().toString();
  for (int i = 1; i < MSFlexGrid1->Rows(); ++i)
    MSFlexGrid1->setTextMatrix(i, 2, proposal(prefix, MSFlexGrid1->TextMatrix(i, 1)));
  numbersEdited();
  Command2->setEnabled(true);
}

Rows frm员工工号统一修改::gridRows() const {
  Rows rows;
  rows.reserve(std::size_t(std::max(0, MSFlexGrid1->Rows() - 1)));
  for (int i = 1; i < MSFlexGrid1->Rows(); ++i)
    rows.push_back({MSFlexGrid1->TextMatrix(i, 1), MSFlexGrid1->TextMatrix(i, 2)});
  return rows;
}

void frm员工工号统一修改::colourRow(int row, const QColor& colour) {
  for (int c = 1; c < MSFlexGrid1->Cols(); ++c) MSFlexGrid1->setCellBackColor(row, c, colour);
}

int frm员工工号统一修改::showOutcome(const Outcome& outcome) {
  const std::vector<Mark> m = marks(std::size_t(MSFlexGrid1->Rows() - 1), outcome);
  for (std::size_t i = 0; i < m.size(); ++i) {
    const int r = int(i) + 1;
    colourRow(r, m[i] == Mark::Duplicate ? duplicateColour() : m[i] == Mark::Taken ? takenColour() : QColor());
  }
  if (outcome.status == Status::Passed) {
    const qsizetype repaired = QSet<int>(outcome.repairs.begin(), outcome.repairs.end()).size();
    Label2->setText(passedMessage(qint64(m.size()), repaired));
    Command4->setEnabled(true);
    return 0;
  }
  numbersChanged();
  // The row to mend: the later twin of a duplicate, otherwise the row where the check stopped.
  const int r = (outcome.status == Status::Duplicate ? outcome.otherRow : outcome.row) + 1;
  switch (outcome.status) {
    case Status::Passed: break;
    case Status::Duplicate:
      Label2->setText(duplicateMessage(r, MSFlexGrid1->TextMatrix(r, 4), MSFlexGrid1->TextMatrix(r, 5),
                                       MSFlexGrid1->TextMatrix(r, 3)));
      break;
    case Status::Taken: Label2->setText(takenMessage(outcome.holderName)); break;
    case Status::Empty: Label2->setText(emptyMessage(r)); break;
    case Status::Refused: Label2->setText(refusedMessage(r, outcome.refused)); break;
  }
  return r;
}

void frm员工工号统一修改::bringIntoView(int row) {
  if (row <= 0) return;
  MSFlexGrid1->setRow(row);
  MSFlexGrid1->setCol(2);
  MSFlexGrid1->scrollToItem(MSFlexGrid1->item(row, 2));
}

void frm员工工号统一修改::check() {
  Rows rows = gridRows();
  Outcome outcome;
  const drive::Outcome ran =
      drive::run(this, {false, QStringLiteral("正在核对新工号 %1 / %2")}, [&](const common::Progress& progress) {
        outcome = checkRows(session_.database(), rows, Check2->isChecked(), progress);
      });
  // Stopped by the user: the grid, its message and the buttons stay as they were.
  if (ran == drive::Outcome::Stopped) return;
  const bool ok = ran == drive::Outcome::Done;
  Label2->clear();
  numbersChanged();  // only a check that passes enables the export and the apply
  int conflict = 0;
  {
    const HiddenWhileRefilled hidden(MSFlexGrid1);
    for (int r = 1; r < MSFlexGrid1->Rows(); ++r) colourRow(r, QColor());  // nothing is known now
    if (ok) {
      for (int r : outcome.repairs) MSFlexGrid1->setTextMatrix(r + 1, 2, rows[std::size_t(r)].newNo);
      conflict = showOutcome(outcome);
    }
  }
  bringIntoView(conflict);  // once the grid is shown again
}

// ---- Apply and staging --------------------------------------------------------------------

void frm员工工号统一修改::apply() {
  const Rows rows = gridRows();
  // The numbers may have been changed since the last check: the plan checks the grid as it stands.
  std::optional<ApplyPlan> plan;
  const std::optional<ApplyResult> done = drive::change<ApplyPlan, ApplyResult>(
      this, {false, QStringLiteral("正在核对新工号 %1 / %2")},
      [&](const common::Progress& progress) { return planApply(session_, rows, Purpose::Apply, progress); },
      {true, QStringLiteral("正在修改第 %1 / %2 名员工")},
      [&](const ApplyPlan& p, const common::Progress& progress) { return runApply(session_, p, progress); }, &plan);
  if (plan && plan->status == ApplyPlan::Status::CheckFailed) {
    Label2->clear();
    bringIntoView(showOutcome(plan->outcome));
  }
  if (!done || !done->done()) return;
  widgets::msg(this, QString::fromUtf16(kApplyDone));
  列表();  // the new numbers are the employees' numbers now
}

void frm员工工号统一修改::stage() {
  std::optional<StagingPlan> plan;
  const std::optional<StagingResult> done = drive::change<StagingPlan, StagingResult>(
      this, {false, QStringLiteral("正在核对无岗位员工 %1 / %2"), QStringLiteral("正在核对无岗位员工…")},
      [&](const common::Progress& progress) { return planStaging(session_, progress); },
      {true, QStringLiteral("正在处理无岗位员工：第 %1 / %2 条语句")},
      [&](const StagingPlan& p, const common::Progress& progress) { return runStaging(session_, p, progress); }, &plan);
  if (!done || !done->done()) return;
  widgets::msg(this, stagedMessage(plan->count));
}

// ---- Impact preview -----------------------------------------------------------------------

void frm员工工号统一修改::previewApply() {
  const Rows rows = gridRows();
  const preview::ScriptHeader origin = scriptOrigin ? scriptOrigin() : session_.scriptHeader();
  ApplyPreview p;
  if (drive::run(this, {false, QStringLiteral("正在统计影响：第 %1 / %2 列")}, [&](const common::Progress& progress) {
        WaitCursor wait;
        p = batch::previewApply(session_, rows, origin, progress);
      }) != drive::Outcome::Done)
    return;
  switch (p.status) {
    case ApplyPreview::Status::MissingTable:  // the apply's only
    case ApplyPreview::Status::Ready: break;
    case ApplyPreview::Status::CheckFailed:  // as the apply shows it
      Label2->clear();
      bringIntoView(showOutcome(p.outcome));
      return;
    case ApplyPreview::Status::NoRows:
    case ApplyPreview::Status::Stale:
    case ApplyPreview::Status::TooLong: widgets::msg(this, refusalMessage(p)); return;
  }
  Q_EMIT events->previewReady(p.caption, p.impact, p.script, p.fileName);
}
