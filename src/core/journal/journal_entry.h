#pragma once
// What the change journal keeps of a change: its entry (who made it, where it went, the old -> new
// pairs, the rows changed per column, the statement sent), the entry as text, and what the journal
// is asked (where it lies, which entries are listed).
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <vector>

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

// An entry's time as the journal keeps and shows it.
inline const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

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

}  // namespace journal
