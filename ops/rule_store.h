#pragma once
// The rule store as the settings window reads and changes it: every statement text, built from
// its values (every value through db::sqlQuote), and the record edits of a rule and of a
// specific rule row.
//
// Tables: 员工工号编码规则名称 (one row per numbering rule), 员工工号编码规则 (specific rule rows
// of a rule, joined by 类别代码 = the rule's 类别码) and 员工类别.类别码 (the rule a category
// belongs to, Null for none).
#include <QString>
#include <QVariant>
#include <vector>

namespace db {
class Database;
}

namespace rules {

// ---- Statement texts -------------------------------------------------------------------
// List rules, ordered by 类别码.
QString sqlListRules();
// The select list of a specific rule row ("SELECT ID, 员工类别, ... 流水号"), shared by every
// read of 员工工号编码规则.
QString sqlRuleRowSelect();
// Open a rule for its record edit: by ID, or with " Where ID=0" for a new rule (id 0).
QString sqlOpenRule(qint64 id);
// Ensure the default row (only 类别代码) of a rule exists.
QString sqlEnsureDefaultRow(const QString& categoryCode);
// Drop every specific row of a rule (on a layout change).
QString sqlDeleteRuleRows(const QString& categoryCode);
// Store a rule's new rule code.
QString sqlSetRuleCode(int code, qint64 ruleId);
// Delete a rule: release its categories, delete its rows, delete the rule (one text).
QString sqlDeleteRule(const QString& categoryCode);
// Categories that belong to no rule.
QString sqlFreeCategories();
// Categories of a rule.
QString sqlRuleCategories(const QString& categoryCode);
// Attach a category to a rule / release it.
QString sqlAttachCategory(const QString& categoryCode, const QString& categoryNumber);
QString sqlReleaseCategory(const QString& categoryNumber);
// Specific rows of a rule, ordered by 部门编号, 岗位类别.
QString sqlListRuleRows(const QString& categoryCode);
// Open a specific row for its record edit: by ID, or " WHERE ID=0" for a new row (id 0).
QString sqlOpenRuleRow(qint64 id);
// Delete one specific row.
QString sqlDeleteRuleRow(qint64 id);
// Position categories.
QString sqlPositionCategories();
// Current departments with their latest parent, by length of the number, then the number.
QString sqlCurrentDepartments();

// ---- Reads ------------------------------------------------------------------------------
// A rule as the rule list (sqlListRules) returns it; Null values are flagged, the texts are "".
struct RuleListEntry {
  qint64 id = 0;
  QString name;          // 编码类别名称
  QString categoryCode;  // 类别码
  bool codeIsNull = false;
  int ruleCode = 0;      // 编码规则
  bool ruleCodeIsNull = false;
  QString pattern;       // 流水号位数
  bool patternIsNull = false;
};
// Every rule, in the order of the rule list. Throws db::DbError.
std::vector<RuleListEntry> listRules(db::Database& database);

// ---- Writes -----------------------------------------------------------------------------
// Table names of the two record edits.
QString ruleTable();  // 员工工号编码规则名称
QString ruleRowTable();  // 员工工号编码规则

// A value for a text column: Null when the text is empty.
QVariant textOrNull(const QString& text);

// Adds a rule (name, category code Null when empty, rule code, serial pattern) and, for rule
// codes 0 and 1, its default row, in one transaction. Returns the new rule's ID. Throws db::DbError.
qint64 addRule(db::Database& database, const QString& name, const QString& categoryCode, int code,
               const QString& pattern);
// Rewrites an existing rule's rule code and serial pattern. Throws db::DbError.
void updateRule(db::Database& database, qint64 ruleId, int code, const QString& pattern);
// Whether a rule with this category code exists (an empty code matches a rule whose code is Null).
bool categoryCodeUsed(db::Database& database, const QString& categoryCode);
// Changes a rule's code: when dropRows, its specific rows are deleted first; then the code is
// stored. One transaction. Throws db::DbError.
void changeRuleCode(db::Database& database, qint64 ruleId, const QString& categoryCode, int code, bool dropRows);
// Delete a rule by its ID.
QString sqlDeleteRuleById(qint64 ruleId);
// Deletes a rule with its rows and releases its categories, in one transaction. A rule whose code
// is Null (shown with the code "0") is matched by none of these statements: give its ID as
// nullCodeRuleId and it is deleted by ID as well. Throws db::DbError.
void deleteRule(db::Database& database, const QString& categoryCode, qint64 nullCodeRuleId = 0);

// One specific rule row as the grid holds it.
struct RuleRowValues {
  QString categoryCode;  // 类别代码: the rule's code
  QString department;  // 部门编号
  QString departmentCode;  // 部门代码
  QString position;  // 岗位类别
  QString positionCode;  // 岗位代码
};
// Adds a specific row; returns its new ID. Empty values are stored as Null. Throws db::DbError.
qint64 addRuleRow(db::Database& database, const RuleRowValues& row);
// Rewrites a saved specific row. Throws db::DbError.
void updateRuleRow(db::Database& database, qint64 id, const RuleRowValues& row);

}  // namespace rules
