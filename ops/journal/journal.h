#pragma once
// The change journal: every change the tool commits, with who made it, where it went, the old ->
// new pairs, the rows changed per column and the statement text sent. One embedded journal file
// per server and database in the user's data folder, never in the host database.
//
// On the embedded engine the journal file is attached to the host connection when it is opened,
// and an entry is written inside the change's own transaction (SQLite commits attached files
// together): a change that rolls back leaves no entry. On SQL Server the entry is written right
// after the commit on the journal's own connection. An entry that cannot be written after a
// committed change is kept in a pending file beside the journal and written at the next open.
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QList>
#include <QPair>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <optional>
#include <vector>

#include "host/host_tables.h"
#include "ops/common/progress.h"

class QSqlDatabase;

namespace db {
class Database;
class Transaction;
}  // namespace db

namespace journal {

// ---- Operations ------------------------------------------------------------------------------
// The operation of an entry, stored and shown by its name.
QString singleRenumber();  // "单个修改"
QString batchApply();  // "批量修改"
QString staging();  // "无岗位处理"
QString undoOperation();  // "撤销"
QString ruleAdded();  // "规则新增"
QString ruleChanged();  // "规则修改"
QString ruleDeleted();  // "规则删除"
QString ruleRows();  // "具体规则"
QString categoryLinks();  // "类别关联"
// Every operation name, in the order the window offers them.
QStringList operations();

// ---- Entries ---------------------------------------------------------------------------------
struct Pair {
  QString oldNumber, newNumber;
  QString name;  // the employee's name in the register before the change ("" when none)
  bool operator==(const Pair&) const = default;
};
struct ColumnRows {
  QString table, column;
  qint64 rows = 0;  // rows of the column that held an old number before the change
  bool operator==(const ColumnRows&) const = default;
};
struct Entry {
  qint64 id = 0;  // 0 until written (an entry waiting in the pending file)
  QDateTime time;
  QString osUser, login, server, database;
  QString operation;
  std::vector<Pair> pairs;
  std::vector<ColumnRows> rows;  // columns with rows only, in the order of the column list
  QString statement;  // the exact text sent
  qint64 undoes = 0;  // an undo: the entry it undid
  qint64 undoneBy = 0;  // read only: the undo of this entry (0 when none)
  qsizetype statementLength = 0;  // read only: the whole statement's length when only its beginning was read
};

// One line of the journal's list: an entry without its statement, its rows and all its pairs but
// the first (a batch's entry holds thousands of pairs and a statement of megabytes).
struct Summary {
  qint64 id = 0;  // 0: an entry not written yet
  QDateTime time;
  QString osUser, operation;
  Pair first{};  // the first pair (empty when there are none)
  qint64 pairCount = 0;
  qint64 undoes = 0;
  qint64 undoneBy = 0;
};
Summary summary(const Entry& entry);

// The entry as text: a header line, one line per pair, the rows per column, the statement. An
// entry not written yet is headed "#待写入". With statementChars >= 0 the statement is shown up to
// that many characters, and a statement longer than shown says how long it is.
QString entryText(const Entry& entry, qsizetype statementChars = -1);
// The mark of an entry not written yet, where its number would be.
QString pendingMark();  // "待写入"

// ---- Where the journal goes ------------------------------------------------------------------
struct Context {
  QString folder;  // the journal's folder ("" = the user's data folder of the tool)
  QString server;  // the settings' Svr ("sqlite:<path>" for an embedded database)
  QString database;  // DBname
  QString login;  // UID
};

struct Filter {
  QString number{};  // an old or new number of a pair ("" = any)
  QString name{};  // part of a pair's name ("" = any)
  QDate from{}, to{};  // the day range, both ends included (null = open)
  QString operation{};  // "" = any
};

class Recorder;

// The journal of one server and database (key: ops::databaseKey of its server and database), in
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
  // Ends the journal (detached; no entries are recorded until the next open).
  void close(db::Database& database);
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
  // those matching it as entries() matches, newest first.
  std::vector<Entry> pendingEntries() const;
  std::vector<Entry> pendingEntries(const Filter& filter) const;

 private:
  friend class Recorder;
  Context context_;
  QString key_;
  QString connection_;  // the name of the journal's own connection to its file
  bool active_ = false;
  std::function<void(const QString&)> notifier_;
  QString notice_;

  QString folder() const;
  QSqlDatabase own();
  void writeOwn(Entry& entry);
  std::vector<Entry> readPending() const;
  bool savePending(const std::vector<Entry>& entries) const;
  void tell(const QString& text);
};

// The notice: the change stands, the entry waits to be written at the next start.
QString writeFailedMessage(const QString& databaseText);

// ---- Recording -------------------------------------------------------------------------------
// Records a change in journal. Made inside the change's transaction before its statements run: reads the
// employees' names and counts, per column, the rows holding an old number (all columns in one
// statement per slice of countSlice(columns) numbers). commit(transaction) writes the entry into the attached journal, commits, and on SQL
// Server writes it after the commit. Without an open journal it only commits.
// A batch apply records its run the same way: every old -> new pair in the order applied and the
// whole text sent; a staging passes every employee's pair and the staging's column list.
class Recorder {
 public:
  Recorder(Journal& journal, db::Database& database, QString operation, std::vector<Pair> pairs, QString statement,
           const std::vector<host::RefColumn>& columns, qint64 undoes = 0);
  // Adds text to the statement recorded (a change sent in parts records them as they go).
  void addStatement(const QString& text) { entry_.statement += text; }
  void commit(db::Transaction& transaction);
  // For a change already committed by itself (one statement outside a transaction): writes the entry now.
  void committed();
  const Entry& entry() const { return entry_; }

 private:
  Journal& journal_;
  db::Database& database_;
  Entry entry_;
  bool active_ = false;
};
// The text of a record edit as sent with its values: "INSERT INTO t (a, b) VALUES ('x', Null)", or
// "UPDATE t SET a='x', b=2 WHERE ID=7" when id is given.
QString recordEditText(const QString& table, const QList<QPair<QString, QVariant>>& fields, qint64 id = 0);
// The old -> new pairs of a change that only has numbers (names are read by the Recorder).
std::vector<Pair> pairs(const std::vector<std::pair<QString, QString>>& oldNew);
// The statement counting, for every column, the rows that hold any of numbers (with the column's
// extra condition): one SELECT per column joined by UNION ALL, each row naming its column by
// position as 列 with its count as 行数.
QString countSql(const std::vector<host::RefColumn>& columns, const QStringList& numbers);
// Numbers per count statement: about ops::kLiteralsPerStatement literals in all its IN lists.
qsizetype countSlice(const std::vector<host::RefColumn>& columns);

}  // namespace journal
