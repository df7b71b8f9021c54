#pragma once
// Every change the tool makes goes through one runner: it begins the transaction, runs the
// change's checks inside it, lets the journal's recorder read what it keeps, sends the change's
// executions in order with the progress and the stop between them, and commits with the entry.
// The executions a change sends are built once (batch::applyChange, single::renumberChange, ...):
// the preview and the script show that very list.
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "db/database.h"
#include "host/host_tables.h"
#include "core/common/progress.h"
#include "core/journal/journal.h"

namespace change {

// A part of an execution sent alone to find the one that fails, with the note naming it.
struct ExecutionPart {
  QString text;
  QString note;
};

// A record sent as its fields: added (Database::addRecord) when id is 0, otherwise rewritten
// (Database::updateRecord); openSql opens the table's recordset.
struct RecordEdit {
  QString openSql;
  QString table;
  db::Fields fields;
  qint64 id = 0;
};

// A change: the executions it sends and what the journal records of it. Plain data: what a change
// sends can be read off it, nothing is decided when it runs.
struct Change {
  QString operation;  // the journal's operation (journal::singleRenumber(), ...)
  std::vector<journal::Pair> pairs;  // old -> new (the recorder reads the names); none for a rule change
  QStringList executions;  // in order, each text sent at once
  // The statement recorded; unset: the executions joined by line breaks.
  std::optional<QString> statement;
  // The columns whose rows holding an old number the journal counts (none for a rule change).
  std::vector<host::RefColumn> counted{};
  qint64 undoes = 0;  // an undo: the entry it undoes
  // The progress: before execution k, k * unitsPerExecution of units are done; at the end all.
  int units = 0;
  int unitsPerExecution = 1;
  // Found stale ahead: the executions are still sent (a failing one is reported as such), then
  // everything rolls back and nothing is recorded.
  bool rollBack = false;
  // The executions sent as a record's fields, by their index; the others go as their text
  // (Database::execute). A record edit's text is what is shown and recorded.
  std::map<qsizetype, RecordEdit> records{};
  // When execution k fails in a row it writes (db::DbError::rowLevel(): a duplicate key, a value
  // too long, a conversion, a Null): parts[k], each sent alone after the executions before it are
  // sent again, so that the error names the part that fails (its note added to the database's
  // text); when all of them pass, the error names the execution (notes[k]). Then all rolls back.
  // Any other failure, or one of an execution without parts, is never sent again.
  std::vector<std::vector<ExecutionPart>> parts{};
  QStringList notes{};
  // Changes sent after this one, in order, in the same transaction, each recorded as an entry of
  // its own (several undos taken back together): all are committed or none.
  std::vector<Change> followedBy{};
};

// Runs changes on a database, recorded in its journal, with a progress (empty: no progress, no stop).
class ChangeRunner {
 public:
  ChangeRunner(db::Database& database, journal::Journal& journal, const common::Progress& progress = {});

  // The checks a change makes inside its transaction before anything is sent: the change, or
  // nothing (everything read is rolled back, nothing was sent). The stepper reports progress.
  using Prepare = std::function<std::optional<Change>(const common::Stepper& step)>;

  // Runs a change in one transaction. Returns whether it was committed (false: prepare gave
  // nothing, or a change to roll back). A stop rolls everything back and throws common::Cancelled; a
  // failing statement rolls everything back and throws db::DbError. A table another program holds
  // (a lock time-out, a deadlock) or a foreign key or CHECK constraint that refuses the change ends
  // the change at once, nothing sent again: its error says so in the user's words, naming the
  // table the failing statement writes ("表工资单明细正被其他程序使用，..."), then a line break and
  // the database's text.
  bool run(const Prepare& prepare);
  bool run(const Change& change);
  // The ID of the last record the runs added (0: none).
  qint64 addedId() const { return addedId_; }

 private:
  db::Database& database_;
  journal::Journal& journal_;
  common::Progress progress_;  // a copy: the default one is a temporary
  qint64 addedId_ = 0;
  void send(const Change& change, const common::Stepper& step);
};

// Texts joined into executions of perExecution texts each (separator between the texts of one),
// as the batch apply and the undo send their renames.
QStringList groupedExecutions(const QStringList& texts, int perExecution, const QString& separator = {});

}  // namespace change
