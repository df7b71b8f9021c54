#include "core/rules/rules_ops.h"

#include "db/database.h"
#include "core/change/change_runner.h"
#include "core/journal/journal.h"
#include "core/rules/rules_sql.h"
#include "core/session/session.h"

namespace rules {

using db::sqlQuote;

QString sqlRuleRowSelect() {
  return QStringLiteral("SELECT ID, 员工类别, 类别代码, 部门编号, 部门代码, 岗位类别, 岗位代码, 流水号位数, 流水号");
}

QString sqlListRules() {
  return QStringLiteral("SELECT ID, 编码类别名称, 类别码, 编码规则, 流水号位数") +
         QStringLiteral(" From 员工工号编码规则名称") + QStringLiteral(" Order By 类别码");
}

QString sqlOpenRule(qint64 id) {
  return QStringLiteral("SELECT ID, 类别码, 编码类别名称, 编码规则, 流水号位数") +
         QStringLiteral(" From 员工工号编码规则名称") + QStringLiteral(" Where ID=") + QString::number(id);
}

QString sqlEnsureDefaultRow(const QString& categoryCode) {
  return QStringLiteral("if not exists (select * from 员工工号编码规则 where 类别代码 =") + sqlQuote(categoryCode) +
         QStringLiteral(") ") + QStringLiteral(" INSERT INTO 员工工号编码规则 (类别代码)") +
         QStringLiteral(" VALUES (") + sqlQuote(categoryCode) + QStringLiteral(")");
}

QString sqlDeleteRuleRows(const QString& categoryCode) {
  return QStringLiteral("Delete From 员工工号编码规则 Where 类别代码=") + sqlQuote(categoryCode);
}

QString sqlSetRuleCode(int code, qint64 ruleId) {
  return QStringLiteral("Update 员工工号编码规则名称 Set 编码规则=") + QString::number(code) +
         QStringLiteral(" Where ID=") + QString::number(ruleId);
}

QString sqlDeleteRule(const QString& categoryCode) {
  return QStringLiteral("Update 员工类别 Set 类别码=Null Where 类别码=") + sqlQuote(categoryCode) +
         QStringLiteral(" Delete From 员工工号编码规则 Where  类别代码=") + sqlQuote(categoryCode) +
         QStringLiteral(" Delete From 员工工号编码规则名称 Where 类别码=") + sqlQuote(categoryCode);
}

QString sqlFreeCategories() {
  return QStringLiteral("SELECT 类别编号, 类别名称, 类别码") + QStringLiteral(" From 员工类别") +
         QStringLiteral(" Where 类别码 Is Null") + QStringLiteral(" Order By 类别编号");
}

QString sqlRuleCategories(const QString& categoryCode) {
  return QStringLiteral(" SELECT 类别编号, 类别名称, 类别码") + QStringLiteral(" From 员工类别") +
         QStringLiteral(" WHERE (类别码 = ") + db::sqlQuoteN(categoryCode) + QStringLiteral(")") +
         QStringLiteral(" ORDER BY 类别编号");
}

QString sqlAttachCategory(const QString& categoryCode, const QString& categoryNumber) {
  return QStringLiteral("Update 员工类别 Set 类别码=") + sqlQuote(categoryCode) + QStringLiteral(" Where 类别编号=") +
         sqlQuote(categoryNumber);
}

QString sqlReleaseCategory(const QString& categoryNumber) {
  return QStringLiteral("Update 员工类别 Set 类别码=Null Where 类别编号=") + sqlQuote(categoryNumber);
}

QString sqlListRuleRows(const QString& categoryCode) {
  return sqlRuleRowSelect() + QStringLiteral(" From 员工工号编码规则") + QStringLiteral(" WHERE (类别代码 = ") +
         db::sqlQuoteN(categoryCode) + QStringLiteral(")") + QStringLiteral(" ORDER BY 部门编号, 岗位类别");
}

QString sqlOpenRuleRow(qint64 id) {
  return sqlRuleRowSelect() + QStringLiteral(" From 员工工号编码规则") + QStringLiteral(" WHERE ID=") +
         QString::number(id);
}

QString sqlDeleteRuleRow(qint64 id) {
  return QStringLiteral("Delete From 员工工号编码规则 Where ID=") + QString::number(id);
}

QString sqlPositionCategories() {
  return QStringLiteral("SELECT 岗位类别编号, 岗位类别名称") + QStringLiteral(" From 岗位类别") +
         QStringLiteral(" ORDER BY 岗位类别编号");
}

QString sqlCurrentDepartments() {
  return QStringLiteral(
             " select 职能部门new.职能部门编号,职能部门new.职能部门名称,table2.上级部门编号 from 职能部门new left "
             "join") +
         QStringLiteral(" (select 上级部门new.职能部门编号,上级部门new.上级部门编号 from 上级部门new,") +
         QStringLiteral(
             " (select 职能部门编号,max(起始日期) as 设置日期 from 上级部门new group by 职能部门编号) as table1") +
         QStringLiteral(
             " where 上级部门new.职能部门编号 = table1.职能部门编号 and 上级部门new.起始日期 = table1.设置日期) as "
             "table2") +
         QStringLiteral(" on 职能部门new.职能部门编号 = table2.职能部门编号 where 职能部门new.终止日期 is null") +
         QStringLiteral(" order by len(职能部门new.职能部门编号),职能部门new.职能部门编号");
}

QString sqlDeleteRuleById(qint64 ruleId) {
  return QStringLiteral("Delete From 员工工号编码规则名称 Where ID=") + QString::number(ruleId);
}

namespace {

// Looks up a rule by its category code (Null when the code is empty).
QString sqlRuleWithCode(const QString& categoryCode) {
  return QStringLiteral("SELECT ID From 员工工号编码规则名称") +
         (categoryCode.isEmpty() ? QStringLiteral(" Where 类别码 Is Null")
                                 : QStringLiteral(" Where 类别码=") + sqlQuote(categoryCode));
}

bool exists(db::Database& database, const QString& sql) { return !database.open(sql).eof(); }

QString noCode() { return kNoCode.toString(); }

}  // namespace

QString actingCode(const QString& code) { return code.isEmpty() ? noCode() : code; }

// ---- Reads ------------------------------------------------------------------------------

std::vector<RuleListEntry> listRules(db::Database& database) {
  std::vector<RuleListEntry> out;
  for (db::Recordset rs = database.open(sqlListRules()); !rs.eof(); rs.moveNext()) {
    RuleListEntry e;
    e.id = rs.field(QStringLiteral("ID")).toLongLong();
    e.name = rs.text(QStringLiteral("编码类别名称"));
    e.codeIsNull = rs.isNull(QStringLiteral("类别码"));
    e.categoryCode = rs.text(QStringLiteral("类别码"));
    e.ruleCode = rs.field(QStringLiteral("编码规则")).toInt();
    e.ruleCodeIsNull = rs.isNull(QStringLiteral("编码规则"));
    e.pattern = rs.text(QStringLiteral("流水号位数"));
    e.patternIsNull = rs.isNull(QStringLiteral("流水号位数"));
    out.push_back(e);
  }
  return out;
}

namespace {
std::vector<NumberedName> numberedNames(db::Database& database, const QString& sql, const QString& numberColumn,
                                        const QString& nameColumn) {
  std::vector<NumberedName> out;
  for (db::Recordset rs = database.open(sql); !rs.eof(); rs.moveNext()) {
    out.push_back({rs.text(numberColumn), rs.text(nameColumn)});
  }
  return out;
}

std::vector<NumberedName> categories(db::Database& database, const QString& sql) {
  return numberedNames(database, sql, QStringLiteral("类别编号"), QStringLiteral("类别名称"));
}
}  // namespace

std::vector<NumberedName> freeCategories(db::Database& database) { return categories(database, sqlFreeCategories()); }

std::vector<NumberedName> positionCategories(db::Database& database) {
  return numberedNames(database, sqlPositionCategories(), QStringLiteral("岗位类别编号"),
                       QStringLiteral("岗位类别名称"));
}

std::vector<Department> currentDepartments(db::Database& database) {
  std::vector<Department> out;
  QStringList seen;
  for (db::Recordset rs = database.open(sqlCurrentDepartments()); !rs.eof(); rs.moveNext()) {
    Department row{rs.text(QStringLiteral("职能部门编号")), rs.text(QStringLiteral("职能部门名称")),
                   rs.text(QStringLiteral("上级部门编号"))};
    if (seen.contains(row.number)) continue;
    seen << row.number;
    out.push_back(row);
  }
  return out;
}

std::vector<RuleRow> listRuleRows(db::Database& database, const QString& categoryCode) {
  std::vector<RuleRow> out;
  for (db::Recordset rs = database.open(sqlListRuleRows(categoryCode)); !rs.eof(); rs.moveNext()) {
    RuleRow row;
    row.id = rs.field(QStringLiteral("ID")).toLongLong();
    row.department = rs.text(QStringLiteral("部门编号"));
    row.departmentIsNull = rs.isNull(QStringLiteral("部门编号"));
    row.departmentCode = rs.text(QStringLiteral("部门代码"));
    row.position = rs.text(QStringLiteral("岗位类别"));
    row.positionIsNull = rs.isNull(QStringLiteral("岗位类别"));
    row.positionCode = rs.text(QStringLiteral("岗位代码"));
    out.push_back(row);
  }
  return out;
}

bool sharesCode(db::Database& database, const RuleRef& rule) {
  return rule.code.isEmpty() && exists(database, sqlRuleWithCode(noCode()));
}

std::vector<RuleRow> layoutRows(db::Database& database, const RuleRef& rule, int layout) {
  if (layout < 0 || layout >= kRuleCodes || sharesCode(database, rule)) return {};
  const QString code = actingCode(rule.code);
  if (layout < 2) {
    database.execute(sqlEnsureDefaultRow(code));
    return {};
  }
  return listRuleRows(database, code);
}

RuleView showRule(db::Database& database, const RuleRef& rule, int layout) {
  RuleView view;
  view.sharesCode = sharesCode(database, rule);
  if (view.sharesCode) return view;
  view.categories = categories(database, sqlRuleCategories(actingCode(rule.code)));
  view.rows = layoutRows(database, rule, layout);
  return view;
}

// ---- Writes -----------------------------------------------------------------------------

QString ruleTable() { return QStringLiteral("员工工号编码规则名称"); }
QString ruleRowTable() { return QStringLiteral("员工工号编码规则"); }

QVariant textOrNull(const QString& text) { return text.isEmpty() ? QVariant() : QVariant(text); }

CodeHolder codeHolder(db::Database& database, const QString& code) {
  CodeHolder holder;
  if (exists(database, sqlRuleWithCode(code))) {
    holder = {true, code.isEmpty(), code};
  } else if (code.isEmpty() || code == noCode()) {
    // "" and "0" are one code: the other spelling holds it as well.
    const QString other = code.isEmpty() ? noCode() : QString();
    if (exists(database, sqlRuleWithCode(other))) holder = {true, other.isEmpty(), other};
  }
  return holder;
}

namespace {

// A change of the rule settings: no employee numbers, the statements recorded as sent, joined by blanks.
change::Change ruleChange(const QString& operation, const QStringList& executions) {
  change::Change change;
  change.operation = operation;
  change.executions = executions;
  change.statement = executions.join(QStringLiteral(" "));
  change.counted = {};
  return change;
}

// A record edit: sent as its fields (Database::addRecord or updateRecord), shown and recorded as
// recordEditText.
change::Change recordEdit(const QString& operation, const QString& openSql, const QString& table,
                          const db::Fields& fields, qint64 id) {
  change::Change change = ruleChange(operation, {journal::recordEditText(table, fields, id)});
  change.records.emplace(0, change::RecordEdit{openSql, table, fields, id});
  return change;
}

}  // namespace

QString codeTakenMessage(const CodeHolder& holder) {
  return holder.noCode
             ? QStringLiteral("已经有一个类别代码为空的编码类别，请输入类别代码")
             : QStringLiteral("类别代码") + holder.code + QStringLiteral("已被其他编码类别使用，请输入另一个类别代码");
}

RulePlan planAddRule(session::Session& session, const NewRule& rule) {
  RulePlan plan;
  plan.rule = rule;
  // Two rules with one code would share their rows and categories.
  plan.holder = codeHolder(session.database(), rule.code);
  if (plan.holder.exists) {
    plan.refusal = change::Refusal{codeTakenMessage(plan.holder)};
    return plan;
  }
  const db::Fields fields{{QStringLiteral("编码类别名称"), QVariant(rule.name)},
                          {QStringLiteral("类别码"), textOrNull(rule.code)},
                          {QStringLiteral("编码规则"), QVariant(rule.layout)},
                          {QStringLiteral("流水号位数"), QVariant(rule.pattern)}};
  plan.change = recordEdit(journal::ruleAdded(), sqlOpenRule(0), ruleTable(), fields, 0);
  if (rule.layout < 2) {
    plan.change.executions << sqlEnsureDefaultRow(actingCode(rule.code));
    plan.change.statement = plan.change.executions.join(QStringLiteral(" "));
  }
  return plan;
}

RuleAdded runAddRule(session::Session& session, const RulePlan& plan) {
  db::Database& database = session.database();
  RuleAdded ran;
  change::ChangeRunner runner(database, session.journal());
  runner.run([&](const common::Stepper&) -> std::optional<change::Change> {
    ran.added.holder = codeHolder(database, plan.rule.code);
    if (ran.added.holder.exists) {
      ran.refusal = change::Refusal{codeTakenMessage(ran.added.holder)};
      return std::nullopt;
    }
    return plan.change;
  });
  ran.added.id = runner.addedId();
  return ran;
}

AddedRule addRule(session::Session& session, const NewRule& rule) {
  RulePlan plan = planAddRule(session, rule);
  if (!plan.ready()) return AddedRule{0, plan.holder};
  return runAddRule(session, plan).added;
}

void updateRule(session::Session& session, qint64 ruleId, int code, const QString& pattern) {
  db::Database& database = session.database();
  const db::Fields fields{{QStringLiteral("编码规则"), QVariant(code)},
                          {QStringLiteral("流水号位数"), QVariant(pattern)}};
  change::ChangeRunner(database, session.journal())
      .run(recordEdit(journal::ruleChanged(), sqlOpenRule(ruleId), ruleTable(), fields, ruleId));
}

void changeRuleCode(session::Session& session, const RuleRef& rule, int code, bool dropRows) {
  db::Database& database = session.database();
  change::ChangeRunner(database, session.journal()).run([&](const common::Stepper&) -> std::optional<change::Change> {
    QStringList sent;
    if (dropRows && !sharesCode(database, rule)) sent << sqlDeleteRuleRows(actingCode(rule.code));
    sent << sqlSetRuleCode(code, rule.id);
    return ruleChange(journal::ruleChanged(), sent);
  });
}

Deleted deleteRule(session::Session& session, const RuleRef& rule) {
  db::Database& database = session.database();
  Deleted deleted = Deleted::Whole;
  change::ChangeRunner(database, session.journal()).run([&](const common::Stepper&) -> std::optional<change::Change> {
    QStringList sent;
    if (sharesCode(database, rule)) {
      sent << sqlDeleteRuleById(rule.id);
      deleted = Deleted::RuleOnly;
    } else {
      sent << sqlDeleteRule(actingCode(rule.code));
      // Matched by no code: by its ID; rows an older save left under the empty code go with it.
      if (rule.code.isEmpty()) sent << sqlDeleteRuleById(rule.id) << sqlDeleteRuleRows(QString());
    }
    return ruleChange(journal::ruleDeleted(), sent);
  });
  return deleted;
}

bool attachCategory(session::Session& session, const RuleRef& rule, const QString& categoryNumber) {
  db::Database& database = session.database();
  return change::ChangeRunner(database, session.journal())
      .run([&](const common::Stepper&) -> std::optional<change::Change> {
        if (sharesCode(database, rule)) return std::nullopt;
        return ruleChange(journal::categoryLinks(), {sqlAttachCategory(actingCode(rule.code), categoryNumber)});
      });
}

void releaseCategory(session::Session& session, const QString& categoryNumber) {
  db::Database& database = session.database();
  change::ChangeRunner(database, session.journal())
      .run(ruleChange(journal::categoryLinks(), {sqlReleaseCategory(categoryNumber)}));
}

namespace {
db::Fields ruleRowFields(const RuleRowValues& row) {
  return {{QStringLiteral("类别代码"), textOrNull(row.categoryCode)},
          {QStringLiteral("部门编号"), textOrNull(row.department)},
          {QStringLiteral("部门代码"), textOrNull(row.departmentCode)},
          {QStringLiteral("岗位类别"), textOrNull(row.position)},
          {QStringLiteral("岗位代码"), textOrNull(row.positionCode)}};
}
}  // namespace

qint64 addRuleRow(session::Session& session, const RuleRowValues& row) {
  db::Database& database = session.database();
  change::ChangeRunner runner(database, session.journal());
  runner.run(recordEdit(journal::ruleRows(), sqlOpenRuleRow(0), ruleRowTable(), ruleRowFields(row), 0));
  return runner.addedId();
}

void updateRuleRow(session::Session& session, qint64 id, const RuleRowValues& row) {
  db::Database& database = session.database();
  change::ChangeRunner(database, session.journal())
      .run(recordEdit(journal::ruleRows(), sqlOpenRuleRow(id), ruleRowTable(), ruleRowFields(row), id));
}

void deleteRuleRow(session::Session& session, qint64 id) {
  db::Database& database = session.database();
  change::ChangeRunner(database, session.journal()).run(ruleChange(journal::ruleRows(), {sqlDeleteRuleRow(id)}));
}

}  // namespace rules
