#pragma once
// Batch renumbering without a window: the statements of the batch window, the proposal of new
// numbers, and the checks of a work list (manual check, automatic resolution).
//
// Rows of a work list are indexed from 0 here; grid row = index + 1.
#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "host/host_tables.h"
#include "core/preview/column_widths.h"
#include "core/common/holders.h"

namespace batch {

// ---- Statements ---------------------------------------------------------------------------

// Employees of every category that carries categoryCode, with position and department, in
// number order (length first, then text). Every row also carries the counts of leftOutCountsSql
// (未列人数, 岗位不存在人数, 部门不存在人数), so that one query lists the rule and says how many
// it leaves out.
QString listingSql(const QString& categoryCode);
// Employees of those categories without a position (never listed): their number, as 人数.
QString unlistedCountSql(const QString& categoryCode);
// Employees of those categories whose position code is not in 岗位信息new (never listed), as 人数.
QString unknownPositionCountSql(const QString& categoryCode);
// Employees of those categories whose position is in 岗位信息new but whose position's department
// is not in 职能部门new (never listed), as 人数.
QString unknownDepartmentCountSql(const QString& categoryCode);
// The three counts of employees the listing leaves out, in one row: 未列人数, 岗位不存在人数 and
// 部门不存在人数.
QString leftOutCountsSql(const QString& categoryCode);
// The register lookup of a number: employees holding it.
QString registerLookupSql(const QString& number);
// The register lookup of many numbers at once: employees holding any of them.
QString registerSetSql(const QStringList& numbers);
// How many employees of the register hold a number, as 人数.
QString registerCountSql(const QString& number);
// Number of employees without a position (the ones the staging script renumbers).
QString noPositionCountSql();
// The numbers of the employees without a position (the ones the staging script renumbers).
QString noPositionNumbersSql();
// Their numbers and names (工号, 姓名).
QString noPositionEmployeesSql();

// The statements renaming oldNo to newNo: the 66 of the apply list (the register first), then
// one for each further column that stores an employee number (host::missingFrom with the columns
// the administrator added), so that no record stays under the old number.
QStringList applyStatements(const QString& oldNo, const QString& newNo, const std::vector<host::RefColumn>& added);
// The same joined into one text, as sent in one execution.
QString applyBatch(const QString& oldNo, const QString& newNo, const std::vector<host::RefColumn>& added);

// The checks of the staging before it sends anything (set queries, all employees at once):
// employees without a position whose "9" number an employee with a position holds in the register
// (原工号, the holder's ID as 编号, 新工号, 姓名), in the order of the old numbers;
QString stagingCollisionsSql(common::Lock lock = common::Lock::None);
// and the rows of every other column that stores an employee number (columns, as given) under a
// "9" number that is no staged employee's own number (those rows move on themselves): 列 (the
// column's place in columns), 工号 (the "9" number as the register spells it) and 行数 per number
// held, all columns in one statement. Inside the staging's transaction both are read with
// common::Lock::Held.
QString stagingHeldSql(const std::vector<host::RefColumn>& columns, common::Lock lock = common::Lock::None);

// The statements of the staging script, each with its own terminator, line breaks and "go" line
// (the last one has none): the first 86 of the staging list, then one for each further column
// that stores an employee number (the added ones included), then the register's. Every statement
// reads the old numbers from the register, so the register's own statement stays last.
QStringList stagingStatements(const std::vector<host::RefColumn>& added);
// The whole staging script (the statements joined with nothing between them).
QString stagingScript(const std::vector<host::RefColumn>& added);

// ---- Proposal -----------------------------------------------------------------------------

// The prefix is the chosen rule's whole category code.
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
// Row whose new number holds a character no number holds (1-based grid row, the character named):
// "第2行新工号不能含有“%”：只能由字母和数字组成".
QString refusedMessage(int gridRow, const QString& refused);
// Question before staging, and its report when done.
QString stagingQuestion(qint64 count);
QString stagedMessage(qint64 count);
// The staging refused because the rows under the "9" numbers changed after its merge question.
QString stagingChangedMessage();
inline const char16_t* kNoStaging = u"没有无岗位员工";
inline const char16_t* kApplyDone = u"修改完成";
// A passed check over rowCount rows, repaired of them replaced automatically.
QString passedMessage(qint64 rowCount, qint64 repaired);
// The listing left out employees of the rule without a position.
QString unlistedMessage(qint64 count);
// The listing left out employees of the rule whose position code is not in 岗位信息new, and those
// whose position's department is not in 职能部门new.
QString unknownPositionMessage(qint64 count);
QString unknownDepartmentMessage(qint64 count);
// A row's old number no longer held by exactly one employee when the apply reached it.
QString staleMessage(int gridRow, const QString& oldNo);
// An employee the host system gave a row's new number after the numbers were checked.
QString takenMeanwhileMessage(int gridRow, const QString& newNo, const QString& holder);
// The apply refused because the rows of other tables under the new numbers changed after its question.
QString heldChangedMessage();

// A new number that rows of other tables already hold, with those tables ("工资单明细 3行，...").
struct HeldNumber {
  QString number;
  QString tables;
  bool operator==(const HeldNumber&) const = default;
};
// The question before an apply that would merge such rows into the renumbered employees: one
// line per number (the first on the heading's line), bounded as every long list (text::listedText).
QString heldQuestion(const std::vector<HeldNumber>& held);

// An employee without a position whose "9" number other employees of the register hold.
struct StagingCollision {
  QString oldNo, newNo;
  QStringList holders;  // their names, in the order read
  bool operator==(const StagingCollision&) const = default;
};
// The staging refused for such numbers: one line per number (the first on the heading's line),
// bounded as every long list (text::listedText).
QString collisionMessage(const std::vector<StagingCollision>& collisions);
// An employee without a position whose number a column the staging rewrites cannot hold with
// the "9" in front.
struct StagingTooLong {
  QString oldNo, name;
  preview::TooLong tooLong;  // its number is the "9" number
  bool operator==(const StagingTooLong&) const = default;
};
// The staging refused for such employees: one line per employee ("张三（0013）：" and
// preview::tooLongText), the first on the heading's line, bounded as every long list (text::listedText).
QString stagingTooLongMessage(const std::vector<StagingTooLong>& tooLong);

// ---- Checks -------------------------------------------------------------------------------

struct Row {
  QString oldNo;  // current number (grid column 1)
  QString newNo;  // proposed number (grid column 2)
};
using Rows = std::vector<Row>;
// The new numbers of the rows that change, in row order, each once: the numbers the merge
// question asks about.
QStringList changedNewNumbers(const Rows& rows);

// Who holds a number in the register: the first holder's name, or nothing when it is free.
// The register does not change while a check runs.
using RegisterLookup = std::function<std::optional<QString>(const QString& number)>;

enum class Status { Passed, Empty, Duplicate, Refused, Taken };

struct Outcome {
  Status status = Status::Passed;
  int row = -1;  // Empty/Duplicate/Refused/Taken: the row where the check stopped
  QString refused;  // Refused: the character no number holds, named (common::refusedCharacter)
  int otherRow = -1;  // Duplicate (manual check): the later row with the same number
  QString holderName;  // Taken (manual check): the register's name for the number
  std::vector<int> repairs;  // automatic resolution: rows whose number was replaced, in order

