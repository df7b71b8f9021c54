#pragma once
// The journal's recorder, which the change runner uses: what it reads of a change before its
// statements run, and the entry it writes with the commit.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>
#include <utility>
#include <vector>

#include "host/host_tables.h"
#include "core/journal/journal_store.h"

namespace db {
class Database;
class Transaction;
}  // namespace db

namespace journal {

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
  // Several changes of one transaction, each its own entry, in order: every entry written, then
  // one commit.
  static void commit(const std::vector<std::unique_ptr<Recorder>>& recorders, db::Transaction& transaction);
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
// Numbers per count statement: about common::kLiteralsPerStatement literals in all its IN lists.
qsizetype countSlice(const std::vector<host::RefColumn>& columns);

}  // namespace journal
