#pragma once
// An ODBC connection that answers every execution with a scripted batch reply, as SQL Server
// answers a text of several statements: a sequence of results, each a result set, a row count or
// an error (returned as SQL_ERROR, or as SQL_SUCCESS_WITH_INFO with an error record, as ODBC has
// it for a statement after the first). It keeps the server's transaction count, answers the
// engine's transaction statements from it and its version query from its version, and records
// what was executed (the text as long as the call says) and whether every result was reached.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

#include "db/odbc_connection.h"

namespace scripted {

struct Result {
  enum class Kind { Rows, Count, Error };
  Kind kind = Kind::Count;
  QStringList columns;  // Rows
  QList<QVariantList> rows;  // Rows; a null QVariant is Null
  int count = 0;  // Count; a first result of 0 rows is SQL_NO_DATA
  QString error;  // Error: the database's text; for Rows with failAtRow >= 0, the failure on that row
  int failAtRow = -1;  // Rows: fetching this row fails with error
  int nativeError = 0;  // Error: the server's error number
  bool asInfo = false;  // Error: returned as SQL_SUCCESS_WITH_INFO, and the batch goes on
  QString info;  // an informational message (SQLSTATE 01000) that comes with this result
  bool endsTransaction = false;  // the server rolls its transaction back at this result
  int waitMs = 0;  // the server works this long on this result, unless the statement is cancelled
};

Result rows(const QStringList& columns, const QList<QVariantList>& rows);
Result count(int n);
Result error(const QString& text, int nativeError = 0);
// An error the driver returns as SQL_SUCCESS_WITH_INFO, with an error record.
Result errorAsInfo(const QString& text, int nativeError = 0);
// A result set whose row failAtRow fails with text when it is fetched (a conversion, say).
Result rowsFailingAt(const QStringList& columns, const QList<QVariantList>& rows, int failAtRow, const QString& text);

struct State {
  QList<QList<Result>> replies;  // the reply to each execution in turn; one beyond them gets one row count
  QStringList executed;  // each text as executed (with its markers "?"), transaction statements included
  QList<QVariantList> bound;  // the values bound to each execution
  int unread = 0;  // results of the latest reply that were never reached
  int liveResults = 0;  // statements not yet freed
  int trancount = 0;  // the server's @@TRANCOUNT
  QString productVersion = QStringLiteral("9.00.5000.00");  // SERVERPROPERTY('ProductVersion')
  QString commitFailure;  // when set, "COMMIT TRANSACTION" fails with this text
  int cancels = 0;  // SQLCancel calls
};

// A new open connection to the scripted server.
std::unique_ptr<db::odbc::Connection> connection(std::shared_ptr<State> state);

}  // namespace scripted
