#pragma once
// A Qt SQL driver that answers every execution with a scripted batch reply, as SQL Server answers
// a text of several statements: a sequence of results, each a result set, a row count or an error.
// It records what was executed and whether every result was reached.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

namespace scripted {

struct Result {
  enum class Kind { Rows, Count, Error };
  Kind kind = Kind::Count;
  QStringList columns;  // Rows
  QList<QVariantList> rows;  // Rows; a null QVariant is Null
  int count = 0;  // Count
  QString error;  // Error: the database's text; for Rows with failAtRow >= 0, the failure on that row
  int failAtRow = -1;  // Rows: fetching this row fails with error
};

Result rows(const QStringList& columns, const QList<QVariantList>& rows);
Result count(int n);
Result error(const QString& text);
// A result set whose row failAtRow fails with text when it is fetched (a conversion, say).
Result rowsFailingAt(const QStringList& columns, const QList<QVariantList>& rows, int failAtRow, const QString& text);

struct State {
  QList<QList<Result>> replies;  // the reply to each execution in turn; one beyond them gets one row count
  QStringList executed;  // each text as executed, and "BEGIN", "COMMIT", "ROLLBACK"
  int unread = 0;  // results of the latest reply that were never reached
  int liveResults = 0;  // statements not yet freed
  QString commitFailure;  // when set, a commit fails with this text
};

// Adds an open connection on the scripted driver under connectionName.
void addConnection(const QString& connectionName, std::shared_ptr<State> state);

}  // namespace scripted
