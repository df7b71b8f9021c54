#pragma once
// What a preview's script says it will send, in the forms the tests compare with what was sent.
#include <QString>
#include <QStringList>

namespace testdb {

// The statements a script holds, batch by batch, without its comment lines and without the
// transaction frame (SET XACT_ABORT ON, BEGIN / COMMIT TRANSACTION) the embedded engine runs
// through its own transaction calls.
QStringList scriptStatements(const QString& script);
// The executions as sent: a script's batches without the line breaks it puts before each statement.
QStringList asSent(QStringList batches);
// The statements that change something: no reads (the catalogue, the checks) and none of the
// embedded engine's own (the journal's ATTACH and SAVEPOINT).
QStringList writes(const QStringList& statements);

}  // namespace testdb
