#pragma once
// Batch renumbering without a window: the statements of the batch window, the proposal of new
// numbers, and the checks of a work list (manual check, automatic resolution).
//
// Rows of a work list are indexed from 0 here; grid row = index + 1.
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

namespace batch {

// ---- Rule entries of the rule combo ("类别码 名称") --------------------------------------------

// The number prefix: the first character of the entry.
QString numberPrefix(const QString& entry);

// ---- Statements ---------------------------------------------------------------------------

// The rules of the combo, in code order.
QString ruleListSql();
// Employees of every category that carries categoryCode, with position and department, in
// number order (length first, then text).
QString listingSql(const QString& categoryCode);
// The register lookup of a number: employees holding it.
QString registerLookupSql(const QString& number);
// Number of employees without a position (the ones the staging script renumbers).
QString noPositionCountSql();

// The 66 statements renaming oldNo to newNo in the register and every reference column.
QStringList applyStatements(const QString& oldNo, const QString& newNo);
// The same joined into one text, as sent in one execution.
QString applyBatch(const QString& oldNo, const QString& newNo);

// The 87 statements of the staging script, each with its own terminator, line breaks and "go"
// line (the last one has none).
QStringList stagingStatements();
// The whole staging script (the statements joined with nothing between them).
QString stagingScript();

// ---- Proposal -----------------------------------------------------------------------------

// prefix + the old number zero-filled to four digits when it is a digit string shorter than
// five characters; prefix + its last four characters when it has five or more. Any other
// short text (empty, letters) follows the prefix as it is.
QString proposal(const QString& prefix, const QString& oldNo);

// ---- Messages of the checks ----------------------------------------------------------------

// Duplicate within the list: names the later row (1-based grid row) with its department,
// position and name.
QString duplicateMessage(int gridRow, const QString& department, const QString& position, const QString& name);
// The number already belongs to an employee of the register.
QString takenMessage(const QString& holderName);
// Row without a new number (1-based grid row).
QString emptyMessage(int gridRow);
// Question before staging.
QString stagingQuestion(qint64 count);
inline const char16_t* kNoStaging = u"没有无岗位员工";
inline const char16_t* kApplyDone = u"修改完成";

// ---- Checks -------------------------------------------------------------------------------

struct Row {
  QString oldNo;  // current number (grid column 1)
  QString newNo;  // proposed number (grid column 2)
};
using Rows = std::vector<Row>;

// Who holds a number in the register: the first holder's name, or nothing when it is free.
// The register does not change while a check runs.
using RegisterLookup = std::function<std::optional<QString>(const QString& number)>;

enum class Status { Passed, Empty, Duplicate, Taken };

struct Outcome {
  Status status = Status::Passed;
  int row = -1;  // Empty/Duplicate/Taken: the row where the check stopped
  int otherRow = -1;  // Duplicate (manual check): the later row with the same number
  QString holderName;  // Taken (manual check): the register's name for the number
  std::vector<int> repairs;  // automatic resolution: rows whose number was replaced, in order

  bool operator==(const Outcome&) const = default;
};

// How a row is coloured after a check.
enum class Mark { None, Duplicate, Taken };
// Duplicate rows (both of them) and repaired rows take the duplicate colour; a row whose number
// is taken in the register, or empty, takes the taken colour.
std::vector<Mark> marks(std::size_t rowCount, const Outcome& outcome);

// The numeric value of a number's leading digits (0 when it starts with no digit); saturates
// at 18 nines, far above any employee number.
qint64 leadingValue(const QString& number);

// Manual check: stops at the first row that is empty, has a twin further down, or carries a
// changed number that the register holds. Rows are checked in order.
Outcome manualCheck(const Rows& rows, const RegisterLookup& lookup);

// Automatic resolution, fast: a twin's later row, or a changed number held in the register, is
// moved up to the next number that no row (by numeric value) and no register entry holds.
// Rewrites rows[].newNo. Stops with Status::Empty at an empty number.
// One register lookup per distinct number; an index of the list's numbers kept current as rows
// are repaired; scanning resumes where it stopped (rows before it cannot go bad by a repair).
Outcome autoResolve(Rows& rows, const RegisterLookup& lookup);

// The building blocks of the check as the window's procedures define them, one row or one
// candidate at a time, and the automatic resolution made of them: every repair restarts the pass
// from the first row, every changed row is looked up again on every pass. Same outcome as
// autoResolve, at the cost of k*n lookups and k*n*n comparisons; kept as the reference.
namespace literal {
// The first row other than row whose new number equals number (exact text), or -1.
int firstTwin(const Rows& rows, const QString& number, int row);
// True when no row's new number has the candidate's numeric value and the register does not
// hold the candidate in plain decimal.
bool candidateFree(const Rows& rows, qint64 candidate, const std::function<bool(const QString&)>& taken);
// The next free number above the number's leading digits, in plain decimal.
QString nextFree(const Rows& rows, const QString& number, const std::function<bool(const QString&)>& taken);
Outcome autoResolve(Rows& rows, const RegisterLookup& lookup);
}  // namespace literal

}  // namespace batch
