#include "core/change/change_runner.h"

#include <memory>

#include "core/common/failure.h"
#include "db/database.h"
#include "db/tsql_tokens.h"

namespace change {

namespace {

using db::tsql::Kind;
using db::tsql::Token;

// The table each statement of an execution writes, for every statement that gives the server a
// result, in the order the server counts them (db::DbError::statement()): "Update t ...",
// "Insert Into t ...", "Delete From t ..." name t, a read names none (""). Only the outer level
// counts: a Select in parentheses is part of its statement, and so is the Select of an Insert.
QStringList writtenTables(const QString& execution) {
  std::vector<Token> tokens;
  for (Token& t : db::tsql::tokenize(execution, false))
    if (t.significant()) tokens.push_back(std::move(t));
  const auto nameAt = [&](std::size_t i) {
    QString name;
    for (; i < tokens.size(); i += 2) {  // a name, a dot, a name ...
      if (tokens[i].kind != Kind::Word && tokens[i].kind != Kind::QuotedName) break;
      name += tokens[i].text;
      if (i + 1 >= tokens.size() || !tokens[i + 1].is(Kind::Punct, u".")) break;
      name += u'.';
    }
    return name;
  };
  QStringList tables;
  int depth = 0;
  bool insertSelect = false;  // an Insert whose rows may come from a Select
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.is(Kind::Punct, u"(")) ++depth;
    if (t.is(Kind::Punct, u")")) --depth;
    if (depth != 0 || t.kind != Kind::Word) continue;
    const bool follows = i > 0 && (tokens[i - 1].isWord(u"UNION") || tokens[i - 1].isWord(u"ALL") ||
                                   tokens[i - 1].isWord(u"EXCEPT") || tokens[i - 1].isWord(u"INTERSECT"));
    if (t.isWord(u"UPDATE") || t.isWord(u"DELETE") || t.isWord(u"INSERT")) {
      std::size_t at = i + 1;
      if (at < tokens.size() && (tokens[at].isWord(u"FROM") || tokens[at].isWord(u"INTO"))) ++at;
      tables << nameAt(at);
      insertSelect = t.isWord(u"INSERT");
    } else if (t.isWord(u"VALUES")) {
      insertSelect = false;
    } else if (t.isWord(u"SELECT") && !follows) {
      if (!insertSelect) tables << QString();
      insertSelect = false;
    }
  }
  return tables;
}

// The table a failing statement of an execution writes; when the failure names none, the tables
// the execution writes.
QString failedTable(const QString& execution, int statement) {
  const QStringList tables = writtenTables(execution);
  if (statement >= 0 && statement < tables.size() && !tables[statement].isEmpty()) return tables[statement];
  QStringList distinct;
  for (const QString& t : tables)
    if (!t.isEmpty() && !distinct.contains(t, Qt::CaseInsensitive)) distinct << t;
  return distinct.join(u'、');
}

// A failure whose cause the user can act on, said in the user's words before the database's text:
// another program holding a table (a lock time-out, a deadlock), a foreign key or a CHECK
// constraint refusing the change, named by the table the failing statement writes; a read-only
// database, a missing table (common::leadOf). Any other failure as the database gave it.
db::DbError worded(const db::DbError& e, const QString& execution) {
  if (!e.lead().isEmpty()) return e;
  const QString table = e.heldByOtherProgram() || e.cause() == db::Cause::ForeignKey || e.cause() == db::Cause::Check
                            ? failedTable(execution, e.statement())
                            : QString();
  QString lead;
  if (table.isEmpty())
    lead = common::leadOf(e);
  else if (e.heldByOtherProgram())
    lead = QStringLiteral("表") + table +
           QStringLiteral("正被其他程序使用，本次修改已撤销，数据库没有任何修改，请稍后再试");
  else if (e.cause() == db::Cause::ForeignKey)
    lead = QStringLiteral("表") + table +
           QStringLiteral("的外键约束阻止了修改，数据库没有任何修改；数据库检查列出这些约束");
  else
    lead = QStringLiteral("表") + table + QStringLiteral("的检查约束") + e.checkConstraint() +
           QStringLiteral("阻止了修改，数据库没有任何修改；数据库检查列出这些约束");
  return lead.isEmpty() ? e : e.withLead(lead);
}

