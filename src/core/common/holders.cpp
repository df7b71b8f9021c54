#include "core/common/holders.h"

#include <QSet>
#include <algorithm>

#include "db/database.h"
#include "db/tsql_tokens.h"

namespace common {

namespace {

constexpr qsizetype kSlice = kAskedPerStatement;  // numbers per statement

// The numbers once each, exactly as given (two spellings the database takes for one number are
// both asked: each gets the rows the database finds for it).
QStringList distinctNumbers(const QStringList& numbers) {
  QStringList distinct;
  QSet<QString> seen;  // a thousand numbers: no search through the list for each
  for (const QString& n : numbers)
    if (!seen.contains(n)) {
      seen.insert(n);
      distinct << n;
    }
  return distinct;
}

// The count of the rows of a table whose column holds each asked number, as rows 序 (the number's
// place), 工号 (the number as asked) and the aggregates, one row per number held; leading is put
// before 序 (a column's place). Many numbers: "FROM t INNER JOIN <asked> ON t.c = 问.号", the column
// on the left, so that the comparison takes the column's collation and type on both engines. One
// number: "FROM t WHERE t.c = 'n'", the same comparison, which an engine looks up in the column's
// index as a constant (about three times faster on the embedded engine than through a joined
// table of one row). condition: " AND ..." the rows must also meet.
QString askedCount(const QString& leading, const QString& aggregates, const QString& table, const QString& hint,
                   const QString& column, const QStringList& numbers, const QString& condition) {
  const QString joinedForm = QStringLiteral("SELECT ") + leading + QStringLiteral("问.序 AS 序, 问.号 AS 工号, ") +
                             aggregates + QStringLiteral(" FROM ") + table + hint + QStringLiteral(" INNER JOIN ") +
                             askedTable(numbers) + QStringLiteral(" ON ") + table + u'.' + column +
                             QStringLiteral(" = 问.号") +
                             (condition.isEmpty() ? QString() : QStringLiteral(" WHERE 1=1") + condition) +
                             QStringLiteral(" GROUP BY 问.序, 问.号");
  if (numbers.size() != 1) return joinedForm;
  const QString literal = db::sqlQuote(numbers[0]);
  const QString constantForm = QStringLiteral("SELECT ") + leading + QStringLiteral("0 AS 序, ") + literal +
                               QStringLiteral(" AS 工号, ") + aggregates + QStringLiteral(" FROM ") + table + hint +
                               QStringLiteral(" WHERE ") + table + u'.' + column + QStringLiteral(" = ") + literal +
                               condition + QStringLiteral(" HAVING COUNT(*) > 0");
  // It names the number twice: a very long one stays in the joined form, whose size the
  // statements' slices are measured by.
  return constantForm.size() <= joinedForm.size() ? constantForm : joinedForm;
}

QString columnCount(const QString& leading, const host::RefColumn& column, const QStringList& numbers,
                    bool withCondition) {
  return askedCount(leading, QStringLiteral("COUNT(*) AS 行数"), column.tableSql(), QString(), column.columnSql(),
                    numbers, withCondition ? column.extraCondition() : QString());
}

// What the longest of the numbers adds to an asked table.
StatementSize longestAsked(const QStringList& numbers) {
  StatementSize most;
  for (const QString& n : numbers) most.characters = std::max(most.characters, askedSize(n).characters);
  most.literals = numbers.isEmpty() ? 0 : 2;
  return most;
}

// The slices of numbers for statements of `copies` asked tables over a fixed text.
std::vector<std::pair<qsizetype, qsizetype>> askedSlices(const QStringList& numbers, qsizetype copies,
                                                         StatementSize fixed, qsizetype most) {
  return slices(
      numbers.size(), fixed,
      [&](qsizetype i) {
        const StatementSize one = askedSize(numbers[i]);
        return StatementSize{one.literals * copies, one.characters * copies};
      },
      std::min(most, kAskedPerStatement));
}

StatementSize sizeOf(const QString& statement) { return {literalsIn(statement), statement.size()}; }

}  // namespace

qsizetype literalsIn(const QString& statement) {
  qsizetype n = 0;
  for (const db::tsql::Token& t : db::tsql::tokenize(statement, false))
    if (t.kind == db::tsql::Kind::String || t.kind == db::tsql::Kind::Number) ++n;
  return n;
}

std::vector<std::pair<qsizetype, qsizetype>> slices(qsizetype count, StatementSize fixed,
                                                    const std::function<StatementSize(qsizetype item)>& size,
                                                    qsizetype most) {
  std::vector<std::pair<qsizetype, qsizetype>> out;
  most = std::max<qsizetype>(1, most);
  StatementSize held = fixed;
  qsizetype from = 0;
  for (qsizetype i = 0; i < count; ++i) {
    const StatementSize s = size(i);
    if (i > from && (i - from == most || held.literals + s.literals > kLiteralsPerStatement ||
                     held.characters + s.characters > kCharactersPerStatement)) {
      out.emplace_back(from, i);
      from = i;
      held = fixed;
    }
    held.literals += s.literals;
    held.characters += s.characters;
  }
  if (from < count) out.emplace_back(from, count);
  return out;
}

qsizetype textsPerExecution(const QStringList& texts, qsizetype most) {
  // An execution is never larger than its count of the largest text; the texts are of one form,
  // so the first one's literals stand for each (tokenizing them all would cost seconds).
  StatementSize largest{texts.isEmpty() ? 0 : literalsIn(texts.first()), 0};
  for (const QString& t : texts) largest.characters = std::max(largest.characters, t.size() + 1);
  qsizetype n = std::max<qsizetype>(1, most);
  if (largest.characters > 0) n = std::min(n, kCharactersPerStatement / largest.characters);
  if (largest.literals > 0) n = std::min(n, kLiteralsPerStatement / largest.literals);
  return std::max<qsizetype>(1, n);
}

StatementSize askedSize(const QString& number) {
  // " UNION ALL SELECT 499, " before the literal; the first row's "SELECT 0 AS 序, " and " AS 号" are shorter.
  return {2, db::sqlQuote(number).size() + 23};
}

QString askedTable(const QStringList& numbers) {
  QString s = QStringLiteral("(");
  for (qsizetype i = 0; i < numbers.size(); ++i) {
    if (i > 0) s += QStringLiteral(" UNION ALL ");
    s += QStringLiteral("SELECT ") + QString::number(i) +
         (i == 0 ? QStringLiteral(" AS 序, ") + db::sqlQuote(numbers[i]) + QStringLiteral(" AS 号")
                 : QStringLiteral(", ") + db::sqlQuote(numbers[i]));
  }
  return s + QStringLiteral(") AS 问");
}

qsizetype askedPlace(const db::Recordset& row, qsizetype asked) {
  bool ok = false;
  const qsizetype place = row.field(QStringLiteral("序")).toLongLong(&ok);
  return ok && place >= 0 && place < asked ? place : -1;
}

QString registerHoldersSql(const QStringList& numbers, Lock lock) {
  return askedCount(QString(), QStringLiteral("COUNT(*) AS 人数, MIN(员工档案.姓名) AS 姓名"),
                    QStringLiteral("员工档案"), tableHint(lock), QStringLiteral("工号"), numbers, QString());
}

std::vector<RegisterHolders> registerHolders(db::Database& database, const QStringList& numbers, Lock lock) {
  std::vector<RegisterHolders> out(std::size_t(numbers.size()));
  for (const auto& [from, to] : askedSlices(numbers, 1, sizeOf(registerHoldersSql({}, lock)), kSlice)) {
    const QStringList slice = numbers.mid(from, to - from);
    for (db::Recordset rs = database.open(registerHoldersSql(slice, lock)); !rs.eof(); rs.moveNext())
      if (const qsizetype k = askedPlace(rs, slice.size()); k >= 0)
        out[std::size_t(from + k)] = {rs.field(QStringLiteral("人数")).toLongLong(), rs.text(QStringLiteral("姓名"))};
  }
  return out;
}

QString holdersSql(const host::RefColumn& column, const QStringList& numbers, bool withCondition) {
  return columnCount(QString(), column, numbers, withCondition);
}

std::vector<Holding> holdings(db::Database& database, const std::vector<host::RefColumn>& columns,
                              const QStringList& numbers, bool withCondition) {
  std::vector<Holding> out;
  if (numbers.isEmpty()) return out;
  const QStringList distinct = distinctNumbers(numbers);
  for (const host::RefColumn& column : columns) {
    std::vector<qint64> counts(std::size_t(distinct.size()), 0);  // by the number's place
    for (const auto& [from, to] : askedSlices(distinct, 1, sizeOf(holdersSql(column, {}, withCondition)), kSlice)) {
      const QStringList slice = distinct.mid(from, to - from);
      db::Recordset rs = database.open(holdersSql(column, slice, withCondition));
      for (; !rs.eof(); rs.moveNext())
        if (const qsizetype k = askedPlace(rs, slice.size()); k >= 0)
          counts[std::size_t(from + k)] += rs.field(QStringLiteral("行数")).toLongLong();
    }
    for (qsizetype i = 0; i < distinct.size(); ++i)
      if (const qint64 rows = counts[std::size_t(i)]; rows > 0)
        out.push_back({distinct[i], column.tableName(), column.columnName(), rows});
  }
  return out;
}

QString holdersUnionSql(const std::vector<host::RefColumn>& columns, const QStringList& numbers) {
  std::vector<CountedColumn> all;
  all.reserve(columns.size());
  for (const host::RefColumn& c : columns) all.push_back({c, false});
  return holdersUnionSql(all, numbers);
}

QString holdersUnionSql(const std::vector<CountedColumn>& columns, const QStringList& numbers, qsizetype first) {
  QStringList parts;
  for (std::size_t k = 0; k < columns.size(); ++k)
    parts << columnCount(QString::number(first + qsizetype(k)) + QStringLiteral(" AS 列, "), columns[k].column, numbers,
                         columns[k].withCondition);
  return parts.join(QStringLiteral(" UNION ALL "));
}

std::vector<JoinedStatement> joinedStatements(const std::vector<CountedColumn>& columns, const QStringList& numbers,
                                              qsizetype most) {
  std::vector<JoinedStatement> out;
  if (columns.empty() || numbers.isEmpty()) return out;
  // The columns in groups that hold the longest number once (all of them, unless it is very long),
  // then each group's numbers in slices.
  const StatementSize longest = longestAsked(numbers);
  std::vector<std::pair<qsizetype, StatementSize>> groups;  // first column, fixed size
  for (qsizetype k = 0; k < qsizetype(columns.size()); ++k) {
    StatementSize one = sizeOf(holdersUnionSql({columns[std::size_t(k)]}, {}, k));
    one.characters += 11;  // " UNION ALL "
    const bool fits =
        !groups.empty() &&
        groups.back().second.literals + one.literals + longest.literals * (k - groups.back().first + 1) <=
            kLiteralsPerStatement &&
        groups.back().second.characters + one.characters + longest.characters * (k - groups.back().first + 1) <=
            kCharactersPerStatement;
    if (!fits)
      groups.push_back({k, one});
    else {
      groups.back().second.literals += one.literals;
      groups.back().second.characters += one.characters;
    }
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    const qsizetype first = groups[g].first;
    const qsizetype end = g + 1 < groups.size() ? groups[g + 1].first : qsizetype(columns.size());
    for (const auto& [from, to] : askedSlices(numbers, end - first, groups[g].second, most))
      out.push_back({first, end - first, from, to - from});
  }
  return out;
}

QString joinedSql(const std::vector<CountedColumn>& columns, const QStringList& numbers, const JoinedStatement& part) {
  const auto begin = columns.begin() + part.firstColumn;
  return holdersUnionSql(std::vector<CountedColumn>(begin, begin + part.columns),
                         numbers.mid(part.firstNumber, part.numbers), part.firstColumn);
}

std::vector<std::vector<qint64>> joinedCounts(db::Database& database, const std::vector<CountedColumn>& columns,
                                              const QStringList& numbers, qsizetype most,
                                              const std::function<void(int done, int total)>& step) {
  // rows[k][i]: rows of column k under number i.
  std::vector<std::vector<qint64>> rows(columns.size(), std::vector<qint64>(std::size_t(numbers.size()), 0));
  const std::vector<JoinedStatement> statements = joinedStatements(columns, numbers, most);
  const auto groups =
      std::count_if(statements.begin(), statements.end(), [](const JoinedStatement& s) { return s.firstNumber == 0; });
  const int total = int(numbers.size() * qsizetype(groups));
  int done = 0;
  for (const JoinedStatement& part : statements) {
    if (step) step(done, total);
    db::Recordset rs = database.open(joinedSql(columns, numbers, part));
    for (; !rs.eof(); rs.moveNext()) {
      const qsizetype k = rs.field(QStringLiteral("列")).toLongLong();
      const qsizetype i = askedPlace(rs, part.numbers);
      if (k < part.firstColumn || k >= part.firstColumn + part.columns || i < 0) continue;
      rows[std::size_t(k)][std::size_t(part.firstNumber + i)] += rs.field(QStringLiteral("行数")).toLongLong();
    }
    done += int(part.numbers);
  }
  return rows;
}

std::vector<Holding> holdingsJoined(db::Database& database, const std::vector<host::RefColumn>& columns,
                                    const QStringList& numbers, qsizetype numbersPerStatement, bool withCondition,
                                    const std::function<void(int done, int total)>& step) {
  std::vector<Holding> out;
  if (numbers.isEmpty() || columns.empty()) return out;
  const QStringList distinct = distinctNumbers(numbers);
  std::vector<CountedColumn> all;
  all.reserve(columns.size());
  for (const host::RefColumn& c : columns) all.push_back({c, withCondition});
  const std::vector<std::vector<qint64>> rows = joinedCounts(database, all, distinct, numbersPerStatement, step);
  for (std::size_t k = 0; k < columns.size(); ++k)
    for (qsizetype i = 0; i < distinct.size(); ++i)
      if (const qint64 n = rows[k][std::size_t(i)]; n > 0)
        out.push_back({distinct[i], columns[k].tableName(), columns[k].columnName(), n});
  return out;
}

QString holdingsText(const std::vector<Holding>& holdings, const QString& number) {
  QStringList parts;
  for (const Holding& h : holdings)
    if (h.number == number) parts << h.table + QStringLiteral(" ") + QString::number(h.rows) + QStringLiteral("行");
  return parts.join(QStringLiteral("，"));
}

}  // namespace common
