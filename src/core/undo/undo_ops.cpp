// Undo of a journaled renumber or staging: the pairs renumbered back through the single renumber's
// own statements, with its checks, in one transaction, and journaled as an undo of the entry.
#include "core/undo/undo_ops.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <functional>

#include "db/database.h"
#include "core/batch/batch_ops.h"
#include "core/batch/batch_sql.h"
#include "core/common/holders.h"
#include "core/common/number_key.h"
#include "core/journal/journal.h"
#include "core/session/session.h"
#include "core/single/single_sql.h"
#include "text/listing.h"

namespace undo {

// The journal's entries, which the undo reads and takes back.
using journal::batchApply;
using journal::ColumnRows;
using journal::Entry;
using journal::Filter;
using journal::Journal;
using journal::kTimeFormat;
using journal::Pair;
using journal::singleRenumber;
using journal::staging;
using journal::Summary;
using journal::undoOperation;

namespace {

// Moves shown in the question before an undo; the rest are counted.
constexpr int kMovesAsked = 10;

// The register compares numbers without regard to case, as the database does.
QString key(const QString& number) { return common::numberKey(number); }

bool undoneAlready(const Journal& journal, const Entry& e) {
  if (e.undoneBy) return true;
  for (const Entry& p : journal.pendingEntries())
    if (p.undoes == e.id) return true;
  return false;
}

// One rename of the undo: every record under pair.newNumber goes back to pair.oldNumber; employees
// is how many employees of the register the entry left under pair.newNumber.
struct Step {
  Pair pair;  // the pair of the entry it takes back
  qint64 employees = 1;
};

// The renames that take entry e back, in the order they run. A renumber renamed its pairs one
// after another: the last pair goes back first. A staging put a "9" in front of every number at
// once (employees sharing a number moved together): each number goes back once, the shorter
// first, so that a number that is itself another employee's "9" number is free when its turn
// comes (12 -> 912 and 912 -> 9912: 912 goes back to 12 before 9912 to 912).
std::vector<Step> steps(const Entry& e) {
  std::vector<Step> out;
  if (e.operation != staging()) {
    for (auto p = e.pairs.rbegin(); p != e.pairs.rend(); ++p)
      if (p->oldNumber != p->newNumber) out.push_back({*p, 1});  // a row left as it was: nothing to take back
    return out;
  }
  QHash<QString, std::size_t> at;
  for (const Pair& p : e.pairs) {
    if (auto it = at.constFind(key(p.oldNumber)); it != at.constEnd()) {
      ++out[*it].employees;
      continue;
    }
    at.insert(key(p.oldNumber), out.size());
    out.push_back({p, 1});
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const Step& a, const Step& b) { return a.pair.oldNumber.size() < b.pair.oldNumber.size(); });
  return out;
}

// The first old number of the steps (in the order they run) that a column the undo rewrites cannot hold.
std::optional<preview::TooLong> stepsTooLong(session::Session& session, const std::vector<Step>& plan) {
  QStringList numbers;
  for (const Step& s : plan) numbers << s.pair.oldNumber;
  return preview::firstTooLong(session.catalogue(), single::renumberColumns(session.added()), numbers);
}

// The refusal of steps of which an old number is too long for a column (stepsTooLong), with the
// pair it is about; false when every old number fits.
bool refusedTooLong(session::Session& session, const std::vector<Step>& plan, UndoCheck& c) {
  const std::optional<preview::TooLong> t = stepsTooLong(session, plan);
  if (!t) return false;
  c.status = UndoStatus::TooLong;
  c.tooLong = *t;
  for (const Step& s : plan)
    if (s.pair.oldNumber == t->number) {
      c.pair = s.pair;
      break;
    }
  return true;
}

// The register's count of every number the steps name, by key (set queries).
QHash<QString, qint64> registerCounts(db::Database& database, const std::vector<Step>& steps) {
  QStringList numbers;
  QSet<QString> asked;
  for (const Step& s : steps)
    for (const QString& n : {s.pair.newNumber, s.pair.oldNumber})
      if (!asked.contains(key(n))) {
        asked.insert(key(n));
        numbers << n;
      }
  // Each asked number's count as the database finds it (it decides who holds which).
  QHash<QString, qint64> counts;
  const std::vector<common::RegisterHolders> held = common::registerHolders(database, numbers);
  for (qsizetype i = 0; i < numbers.size(); ++i) counts.insert(key(numbers[i]), held[std::size_t(i)].employees);
  return counts;
}

// The checks on the journal and on the register; held is filled only when withHeld. Each step,
// with the steps before it done, needs its employees under the recorded new number and no one
// else's employee under the old number.
// The newest entry after entry id, not undone and itself no undo, that gave number to an employee
// (a pair's new number the database takes for it); an empty Summary when there is none.
Summary laterEntryGiving(Journal& journal, qint64 id, const QString& number) {
  std::vector<Summary> later = journal.summaries(Filter{.number = number});
  std::sort(later.begin(), later.end(), [](const Summary& a, const Summary& b) { return a.id > b.id; });
  for (const Summary& s : later) {
    if (s.id <= id || s.undoneBy != 0 || s.undoes != 0) continue;
    const std::optional<Entry> e = journal.entry(s.id, 0);
    if (e &&
        std::any_of(e->pairs.begin(), e->pairs.end(), [&](const Pair& p) { return key(p.newNumber) == key(number); }))
      return s;
  }
  return {};
}

// Whether entry e stored a serial in a numbering rule (only a single renumber does), which its
// undo does not take back. The entry's statement is needed.
bool storedSerial(const Entry& e) {
  return e.operation == singleRenumber() && e.statement.contains(QStringLiteral("Update 员工工号编码规则 Set 流水号="));
}

// The entry as the checks read it: the statement only where it can tell a stored serial.
std::optional<Entry> readEntry(Journal& journal, qint64 id) {
  std::optional<Entry> e = journal.entry(id, 0);
  if (e && e->operation == singleRenumber()) e = journal.entry(id);
  return e;
}

// The checks for undoing the entries ids in their order (one entry, or several newest first taken
// back in one transaction); held is filled only when withHeld. Each step, with the steps before it
// done (those of the entries before too), needs its employees under the recorded new number and no
// one else's employee under the old number. found and planned get each entry and its steps.
UndoCheck check(session::Session& session, const std::vector<qint64>& ids, bool withHeld, std::vector<Entry>* found,
                std::vector<std::vector<Step>>* planned, const common::Stepper* step = nullptr) {
  db::Database& database = session.database();
  UndoCheck c;
  std::vector<Entry> entries;
  std::vector<std::vector<Step>> plans;
  std::vector<Step> all;
  for (const qint64 id : ids) {
    const std::optional<Entry> e = readEntry(session.journal(), id);
    if (!e) return c;
    if (entries.empty() && !e->pairs.empty()) c.pair = e->pairs.front();
    if (!undoable(*e)) {
      c.status = UndoStatus::NotUndoable;
      return c;
    }
    if (undoneAlready(session.journal(), *e)) {
      c.status = UndoStatus::AlreadyUndone;
      return c;
    }
    plans.push_back(steps(*e));
    if (refusedTooLong(session, plans.back(), c)) return c;
    all.insert(all.end(), plans.back().begin(), plans.back().end());
    c.serialStored = c.serialStored || storedSerial(*e);
    entries.push_back(*e);
  }
  if (found) *found = entries;
  QHash<QString, qint64> counts = registerCounts(database, all);
  for (std::size_t k = 0; k < entries.size(); ++k) {
    for (const Step& s : plans[k]) {
      const QString from = key(s.pair.newNumber), to = key(s.pair.oldNumber);
      if (counts.value(from) > s.employees) {
        // Others hold the number beside the employees the entry left there: named, not blamed on a change.
        c.status = UndoStatus::NumberShared;
        c.pair = s.pair;
        c.leftThere = s.employees;
        for (db::Recordset rs = database.open(batch::registerSetSql({s.pair.newNumber})); !rs.eof(); rs.moveNext())
          c.sharedBy << rs.text(QStringLiteral("姓名"));
        return c;
      }
      if (counts.value(from) != s.employees) {
        c.status = UndoStatus::NumberMovedOn;
        c.pair = s.pair;
        return c;
      }
      if (from == to) continue;  // only the case of the number changes back
      if (counts.value(to) != 0) {
        c.status = UndoStatus::OldNumberTaken;
        c.pair = s.pair;
        c.takenBy = laterEntryGiving(session.journal(), entries[k].id, s.pair.oldNumber);
        return c;
      }
      counts[to] = counts.value(from);
      counts[from] = 0;
    }
  }
  if (withHeld) {
    // An old number that is also the "9" number of a step before it (a staging's 912 -> 12 before
    // 9912 -> 912) holds the records that step takes away: it is not asked about.
    QSet<QString> movedAway;
    QStringList numbers;
    for (const Step& s : all) {
      if (!movedAway.contains(key(s.pair.oldNumber))) numbers << s.pair.oldNumber;
      movedAway.insert(key(s.pair.newNumber));
    }
    // Only the rows the undo's renames would join: rows its change left under the old number (the
    // 员工档案temp rows of other kinds, which no renumber moves) were the employee's before it and
    // are no one else's records.
    const std::vector<host::RefColumn> columns = session.allColumns();
    const std::vector<common::Holding> held = common::holdingsJoined(
        database, columns, numbers, common::numbersPerStatement(columns.size()), true, [step](int done, int total) {
          if (step) (*step)(done, total);
        });
    for (const QString& n : numbers)
      if (const QString text = common::holdingsText(held, n); !text.isEmpty()) c.held.push_back({n, text});
  }
  if (planned) *planned = plans;
  c.status = UndoStatus::Ready;
  return c;
}

// The entries to take back together so that entry id can be undone: while the undo is refused
// because a later entry gave an old number to an employee, that entry goes first (newest first);
// empty when there is no such way (the undo of id alone is refused for its own reason).
constexpr int kTogetherAtMost = 20;
std::vector<qint64> undoneTogether(session::Session& session, qint64 id, const UndoCheck& alone) {
  std::vector<qint64> ids{id};
  UndoCheck c = alone;
  while (c.status == UndoStatus::OldNumberTaken && c.takenBy.id != 0 && int(ids.size()) < kTogetherAtMost &&
         std::find(ids.begin(), ids.end(), c.takenBy.id) == ids.end()) {
    ids.push_back(c.takenBy.id);
    std::sort(ids.begin(), ids.end(), std::greater<>());
    c = check(session, ids, false, nullptr, nullptr);
    if (c.status == UndoStatus::Ready) return ids;
  }
  return {};
}

}  // namespace