// A failure that sending the work again cannot explain better, or must not wait for: everything
// but a failure of a row (a duplicate key, a value too long, a conversion, a Null) ends the change
// at once, rolled back.
bool endsAtOnce(const db::DbError& e) { return !e.rowLevel(); }

}  // namespace

ChangeRunner::ChangeRunner(db::Database& database, journal::Journal& journal, const common::Progress& progress)
    : database_(database), journal_(journal), progress_(progress) {}

bool ChangeRunner::run(const Change& change) {
  return run([&change](const common::Stepper&) -> std::optional<Change> { return change; });
}

bool ChangeRunner::run(const Prepare& prepare) {
  const common::Stepper step(progress_, database_);
  return step.run([&] {
    db::Transaction transaction(database_);
    const std::optional<Change> change = prepare(step);
    if (!change) return false;
    if (change->rollBack) {
      send(*change, step);
      return false;  // the transaction rolls back as it ends
    }
    // Each recorder reads the names and counts the rows before its change's statements run.
    std::vector<const Change*> sequence{&*change};
    for (const Change& next : change->followedBy) sequence.push_back(&next);
    std::vector<std::unique_ptr<journal::Recorder>> records;
    for (const Change* c : sequence) {
      records.push_back(std::make_unique<journal::Recorder>(
          journal_, database_, c->operation, c->pairs,
          c->statement ? *c->statement : c->executions.join(QStringLiteral("\n")), c->counted, c->undoes));
      send(*c, step);
      if (c->units > 0) step(c->units, c->units);
    }
    step.finish();
    if (records.size() == 1)
      records.front()->commit(transaction);
    else
      journal::Recorder::commit(records, transaction);
    return true;
  });
}

void ChangeRunner::send(const Change& change, const common::Stepper& step) {
  const auto sendOne = [&](qsizetype k) {
    try {
      if (const auto record = change.records.find(k); record == change.records.end()) {
        database_.execute(change.executions[k]);
      } else {
        const RecordEdit& r = record->second;
        if (r.id != 0)
          database_.updateRecord(r.openSql, r.table, r.id, r.fields);
        else
          addedId_ = database_.addRecord(r.openSql, r.table, r.fields);
      }
    } catch (const db::DbError& e) {
      throw worded(e, change.executions[k]);
    }
  };
  for (qsizetype k = 0; k < change.executions.size(); ++k) {
    if (change.units > 0) step(int(k) * change.unitsPerExecution, change.units);
    try {
      sendOne(k);
    } catch (const db::DbError& failed) {
      // A stop, a table held by another program, a constraint, a transaction the server ended, a
      // full log, any failure that is no row's: nothing more is sent (the transaction rolls back
      // as the failure leaves it). A stop is turned into common::Cancelled by the stepper.
      const std::size_t at = std::size_t(k);
      if (step.stopped() || endsAtOnce(failed) || at >= change.parts.size() || change.parts[at].empty()) throw;
      // Which part failed: the same work again up to the failed execution, then its parts one by one.
      database_.rollback();
      database_.begin();
      for (qsizetype again = 0; again < k; ++again) sendOne(again);
      for (const ExecutionPart& part : change.parts[at]) {
        try {
          database_.execute(part.text);
        } catch (const db::DbError& e) {
          if (step.stopped() || endsAtOnce(e)) throw worded(e, part.text);
          throw db::DbError(e.text() + part.note);  // the transaction rolls back
        }
      }
      throw db::DbError(failed.text() + change.notes.value(k));
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

}  // namespace change
