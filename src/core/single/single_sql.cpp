#include "core/single/single_sql.h"

#include "db/database.h"
#include "host/host_tables.h"
#include "core/common/added_columns.h"
#include "core/common/number_key.h"
#include "core/rules/rules_sql.h"
#include "core/rules/rules_ops.h"

namespace single {

namespace {

// The select list and joins both searches share.
QString searchHead() {
  return QStringLiteral(
             "SELECT 员工档案.工号, 员工档案.姓名, 员工档案.性别, 员工档案.员工类别, 员工档案.身份证号码, "
             "员工档案.岗位编号, 员工档案.ID") +
         QStringLiteral(
             ", 岗位信息New.岗位名称, 职能部门new.职能部门编号, 职能部门new.职能部门名称, 岗位信息New.岗位类别代号") +
         QStringLiteral(" From 员工档案 Left Join 岗位信息New On 员工档案.岗位编号=岗位信息New.岗位代号") +
         QStringLiteral(" Left Join 职能部门new On 岗位信息New.职能部门代号=职能部门new.职能部门编号");
}

// One Like criterion that finds the typed text anywhere in the column, literally: its "%", "_" and
// "[" are escaped with "!" (and "!" itself), a form both SQL Server and the embedded engine take
// (the embedded engine's LIKE knows no "[...]"). quote gives the literal (a name's is N'…').
QString likeCriterion(const QString& column, const QString& value, QString (*quote)(const QString&)) {
  QString pattern;
  for (const QChar ch : value) {
    if (ch == u'!' || ch == u'%' || ch == u'_' || ch == u'[') pattern += u'!';
    pattern += ch;
  }
  return column + QStringLiteral(" Like ") + quote(u'%' + pattern + u'%') + QStringLiteral(" ESCAPE '!'");
}

// Numbers read as whole numbers, without CONVERT (which fails on a number holding a letter): a
// number counts when it holds digits only, trailing blanks aside (SQL Server compares texts
// without them); its value is its text without them and without its leading zeros ('0013' and
// '13' give '13', '000' gives ''). REPLACE, LTRIM and RTRIM are the embedded engine's own, LEN
// its translation: the texts run unchanged on both.
QString withoutDigits(const QString& text) {
  QString s = text;
  for (char16_t d = u'0'; d <= u'9'; ++d)
    s = QStringLiteral("REPLACE(") + s + QStringLiteral(", '") + QChar(d) + QStringLiteral("', '')");
  return s;
}
// Not empty, and nothing left once the digits are out. LEN ignores trailing blanks: the '.' after
// what is left keeps a blank inside the number ('1 3') from counting as nothing.
QString digitsOnly(const QString& number) {
  return QStringLiteral("LEN(") + number + QStringLiteral(") > 0 AND LEN(") +
         withoutDigits(QStringLiteral("RTRIM(") + number + u')') + QStringLiteral(" + '.') = 1");
}
// Leading zeros become blanks, LTRIM drops them, the zeros inside come back.
QString numberValue(const QString& number) {
  return QStringLiteral("REPLACE(LTRIM(REPLACE(RTRIM(") + number + QStringLiteral("), '0', ' ')), ' ', '0')");
}

}  // namespace

QString textSearchCondition(const QString& number, const QString& name, const QString& idCard) {
  // A name may hold any letter: a Unicode literal. Numbers and identity cards are digits and letters.
  const struct {
    QString column, value;
    QString (*quote)(const QString&);
  } criteria[] = {
      {QStringLiteral("员工档案.工号"), number, db::sqlQuote},
      {QStringLiteral("员工档案.姓名"), name, db::sqlQuoteN},
      {QStringLiteral("员工档案.身份证号码"), idCard, db::sqlQuote},
  };
  QString c;
  for (const auto& criterion : criteria) {
    if (criterion.value.isEmpty()) continue;
    if (!c.isEmpty()) c += QStringLiteral(" Or ");
    c += likeCriterion(criterion.column, criterion.value, criterion.quote);
  }
  return c;
}

QString textSearchStatement(const QString& condition) { return searchHead() + QStringLiteral(" Where ") + condition; }

QString equalNumbersStatement() {
  const QString number = QStringLiteral("员工档案.工号"), inner = QStringLiteral("工号");
  // By value: the shorter value first, then the values' digits, then the numbers as written.
  return searchHead() + QStringLiteral(" Where ") + digitsOnly(number) + QStringLiteral(" AND ") + numberValue(number) +
         QStringLiteral(" In(SELECT ") + numberValue(inner) + QStringLiteral(" AS SZGH From 员工档案 Where ") +
         digitsOnly(inner) + QStringLiteral(" GROUP BY ") + numberValue(inner) +
         QStringLiteral(" HAVING (COUNT(*) > 1)) Order By LEN(") + numberValue(number) + QStringLiteral("), ") +
         numberValue(number) + QStringLiteral(", ") + number;
}

QString codeAndName(const QString& code, const QString& name, bool nameIsNull) {
  return nameIsNull ? QString() : code + QStringLiteral(" ") + name;
}

QString employeeInfoCaption(const QString& number, const QString& name, const QString& idCard,
                            const QString& department, const QString& position) {
  return QStringLiteral("员工信息：工号 ") + number + QStringLiteral(" 姓名 ") + name + QStringLiteral(" 身份证 ") +
         idCard + QStringLiteral(" 所在部门 ") + department +
         (position.isEmpty() ? QString() : QStringLiteral(" 、") + position);
}

QString ruleQuery(const QString& categoryName) {
  return QStringLiteral(
             "SELECT 员工工号编码规则名称.类别码, 员工工号编码规则名称.编码类别名称, 员工工号编码规则名称.编码规则, "
             "员工工号编码规则名称.流水号位数, ") +
         QStringLiteral("员工类别.类别编号, 员工类别.类别名称") +
         QStringLiteral(
             " FROM 员工类别 LEFT OUTER JOIN 员工工号编码规则名称 ON 员工类别.类别码 = 员工工号编码规则名称.类别码") +
         QStringLiteral(" WHERE (员工类别.类别名称 = ") + db::sqlQuoteN(categoryName) + QStringLiteral(")");
}

bool ruleNeedsDepartment(int ruleCode) { return ruleCode >= 3 && ruleCode <= 6; }

std::optional<QString> ruleRowCondition(int ruleCode, const QString& department, const QString& positionCategory,
                                        const QString& categoryCode) {
  const QString noDepartment = QStringLiteral("部门编号 Is Null AND ");
  const QString byDepartment = QStringLiteral("部门编号 =") + db::sqlQuote(department) + QStringLiteral(" AND ");
  const QString noPosition = QStringLiteral("岗位类别 Is Null AND ");
  const QString byPosition = QStringLiteral("岗位类别 =") + db::sqlQuote(positionCategory) + QStringLiteral(" AND ");
  const QString byCategory = QStringLiteral("类别代码=") + db::sqlQuote(categoryCode);
  switch (ruleCode) {
    case 0:
    case 1: return noDepartment + noPosition + byCategory;
    case 2: return noDepartment + byPosition + byCategory;
    case 3:
    case 6: return byDepartment + noPosition + byCategory;
    case 4:
    case 5: return byDepartment + byPosition + byCategory;
    default: return std::nullopt;
  }
}

QString ruleRowQuery(const QString& condition) {
  return rules::sqlRuleRowSelect() + QStringLiteral(" From 员工工号编码规则") + QStringLiteral(" Where ") + condition +
         QStringLiteral(" ORDER BY ID");
}

QString numberPrefix(int ruleCode, const QString& categoryCode, const QString& departmentCode,
                     const QString& positionCode) {
  switch (ruleCode) {
    case 1: return categoryCode;
    case 2: return categoryCode + positionCode;
    case 3: return departmentCode;
    case 4: return departmentCode + positionCode;
    case 5: return departmentCode + categoryCode + positionCode;
    case 6: return departmentCode + categoryCode;
    default: return QString();
  }
}

std::optional<Proposal> propose(const RuleValues& rule) {
  Proposal p;
  p.prefix = numberPrefix(rule.ruleCode, rule.categoryCode, rule.departmentCode, rule.positionCode);
  // Every rule code but 0 puts a code in front of the serial; a row that yields none would
  // hand out bare serials that clash with the numbers of other rules.
  if (rule.ruleCode != 0 && p.prefix.isEmpty()) return std::nullopt;
  p.serial = static_cast<qint32>(rule.lastSerial.value_or(0) + 1);
  p.number = p.prefix + rules::formatSerial(p.serial, rule.serialPattern);
  return p;
}

QString existsQuery(const QString& number) {
  return QStringLiteral("Select * From 员工档案 Where 工号=") + db::sqlQuote(number);
}

QString renumberBatch(const QString& oldNumber, const QString& newNumber, const std::vector<host::RefColumn>& added) {
  return renumberBatch(renumberColumns(added), oldNumber, newNumber);
}

std::vector<preview::Column> renumberColumns(const std::vector<host::RefColumn>& added) {
  std::vector<preview::Column> columns;
  const auto same = [](const preview::Column& c, const QString& table, const QString& column) {
    return c.table.compare(table, Qt::CaseInsensitive) == 0 && c.column.compare(column, Qt::CaseInsensitive) == 0;
  };
  const auto add = [&](const QString& table, const QString& column, bool isAdded, const QString& extra) {
    for (const preview::Column& c : columns)
      if (same(c, table, column)) return;
    columns.push_back({table, column, isAdded, extra});
  };
  for (const host::RefColumn& ref : host::kSingleCascade)
    columns.push_back({ref.tableName(), ref.columnName(), false, ref.extraCondition()});
  // The columns the list misses, ending with the administrator's added columns.
  for (const host::RefColumn& ref : host::missingFrom(host::kSingleCascade, added))
    add(ref.tableName(), ref.columnName(), host::names(added, ref), ref.extraCondition());
  return columns;
}

QString renumberBatch(const std::vector<preview::Column>& columns, const QString& oldNumber, const QString& newNumber) {
  const QString n = db::sqlQuote(newNumber), o = db::sqlQuote(oldNumber);
  QString batch;
  for (const preview::Column& c : columns) {
    if (!batch.isEmpty()) batch += QStringLiteral(" ");
    const QString column = db::quotedName(c.column);
    batch += QStringLiteral("Update ") + db::quotedName(c.table) + QStringLiteral(" set ") + column +
             QStringLiteral("=") + n + QStringLiteral(" Where ") + column + QStringLiteral("=") + o + c.extra;
  }
  return batch;
}

QString registerCountQuery(const QString& number) {
  return QStringLiteral("SELECT COUNT(*) AS 行数 FROM 员工档案 WHERE 工号=") + db::sqlQuote(number);
}

QString serialStatement(qint32 serial, const QString& ruleRowId) {
  return QStringLiteral(" Update 员工工号编码规则 Set 流水号=") + QString::number(serial) +
         QStringLiteral(" Where ID=") + ruleRowId;
}

QString noCriterionMessage() { return QStringLiteral("请输入检索条件"); }
QString notFoundMessage() { return QStringLiteral("未找到符合条件的员工"); }
QString noRuleMessage() { return QStringLiteral("该员工的员工类别没有设置过工号编号规则，不能采用自动编号"); }
QString noNewNumberMessage() { return QStringLiteral("请输入新工号"); }
QString refusedNumberMessage(const QString& refused) {
  return common::refusedCharacterMessage(QStringLiteral("新工号"), refused);
}
QString numberTakenMessage(const QString& number) { return number + QStringLiteral("已经存在，请输入另外的工号"); }
QString successMessage(const QString& name, const QString& newNumber) {
  return QStringLiteral("修改成功") + QStringLiteral("请通知") + name + QStringLiteral(" 工号已经改成") + newNumber;
}
QString mergeQuestion(const QString& newNumber, const QString& held) {
  return QStringLiteral("新工号") + newNumber + QStringLiteral("在以下表中已有记录：") + held +
         QStringLiteral("。继续修改将把这些记录并入该员工，是否继续？");
}
QString oldNumberGoneMessage(const QString& oldNumber) {
  return QStringLiteral("原工号") + oldNumber + QStringLiteral("已不存在，可能已被他人修改，请重新检索");
}
QString heldChangedMessage(const QString& newNumber) {
  return QStringLiteral("询问之后，其他表中新工号") + newNumber +
         QStringLiteral("下的记录有了变化，没有做任何修改，请重新修改");
}
QString takenMeanwhileMessage(const QString& newNumber, const QString& holder) {
  return QStringLiteral("新工号") + newNumber + QStringLiteral("在核对之后已被员工") + holder +
         QStringLiteral("使用，没有做任何修改，请输入另外的工号");
}

QStringList renumberExecutions(const QString& oldNumber, const QString& newNumber,
                               const std::optional<SerialUpdate>& serial, const std::vector<host::RefColumn>& added) {
  QString batch = renumberBatch(renumberColumns(added), oldNumber, newNumber);
  if (serial) batch += serialStatement(serial->serial, serial->ruleRowId);
  return {batch};
}

}  // namespace single
