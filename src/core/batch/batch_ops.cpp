#include "core/batch/batch_ops.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <optional>

#include "db/database.h"
#include "host/host_tables.h"
#include "core/batch/batch_sql.h"
#include "core/common/holders.h"
#include "core/common/number_key.h"
#include "core/journal/journal.h"
#include "core/rules/rules_ops.h"
#include "core/session/session.h"

namespace batch {

namespace {
qint64 count(db::Database& database, const QString& sql) {
  db::Recordset rs = database.open(sql);
  return rs.eof() ? 0 : rs.field(QStringLiteral("人数")).toLongLong();
}
}  // namespace

std::vector<RuleEntry> ruleEntries(db::Database& database) {
  std::vector<RuleEntry> out;
  for (const rules::RuleListEntry& rule : rules::listRules(database))
    out.push_back({rule.categoryCode + u' ' + rule.name, rule.categoryCode});
  return out;
}

namespace {

using common::Stepper;

// The register's numbers compare without regard to case, as the database compares them.
QString key(const QString& number) { return common::numberKey(number); }

// What the register says about numbers, asked many at a time.
class RegisterSets {
 public:
  RegisterSets(db::Database& database, const Stepper& step) : database_(database), step_(step) {}
  bool knows(const QString& number) const { return holder_.contains(key(number)); }
  std::optional<QString> holder(const QString& number) const { return holder_.value(key(number)); }
  // Asks for the numbers not known yet, kNumbersPerQuery at a time; the first holder's name per number.
  void fetch(const QStringList& numbers) {
    QStringList missing;
    QSet<QString> seen;
    for (const QString& n : numbers)
      if (!knows(n) && !seen.contains(key(n))) {
        seen.insert(key(n));
        missing << n;
      }
    for (qsizetype from = 0; from < missing.size(); from += kNumbersPerQuery) {
      step_(fetched_, fetched_ + int(missing.size() - from));
      const QStringList slice = missing.mid(from, kNumbersPerQuery);
      // The database decides which employees hold each number asked about.
      const std::vector<common::RegisterHolders> found = common::registerHolders(database_, slice);
      for (qsizetype i = 0; i < slice.size(); ++i)
        holder_.insert(key(slice[i]), found[std::size_t(i)].employees > 0
                                          ? std::optional<QString>(found[std::size_t(i)].firstName)
                                          : std::nullopt);
      fetched_ += int(slice.size());
    }
  }