namespace {
bool undoableOperation(const QString& operation) {
  return operation == singleRenumber() || operation == batchApply() || operation == staging();
}
}  // namespace

bool undoable(const Entry& e) { return e.id != 0 && !e.pairs.empty() && undoableOperation(e.operation); }
bool undoable(const Summary& e) { return e.id != 0 && e.pairCount > 0 && undoableOperation(e.operation); }

UndoCheck checkUndo(session::Session& session, qint64 id, const common::Progress& progress) {
  const common::Stepper step(progress, session.database());
  return step.run([&] { return check(session, {id}, true, nullptr, nullptr, &step); });
}

change::Change undoChange(qint64 id, const std::vector<Pair>& renamed, const std::vector<host::RefColumn>& added) {
  change::Change change;
  change.operation = undoOperation();
  change.undoes = id;
  // The renames go batch::kRowsPerExecution steps to an execution, as a batch apply sends its rows.
  QStringList texts;
  for (const Pair& p : renamed) {
    change.pairs.push_back({p.newNumber, p.oldNumber, QString()});
    texts << single::renumberBatch(p.newNumber, p.oldNumber, added);
  }
  change.counted = host::allColumns(added);
  change.executions = change::groupedExecutions(texts, batch::kRowsPerExecution, QStringLiteral(" "));
  change.units = int(renamed.size());
  change.unitsPerExecution = batch::kRowsPerExecution;
  return change;
}

