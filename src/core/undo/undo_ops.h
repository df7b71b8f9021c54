#pragma once
// The undo of a journal entry: whether it can be undone, and the undo itself (the pairs renumbered
// back with the batch apply's and the single renumber's statements), journaled as an undo.
#include <QString>
#include <QStringList>
#include <vector>

#include "core/preview/column_widths.h"
#include "core/common/progress.h"
#include "core/change/change_runner.h"
#include "core/change/plan.h"
#include "core/journal/journal.h"

namespace session {
class Session;
}

namespace undo {

// ---- Undo ------------------------------------------------------------------------------------
enum class UndoStatus {
  Ready,  // can be undone
  Done,
  NotUndoable,  // not a renumber
  AlreadyUndone,
  NumberMovedOn,  // an employee no longer carries the recorded new number
  NumberShared,  // the register holds the recorded new number for more employees than the entry left there
  OldNumberTaken,  // the register holds the old number again
  TooLong,  // a column the undo rewrites cannot hold an old number: nothing was sent
  Missing,  // no such entry
  HeldChanged,  // the records under the old numbers changed after the merge question: nothing was sent
};
// An old number that records of other tables already carry, with those tables ("工资单明细 3行，...").
struct Held {
  QString number, tables;
  bool operator==(const Held&) const = default;
};
struct UndoCheck {
  UndoStatus status = UndoStatus::Missing;
  journal::Pair pair{};  // the pair the status is about
  std::vector<Held> held{};  // records already under the old numbers, in the order undone: the merge question
  QStringList sharedBy{};  // NumberShared: the names of the employees holding the number
  qint64 leftThere = 0;  // NumberShared: how many employees the entry left under it
  preview::TooLong tooLong{};  // TooLong: the number and the narrowest column that cannot hold it
  // OldNumberTaken: the newest later entry, not undone, that gave the old number to an employee
  // (it must be undone first); id 0 when no entry of the journal did.
  journal::Summary takenBy{};
  // An entry undone stored a serial in a numbering rule (a single renumber), which is not taken back.
  bool serialStored = false;
};
// Whether an entry is of a kind that can be undone: a written single renumber, batch apply or
// staging that changed a number (an undo, a rule change or an entry not written yet cannot).
bool undoable(const journal::Entry& entry);
bool undoable(const journal::Summary& entry);
// Whether entry id can be undone now. Progress counts the numbers asked about in the other tables;
// a stop throws common::Cancelled (nothing is changed either way). Throws db::DbError.
UndoCheck checkUndo(session::Session& session, qint64 id, const common::Progress& progress = {});
// What the undo's plan found, before anything is sent (it reads only).
struct UndoPlan : change::Plan {
  qint64 id = 0;
  UndoCheck check;  // Ready, or why the entry cannot be undone now
  // The entries the run takes back, in order: id alone, or newest first the later entries that
  // gave its old numbers away, then id (asked with undoTogetherQuestion).
  std::vector<qint64> entries;
  QString together;  // several entries: why id alone is refused (undoMessage)
};
// The plan of undoing entry id: checkUndo; refused with undoMessage unless Ready, otherwise the
// question before an undo (undoQuestion) and, for records already under the old numbers, the merge
// question (undoMergeQuestion), and the undo's change (undoChange). When id is refused because a
// later entry gave one of its old numbers to an employee, and undoing the later entries that did
// (newest first) would free them, it asks instead whether to undo them together
// (undoTogetherQuestion) and the change takes each back in turn, in one transaction. Reads only.
// Throws db::DbError; a stop throws common::Cancelled.
UndoPlan planUndo(session::Session& session, qint64 id, const common::Progress& progress = {});
struct Undone : change::Ran {
  UndoCheck check;  // Done, or why the run refused
  QString together;  // several entries undone together: what the user is told (undoneTogetherMessage)
};
// Runs a plan answered 是: undo (of every entry of plan.entries in one transaction, each journaled
// as an undo of its own), and when the plan asked about records under the old numbers, they are
// read again inside the transaction: any other records send nothing (HeldChanged).
Undone runUndo(session::Session& session, const UndoPlan& plan, const common::Progress& progress = {});

// Renumbers every pair of entry id back (new -> old) with every column in one transaction, after
// the same checks inside it, and records the undo. A renumber's pairs go back last pair first; a
// staging's numbers each once (employees who shared a number moved together), the shorter first.
// Each number must still be held by the employees the entry left under it, and the old number
// must be free when its turn comes. An old number a column cannot hold (the widths of the
// catalogue kept for the connection) is refused before anything is sent. A serial stored by the renumber is not taken back.
// Progress counts the renames sent (as a batch apply counts its rows); a stop rolls everything
// back and throws common::Cancelled. Throws db::DbError.
UndoCheck undo(session::Session& session, qint64 id, const common::Progress& progress = {});
// The undo of entry id as the change runner sends it: each of the renamed pairs (in the order
// they go back) renumbered from its new number to its old one with every column (the added ones too).
change::Change undoChange(qint64 id, const std::vector<journal::Pair>& renamed,
                          const std::vector<host::RefColumn>& added);
QString undoMessage(const UndoCheck& check, qint64 id);
// The question before an undo: the numbers that go back (the first ten, then how many employees
// in all); for a single renumber that stored a serial, that the serial is not taken back.
QString undoQuestion(const journal::Entry& entry);
// The question before undoing entries together: why the last alone is refused, then
// "是否把第8条、第5条记录一起撤销（从新到旧）？".
QString undoTogetherQuestion(const QString& refused, const std::vector<qint64>& ids);
// "第8条、第5条修改记录已一起撤销。" (and that a serial stored is not taken back).
QString undoneTogetherMessage(const UndoCheck& check, const std::vector<qint64>& ids);
// The question before an undo onto old numbers that records already carry (check.held): for one
// number the single renumber's question, for more one line per number (the first on the heading's
// line), bounded as every long list (text::listedText).
QString undoMergeQuestion(const UndoCheck& check);

}  // namespace undo
