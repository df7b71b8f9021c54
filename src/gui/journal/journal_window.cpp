#include "gui/journal/journal_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/drive/drive.h"
#include "core/session/session.h"
#include "gui/widgets/dialogs.h"
#include "gui/widgets/flex_grid.h"
#include "gui/widgets/wait_cursor.h"

namespace {
const QString kGridFormat = QStringLiteral(
    "编号  |<时间                 |<操作        |<原工号      |<新工号      |<姓名        "
    "|<操作者      |<说明                    ");
enum Col { kColId, kColTime, kColOperation, kColOld, kColNew, kColName, kColUser, kColNote };
const QString kAll = QStringLiteral("全部");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");
// Characters of a statement shown in the details (a batch's statement runs to megabytes).
constexpr qsizetype kStatementShown = 20000;

// A day box: null date for an empty box; false when the text is no date.
bool readDay(const QString& text, QDate* day) {
  const QString t = text.trimmed();
  *day = t.isEmpty() ? QDate() : QDate::fromString(t, kDateFormat);
  return t.isEmpty() || day->isValid();
}
}  // namespace

frm修改记录::frm修改记录(session::Session& session, QWidget* parent) : QWidget(parent), session_(session) {
  setWindowTitle(QStringLiteral("修改记录"));
  const QStringList captions{QStringLiteral("工号"), QStringLiteral("姓名"), QStringLiteral("日期从"),
                             QStringLiteral("到"), QStringLiteral("操作")};
  for (int i = 0; i < 5; ++i) Label1[i] = new QLabel(captions[i], this);
  Text1 = new QLineEdit(this);
  Text2 = new QLineEdit(this);
  Text3 = new QLineEdit(this);
  Text4 = new QLineEdit(this);
  for (QLineEdit* t : {Text3, Text4}) t->setPlaceholderText(kDateFormat);
  Combo1 = new QComboBox(this);
  Combo1->addItem(kAll);
  Combo1->addItems(journal::operations());
  Command1 = new QPushButton(QStringLiteral("查询"), this);
  MSFlexGrid1 = new FlexGrid(this);
  MSFlexGrid1->setFormatString(kGridFormat);
  Text5 = new QPlainTextEdit(this);
  Text5->setReadOnly(true);
  Command2 = new QPushButton(QStringLiteral("导出"), this);
  Command3 = new QPushButton(QStringLiteral("撤销"), this);
  Command4 = new QPushButton(QStringLiteral("关闭"), this);

  auto* filters = new QHBoxLayout;
  const std::array<QWidget*, 5> boxes{Text1, Text2, Text3, Text4, Combo1};
  for (int i = 0; i < 5; ++i) {
    filters->addWidget(Label1[i]);
    filters->addWidget(boxes[i], 1);
  }
  filters->addWidget(Command1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Command2);
  buttons->addWidget(Command3);
  buttons->addStretch();
  buttons->addWidget(Command4);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(filters);
  layout->addWidget(MSFlexGrid1, 3);
  layout->addWidget(Text5, 2);
  layout->addLayout(buttons);
  resize(1000, 620);

  connect(Command1, &QPushButton::clicked, this, [this] { 查询(); });
  for (QLineEdit* t : {Text1, Text2, Text3, Text4}) connect(t, &QLineEdit::returnPressed, this, [this] { 查询(); });
  connect(Command3, &QPushButton::clicked, this, [this] { 撤销(); });
  connect(Command4, &QPushButton::clicked, this, [this] { close(); });
  connect(MSFlexGrid1, &FlexGrid::Click, this, [this] { showDetails(); });
}

void frm修改记录::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!property("listed").toBool()) {
    setProperty("listed", true);
    查询();
  }
}

