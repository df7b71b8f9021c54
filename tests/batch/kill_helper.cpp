// Runs a batch apply or the staging on an embedded database, for the test that kills it half-way:
//   batch_kill_helper <database> apply <rows file: "old<TAB>new" per line>
//   batch_kill_helper <database> stage
// Prints "ready" once the database is open, "done" when the work is committed.
#include <QCoreApplication>
#include <QFile>
#include <cstdio>

#include "db/database.h"
#include "ops/batch/batch_ops.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 3) return 2;
  db::Database& database = db::Database::shared();
  QString error;
  if (!database.openSqlite(args[1], &error)) {
    std::fprintf(stderr, "%s\n", error.toUtf8().constData());
    return 1;
  }
  batch::Rows rows;
  if (args[2] == QStringLiteral("apply")) {
    QFile file(args.value(3));
    if (!file.open(QIODevice::ReadOnly)) return 2;
    for (const QByteArray& line : file.readAll().split('\n'))
      if (const QList<QByteArray> parts = line.split('\t'); parts.size() == 2)
        rows.push_back({QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1])});
  }
  std::puts("ready");
  std::fflush(stdout);
  try {
    if (args[2] == QStringLiteral("apply")) {
      if (!batch::applyRows(database, rows).applied()) return 3;
    } else {
      batch::stageNoPosition(database);
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::puts("done");
  std::fflush(stdout);
  return 0;
}
