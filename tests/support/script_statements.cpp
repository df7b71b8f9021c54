#include "tests/support/script_statements.h"

#include <QRegularExpression>

#include "db/database.h"

namespace testdb {

QStringList scriptStatements(const QString& script) {
  // The script's frame: its settings, the step table, the guards and the steps' marks, the end.
  const QRegularExpression frame(
      "^(SET XACT_ABORT ON|SET NOEXEC OFF|IF OBJECT_ID\\('tempdb\\.\\.#renumber_step'\\).*|CREATE TABLE "
      "#renumber_step.*|"
      "INSERT INTO #renumber_step.*|BEGIN TRANSACTION|IF @@TRANCOUNT = 0 OR NOT EXISTS \\(SELECT 1 FROM "
      "#renumber_step.*|"
      "UPDATE #renumber_step SET step = \\d+|DROP TABLE #renumber_step)$");
  QStringList out;
  for (const QString& batch : db::Database::splitBatches(script)) {
    if (batch.contains("COMMIT TRANSACTION")) continue;  // the end: commit or roll back
    QStringList lines;
    for (const QString& line : batch.split("\r\n"))
      if (!line.startsWith("--") && !frame.match(line).hasMatch()) lines << line;
    const QString statement = lines.join("\r\n");
    if (!statement.trimmed().isEmpty()) out << statement;
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
