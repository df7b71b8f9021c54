// Undo of a journaled renumber: the pairs renumbered back through the single renumber's own
// statements, with its checks, in one transaction, and journaled as an undo of the entry.
#include "db/database.h"
#include "ops/holders.h"
#include "ops/journal.h"
#include "ops/single_logic.h"

namespace journal {

namespace {

bool undoable(const Entry& e) { return e.operation == singleRenumber() || e.operation == batchApply(); }

bool undoneAlready(const Entry& e) {
  if (e.undoneBy) return true;
  for (const Entry& p : pendingEntries())
    if (p.undoes == e.id) return true;
  return false;
}

// The checks on the journal and on the register; held is filled only when withHeld.
UndoCheck check(db::Database& database, qint64 id, bool withHeld, Entry* found) {
  UndoCheck c;
  const std::optional<Entry> e = entry(id);
  if (!e) return c;
  if (found) *found = *e;
  if (!e->pairs.empty()) c.pair = e->pairs.front();
  if (!undoable(*e) || e->pairs.empty()) {
    c.status = UndoStatus::NotUndoable;
    return c;
  }
  if (undoneAlready(*e)) {
    c.status = UndoStatus::AlreadyUndone;
    return c;
  }
  for (const Pair& p : e->pairs) {
    db::Recordset count = database.open(single::registerCountQuery(p.newNumber));
    if (count.eof() || count.field(QStringLiteral("行数")).toLongLong() != 1) {
      c.status = UndoStatus::NumberMovedOn;
      c.pair = p;
      return c;
    }
  }
  for (const Pair& p : e->pairs) {
    if (!database.open(single::existsQuery(p.oldNumber)).eof()) {
      c.status = UndoStatus::OldNumberTaken;
      c.pair = p;
      return c;
    }
  }
  if (withHeld) {
    QStringList numbers;
    for (const Pair& p : e->pairs) numbers << p.oldNumber;
    const std::vector<ops::Holding> held = ops::holdings(database, host::allColumns(), numbers);
    QStringList parts;
    for (const Pair& p : e->pairs)
      if (const QString text = ops::holdingsText(held, p.oldNumber); !text.isEmpty())
        parts << (e->pairs.size() == 1 ? text : p.oldNumber + QStringLiteral("：") + text);
    c.held = parts.join(QStringLiteral("；"));
  }
  c.status = UndoStatus::Ready;
  return c;
}

}  // namespace

UndoCheck checkUndo(db::Database& database, qint64 id) { return check(database, id, true, nullptr); }

UndoCheck undo(db::Database& database, qint64 id) {
  db::Transaction transaction(database);
  Entry e;
  UndoCheck c = check(database, id, false, &e);
  if (c.status != UndoStatus::Ready) return c;
  std::vector<Pair> back;
  QString batch;
  for (auto p = e.pairs.rbegin(); p != e.pairs.rend(); ++p) {
    back.push_back({p->newNumber, p->oldNumber, QString()});
    if (!batch.isEmpty()) batch += QStringLiteral(" ");
    batch += single::renumberBatch(p->newNumber, p->oldNumber);
  }
  Recorder record(database, undoOperation(), back, batch, host::allColumns(), id);
  database.execute(batch);
  record.commit(transaction);
  c.status = UndoStatus::Done;
  return c;
}

QString undoQuestion(const Entry& e) {
  QStringList moves;
  for (const Pair& p : e.pairs) moves << p.newNumber + QStringLiteral("改回") + p.oldNumber;
  return QStringLiteral("撤销第%1条修改记录（%2）：工号%3。编号规则中已记下的流水号不会退回。是否继续？")
      .arg(e.id)
      .arg(e.operation, moves.join(QStringLiteral("，")));
}

QString undoMergeQuestion(const UndoCheck& c) { return single::mergeQuestion(c.pair.oldNumber, c.held); }

QString undoMessage(const UndoCheck& c, qint64 id) {
  switch (c.status) {
    case UndoStatus::Ready: return QString();
    case UndoStatus::Done: return QStringLiteral("第%1条修改记录已撤销。编号规则的流水号未退回。").arg(id);
    case UndoStatus::NotUndoable: return QStringLiteral("只有单个修改和批量修改可以撤销");
    case UndoStatus::AlreadyUndone: return QStringLiteral("第%1条修改记录已经撤销过，不能再次撤销").arg(id);
    case UndoStatus::NumberMovedOn:
      return QStringLiteral("员工档案中工号%1已不属于一名员工，可能已被再次修改，不能撤销").arg(c.pair.newNumber);
    case UndoStatus::OldNumberTaken: return QStringLiteral("原工号%1已被其他员工使用，不能撤销").arg(c.pair.oldNumber);
    case UndoStatus::Missing: return QStringLiteral("找不到第%1条修改记录").arg(id);
  }
  return QString();
}

}  // namespace journal
