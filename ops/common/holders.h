#pragma once
// Who already holds employee numbers: for every column that stores one, how many rows carry
// each of the given numbers. One query per column for all numbers together (in slices of at
// most 500 numbers), so a list of a thousand numbers costs one round trip per column.
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
#include <vector>

#include "host/host_tables.h"

namespace db {
class Database;
class Recordset;
}  // namespace db

namespace ops {

// The numbers asked about as a table of the statement, each with its place among them (from 0):
// "(SELECT 0 AS 序, '0013' AS 号 UNION ALL SELECT 1, '0020') AS 问" (a UNION ALL of SELECTs:
// SQL Server 2005 has no row constructors). The literals are quoted as the renumber statements
// quote theirs, so that the database compares them as it compares those.
QString askedTable(const QStringList& numbers);
// The place of a row's asked number (its 序), or -1 when the row names none of the size asked.
qsizetype askedPlace(const db::Recordset& row, qsizetype asked);
inline constexpr qsizetype kAskedPerStatement = 500;  // numbers of one asked table

// How many employees of the register hold each of the numbers, and the first of their names in
// the database's order of names: 序, 工号 (the number as asked), 人数 and 姓名, one row per number
// held.
QString registerHoldersSql(const QStringList& numbers);
struct RegisterHolders {
  qint64 employees = 0;  // 0: no employee holds the number
  QString firstName;
};
// For every number as given (in order), kAskedPerStatement numbers to a statement. Throws db::DbError.
std::vector<RegisterHolders> registerHolders(db::Database& database, const QStringList& numbers);

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

// Every (number, column) pair with rows, in the order of columns, then of numbers as given.
// Throws db::DbError.
std::vector<Holding> holdings(db::Database& database, const std::vector<host::RefColumn>& columns,
                              const QStringList& numbers, bool withCondition = false);

// A statement listing every column with the numbers holds about kLiteralsPerStatement literals:
// numbersPerStatement(columns) numbers to a statement (at least 1).
inline constexpr qsizetype kLiteralsPerStatement = 20000;
inline qsizetype numbersPerStatement(std::size_t columns) {
  return columns == 0 ? kLiteralsPerStatement : std::max<qsizetype>(1, kLiteralsPerStatement / qsizetype(columns));
}

// The same holdings, all columns in one statement (the per-column counts joined by UNION ALL,
// each row naming its column by position as 列 and its number by place as 序), numbersPerStatement numbers at a time: a
// thousand numbers cost a few round trips instead of one per column. step(done, total) is
// called before each statement with the numbers done so far (it may throw to stop).
QString holdersUnionSql(const std::vector<host::RefColumn>& columns, const QStringList& numbers);
std::vector<Holding> holdingsJoined(db::Database& database, const std::vector<host::RefColumn>& columns,
                                    const QStringList& numbers, qsizetype numbersPerStatement,
                                    const std::function<void(int done, int total)>& step = {});

// The holdings of one number, "工资单明细 3行，考勤表详细 12行" (tables joined by "，").
QString holdingsText(const std::vector<Holding>& holdings, const QString& number);

}  // namespace ops
