#include "journal/journal_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ops/connection.h"
#include "widgets/dialogs.h"
#include "widgets/flex_grid.h"
#include "widgets/wait_cursor.h"

using namespace Qt::StringLiterals;

namespace {
const QString kGridFormat =
    u"编号  |<时间                 |<操作        |<原工号      |<新工号      |<姓名        "
    u"|<操作者      |<说明                    "_s;
enum Col { kColId, kColTime, kColOperation, kColOld, kColNew, kColName, kColUser, kColNote };
const QString kAll = u"全部"_s;
const QString kDateFormat = u"yyyy-MM-dd"_s;

// A day box: null date for an empty box; false when the text is no date.
bool readDay(const QString& text, QDate* day) {
  const QString t = text.trimmed();
  *day = t.isEmpty() ? QDate() : QDate::fromString(t, kDateFormat);
  return t.isEmpty() || day->isValid();
}
}  // namespace

frm修改记录::frm修改记录(QWidget* parent) : QWidget(parent) {
  setWindowTitle(u"修改记录"_s);
  const QStringList captions{u"工号"_s, u"姓名"_s, u"日期从"_s, u"到"_s, u"操作"_s};
  for (int i = 0; i < 5; ++i) Label1[i] = new QLabel(captions[i], this);
  Text1 = new QLineEdit(this);
  Text2 = new QLineEdit(this);
  Text3 = new QLineEdit(this);
  Text4 = new QLineEdit(this);
  for (QLineEdit* t : {Text3, Text4}) t->setPlaceholderText(kDateFormat);
  Combo1 = new QComboBox(this);
  Combo1->addItem(kAll);
  Combo1->addItems(journal::operations());
  Command1 = new QPushButton(u"查询"_s, this);
  MSFlexGrid1 = new FlexGrid(this);
  MSFlexGrid1->setFormatString(kGridFormat);
  Text5 = new QPlainTextEdit(this);
  Text5->setReadOnly(true);
  Command2 = new QPushButton(u"导出"_s, this);
  Command3 = new QPushButton(u"撤销"_s, this);
  Command4 = new QPushButton(u"关闭"_s, this);

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
    ui::msg(this, u"日期应按yyyy-MM-dd填写，如2026-03-01"_s);
    return false;
  }
  f.number = Text1->text().trimmed();
  f.name = Text2->text().trimmed();
  if (Combo1->currentText() != kAll) f.operation = Combo1->currentText();
  // The entries kept because the journal could not be written come first, marked.
  std::vector<journal::Entry> found;
  if (!ui::guarded(this, [&] {
        WaitCursor wait;
        found = journal::pendingEntries(f);
        for (journal::Entry& e : journal::entries(f)) found.push_back(std::move(e));
      }))
    return false;
  shown_ = std::move(found);
  FlexGrid* g = MSFlexGrid1;
  g->setRows(1);
  g->setRows(int(shown_.size()) + 1);
  for (int i = 0; i < int(shown_.size()); ++i) {
    const journal::Entry& e = shown_[std::size_t(i)];
    const int r = i + 1;
    g->setTextMatrix(r, kColId, e.id ? QString::number(e.id) : journal::pendingMark());
    g->setTextMatrix(r, kColTime, e.time.toString(u"yyyy-MM-dd HH:mm:ss"_s));
    g->setTextMatrix(r, kColOperation, e.operation);
    if (!e.pairs.empty()) {
      const journal::Pair& p = e.pairs.front();
      const QString more = e.pairs.size() > 1 ? u" 等%1人"_s.arg(e.pairs.size()) : QString();
      g->setTextMatrix(r, kColOld, p.oldNumber);
      g->setTextMatrix(r, kColNew, p.newNumber);
      g->setTextMatrix(r, kColName, p.name + more);
    }
    g->setTextMatrix(r, kColUser, e.osUser);
    QStringList note;
    if (e.id == 0) note << u"尚未写入修改记录"_s;
    if (e.undoes) note << u"撤销第%1条"_s.arg(e.undoes);
    if (e.undoneBy) note << u"已由第%1条撤销"_s.arg(e.undoneBy);
    g->setTextMatrix(r, kColNote, note.join(u"，"_s));
  }
  if (!shown_.empty()) g->setRow(1);
  showDetails();
  return true;
}

qint64 frm修改记录::entryId(int row) const {
  return row >= 1 && row <= int(shown_.size()) ? shown_[std::size_t(row - 1)].id : 0;
}

void frm修改记录::showDetails() {
  const int row = MSFlexGrid1->Row();
  const bool listed = row >= 1 && row <= int(shown_.size());
  Text5->setPlainText(listed ? journal::entryText(shown_[std::size_t(row - 1)]) : QString());
  // A renumber or staging can be undone (an entry already undone says so when asked); an entry
  // not written yet cannot until it is.
  Command3->setEnabled(listed && journal::undoable(shown_[std::size_t(row - 1)]));
}

void frm修改记录::撤销() {
  const int row = MSFlexGrid1->Row();
  const qint64 id = entryId(row);
  if (id == 0) {
    ui::msg(this, row >= 1 && row <= int(shown_.size()) ? u"该修改记录尚未写入，写入后才能撤销"_s
                                                        : u"请先选择一条修改记录"_s);
    return;
  }
  auto& connection = ops::sharedConnection();
  journal::UndoCheck check;
  std::optional<journal::Entry> e;
  if (!ui::guarded(this, [&] {
        e = journal::entry(id);
        check = journal::checkUndo(connection, id);
      }))
    return;
  if (check.status != journal::UndoStatus::Ready || !e) {
    ui::msg(this, journal::undoMessage(check, id));
    return;
  }
  if (!ui::askDefaultNo(this, journal::undoQuestion(*e))) return;
  if (!check.held.isEmpty() && !ui::askDefaultNo(this, journal::undoMergeQuestion(check))) return;
  if (!ui::guarded(this, [&] { check = journal::undo(connection, id); })) return;
  ui::msg(this, journal::undoMessage(check, id));
  查询();
}
