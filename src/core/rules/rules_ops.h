#pragma once
// The numbering rules' operations: every statement text on the rule tables, built from its values
// (every value through db::sqlQuote), and every read and change of the rule settings window, with
// their recordsets, column names and transactions. Results are plain structs.
//
// Tables: 员工工号编码规则名称 (one row per numbering rule), 员工工号编码规则 (specific rule rows
// of a rule, joined by 类别代码 = the rule's 类别码) and 员工类别.类别码 (the rule a category
// belongs to, Null for none).
//
// A rule without a code (类别码 Null or empty) acts on the code "0": its default row, specific rows
// and categories are stored under "0". So a rule without a code and a rule with the code "0" can't
// both be created. Where a database holds both anyway, the rule without a code "shares" the code:
// it is shown with no rows and no categories, and its changes touch only its own row, by ID.
#include <QString>
#include <QVariant>
#include <vector>

#include "core/change/plan.h"
#include "host/host_schema.h"

namespace db {
class Database;
}
namespace session {
class Session;
}

namespace rules {

// The changes take the session: each is recorded in its journal.

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
// Delete a rule by its ID (the rule's own row only).
QString sqlDeleteRuleById(qint64 ruleId);
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

// ---- Widths of the stored texts ---------------------------------------------------------
// Every text column of the rule tables holds at most this many characters.
inline constexpr int kTextLength = host::kTextLength;
// A serial pattern holds at most 9 zeros: the serial is a 32-bit number.
inline constexpr int kPatternLength = 9;

// ---- The code of a rule -------------------------------------------------------------------
// The code a rule without a code acts on.
inline constexpr QStringView kNoCode = u"0";
// The code a rule's rows and categories are stored under: code, or "0" when it is empty.
QString actingCode(const QString& code);

// A rule as the window addresses it: its ID and its stored code ("" for Null).
struct RuleRef {
  qint64 id = 0;
  QString code;
};

// ---- Reads ------------------------------------------------------------------------------
// A rule as the rule list (sqlListRules) returns it; Null values are flagged, the texts are "".
struct RuleListEntry {
  qint64 id = 0;
  QString name;  // 编码类别名称
  QString categoryCode;  // 类别码
  bool codeIsNull = false;
  int ruleCode = 0;  // 编码规则
  bool ruleCodeIsNull = false;
  QString pattern;  // 流水号位数
  bool patternIsNull = false;
};
// Every rule, in the order of the rule list. Throws db::DbError.
std::vector<RuleListEntry> listRules(db::Database& database);

// An employee category (类别编号, 类别名称) or a position category (岗位类别编号, 岗位类别名称).
struct NumberedName {
  QString number, name;
};
// Categories that belong to no rule, by number. Throws db::DbError.
std::vector<NumberedName> freeCategories(db::Database& database);
// Position categories, by number. Throws db::DbError.
std::vector<NumberedName> positionCategories(db::Database& database);

// A current department with its latest parent ("" for none).
struct Department {
  QString number, name, parent;
};
// Current departments in query order. A department listed twice (two parent records with the same
// latest start date) is kept once, with its first row. Throws db::DbError.
std::vector<Department> currentDepartments(db::Database& database);

// A specific rule row as listed; Null texts are "" and flagged where the window tells them apart.
struct RuleRow {
  qint64 id = 0;
  QString department;  // 部门编号
  bool departmentIsNull = true;
  QString departmentCode;  // 部门代码
  QString position;  // 岗位类别
  bool positionIsNull = true;
  QString positionCode;  // 岗位代码
};
// Specific rows stored under a code, ordered by 部门编号, 岗位类别 (sqlListRuleRows). Throws db::DbError.
std::vector<RuleRow> listRuleRows(db::Database& database, const QString& categoryCode);

// Whether a rule without a code shares its code "0" with a rule whose code is "0" (then none of
// the rows and categories under "0" are its own). Always false for a rule with a code. Throws db::DbError.
bool sharesCode(db::Database& database, const RuleRef& rule);

// What the window shows for a rule: its categories and its rows under a layout.
struct RuleView {
  bool sharesCode = false;  // a rule without a code beside rule "0": nothing is listed or made
  std::vector<NumberedName> categories;
  std::vector<RuleRow> rows;  // layouts 2 to 6 only
};
// Shows a rule under a layout: its categories; for layouts 0 and 1 its default row is made when
// missing, for layouts 2 to 6 its rows are listed; another layout lists nothing. Throws db::DbError.
RuleView showRule(db::Database& database, const RuleRef& rule, int layout);
// The rows part of showRule: what a layout change to layout shows. Throws db::DbError.
std::vector<RuleRow> layoutRows(db::Database& database, const RuleRef& rule, int layout);

// ---- Writes -----------------------------------------------------------------------------
// Table names of the two record edits.
QString ruleTable();  // 员工工号编码规则名称
QString ruleRowTable();  // 员工工号编码规则

// A value for a text column: Null when the text is empty.
QVariant textOrNull(const QString& text);

// A rule already holding a new rule's code: none, a rule without a code, or a rule with a code.
struct CodeHolder {
  bool exists = false;
  bool noCode = false;  // the holder has no code (its code counts as "0")
  QString code;  // the holder's code when it has one
};
// The rule holding code; "" and "0" are one code. Throws db::DbError.
CodeHolder codeHolder(db::Database& database, const QString& code);

struct NewRule {
  QString name;
  QString code;  // "" stores Null
  int layout = 0;
  QString pattern;
};
struct AddedRule {
  qint64 id = 0;  // 0 when refused
  CodeHolder holder;  // the rule that holds the code already (refused)
};
// The rule refused because another rule holds its code.
QString codeTakenMessage(const CodeHolder& holder);
// What the plan of adding a rule found (it reads only): a code another rule holds refuses it.
struct RulePlan : change::Plan {
  NewRule rule;
  CodeHolder holder;
};
RulePlan planAddRule(session::Session& session, const NewRule& rule);
struct RuleAdded : change::Ran {
  AddedRule added;
};
// Runs the plan: inside the transaction the code is looked up again before the rule is added.
RuleAdded runAddRule(session::Session& session, const RulePlan& plan);
// Adds a rule and, for layouts 0 and 1, its default row (under "0" for a rule without a code), in
// one transaction; refused without a change when its code is held already. Throws db::DbError.
AddedRule addRule(session::Session& session, const NewRule& rule);
// Rewrites an existing rule's rule code and serial pattern. Throws db::DbError.
void updateRule(session::Session& session, qint64 ruleId, int code, const QString& pattern);
// Changes a rule's layout: when dropRows, its specific rows are deleted first (never those of a
// rule it shares its code with); then the layout is stored. One transaction. Throws db::DbError.
void changeRuleCode(session::Session& session, const RuleRef& rule, int code, bool dropRows);

enum class Deleted {
  Whole,  // the rule, its rows, and its categories released
  RuleOnly,  // a rule without a code beside rule "0": only its own row
};
// Deletes a rule with its rows and releases its categories, in one transaction (sqlDeleteRule).
// A rule without a code is deleted by its ID as well, together with its rows under "0" and any
// left under the empty code; beside rule "0" only its own row goes. Throws db::DbError.
Deleted deleteRule(session::Session& session, const RuleRef& rule);

// Attaches a category (by number) to a rule. Returns false (and changes nothing) for a rule that
// shares its code. Throws db::DbError.
bool attachCategory(session::Session& session, const RuleRef& rule, const QString& categoryNumber);
// Releases a category from its rule. Throws db::DbError.
void releaseCategory(session::Session& session, const QString& categoryNumber);

// One specific rule row as the grid holds it.
struct RuleRowValues {
  QString categoryCode;  // 类别代码: the rule's acting code
  QString department;  // 部门编号
  QString departmentCode;  // 部门代码
  QString position;  // 岗位类别
  QString positionCode;  // 岗位代码
};
// Adds a specific row; returns its new ID. Empty values are stored as Null. Throws db::DbError.
qint64 addRuleRow(session::Session& session, const RuleRowValues& row);
// Rewrites a saved specific row. Throws db::DbError.
void updateRuleRow(session::Session& session, qint64 id, const RuleRowValues& row);
// Deletes one specific row. Throws db::DbError.
void deleteRuleRow(session::Session& session, qint64 id);

}  // namespace rules
