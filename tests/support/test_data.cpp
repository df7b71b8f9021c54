#include "tests/support/test_data.h"

#include <QMap>
#include <QStringList>

#include "db/database.h"
#include "tests/support/harness.h"

namespace testdata {
namespace {

db::Database& shared() { return Harness::current().database(); }

QString literal(const QVariant& v) {
  if (v.isNull()) return u("NULL");
  switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
    case QMetaType::Double: return v.toString();
    default: {
      const QString text = v.toString();
      return text.isEmpty() ? u("NULL") : db::sqlQuote(text);
    }
  }
}

void insert(const QString& table, const Values& values) {
  QStringList columns, literals;
  for (const auto& [column, value] : values) {
    columns << column;
    literals << literal(value);
  }
  shared().execute(u("INSERT INTO ") + table + u(" (") + columns.join(u(", ")) + u(") VALUES (") +
                   literals.join(u(", ")) + u(")"));
}

qint64 lastId(const QString& table) {
  db::Recordset rs = shared().open(u("SELECT MAX(ID) AS ID FROM ") + table);
  return rs.eof() ? 0 : rs.field(u("ID")).toLongLong();
}

QVariant optional(const std::optional<int>& v) { return v ? QVariant(*v) : QVariant(); }

// The column and value of an extra condition such as " AND 类型=N'档案信息修改'".
QPair<QString, QString> conditionField(const QString& extra) {
  QString s = extra.trimmed();
  if (s.startsWith(u("AND "), Qt::CaseInsensitive)) s = s.mid(4).trimmed();
  const qsizetype eq = s.indexOf(u'=');
  if (eq <= 0) return {};
  QString value = s.mid(eq + 1).trimmed();
  if (value.startsWith(u("N'"), Qt::CaseInsensitive)) value.remove(0, 1);  // a Unicode literal
  if (value.size() >= 2 && value.startsWith(u'\'') && value.endsWith(u'\''))
    value = value.mid(1, value.size() - 2).replace(u("''"), u("'"));
  return {s.left(eq).trimmed(), value};
}

}  // namespace

qint64 row(const QString& table, const Values& values) {
  insert(table, values);
  return lastId(table);
}

void department(const QString& code, const QString& name, const QString& parent, const QString& endDate) {
  insert(u("职能部门new"), {{u("职能部门编号"), code}, {u("职能部门名称"), name}, {u("终止日期"), endDate}});
  if (!parent.isEmpty())
    insert(u("上级部门new"),
           {{u("职能部门编号"), code}, {u("上级部门编号"), parent}, {u("起始日期"), u("2020-01-01")}});
}

void positionCategory(const QString& code, const QString& name) {
  insert(u("岗位类别"), {{u("岗位类别编号"), code}, {u("岗位类别名称"), name}});
}

void position(const QString& code, const QString& name, const QString& department, const QString& category) {
  insert(
      u("岗位信息New"),
      {{u("岗位代号"), code}, {u("岗位名称"), name}, {u("职能部门代号"), department}, {u("岗位类别代号"), category}});
}

void employeeCategory(const QString& code, const QString& name, const QString& ruleCode) {
  insert(u("员工类别"), {{u("类别编号"), code}, {u("类别名称"), name}, {u("类别码"), ruleCode}});
}

qint64 rule(const QString& code, const QString& name, int layout, const QString& pattern) {
  return row(u("员工工号编码规则名称"),
             {{u("类别码"), code}, {u("编码类别名称"), name}, {u("编码规则"), layout}, {u("流水号位数"), pattern}});
}

qint64 ruleRow(const RuleRow& r) {
  return row(u("员工工号编码规则"), {{u("员工类别"), r.employeeCategory},
                                     {u("类别代码"), r.code},
                                     {u("部门编号"), r.department},
                                     {u("部门代码"), r.departmentCode},
                                     {u("岗位类别"), r.positionCategory},
                                     {u("岗位代码"), r.positionCode},
                                     {u("流水号位数"), r.pattern},
                                     {u("流水号"), optional(r.serial)}});
}

qint64 employee(const Employee& e) {
  return row(u("员工档案"), {{u("工号"), e.number},
                             {u("姓名"), e.name},
                             {u("性别"), e.sex},
                             {u("身份证号码"), e.idCard},
                             {u("员工类别"), e.category},
                             {u("岗位编号"), e.position}});
}

void reference(const host::RefColumn& column, const QString& number) {
  Values values{{column.columnName(), number}};
  const auto [extraColumn, extraValue] = conditionField(column.extraCondition());
  if (!extraColumn.isEmpty()) values.append({extraColumn, extraValue});
  insert(column.tableName(), values);
}

void references(std::span<const host::RefColumn> list, const QString& number) {
  // Tables by name regardless of case, each with its number columns and extra fields.
  QMap<QString, QString> names;
  QMap<QString, Values> rows;
  for (const host::RefColumn& ref : list) {
    const QString key = ref.tableName().toLower();
    if (key == u("员工档案")) continue;
    if (!names.contains(key)) names.insert(key, ref.tableName());
    Values& values = rows[key];
    values.append({ref.columnName(), number});
    const auto [extraColumn, extraValue] = conditionField(ref.extraCondition());
    if (!extraColumn.isEmpty()) values.append({extraColumn, extraValue});
  }
  db::Transaction transaction(shared());
  for (auto it = rows.cbegin(); it != rows.cend(); ++it) {
    // A column named twice (a number column, or the same extra field) is written once.
    Values values;
    QStringList seen;
    for (const auto& field : it.value()) {
      if (seen.contains(field.first, Qt::CaseInsensitive)) continue;
      seen << field.first;
      values << field;
    }
    insert(names[it.key()], values);
  }
  transaction.commit();
}

void smallOrganisation() {
  department(u("D01"), u("综合部"));
  department(u("D02"), u("工程部"));
  positionCategory(u("01"), u("管理岗"));
  positionCategory(u("02"), u("技术岗"));
  position(u("P01"), u("主管"), u("D01"), u("01"));
  position(u("P02"), u("技工"), u("D02"), u("02"));
  employeeCategory(u("01"), u("保安"), u("1"));
  employeeCategory(u("02"), u("管理人员"), u("18"));
  employeeCategory(u("03"), u("临时工"));
  rule(u("1"), u("保安类"), 1, u("0000"));
  rule(u("18"), u("管理编号"), 1, u("000"));
  ruleRow({.code = u("1")});
  ruleRow({.code = u("18")});
}

}  // namespace testdata
