#pragma once
// The journal's store: one embedded journal file per server and database in the user's data
// folder, never in the host database. Every statement on it goes through db::Database: on its
// own connection to the file, and, when the host is an embedded database, on the host connection
// it is attached to (as "rj"), so that the host's observer sees those statements and their
// results are checked like every other.
//
// On the embedded engine an entry is written inside the change's own transaction (SQLite commits
// attached files together): a change that rolls back leaves no entry. On SQL Server the entry is
// written right after the commit on the journal's own connection. An entry that cannot be written
// after a committed change is kept in a pending file beside the journal and written at the next
// open.
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/journal/journal_entry.h"

namespace db {
class Database;
}

namespace journal {

// The journal of one server and database (key: common::databaseKey of its server and database), in
// its file of the context's folder. It takes no entries until opened.
class Journal {
 public:
  Journal(Context context, QString key);
  ~Journal();
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  const Context& context() const { return context_; }
  // The journal file: one per server and database; and the file of the entries left pending.
  QString file() const;
  QString pendingFile() const;

  // Creates the journal file when missing, attaches it to database when that is an open embedded
  // connection outside a transaction (detached first when attached before), and writes the entries
  // left pending. Returns "" or the text of what failed (the journal then still takes entries after
  // commits).
  QString open(db::Database& database);
  // Ends the journal (detached; no entries are recorded until the next open). Returns "" or the
  // database's text of a detach that failed.
  QString close(db::Database& database);
  bool active() const { return active_; }
  // Who is told when an entry could not be written after a committed change (the start-up shows a
  // message; without one the notice is kept until takeNotice()).
  void setNotifier(std::function<void(const QString& text)> notifier);
  QString takeNotice();

  // The entries matching filter, newest first. Throws db::DbError.
  std::vector<Entry> entries(const Filter& filter = {});
  // The same as the list shows them: without statements, rows and pairs but the first, read in
  // one query however large the entries are.
  std::vector<Summary> summaries(const Filter& filter = {});
  // Entry id whole, or with at most statementChars characters of its statement (0: none).
  std::optional<Entry> entry(qint64 id, qsizetype statementChars = -1);
  // The entries waiting in the pending file (id 0), in the order they were kept; with a filter,
  // those matching it as entries() matches (the same conditions, run on them), newest first.
  std::vector<Entry> pendingEntries() const;
  std::vector<Entry> pendingEntries(const Filter& filter);

  // ---- Writing (the recorder) ----------------------------------------------------------------
  // The journal is attached to host (an embedded host connection): its entries can be written
  // inside the change's transaction.
  bool attachedTo(db::Database& host);
  // Writes entry into the journal attached to host, inside the change's transaction, behind a
  // savepoint. False when that failed and was taken back (the entry is then to be written after
  // the commit); throws db::DbError when it could not be taken back (the change must not commit).
  bool writeAttached(db::Database& host, Entry& entry);
  // Writes entry on the journal's own connection after a committed change; when that fails the
  // entry is kept in the pending file and the notifier is told.
  void writeAfterCommit(Entry& entry);

 private:
  Context context_;
  QString key_;
  std::unique_ptr<db::Database> own_;  // the journal's own connection to its file
  bool active_ = false;
  std::function<void(const QString&)> notifier_;
  QString notice_;

  QString folder() const;
  db::Database& own();
  void writeOwn(Entry& entry);
  std::vector<Entry> readPending() const;
  bool savePending(const std::vector<Entry>& entries) const;
  void tell(const QString& text);
};

// The notice: the change stands, the entry waits to be written at the next start.
QString writeFailedMessage(const QString& databaseText);

}  // namespace journal
