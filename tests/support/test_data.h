#pragma once
// Test data: rows of the host database written through the harness's connection, every value
// quoted by db::sqlQuote. An empty text is written as Null. Each function throws
// std::runtime_error with the database's text when the row cannot be written.
//
//   testdata::smallOrganisation();                         // the common case, described below
//   testdata::employee({.number = "0007", .name = "张三", .category = "管理人员", .position = "P01"});
//   testdata::ruleRow({.code = "18", .department = "D01", .departmentCode = "12", .serial = 4});
//   testdata::references(host::kSingleCascade, "0007");   // the number in every table of a list
#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>
#include <optional>
#include <span>

#include "host/host_tables.h"

namespace testdata {

// A text from a UTF-8 literal.
inline QString u(const char* s) { return QString::fromUtf8(s); }

// One row of table: each column with its value; a text is quoted ("" is Null), a number is
// written as it is, a null QVariant is Null. Returns the new row's ID.
using Values = QList<QPair<QString, QVariant>>;
qint64 row(const QString& table, const Values& values);

// A department (职能部门new); with a parent, also its line in 上级部门new (from 2020-01-01).
void department(const QString& code, const QString& name, const QString& parent = QString(),
                const QString& endDate = QString());
// A position category (岗位类别).
void positionCategory(const QString& code, const QString& name);
// A position (岗位信息New) of a department and a position category.
void position(const QString& code, const QString& name, const QString& department, const QString& category = QString());
// An employee category (员工类别) and the numbering-rule category code it belongs to ("" none).
void employeeCategory(const QString& code, const QString& name, const QString& ruleCode = QString());

// A numbering rule (员工工号编码规则名称): category code, name, rule code (layout), serial
// pattern. Returns its ID.
qint64 rule(const QString& code, const QString& name, int layout, const QString& pattern = u("000"));

// A specific rule row (员工工号编码规则) of the rule with that category code.
struct RuleRow {
  QString code{};  // 类别代码
  QString department{};  // 部门编号
  QString departmentCode{};  // 部门代码
  QString positionCategory{};  // 岗位类别
  QString positionCode{};  // 岗位代码
  QString pattern{};  // 流水号位数
  std::optional<int> serial{};  // 流水号; none is Null
  QString employeeCategory{};  // 员工类别
};
// Returns its ID.
qint64 ruleRow(const RuleRow& r);

// An employee of the register (员工档案).
struct Employee {
  QString number{};  // 工号
  QString name{};  // 姓名
  QString category{};  // 员工类别 (the category's name)
  QString position{};  // 岗位编号
  QString sex = u("男");  // 性别
  QString idCard = u("110101199001011234");  // 身份证号码
};
// Returns its ID.
qint64 employee(const Employee& e);

// A row holding number in the column a list names (for the register's staging copy 员工档案temp
// also of the type the renumbering cascades rename, when the list's entry says so).
void reference(const host::RefColumn& column, const QString& number);
// One row per table of the list but the register, holding number in every column the list
// names in that table; all in one transaction.
void references(std::span<const host::RefColumn> list, const QString& number);

// A small organisation:
//   departments D01 综合部 and D02 工程部; position categories 01 管理岗 and 02 技术岗;
//   positions P01 主管 (D01, 01) and P02 技工 (D02, 02);
//   employee categories 01 保安 (rule 1), 02 管理人员 (rule 18) and 03 临时工 (no rule);
//   rule 1 保安类 (layout 1, pattern "0000") and rule 18 管理编号 (layout 1, pattern "000"), each
//   with its default specific row (no department, no position, no serial yet).
// No employees.
void smallOrganisation();

}  // namespace testdata
