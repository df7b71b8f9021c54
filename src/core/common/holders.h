#pragma once
// Who already holds employee numbers: for every column that stores one, how many rows carry
// each of the given numbers. All columns in one statement for a slice of the numbers (the
// per-column counts joined by UNION ALL), so that a list of a thousand numbers costs a few round
// trips; every statement within the limits below.
//
// The database decides which rows hold which number: the numbers asked about are a table of the
// statement (askedTable), the column is joined to it, and the rows come back grouped by the
// asked number's place. SQL Server takes "0013 " for "0013", "００１３" for "0013" and "A1" for
// "a1", and hands back an int column's 13 or a char(10) column's "0013      ": the tool never
// looks the texts it reads up among the numbers it asked about.
#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "host/host_tables.h"

namespace db {
class Database;
class Recordset;
}  // namespace db

namespace common {

// ---- How much one statement holds ----
// A statement built from a list that grows with the employees or the columns (the asked tables,
// the joined counts, the journal's IN lists, the apply's executions) is cut into statements of at
// most kLiteralsPerStatement constants (string and number literals: SQL Server refuses 65,535 and
// may give up well before, Msg 8623/8632) and kCharactersPerStatement characters (under 1 MB in
// SQL Server's UTF-16), whatever the numbers' lengths.
inline constexpr qsizetype kLiteralsPerStatement = 30000;
inline constexpr qsizetype kCharactersPerStatement = 480000;
// The constants of a statement: its string and number literals.
qsizetype literalsIn(const QString& statement);
// What a statement, or what one item adds to it, holds.
struct StatementSize {
  qsizetype literals = 0;
  qsizetype characters = 0;
};
// Consecutive slices [first, second) of count items, each of at most most items, whose statement
// (fixed, plus size(i) for each item i of the slice) stays within both limits. Every slice holds
// one item at least: an item too large on its own goes alone.
std::vector<std::pair<qsizetype, qsizetype>> slices(qsizetype count, StatementSize fixed,
                                                    const std::function<StatementSize(qsizetype item)>& size,
                                                    qsizetype most);
// How many of texts go to one execution (joined as change::groupedExecutions joins them, a
// separator of at most one character between two): at most most, and so many that any run of
// them stays within both limits (at least 1). The texts are of one form, the same statements with
// other quoted values (the renames of a batch, a row each): the first one's literals stand for all.
qsizetype textsPerExecution(const QStringList& texts, qsizetype most);

// The numbers asked about as a table of the statement, each with its place among them (from 0):
// "(SELECT 0 AS 序, '0013' AS 号 UNION ALL SELECT 1, '0020') AS 问" (a UNION ALL of SELECTs:
// SQL Server 2005 has no row constructors). The literals are quoted as the renumber statements
// quote theirs, so that the database compares them as it compares those.
QString askedTable(const QStringList& numbers);
// The place of a row's asked number (its 序), or -1 when the row names none of the size asked.
qsizetype askedPlace(const db::Recordset& row, qsizetype asked);
inline constexpr qsizetype kAskedPerStatement = 500;  // numbers of one asked table, at most
// What one number adds to an asked table: its literal and its place (at most 3 digits).
StatementSize askedSize(const QString& number);

// A read inside a change's transaction that keeps what it read until the change ends: the rows
// it found cannot change, and no row it did not find can come (a number asked about and not held
// stays free). The embedded engine's transactions hold its write lock from their start.
enum class Lock { None, Held };
// The table hint of such a read, after the table's name: " WITH (UPDLOCK, HOLDLOCK)" for Held,
// nothing for None.
inline QString tableHint(Lock lock) {
  return lock == Lock::Held ? QStringLiteral(" WITH (UPDLOCK, HOLDLOCK)") : QString();
}

// How many employees of the register hold each of the numbers, and the first of their names in
// the database's order of names: 序, 工号 (the number as asked), 人数 and 姓名, one row per number
// held.
QString registerHoldersSql(const QStringList& numbers, Lock lock = Lock::None);
struct RegisterHolders {
  qint64 employees = 0;  // 0: no employee holds the number
  QString firstName;
};
// For every number as given (in order), kAskedPerStatement numbers to a statement, fewer when they
// are long (slices). Throws db::DbError.
std::vector<RegisterHolders> registerHolders(db::Database& database, const QStringList& numbers,
                                             Lock lock = Lock::None);

struct Holding {
  QString number;  // one of the numbers asked for
  QString table;  // as the column list spells it
  QString column;
  qint64 rows = 0;  // rows of that column holding the number (never 0 in a result)
};

// The statement that counts, per number, the rows of one column holding any of the numbers.
// withCondition: only the rows that also meet the column's extra condition (the rows a renumber
// rewrites, e.g. 员工档案temp rows of the kind 档案信息修改).
QString holdersSql(const host::RefColumn& column, const QStringList& numbers, bool withCondition = false);

// Every (number, column) pair with rows, in the order of columns, then of numbers as given; one
// statement per column and slice of numbers. Throws db::DbError.
std::vector<Holding> holdings(db::Database& database, const std::vector<host::RefColumn>& columns,
                              const QStringList& numbers, bool withCondition = false);

// Numbers to a statement that names each number once per column (an IN list per column): its
// literals within kLiteralsPerStatement (at least 1).
inline qsizetype numbersPerStatement(std::size_t columns) {
  return columns == 0 ? kLiteralsPerStatement : std::max<qsizetype>(1, kLiteralsPerStatement / qsizetype(columns));
}

// A column of a joined count: counted among all its rows, or only among those that also meet its
// extra condition (the rows a renumber rewrites).
struct CountedColumn {
  host::RefColumn column;
  bool withCondition = false;
};

// The per-column counts joined by UNION ALL, each row naming its column by position as 列 (from
// first) and its number by place as 序, with its count as 行数: every column joined to its own copy
// of the asked table (one number: compared with it), so that the database compares each column
// under its own collation and type and the tool never reads a column's text. The columns without a condition by default.
QString holdersUnionSql(const std::vector<host::RefColumn>& columns, const QStringList& numbers);
QString holdersUnionSql(const std::vector<CountedColumn>& columns, const QStringList& numbers, qsizetype first = 0);

// The joined statements that count columns for numbers: all columns in one statement for a slice
// of at most most numbers (and at most kAskedPerStatement), cut by both limits; a number so long
// that all columns do not fit beside it once goes with fewer columns at a time. Each statement
// names the columns from firstColumn on and the numbers from firstNumber on.
struct JoinedStatement {
  qsizetype firstColumn = 0, columns = 0;
  qsizetype firstNumber = 0, numbers = 0;
};
std::vector<JoinedStatement> joinedStatements(const std::vector<CountedColumn>& columns, const QStringList& numbers,
                                              qsizetype most);
QString joinedSql(const std::vector<CountedColumn>& columns, const QStringList& numbers, const JoinedStatement& part);

// The rows of every column under every number: rows[k][i] for columns[k] and numbers[i] (each
// number asked as given: pass them once each), in the joinedStatements. step(done, total) is
// called before each statement with the numbers done so far of all (times the statements' groups
// of columns); it may throw to stop. Throws db::DbError.
std::vector<std::vector<qint64>> joinedCounts(db::Database& database, const std::vector<CountedColumn>& columns,
                                              const QStringList& numbers, qsizetype most,
                                              const std::function<void(int done, int total)>& step = {});

// The holdings of all columns in the joined statements: a thousand numbers cost a few round trips
// instead of one per column. numbersPerStatement caps a statement's numbers. withCondition: only
// the rows that meet their column's extra condition (the rows a renumber rewrites), else all rows.
// step as for joinedCounts.
std::vector<Holding> holdingsJoined(db::Database& database, const std::vector<host::RefColumn>& columns,
                                    const QStringList& numbers, qsizetype numbersPerStatement,
                                    bool withCondition = false,
                                    const std::function<void(int done, int total)>& step = {});

// The holdings of one number, "工资单明细 3行，考勤表详细 12行" (tables joined by "，").
QString holdingsText(const std::vector<Holding>& holdings, const QString& number);

}  // namespace common
