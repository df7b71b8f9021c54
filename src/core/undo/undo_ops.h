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
};
// The plan of undoing entry id: checkUndo; refused with undoMessage unless Ready, otherwise the
// question before an undo (undoQuestion) and, for records already under the old numbers, the merge
// question (undoMergeQuestion), and the undo's change (undoChange). Reads only. Throws db::DbError;
// a stop throws common::Cancelled.
UndoPlan planUndo(session::Session& session, qint64 id, const common::Progress& progress = {});
struct Undone : change::Ran {
  UndoCheck check;  // Done, or why the run refused
};
// Runs a plan answered 是: undo, and when the plan asked about records under the old numbers, they
// are read again inside the transaction: any other records send nothing (HeldChanged).
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
// The question before an undo.
QString undoQuestion(const journal::Entry& entry);
// The question before an undo onto old numbers that records already carry (check.held): for one
// number the single renumber's question, for more one line per number (the first on the heading's
// line), bounded as every long list (text::listedText).
QString undoMergeQuestion(const UndoCheck& check);

}  // namespace undo