namespace {

// The undo's transaction: the checks again inside it (with the records under the old numbers when
// asked is given: they must still be those), then the renames of each entry of ids in order, each
// journaled as an undo of its own.
UndoCheck undoInside(session::Session& session, const std::vector<qint64>& ids, const std::vector<Held>* asked,
                     const common::Progress& progress) {
  UndoCheck c;
  // Refused before the transaction begins: the checks inside it would refuse it too.
  for (const qint64 id : ids)
    if (const std::optional<Entry> e = session.journal().entry(id, 0);
        e && undoable(*e) && !undoneAlready(session.journal(), *e))
      if (refusedTooLong(session, steps(*e), c)) return c;
  const bool done = change::ChangeRunner(session.database(), session.journal(), progress)
                        .run([&](const common::Stepper& step) -> std::optional<change::Change> {
                          step(0, 0);
                          std::vector<Entry> entries;
                          std::vector<std::vector<Step>> plans;
                          c = check(session, ids, asked != nullptr, &entries, &plans);
                          if (c.status != UndoStatus::Ready) return std::nullopt;
                          if (asked && c.held != *asked) {
                            c.status = UndoStatus::HeldChanged;
                            return std::nullopt;
                          }
                          std::vector<change::Change> changes;
                          int units = 0;
                          for (std::size_t k = 0; k < entries.size(); ++k) {
                            std::vector<Pair> renamed;
                            for (const Step& s : plans[k]) renamed.push_back(s.pair);
                            changes.push_back(undoChange(entries[k].id, renamed, session.added()));
                            units += changes.back().units;
                          }
                          change::Change change = std::move(changes.front());
                          change.followedBy.assign(std::make_move_iterator(changes.begin() + 1),
                                                   std::make_move_iterator(changes.end()));
                          step(0, units);
                          return change;
                        });
  if (done) c.status = UndoStatus::Done;
  return c;
}

// "第8条、第5条"
QString entryList(const std::vector<qint64>& ids) {
  QStringList names;
  for (const qint64 id : ids) names << QStringLiteral("第%1条").arg(id);
  return names.join(QStringLiteral("、"));
}

}  // namespace

