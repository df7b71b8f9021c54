#include "tests/support/script_statements.h"

#include "db/database.h"

namespace testdb {

QStringList scriptStatements(const QString& script) {
  const QStringList frame{"SET XACT_ABORT ON", "BEGIN TRANSACTION", "COMMIT TRANSACTION"};
  QStringList out;
  for (const QString& batch : db::Database::splitBatches(script)) {
    QStringList lines;
    for (const QString& line : batch.split("\r\n"))
      if (!line.startsWith("--")) lines << line;
    const QString statement = lines.join("\r\n");
    if (!statement.trimmed().isEmpty() && !frame.contains(statement)) out << statement;
  }
  return out;
}

QStringList asSent(QStringList batches) {
  for (QString& b : batches) b.remove("\r\n");
  return batches;
}

QStringList writes(const QStringList& statements) {
  QStringList out;
  for (const QString& s : statements)
    if (!s.trimmed().startsWith("SELECT", Qt::CaseInsensitive) && !db::embeddedOnly(s)) out << s;
  return out;
}

}  // namespace testdb