bool frm修改记录::查询() {
  journal::Filter f;
  if (!readDay(Text3->text(), &f.from) || !readDay(Text4->text(), &f.to)) {
    widgets::msg(this, QStringLiteral("日期应按yyyy-MM-dd填写，如2026-03-01"));
    return false;
  }
  f.number = Text1->text().trimmed();
  f.name = Text2->text().trimmed();
  if (Combo1->currentText() != kAll) f.operation = Combo1->currentText();
  // The entries kept because the journal could not be written come first, marked. The written
  // ones are listed without their statements and pairs: an entry's details are read when chosen.
  std::vector<journal::Entry> pending;
  std::vector<journal::Summary> found;
  if (!drive::guarded(this, [&] {
        WaitCursor wait;
        pending = session_.journal().pendingEntries(f);
        for (const journal::Entry& e : pending) found.push_back(journal::summary(e));
        for (journal::Summary& e : session_.journal().summaries(f)) found.push_back(std::move(e));
      }))
    return false;
  pending_ = std::move(pending);
  shown_ = std::move(found);
  FlexGrid* g = MSFlexGrid1;
  g->setRows(1);
  g->setRows(int(shown_.size()) + 1);
  for (int i = 0; i < int(shown_.size()); ++i) {
    const journal::Summary& e = shown_[std::size_t(i)];
    const int r = i + 1;
    g->setTextMatrix(r, kColId, e.id ? QString::number(e.id) : journal::pendingMark());
    g->setTextMatrix(r, kColTime, e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    g->setTextMatrix(r, kColOperation, e.operation);
    if (e.pairCount > 0) {
      const QString more = e.pairCount > 1 ? QStringLiteral(" 等%1人").arg(e.pairCount) : QString();
      g->setTextMatrix(r, kColOld, e.first.oldNumber);
      g->setTextMatrix(r, kColNew, e.first.newNumber);
      g->setTextMatrix(r, kColName, e.first.name + more);
    }
    g->setTextMatrix(r, kColUser, e.osUser);
    QStringList note;
    if (e.id == 0) note << QStringLiteral("尚未写入修改记录");
    if (e.undoes) note << QStringLiteral("撤销第%1条").arg(e.undoes);
    if (const qint64 by = undoneBy(e))
      note << (by > 0 ? QStringLiteral("已由第%1条撤销").arg(by) : QStringLiteral("已撤销（尚未写入）"));
    g->setTextMatrix(r, kColNote, note.join(QStringLiteral("，")));
  }
  if (!shown_.empty()) g->setRow(1);
  showDetails();
  return true;
}

qint64 frm修改记录::undoneBy(const journal::Summary& e) const {
  if (e.undoneBy || e.id == 0) return e.undoneBy;
  for (const journal::Entry& p : pending_)
    if (p.undoes == e.id) return -1;
  return 0;
}

qint64 frm修改记录::entryId(int row) const {
  return row >= 1 && row <= int(shown_.size()) ? shown_[std::size_t(row - 1)].id : 0;
}

void frm修改记录::showDetails() {
  const int row = MSFlexGrid1->Row();
  const bool listed = row >= 1 && row <= int(shown_.size());
  QString details;
  if (listed && row <= int(pending_.size())) {
    details = journal::entryText(pending_[std::size_t(row - 1)], kStatementShown);
  } else if (listed) {
    std::optional<journal::Entry> e;
    const qint64 id = shown_[std::size_t(row - 1)].id;
    drive::guarded(this, [&] {
      WaitCursor wait;
      e = session_.journal().entry(id, kStatementShown);
    });
    if (e) details = journal::entryText(*e, kStatementShown);
  }
  Text5->setPlainText(details);
  // A renumber or staging not undone yet can be undone; an entry not written yet cannot until it is.
  Command3->setEnabled(listed && undo::undoable(shown_[std::size_t(row - 1)]) &&
                       undoneBy(shown_[std::size_t(row - 1)]) == 0);
}

void frm修改记录::撤销() {
  const int row = MSFlexGrid1->Row();
  const qint64 id = entryId(row);
  if (id == 0) {
    widgets::msg(this, row >= 1 && row <= int(shown_.size()) ? QStringLiteral("该修改记录尚未写入，写入后才能撤销")
                                                             : QStringLiteral("请先选择一条修改记录"));
    return;
  }
  const std::optional<undo::Undone> done = drive::change<undo::UndoPlan, undo::Undone>(
      this, {false, QStringLiteral("正在查找原工号在其他表中的记录 %1 / %2"), QStringLiteral("正在核对修改记录…")},
      [&](const common::Progress& progress) {
        WaitCursor wait;
        return undo::planUndo(session_, id, progress);
      },
      {true, QStringLiteral("正在撤销：第 %1 / %2 个工号"), QStringLiteral("正在核对修改记录…")},
      [&](const undo::UndoPlan& plan, const common::Progress& progress) {
        return undo::runUndo(session_, plan, progress);
      });
  if (!done || !done->done()) return;
  widgets::msg(this, done->together.isEmpty() ? undo::undoMessage(done->check, id) : done->together);
  查询();
}
