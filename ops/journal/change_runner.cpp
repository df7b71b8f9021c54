#include "ops/journal/change_runner.h"

#include "db/database.h"

namespace ops {

ChangeRunner::ChangeRunner(db::Database& database, const Progress& progress)
    : database_(database), progress_(progress) {}

bool ChangeRunner::run(const Change& change) {
  return run([&change](const Stepper&) -> std::optional<Change> { return change; });
}

bool ChangeRunner::run(const Prepare& prepare) {
  const Stepper step(progress_, database_);
  return step.run([&] {
    db::Transaction transaction(database_);
    const std::optional<Change> change = prepare(step);
    if (!change) return false;
    if (change->rollBack) {
      send(*change, step);
      return false;  // the transaction rolls back as it ends
    }
    // The recorder reads the names and counts the rows before the statements run.
    journal::Recorder record(database_, change->operation, change->pairs,
                             change->statement ? *change->statement : change->executions.join(QStringLiteral("\n")),
                             change->counted, change->undoes);
    send(*change, step);
    if (change->units > 0) step(change->units, change->units);
    step.finish();
    record.commit(transaction);
    return true;
  });
}

void ChangeRunner::send(const Change& change, const Stepper& step) {
  const auto sendOne = [&](qsizetype k) {
    if (change.send)
      change.send(database_, k);
    else
      database_.execute(change.executions[k]);
  };
  for (qsizetype k = 0; k < change.executions.size(); ++k) {
    if (change.units > 0) step(int(k) * change.unitsPerExecution, change.units);
    try {
      sendOne(k);
    } catch (const db::DbError& failed) {
      if (step.stopped() || !change.partsOf) throw;  // a stop is turned into Cancelled by the stepper
      // Which part failed: the same work again up to the failed execution, then its parts one by one.
      database_.rollback();
      database_.begin();
      for (qsizetype again = 0; again < k; ++again) sendOne(again);
      for (const ExecutionPart& part : change.partsOf(k)) {
        try {
          database_.execute(part.text);
        } catch (const db::DbError& e) {
          throw db::DbError(e.text() + part.note);  // the transaction rolls back
        }
      }
      throw db::DbError(failed.text() + (change.executionNote ? change.executionNote(k) : QString()));
    }
  }
}

QStringList groupedExecutions(const QStringList& texts, int perExecution, const QString& separator) {
  QStringList out;
  for (qsizetype i = 0; i < texts.size(); ++i) {
    if (i % perExecution == 0)
      out << texts[i];
    else
      out.last() += separator + texts[i];
  }
  return out;
}

}  // namespace ops