  bool operator==(const Outcome&) const = default;
};

// How a row is coloured after a check.
enum class Mark { None, Duplicate, Taken };
// Duplicate rows (both of them) and repaired rows take the duplicate colour; a row whose number
// is taken in the register, empty or holding a character no number holds, takes the taken colour.
std::vector<Mark> marks(std::size_t rowCount, const Outcome& outcome);

// The numeric value of a number's leading digits (0 when it starts with no digit); saturates
// at 18 nines, far above any employee number.
qint64 leadingValue(const QString& number);

// Two numbers are twins when the database treats them as equal (common::numberKey: "0013" and
// "0013 ", "a1" and "A1", "００１３" and "0013").
// Manual check: stops at the first row that is empty, has a twin further down, changes to a number
// with a character that is neither a letter nor a digit (a blank, a quote, %: common::refusedCharacter),
// or carries a changed number that the register holds. Rows are checked in order.
Outcome manualCheck(const Rows& rows, const RegisterLookup& lookup);
// The first row the apply must not rename when it reaches it (the renames of the rows before it
// done): its old number is not held exactly once in the register (stale), or an employee holds its
// changed new number (taken: two employees would share it). counts: the register's count of the
// rows' numbers by common::numberKey. row -1: every row may be renamed.
struct RefusedRow {
  int row = -1;
  bool taken = false;
};
RefusedRow firstRefusedRow(QHash<QString, qint64> counts, const Rows& rows);

// Automatic resolution, fast: a twin's later row, or a changed number held in the register, is
// moved up to the next number that no row (by numeric value) and no register entry holds.
// Rewrites rows[].newNo. Stops with Status::Empty at an empty number, with Status::Refused at a
// changed number with a character no number holds that no repair replaced.
// One register lookup per distinct number; an index of the list's numbers kept current as rows
// are repaired; scanning resumes where it stopped (rows before it cannot go bad by a repair).
Outcome autoResolve(Rows& rows, const RegisterLookup& lookup);

// The columns the apply rewrites, in the order of applyStatements: the apply list, then
// host::missingFrom of it (the administrator's added columns, marked as added).
std::vector<preview::Column> applyColumns(const std::vector<host::RefColumn>& added);

}  // namespace batch