UndoCheck undo(session::Session& session, qint64 id, const common::Progress& progress) {
  return undoInside(session, {id}, nullptr, progress);
}

UndoPlan planUndo(session::Session& session, qint64 id, const common::Progress& progress) {
  UndoPlan plan;
  plan.id = id;
  plan.entries = {id};
  std::vector<Entry> found;
  std::vector<std::vector<Step>> planned;
  {
    const common::Stepper step(progress, session.database());
    plan.check = step.run([&] {
      UndoCheck alone = check(session, {id}, true, &found, &planned, &step);
      // Refused because later entries gave an old number away: offered together with them.
      if (const std::vector<qint64> together = undoneTogether(session, id, alone); !together.empty()) {
        plan.together = undoMessage(alone, id);
        plan.entries = together;
        return check(session, together, true, &found, &planned, &step);
      }
      return alone;
    });
  }
  if (plan.check.status != UndoStatus::Ready) {
    plan.refusal = change::Refusal{undoMessage(plan.check, id)};
    return plan;
  }
  if (plan.entries.size() > 1)
    plan.questions.push_back({undoTogetherQuestion(plan.together, plan.entries), true});
  else
    plan.questions.push_back({undoQuestion(found.front()), true});
  if (!plan.check.held.empty()) plan.questions.push_back({undoMergeQuestion(plan.check), true});
  std::vector<Pair> renamed;
  for (const Step& s : planned.front()) renamed.push_back(s.pair);
  plan.change = undoChange(plan.entries.front(), renamed, session.added());
  for (std::size_t k = 1; k < plan.entries.size(); ++k) {
    std::vector<Pair> more;
    for (const Step& s : planned[k]) more.push_back(s.pair);
    plan.change.followedBy.push_back(undoChange(plan.entries[k], more, session.added()));
  }
  return plan;
}

Undone runUndo(session::Session& session, const UndoPlan& plan, const common::Progress& progress) {
  Undone ran;
  const std::vector<qint64> ids = plan.entries.empty() ? std::vector<qint64>{plan.id} : plan.entries;
  ran.check = undoInside(session, ids, plan.check.held.empty() ? nullptr : &plan.check.held, progress);
  if (ran.check.status == UndoStatus::Done && ids.size() > 1) ran.together = undoneTogetherMessage(ran.check, ids);
  if (ran.check.status != UndoStatus::Done) ran.refusal = change::Refusal{undoMessage(ran.check, plan.id)};
  return ran;
}

