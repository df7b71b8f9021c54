#include "core/single/single_ops.h"

#include "db/database.h"
#include "host/host_tables.h"
#include "core/common/holders.h"
#include "core/journal/journal.h"
#include "core/rules/rules_sql.h"
#include "core/session/session.h"
#include "core/single/single_sql.h"

namespace single {

namespace {

std::vector<EmployeeRow> readRows(db::Database& database, const QString& sql) {
  std::vector<EmployeeRow> rows;
  for (db::Recordset rs = database.open(sql); !rs.eof(); rs.moveNext()) {
    EmployeeRow r;
    r.number = rs.text(QStringLiteral("工号"));
    r.name = rs.text(QStringLiteral("姓名"));
    r.sex = rs.text(QStringLiteral("性别"));
    r.idCard = rs.text(QStringLiteral("身份证号码"));
    r.department = codeAndName(rs.text(QStringLiteral("职能部门编号")), rs.text(QStringLiteral("职能部门名称")),
                               rs.isNull(QStringLiteral("职能部门名称")));
    r.position = codeAndName(rs.text(QStringLiteral("岗位编号")), rs.text(QStringLiteral("岗位名称")),
                             rs.isNull(QStringLiteral("岗位名称")));
    r.category = rs.text(QStringLiteral("员工类别"));
    r.positionCategory = rs.text(QStringLiteral("岗位类别代号"));
    r.id = rs.text(QStringLiteral("ID"));
    rows.push_back(r);
  }
  return rows;
}

}  // namespace

std::vector<EmployeeRow> textSearch(db::Database& database, const QString& number, const QString& name,
                                    const QString& idCard) {
  const QString condition = textSearchCondition(number, name, idCard);
  if (condition.isEmpty()) return {};
  return readRows(database, textSearchStatement(condition));
}

std::vector<EmployeeRow> equalNumbersSearch(db::Database& database) {
  return readRows(database, equalNumbersStatement());
}

std::optional<Composition> compose(db::Database& database, const QString& categoryName, const QString& department,
                                   const QString& positionCategory) {
  Composition c;
  {
    // Each result is let go before the next query is sent on the connection.
    db::Recordset rule = database.open(ruleQuery(categoryName));
    // The outer join gives a category without a numbering rule one row of Nulls: no rule.
    if (rule.eof() || rule.isNull(QStringLiteral("类别码"))) return std::nullopt;
    c.ruleCode = static_cast<qint16>(rule.field(QStringLiteral("编码规则")).toInt());
    c.serialPattern = rule.text(QStringLiteral("流水号位数"), QStringLiteral("0000"));
    c.categoryCode = rule.text(QStringLiteral("类别码"));
  }
  // Under rule codes 3 to 6 an employee without a department has no rule row to look up.
  if (ruleNeedsDepartment(c.ruleCode) && department.isEmpty()) return std::nullopt;
  const std::optional<QString> condition = ruleRowCondition(c.ruleCode, department, positionCategory, c.categoryCode);
  if (!condition) return std::nullopt;

  db::Recordset row = database.open(ruleRowQuery(*condition));
  if (row.eof()) return std::nullopt;
  RuleValues values;
  values.ruleCode = c.ruleCode;
  values.serialPattern = c.serialPattern;
  values.categoryCode = c.categoryCode;
  values.departmentCode = row.text(QStringLiteral("部门代码"));
  values.positionCode = row.text(QStringLiteral("岗位代码"));
  if (!row.isNull(QStringLiteral("流水号"))) values.lastSerial = row.field(QStringLiteral("流水号")).toLongLong();
  const std::optional<Proposal> proposal = propose(values);
  if (!proposal) return std::nullopt;
  c.ruleRowId = QString::number(row.field(QStringLiteral("ID")).toLongLong());
  c.prefix = proposal->prefix;
  c.serial = proposal->serial;
  c.number = proposal->number;
  return c;
}

bool numberTaken(db::Database& database, const QString& number) { return !database.open(existsQuery(number)).eof(); }

FreeNumber firstFreeNumber(db::Database& database, const QString& typed, const QString& prefix, qint32 serial,
                           const QString& pattern) {
  FreeNumber free{typed, serial};
  while (numberTaken(database, free.number)) {
    ++free.serial;
    free.number = prefix + rules::formatSerial(free.serial, pattern);
  }
  return free;
}

QString recordsHolding(session::Session& session, const QString& number) {
  // Every column in one statement: one round trip, where a statement per column made 92.
  const std::vector<host::RefColumn> columns = session.allColumns();
  return common::holdingsText(
      common::holdingsJoined(session.database(), columns, {number}, common::numbersPerStatement(columns.size())),
      number);
}

change::Change renumberChange(const QString& oldNumber, const QString& newNumber,
                              const std::optional<SerialUpdate>& serial, const std::vector<host::RefColumn>& added) {
  change::Change change;
  change.operation = journal::singleRenumber();
  change.pairs.push_back({oldNumber, newNumber, QString()});
  change.executions = renumberExecutions(oldNumber, newNumber, serial, added);
  change.counted = host::allColumns(added);
  return change;
}

std::optional<preview::TooLong> newNumberTooLong(session::Session& session, const QString& newNumber) {
  return preview::firstTooLong(session.catalogue(), renumberColumns(session.added()), {newNumber});
}

RenumberPlan planRenumber(session::Session& session, const QString& oldNumber, const QString& newNumber,
                          const std::optional<AutoNumbering>& automatic, Purpose purpose) {
  db::Database& database = session.database();
  RenumberPlan plan;
  plan.oldNumber = oldNumber;
  plan.newNumber = newNumber;
  const auto refuse = [&plan](RenumberPlan::Status status, const QString& text) {
    plan.status = status;
    plan.refusal = change::Refusal{text};
    return plan;
  };
  {
    db::Recordset count = database.open(registerCountQuery(oldNumber));
    plan.oldNumberHolders = count.eof() ? 0 : count.field(QStringLiteral("行数")).toLongLong();
  }
  if (plan.oldNumberHolders != 1) return refuse(RenumberPlan::Status::OldNumberGone, oldNumberGoneMessage(oldNumber));
  if (automatic) {
    // A taken number moves on to the next serial without a word.
    const FreeNumber free =
        firstFreeNumber(database, newNumber, automatic->prefix, automatic->serial, automatic->pattern);
    plan.newNumber = free.number;
    plan.freeSerial = free.serial;
    if (!automatic->ruleRowId.isEmpty()) plan.serial = SerialUpdate{automatic->ruleRowId, free.serial};
  } else if (numberTaken(database, newNumber)) {
    return refuse(RenumberPlan::Status::NewNumberTaken, numberTakenMessage(newNumber));
  }
  if ((plan.tooLong = newNumberTooLong(session, plan.newNumber)))
    return refuse(RenumberPlan::Status::TooLong, preview::tooLongMessage(*plan.tooLong));
  if (purpose == Purpose::Renumber) {
    if (auto missing = change::missingTableRefusal(session.catalogue(), renumberColumns(session.added()))) {
      plan.status = RenumberPlan::Status::MissingTable;
      plan.refusal = std::move(missing);
      return plan;
    }
    plan.held = recordsHolding(session, plan.newNumber);
    if (!plan.held.isEmpty()) plan.questions.push_back({mergeQuestion(plan.newNumber, plan.held), true});
  }
  plan.change = renumberChange(plan.oldNumber, plan.newNumber, plan.serial, session.added());
  return plan;
}

Renumbered runRenumber(session::Session& session, const RenumberPlan& plan) {
  db::Database& database = session.database();
  Renumbered ran;
  const auto refuse = [&ran](RenumberResult result, const QString& text) {
    ran.result = result;
    ran.refusal = change::Refusal{text};
    return std::nullopt;
  };
  change::ChangeRunner(database, session.journal()).run([&](const common::Stepper&) -> std::optional<change::Change> {
    // The selection may be stale (another user changed or removed the number since), and the host
    // system may have given the new number to a new hire while the question was on the screen.
    const std::vector<common::RegisterHolders> held =
        common::registerHolders(database, {plan.oldNumber, plan.newNumber}, common::Lock::Held);
    if (held[0].employees != 1) return refuse(RenumberResult::OldNumberGone, oldNumberGoneMessage(plan.oldNumber));
    if (held[1].employees != 0) {
      ran.takenBy = held[1].firstName;
      return refuse(RenumberResult::NewNumberTaken, takenMeanwhileMessage(plan.newNumber, ran.takenBy));
    }
    // What the 是 answered: the rows under the new number are still those asked about.
    if (!plan.held.isEmpty() && recordsHolding(session, plan.newNumber) != plan.held)
      return refuse(RenumberResult::ChangedMeanwhile, heldChangedMessage(plan.newNumber));
    return plan.change;
  });
  return ran;
}

RenumberResult renumber(session::Session& session, const QString& oldNumber, const QString& newNumber,
                        const std::optional<SerialUpdate>& serial, QString* takenBy) {
  if (newNumberTooLong(session, newNumber)) return RenumberResult::TooLong;
  RenumberPlan plan;
  plan.oldNumber = oldNumber;
  plan.newNumber = newNumber;
  plan.serial = serial;
  plan.change = renumberChange(oldNumber, newNumber, serial, session.added());
  const Renumbered ran = runRenumber(session, plan);
  if (takenBy) *takenBy = ran.takenBy;
  return ran.result;
}

}  // namespace single