 private:
  db::Database& database_;
  const Stepper& step_;
  QHash<QString, std::optional<QString>> holder_;
  int fetched_ = 0;
};

// The counts of the employees a listing leaves out, from a row that carries them.
Listing leftOut(const db::Recordset& rs) {
  Listing l;
  if (rs.eof()) return l;
  l.unlisted = rs.field(QStringLiteral("未列人数")).toLongLong();
  l.unknownPosition = rs.field(QStringLiteral("岗位不存在人数")).toLongLong();
  l.unknownDepartment = rs.field(QStringLiteral("部门不存在人数")).toLongLong();
  return l;
}

// Numbers a repair may try after a number it has to ask for: asked in the same query.
constexpr int kCandidatesAhead = 4;

}  // namespace

Listing listRule(db::Database& database, const QString& categoryCode, bool oncePerNumber, const Progress& progress) {
  const Stepper step(progress, database);
  return step.run([&] {
    constexpr int kRowsPerStep = 500;
    Listing out;
    std::optional<Listing> counts;  // every listed row carries the counts
    step(0, 0);
    db::Recordset rs = database.open(listingSql(categoryCode));
    std::optional<QString> previous;
    for (int read = 1; !rs.eof(); rs.moveNext(), ++read) {
      if (read % kRowsPerStep == 0) step(read, 0);
      if (!counts) counts = leftOut(rs);
      const bool numberNull = rs.isNull(QStringLiteral("工号"));
      const QString number = rs.text(QStringLiteral("工号"));
      if (oncePerNumber && !numberNull && previous == number) continue;
      out.rows.push_back({number, rs.text(QStringLiteral("姓名")),
                          rs.text(QStringLiteral("职能部门编号")) + u' ' + rs.text(QStringLiteral("职能部门名称")),
                          rs.text(QStringLiteral("岗位代号")) + u' ' + rs.text(QStringLiteral("岗位名称"))});
      if (oncePerNumber) previous = numberNull ? std::nullopt : std::optional<QString>(number);
    }
    // A rule that lists nobody still says how many it left out.
    if (!counts) counts = leftOut(database.open(leftOutCountsSql(categoryCode)));
    out.unlisted = counts->unlisted;
    out.unknownPosition = counts->unknownPosition;
    out.unknownDepartment = counts->unknownDepartment;
    return out;
  });
}

RegisterLookup registerLookup(db::Database& database) {
  return [&database](const QString& number) -> std::optional<QString> {
    db::Recordset rs = database.open(registerLookupSql(number));
    if (rs.eof()) return std::nullopt;
    return rs.text(QStringLiteral("姓名"));
  };
}

Outcome checkRows(db::Database& database, Rows& rows, bool automatic, const Progress& progress) {
  const Stepper step(progress, database);
  return step.run([&] {
    RegisterSets known(database, step);
    QStringList changed;
    for (const Row& r : rows)
      if (r.oldNo != r.newNo && !r.newNo.isEmpty()) changed << r.newNo;
    known.fetch(changed);
    // Runs the check on what is known; a number not known yet counts as free for this run and is
    // fetched for the next. The run that needs no new number is the check's outcome.
    for (;;) {
      QStringList wanted;
      const RegisterLookup lookup = [&](const QString& number) -> std::optional<QString> {
        if (known.knows(number)) return known.holder(number);
        wanted << number;
        bool numeric = false;
        const qint64 value = number.toLongLong(&numeric);
        if (numeric && QString::number(value) == number)
          for (int k = 1; k < kCandidatesAhead; ++k) wanted << QString::number(value + k);
        return std::nullopt;
      };
      Rows trial = rows;
      const Outcome outcome = automatic ? autoResolve(trial, lookup) : manualCheck(trial, lookup);
      if (wanted.isEmpty()) {
        rows = std::move(trial);
        return outcome;
      }
      known.fetch(wanted);
    }
  });
}

std::vector<HeldNumber> heldElsewhere(session::Session& session, const Rows& rows, const Progress& progress) {
  db::Database& database = session.database();
  const Stepper step(progress, database);
  return step.run([&] {
    const QStringList numbers = changedNewNumbers(rows);
    // Every column's IN list holds the slice's numbers.
    const std::vector<host::RefColumn> columns = session.allColumns();
    const qsizetype perStatement = common::numbersPerStatement(columns.size());
    const std::vector<common::Holding> holdings = common::holdingsJoined(
        database, columns, numbers, perStatement, false, [&](int done, int total) { step(done, total); });
    std::vector<HeldNumber> out;
    for (const QString& n : numbers)
      if (const QString tables = common::holdingsText(holdings, n); !tables.isEmpty()) out.push_back({n, tables});
    return out;
  });
}

namespace {

// What the register says of every old number of the rows and of every changed new number, by the
// number's key (the rows' twins are one number to the grid as to the database), as the database
// finds each number's holders. Held: the rows read are kept until the change ends, so nobody can
// take a new number or an old one between this read and the renames. step, when given, is told
// the numbers read between slices.
QHash<QString, common::RegisterHolders> registerState(db::Database& database, const Rows& rows, common::Lock lock,
                                                      const Stepper* step = nullptr) {
  QSet<QString> asked;
  QStringList numbers;
  const auto ask = [&](const QString& number) {
    if (asked.contains(key(number))) return;
    asked.insert(key(number));
    numbers << number;
  };
  for (const Row& r : rows) ask(r.oldNo);
  for (const Row& r : rows)
    if (r.oldNo != r.newNo) ask(r.newNo);
  QHash<QString, common::RegisterHolders> state;
  const qsizetype per = step ? kNumbersPerQuery : numbers.size();
  for (qsizetype from = 0; from < numbers.size(); from += per) {
    if (step) (*step)(int(from), int(numbers.size()));
    const QStringList slice = numbers.mid(from, per);
    const std::vector<common::RegisterHolders> held = common::registerHolders(database, slice, lock);
    for (qsizetype i = 0; i < slice.size(); ++i) state.insert(key(slice[i]), held[std::size_t(i)]);
  }
  return state;
}

QString rowNote(const Rows& rows, std::size_t i) {
  return QStringLiteral("\n第%1行 原工号 %2 新工号 %3").arg(i + 1).arg(rows[i].oldNo, rows[i].newNo);
}

// The rows' texts (applyBatch) joined into executions of kRowsPerExecution rows, fewer when long
// numbers would make one larger than a statement may be (common::textsPerExecution); and the rows
// that go to one.
std::pair<QStringList, std::size_t> groupedRows(const Rows& rows, const std::vector<host::RefColumn>& added) {
  QStringList texts;
  for (const Row& r : rows) texts << applyBatch(r.oldNo, r.newNo, added);
  const qsizetype per = common::textsPerExecution(texts, kRowsPerExecution);
  return {change::groupedExecutions(texts, int(per)), std::size_t(per)};
}

}  // namespace

QStringList applyExecutions(const Rows& rows, const std::vector<host::RefColumn>& added) {
  return groupedRows(rows, added).first;
}

change::Change applyChange(const Rows& rows, const std::vector<host::RefColumn>& added, int staleRow) {
  change::Change change;
  change.operation = journal::batchApply();
  // The rows before a stale row are still sent: a failing statement among them is reported as such.
  const Rows sent = staleRow < 0 ? rows : Rows(rows.begin(), rows.begin() + staleRow);
  const std::pair<QStringList, std::size_t> grouped = groupedRows(sent, added);
  const std::size_t per = grouped.second;
  change.executions = grouped.first;
  change.counted = host::allColumns(added);
  change.rollBack = staleRow >= 0;
  // The journal's entry: every pair in the order applied and the whole text sent.
  for (const Row& r : rows) change.pairs.push_back({r.oldNo, r.newNo, QString()});
  change.statement = change.executions.join(QString());
  change.units = int(rows.size());
  change.unitsPerExecution = int(per);
  // A failing execution's rows one by one, to name the failing row; when all pass, its rows.
  for (std::size_t from = 0; from < sent.size(); from += per) {
    const std::size_t to = std::min(sent.size(), from + per);
    std::vector<change::ExecutionPart>& parts = change.parts.emplace_back();
    for (std::size_t i = from; i < to; ++i)
      parts.push_back({applyBatch(sent[i].oldNo, sent[i].newNo, added), rowNote(sent, i)});
    change.notes << QStringLiteral("\n第%1至%2行").arg(from + 1).arg(to);
  }
  return change;
}

std::optional<preview::TooLong> newNumbersTooLong(session::Session& session, const Rows& rows) {
  QStringList numbers;
  for (const Row& r : rows)
    if (r.oldNo != r.newNo) numbers << r.newNo;
  return preview::firstTooLong(session.catalogue(), applyColumns(session.added()), numbers);
}

ApplyPlan planApply(session::Session& session, const Rows& rows, Purpose purpose, const Progress& progress) {
  db::Database& database = session.database();
  ApplyPlan plan;
  plan.rows = rows;
  const auto refuse = [&plan](ApplyPlan::Status status, const QString& text) {
    plan.status = status;
    plan.refusal = change::Refusal{text};
    return plan;
  };
  if (rows.empty()) return refuse(ApplyPlan::Status::NoRows, QStringLiteral("没有要修改的员工"));
  QHash<QString, common::RegisterHolders> state;
  {
    const Stepper step(progress, database);
    step.run([&] { state = registerState(database, rows, common::Lock::None, &step); });
  }
  plan.outcome = manualCheck(rows, [&state](const QString& number) -> std::optional<QString> {
    const auto it = state.constFind(key(number));
    if (it == state.cend() || it->employees == 0) return std::nullopt;
    return it->firstName;
  });
  if (plan.outcome.status != Status::Passed) return refuse(ApplyPlan::Status::CheckFailed, QString());
  QHash<QString, qint64> counts;
  for (auto it = state.cbegin(); it != state.cend(); ++it) counts.insert(it.key(), it->employees);
  // (A taken new number was refused by the check: what is left is an old number not held once.)
  if (const RefusedRow refused = firstRefusedRow(counts, rows); refused.row >= 0) {
    plan.staleRow = refused.row;
    plan.staleOld = rows[std::size_t(refused.row)].oldNo;
    return refuse(ApplyPlan::Status::Stale, staleMessage(plan.staleRow + 1, plan.staleOld));
  }
  if ((plan.tooLong = newNumbersTooLong(session, rows)))
    return refuse(ApplyPlan::Status::TooLong, preview::tooLongMessage(*plan.tooLong));
  if (purpose == Purpose::Apply) {
    if (auto missing = change::missingTableRefusal(session.catalogue(), applyColumns(session.added()))) {
      plan.status = ApplyPlan::Status::MissingTable;
      plan.refusal = std::move(missing);
      return plan;
    }
    plan.held = heldElsewhere(session, rows, progress);
    if (!plan.held.empty()) plan.questions.push_back({heldQuestion(plan.held), true});
  }
  plan.change = applyChange(rows, session.added());
  return plan;
}

ApplyResult runApply(session::Session& session, const ApplyPlan& plan, const Progress& progress) {
  db::Database& database = session.database();
  const Rows& rows = plan.rows;
  ApplyResult result;
  change::ChangeRunner(database, session.journal(), progress)
      .run([&](const common::Stepper& step) -> std::optional<change::Change> {
        step(0, int(rows.size()));
        const QHash<QString, common::RegisterHolders> state = registerState(database, rows, common::Lock::Held);
        QHash<QString, qint64> counts;
        for (auto it = state.cbegin(); it != state.cend(); ++it) counts.insert(it.key(), it->employees);
        const RefusedRow refused = firstRefusedRow(counts, rows);
        if (refused.row >= 0) {
          const Row& row = rows[std::size_t(refused.row)];
          if (refused.taken) {
            result.takenRow = refused.row;
            result.takenBy = state.value(key(row.newNo)).firstName;
            result.refusal = change::Refusal{takenMeanwhileMessage(refused.row + 1, row.newNo, result.takenBy)};
            return std::nullopt;
          }
          result.staleRow = refused.row;
          result.staleOld = row.oldNo;
          result.refusal = change::Refusal{staleMessage(refused.row + 1, row.oldNo)};
          return applyChange(rows, session.added(), refused.row);
        }
        // What the 是 answered: the rows under the new numbers are still those asked about.
        if (!plan.held.empty() && heldElsewhere(session, rows) != plan.held) {
          result.changedMeanwhile = true;
          result.refusal = change::Refusal{heldChangedMessage()};
          return std::nullopt;
        }
        return plan.change;
      });
  return result;
}

ApplyResult applyRows(session::Session& session, const Rows& rows, const Progress& progress) {
  ApplyPlan plan;
  plan.rows = rows;
  if ((plan.tooLong = newNumbersTooLong(session, rows))) {
    ApplyResult result;
    result.tooLong = plan.tooLong;
    result.refusal = change::Refusal{preview::tooLongMessage(*plan.tooLong)};
    return result;
  }
  plan.change = applyChange(rows, session.added());
  return runApply(session, plan, progress);
}

qint64 noPositionCount(db::Database& database) { return count(database, noPositionCountSql()); }

namespace {

// Employees without a position whose "9" number others hold in the register, one per old number.
std::vector<StagingCollision> stagingCollisions(db::Database& database, common::Lock lock = common::Lock::None) {
  std::vector<StagingCollision> out;
  QHash<QString, std::size_t> at;  // by the old number's key
  QSet<QString> seen;  // old number's key and holder's ID: employees sharing an old number list a holder once
  for (db::Recordset rs = database.open(stagingCollisionsSql(lock)); !rs.eof(); rs.moveNext()) {
    const QString oldNo = rs.text(QStringLiteral("原工号"));
    const QString holder = key(oldNo) + u'\n' + rs.text(QStringLiteral("编号"));
    if (seen.contains(holder)) continue;
    seen.insert(holder);
    auto it = at.constFind(key(oldNo));
    if (it == at.cend()) {
      it = at.insert(key(oldNo), out.size());
      out.push_back({oldNo, rs.text(QStringLiteral("新工号")), {}});
    }
    out[*it].holders << rs.text(QStringLiteral("姓名"));
  }
  return out;
}

// The rows of the other columns under free "9" numbers, per number (shorter numbers first), the
// columns in their order.
std::vector<HeldNumber> stagingHeld(db::Database& database, const std::vector<host::RefColumn>& added,
                                    common::Lock lock = common::Lock::None) {
  const std::vector<host::RefColumn> registerOnly{host::kSingleCascade[0]};
  std::vector<host::RefColumn> columns;
  for (const host::RefColumn& c : host::allColumns(added))
    if (!host::names(registerOnly, c)) columns.push_back(c);
  std::vector<std::vector<common::Holding>> byColumn(columns.size());
  QStringList numbers;
  QHash<QString, QString> spelling;  // one spelling per number, the first read: the database compares without case
  for (db::Recordset rs = database.open(stagingHeldSql(columns, lock)); !rs.eof(); rs.moveNext()) {
    const qsizetype k = rs.field(QStringLiteral("列")).toLongLong();
    if (k < 0 || std::size_t(k) >= columns.size()) continue;
    const QString read = rs.text(QStringLiteral("工号"));
    if (!spelling.contains(key(read))) {
      spelling.insert(key(read), read);
      numbers << read;
    }
    const host::RefColumn& c = columns[std::size_t(k)];
    byColumn[std::size_t(k)].push_back(
        {spelling.value(key(read)), c.tableName(), c.columnName(), rs.field(QStringLiteral("行数")).toLongLong()});
  }
  // Each number's holdings in the order of the columns (a thousand numbers: no search through all).
  QHash<QString, std::vector<common::Holding>> perNumber;
  for (const std::vector<common::Holding>& column : byColumn)
    for (const common::Holding& h : column) perNumber[key(h.number)].push_back(h);
  std::sort(numbers.begin(), numbers.end(),
            [](const QString& a, const QString& b) { return a.size() != b.size() ? a.size() < b.size() : a < b; });
  std::vector<HeldNumber> out;
  for (const QString& n : numbers) out.push_back({n, common::holdingsText(perNumber.value(key(n)), n)});
  return out;
}

}  // namespace

std::vector<preview::Column> stagingColumns(const std::vector<host::RefColumn>& added) {
  std::vector<preview::Column> columns;
  for (const host::RefColumn& ref : host::kStaging)
    columns.push_back({ref.tableName(), ref.columnName(), false, ref.extraCondition()});
  for (const host::RefColumn& ref : host::missingFrom(host::kStaging, added))
    columns.push_back({ref.tableName(), ref.columnName(), false, ref.extraCondition()});
  return columns;
}

std::vector<StagingTooLong> stagingTooLong(session::Session& session) {
  db::Database& database = session.database();
  const std::vector<preview::Column> columns = stagingColumns(session.added());
  std::vector<std::pair<QString, QString>> staged;  // number, name
  QStringList nines;
  for (db::Recordset rs = database.open(noPositionEmployeesSql()); !rs.eof(); rs.moveNext())
    if (!rs.isNull(QStringLiteral("工号"))) {  // '9' + Null stays Null
      staged.emplace_back(rs.text(QStringLiteral("工号")), rs.text(QStringLiteral("姓名")));
      nines << QStringLiteral("9") + staged.back().first;
    }
  QHash<QString, preview::TooLong> refused;
  for (const preview::TooLong& t : preview::everyTooLong(session.catalogue(), columns, nines))
    refused.insert(t.number, t);
  std::vector<StagingTooLong> out;
  for (const auto& [number, name] : staged)
    if (const auto it = refused.constFind(QStringLiteral("9") + number); it != refused.cend())
      out.push_back({number, name, *it});
  return out;
}

change::Change stagingChange(const std::vector<std::pair<QString, QString>>& oldNew,
                             const std::vector<host::RefColumn>& added) {
  change::Change change;
  change.operation = journal::staging();
  for (const auto& [o, n] : oldNew) change.pairs.push_back({o, n, QString()});
  change.executions = db::Database::splitBatches(stagingScript(added));
  change.statement = stagingScript(added);
  change.counted = host::allColumns(added);
  change.units = int(change.executions.size());
  return change;
}

namespace {

// The staging's checks before its question, read outside any transaction.
StagingResult stagingFound(session::Session& session) {
  StagingResult found;
  found.tooLong = stagingTooLong(session);
  if (!found.tooLong.empty()) return found;
  // '9' + a number column adds on SQL Server: such a column refuses the staging (the catalogue
  // was read for the widths).
  found.notText = preview::nonCharacterColumns(session.catalogue(), stagingColumns(session.added()));
  if (!found.notText.empty()) return found;
  found.collisions = stagingCollisions(session.database());
  if (found.collisions.empty()) found.held = stagingHeld(session.database(), session.added());
  return found;
}

// The refusal of what the checks found, as the window shows it (a warning); none when they passed.
std::optional<change::Refusal> stagingRefusal(const StagingResult& r) {
  if (!r.notText.empty()) return change::Refusal{preview::notTextMessage(r.notText), true};
  if (!r.tooLong.empty()) return change::Refusal{stagingTooLongMessage(r.tooLong), true};
  if (!r.collisions.empty()) return change::Refusal{collisionMessage(r.collisions), true};
  if (r.changedMeanwhile) return change::Refusal{stagingChangedMessage(), true};
  return std::nullopt;
}

}  // namespace

StagingPlan planStaging(session::Session& session, const Progress& progress) {
  db::Database& database = session.database();
  StagingPlan plan;
  {
    const common::Stepper step(progress, database);
    step.run([&] {
      plan.count = noPositionCount(database);
      if (plan.count != 0) plan.found = stagingFound(session);
    });
  }
  if (plan.count == 0) {
    plan.refusal = change::Refusal{QString::fromUtf16(kNoStaging)};
    return plan;
  }
  if ((plan.refusal = stagingRefusal(plan.found))) return plan;
  // The questions are asked before the transaction begins: a question never waits with the tables locked.
  plan.questions.push_back({stagingQuestion(plan.count), false});
  if (!plan.found.held.empty()) plan.questions.push_back({heldQuestion(plan.found.held), true});
  plan.change = stagingChange({}, session.added());  // the pairs are read inside the transaction
  return plan;
}

StagingResult runStaging(session::Session& session, const StagingPlan& plan, const Progress& progress) {
  db::Database& database = session.database();
  const std::vector<host::RefColumn>& added = session.added();
  StagingResult result;
  result.staged =
      change::ChangeRunner(database, session.journal(), progress)
          .run([&](const common::Stepper&) -> std::optional<change::Change> {
            // Read again, the rows read kept until the end: nobody takes a "9"
            // number or adds rows under one between this check and the updates.
            result.collisions = stagingCollisions(database, common::Lock::Held);
            if (!result.collisions.empty()) return std::nullopt;
            result.held = stagingHeld(database, added, common::Lock::Held);
            if (result.held != plan.found.held) {
              result.changedMeanwhile = true;
              return std::nullopt;
            }
            // The journal's entry: every employee without a position, each number with a "9" in front (a
            // Null number stays Null: '9' + Null is Null).
            change::Change change = plan.change;
            if (session.journal().active())
              for (db::Recordset rs = database.open(noPositionNumbersSql()); !rs.eof(); rs.moveNext())
                if (!rs.isNull(QStringLiteral("工号")))
                  change.pairs.push_back({rs.text(QStringLiteral("工号")),
                                          QStringLiteral("9") + rs.text(QStringLiteral("工号")), QString()});
            return change;
          });
  result.refusal = stagingRefusal(result);
  return result;
}

StagingResult stageNoPosition(session::Session& session, const Progress& progress, const MergeQuestion& askMerge) {
  StagingPlan plan;
  {
    const common::Stepper step(progress, session.database());
    step.run([&] { plan.found = stagingFound(session); });
  }
  if (stagingRefusal(plan.found)) return plan.found;
  if (!plan.found.held.empty() && !(askMerge && askMerge(plan.found.held))) return plan.found;
  plan.change = stagingChange({}, session.added());
  return runStaging(session, plan, progress);
}

}  // namespace batch