QString undoTogetherQuestion(const QString& refused, const std::vector<qint64>& ids) {
  return refused + QStringLiteral("。是否把%1记录一起撤销（从新到旧）？").arg(entryList(ids));
}

QString undoneTogetherMessage(const UndoCheck& check, const std::vector<qint64>& ids) {
  return entryList(ids) + QStringLiteral("修改记录已一起撤销。") +
         (check.serialStored ? QStringLiteral("编号规则的流水号未退回。") : QString());
}

QString undoQuestion(const Entry& e) {
  QStringList moves;
  qsizetype changed = 0;
  for (const Pair& p : e.pairs)
    if (p.oldNumber != p.newNumber) ++changed;
  for (const Pair& p : e.pairs) {
    if (p.oldNumber == p.newNumber) continue;  // a row left as it was: nothing goes back
    if (moves.size() == kMovesAsked) {
      moves.last() += QStringLiteral("等%1人").arg(changed);
      break;
    }
    moves << p.newNumber + QStringLiteral("改回") + p.oldNumber;
  }
  return QStringLiteral("撤销第%1条修改记录（%2）：工号%3。%4是否继续？")
      .arg(e.id)
      .arg(e.operation, moves.join(QStringLiteral("，")),
           storedSerial(e) ? QStringLiteral("编号规则中已记下的流水号不会退回。") : QString());
}

QString undoMergeQuestion(const UndoCheck& c) {
  if (c.held.empty()) return QString();
  if (c.held.size() == 1) return single::mergeQuestion(c.held.front().number, c.held.front().tables);
  QStringList lines;
  for (const Held& h : c.held) lines << h.number + QStringLiteral("：") + h.tables;
  return text::listedText(QStringLiteral("以下原工号在其他表中已有记录："), lines,
                          QStringLiteral("继续撤销将把这些记录并入相应员工，是否继续？"));
}

QString undoMessage(const UndoCheck& c, qint64 id) {
  switch (c.status) {
    case UndoStatus::Ready: return QString();
    case UndoStatus::Done:
      return QStringLiteral("第%1条修改记录已撤销。").arg(id) +
             (c.serialStored ? QStringLiteral("编号规则的流水号未退回。") : QString());
    case UndoStatus::NotUndoable: return QStringLiteral("只有单个修改、批量修改和无岗位处理可以撤销");
    case UndoStatus::AlreadyUndone: return QStringLiteral("第%1条修改记录已经撤销过，不能再次撤销").arg(id);
    case UndoStatus::NumberMovedOn:
      return QStringLiteral("员工档案中工号%1已不属于一名员工，可能已被再次修改，不能撤销").arg(c.pair.newNumber);
    case UndoStatus::NumberShared: {
      constexpr qsizetype kNames = 10;
      QString names = c.sharedBy.mid(0, kNames).join(QStringLiteral("、"));
      if (c.sharedBy.size() > kNames) names += QStringLiteral("等");
      return QStringLiteral("员工档案中工号%1现由%2名员工共用（%3），本条修改记录只把%4名员工改为该工号，不能撤销")
          .arg(c.pair.newNumber)
          .arg(c.sharedBy.size())
          .arg(names)
          .arg(c.leftThere);
    }
    case UndoStatus::TooLong: return preview::tooLongMessage(c.tooLong);
    case UndoStatus::OldNumberTaken: {
      const QString refused = QStringLiteral("原工号%1已被其他员工使用，不能撤销").arg(c.pair.oldNumber);
      if (c.takenBy.id == 0) return refused;
      return refused + QStringLiteral("：第%1条修改记录（%2，%3）把这个工号给了员工，请先撤销第%1条记录")
                           .arg(c.takenBy.id)
                           .arg(c.takenBy.operation, c.takenBy.time.toString(kTimeFormat));
    }
    case UndoStatus::Missing: return QStringLiteral("找不到第%1条修改记录").arg(id);
    case UndoStatus::HeldChanged:
      return QStringLiteral("询问之后，其他表中原工号下的记录有了变化，没有做任何修改，请重新撤销");
  }
  return QString();
}

}  // namespace undo
