#pragma once
// The single-employee renumber on the database: the two employee searches, the composition of a
// new number from the employee's numbering rule, the existence check and the renumber itself.
// Statement texts come from core/single/single_sql.h; every function throws db::DbError with the
// database's text when a statement fails.
#include <QString>
#include <QtGlobal>
#include <optional>
#include <vector>

#include "core/preview/column_widths.h"
#include "core/change/change_runner.h"
#include "core/change/plan.h"
#include "core/single/single_sql.h"

namespace db {
class Database;
}
namespace session {
class Session;
}

namespace single {

// ---- Search ----------------------------------------------------------------------------------

// One employee as the result list shows it.
struct EmployeeRow {
  QString number;  // 员工档案.工号
  QString name;
  QString sex;
  QString idCard;
  QString department;  // department number + " " + name; "" when the department name is Null
  QString position;  // position number + " " + name; "" when the position name is Null
  QString category;  // the category's name
  QString positionCategory;  // 岗位信息New.岗位类别代号
  QString id;  // 员工档案.ID
};

// The text search over the three boxes (see textSearchCondition); no rows when no box is filled.
std::vector<EmployeeRow> textSearch(db::Database& database, const QString& number, const QString& name,
                                    const QString& idCard);
// Every employee whose number, read as a whole number, is shared with another employee.
std::vector<EmployeeRow> equalNumbersSearch(db::Database& database);

// ---- Composition -----------------------------------------------------------------------------

// What the employee's numbering rule and its specific rule row propose.
struct Composition {
  qint16 ruleCode = 0;  // the rule's 编码规则 (Null read as 0)
  QString serialPattern;  // the rule's 流水号位数 (Null read as "0000")
  QString categoryCode;  // the rule's 类别码
  QString ruleRowId;  // ID of the specific rule row the serial comes from
  QString prefix;  // the code part of the number
  qint32 serial = 0;  // the row's last serial + 1
  QString number;  // prefix + serial formatted with the pattern
};

// The proposal for an employee of the category named categoryName, in the department numbered
// department ("" for none) on a post of the position category positionCategory. nullopt when the
// category has no numbering rule, the rule needs a department the employee lacks, no specific
// rule row matches, or the row yields no code where the rule puts one. Reads only.
std::optional<Composition> compose(db::Database& database, const QString& categoryName, const QString& department,
                                   const QString& positionCategory);

// ---- Renumber --------------------------------------------------------------------------------

// Whether an employee in the register holds the number.
bool numberTaken(db::Database& database, const QString& number);

// A free number for automatic numbering: typed when no employee holds it; otherwise the first of
// prefix + serial, prefix + (serial + 1), ... (formatted with pattern) that no employee holds.
struct FreeNumber {
  QString number;
  qint32 serial = 0;  // the serial of number (serial as given when typed was free)
};
FreeNumber firstFreeNumber(db::Database& database, const QString& typed, const QString& prefix, qint32 serial,
                           const QString& pattern);

// The rows in every employee-number column that already carry number, as
// "工资单明细 3行，考勤表详细 12行"; "" when none does. Every column in one query.
QString recordsHolding(session::Session& session, const QString& number);

enum class RenumberResult {
  Done,
  OldNumberGone,  // the register holds no employee (or more than one) with the old number: nothing changed
  NewNumberTaken,  // an employee holds the new number (the host system gave it out after the check): nothing changed
  TooLong,  // a column the renumber rewrites cannot hold the new number (newNumberTooLong): nothing was sent
  ChangedMeanwhile,  // the rows of other tables under the new number changed after the question: nothing was sent
};

// The narrowest column of renumberColumns() that cannot hold newNumber, from the session's
// catalogue (session::Session::catalogue); nullopt when every column holds it.
std::optional<preview::TooLong> newNumberTooLong(session::Session& session, const QString& newNumber);

// The renumber as the change runner sends it (renumberExecutions), journaled as a single renumber
// (the journal counts the rows of every column, the added ones too).
change::Change renumberChange(const QString& oldNumber, const QString& newNumber,
                              const std::optional<SerialUpdate>& serial, const std::vector<host::RefColumn>& added);

// Automatic numbering as the window holds it after a composition.
struct AutoNumbering {
  QString prefix;
  qint32 serial = 0;  // the proposed serial
  QString pattern;
  QString ruleRowId;  // "" when no rule row takes the serial
};

// What the renumber's plan found, before anything is sent (it reads only).
struct RenumberPlan : change::Plan {
  enum class Status {
    Ready,
    OldNumberGone,  // the register holds no employee, or more than one, with the old number
    NewNumberTaken,  // an employee already holds the new number
    TooLong,  // a column the renumber rewrites cannot hold the new number (tooLong)
    MissingTable,  // the database lacks a table the renumber rewrites (the renumber only)
  };
  Status status = Status::Ready;
  qint64 oldNumberHolders = 0;  // employees of the register holding the old number
  QString oldNumber, newNumber;  // newNumber: with automatic numbering, the first free one
  qint32 freeSerial = 0;  // automatic numbering: the serial of newNumber
  std::optional<SerialUpdate> serial;  // the serial stored with it (a rule row takes it)
  std::optional<preview::TooLong> tooLong;  // TooLong: the narrowest column that cannot hold it
  QString held;  // the rows of other tables already under the new number: the question
};
// A preview asks nothing: its impact lists the rows already under the new number.
enum class Purpose { Renumber, Preview };
// The plan of renumbering oldNumber to newNumber. The register must hold exactly one employee with
// oldNumber. With automatic numbering a taken number moves on to the first free serial without a
// word (the serial stored as the renumber will store it); a typed number an employee holds refuses
// it, and so does a new number a column the renumber rewrites cannot hold (newNumberTooLong). For
// the renumber, the rows of other tables under the new number are found and asked about
// (mergeQuestion). Reads only. Throws db::DbError.
RenumberPlan planRenumber(session::Session& session, const QString& oldNumber, const QString& newNumber,
                          const std::optional<AutoNumbering>& automatic, Purpose purpose = Purpose::Renumber);

struct Renumbered : change::Ran {
  RenumberResult result = RenumberResult::Done;
  QString takenBy;  // NewNumberTaken: the first holder's name
};
// Runs a plan answered 是: moves every record from the old number to the new one (renumberBatch)
// and stores the serial, in one transaction. Inside it, before the first update, the plan's facts
// are read again, the rows read kept until the end (common::Lock::Held): the register must hold
// exactly one employee with the old number and none with the new one, and when the plan asked
// about rows of other tables under the new number, they are still those.
Renumbered runRenumber(session::Session& session, const RenumberPlan& plan);

// The run without the plan's checks and question (a new number a column cannot hold is refused
// before anything is sent, newNumberTooLong): runRenumber of the numbers as given (takenBy, when
// given, receives the first holder's name).
RenumberResult renumber(session::Session& session, const QString& oldNumber, const QString& newNumber,
                        const std::optional<SerialUpdate>& serial, QString* takenBy = nullptr);

}  // namespace single
