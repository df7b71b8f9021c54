#pragma once
// Statement texts, number composition and messages of the single-employee renumber, as plain
// functions (no window, no database access; core/single/single_ops.h runs them).
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

#include "host/host_tables.h"
#include "core/preview/preview.h"

namespace single {

// ---- Employee search -------------------------------------------------------------------------

// The Or-joined Like condition over number, name and identity-card number: each finds the typed
// text anywhere in its column, literally ("%", "_" and "[" are no wildcards: 员工档案.工号 Like
// '%1!_3%' ESCAPE '!' for "1_3"; the name a Unicode literal, N'%王%'). A box counts as filled when
// its text is not empty (spaces count); the texts are quoted. Empty when no box is filled.
QString textSearchCondition(const QString& number, const QString& name, const QString& idCard);
// The text search: the joined select over register, positions and departments + " Where " + condition.
QString textSearchStatement(const QString& condition);
// Every employee whose number, read as a whole number, is shared with another employee, in the
// order of the numbers' values: numbers of digits only ('0013' and '13' are equal); a number
// holding anything else ('A12') is not compared and fails nothing.
QString equalNumbersStatement();

// A list cell joining code and name: code + " " + name, empty when the name is Null.
QString codeAndName(const QString& code, const QString& name, bool nameIsNull);

// The employee info caption shown after a selection; " 、" and the position only when there is one.
QString employeeInfoCaption(const QString& number, const QString& name, const QString& idCard,
                            const QString& department, const QString& position);

// ---- Composition of a new number -------------------------------------------------------------

// The numbering rule of a category, looked up by the category's name.
QString ruleQuery(const QString& categoryName);

// Rule codes 3 to 6 put a department code into the number, so they need the department.
bool ruleNeedsDepartment(int ruleCode);

// The condition that finds the specific rule row for a rule code; nullopt for a code outside 0 to 6.
// department is the department number, positionCategory the position category number.
std::optional<QString> ruleRowCondition(int ruleCode, const QString& department, const QString& positionCategory,
                                        const QString& categoryCode);
// The specific-rule query for a condition, in the order of ID: when several rows match, the
// first one is always the same.
QString ruleRowQuery(const QString& condition);

// The code part of a number: rule code 0 nothing; 1 category code; 2 category + position code;
// 3 department code; 4 department + position code; 5 department + category + position code;
// 6 department + category code. A Null code (empty text) contributes nothing.
QString numberPrefix(int ruleCode, const QString& categoryCode, const QString& departmentCode,
                     const QString& positionCode);

// What a numbering rule with its matched specific rule row proposes.
struct Proposal {
  QString prefix;
  qint32 serial = 0;  // the row's last serial + 1
  QString number;  // prefix + serial formatted with the pattern
};
struct RuleValues {
  int ruleCode = 0;
  QString serialPattern;  // the numbering rule's pattern (Null read as "0000")
  QString categoryCode;  // the numbering rule's category code (Null read as "")
  QString departmentCode;  // the rule row's department code (Null read as "")
  QString positionCode;  // the rule row's position code (Null read as "")
  std::optional<qint64> lastSerial;  // the rule row's last serial; nullopt for Null
};
// The proposal; nullopt when the rule puts a code into numbers but the row yields none at all.
std::optional<Proposal> propose(const RuleValues& rule);

// ---- Renumber --------------------------------------------------------------------------------

// Whether a number is held by an employee.
QString existsQuery(const QString& number);
// The Update statements that move every reference from oldNumber to newNumber, as one text: the
// 66 of the single renumber's own list (the register first), then one for every other column
// that stores an employee number (host::missingFrom with the columns the administrator added),
// so that no record stays under oldNumber.
QString renumberBatch(const QString& oldNumber, const QString& newNumber, const std::vector<host::RefColumn>& added);
// Every column the renumber rewrites, in the order it rewrites them: the 66 of its own list, then
// the columns that list misses, the columns the administrator added last (marked added; one
// naming a column already rewritten, or named twice, is left out).
std::vector<preview::Column> renumberColumns(const std::vector<host::RefColumn>& added);
// The Update statements that move every reference of the columns from oldNumber to newNumber, as
// one text, in the same form for every column (renumberBatch with the built-in columns).
QString renumberBatch(const std::vector<preview::Column>& columns, const QString& oldNumber, const QString& newNumber);
// The serial to store into a specific rule row with the renumber.
struct SerialUpdate {
  QString ruleRowId;
  qint32 serial = 0;
};

// The executions the renumber sends inside its transaction after counting the old number, each
// one text sent at once: the Update of every column of renumberColumns(added), then the serial
// statement when a serial is stored.
QStringList renumberExecutions(const QString& oldNumber, const QString& newNumber,
                               const std::optional<SerialUpdate>& serial, const std::vector<host::RefColumn>& added);

// How many employees of the register hold a number (column 行数).
QString registerCountQuery(const QString& number);
// The statement that stores the serial handed out into its specific rule row.
QString serialStatement(qint32 serial, const QString& ruleRowId);

// Messages.
QString noCriterionMessage();
QString notFoundMessage();
QString noRuleMessage();
QString noNewNumberMessage();
// A typed new number with a character it cannot hold (common::typedNumber):
// "新工号不能含有“%”：只能由字母和数字组成".
QString refusedNumberMessage(const QString& refused);
QString numberTakenMessage(const QString& number);
QString successMessage(const QString& name, const QString& newNumber);
// The question before a renumber to a number that records already carry (held as holdingsText gives it).
QString mergeQuestion(const QString& newNumber, const QString& held);
// The selected employee no longer holds the old number (someone else changed it meanwhile).
QString oldNumberGoneMessage(const QString& oldNumber);
// An employee the host system gave the new number after it was checked (holder: the employee's name).
QString takenMeanwhileMessage(const QString& newNumber, const QString& holder);
// The rows of other tables under the new number changed after the question before the renumber.
QString heldChangedMessage(const QString& newNumber);

}  // namespace single
