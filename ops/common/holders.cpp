#include "ops/common/holders.h"

#include <QSet>
#include <algorithm>

#include "db/database.h"

namespace ops {

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

// "SELECT ... FROM t INNER JOIN <asked> ON t.c = 问.号": the column on the left, so that the
// comparison takes the column's collation on both engines.
QString joined(const host::RefColumn& column, const QString& asked) {
  const QString t = column.tableName();
  return QStringLiteral(" FROM ") + t + QStringLiteral(" INNER JOIN ") + asked + QStringLiteral(" ON ") + t + u'.' +
         column.columnName() + QStringLiteral(" = 问.号");
}

}  // namespace

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

QString registerHoldersSql(const QStringList& numbers) {
  return QStringLiteral(
             "SELECT 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 人数, MIN(员工档案.姓名) AS 姓名 FROM 员工档案 "
             "INNER JOIN ") +
         askedTable(numbers) + QStringLiteral(" ON 员工档案.工号 = 问.号 GROUP BY 问.序, 问.号");
}

std::vector<RegisterHolders> registerHolders(db::Database& database, const QStringList& numbers) {
  std::vector<RegisterHolders> out(std::size_t(numbers.size()));
  for (qsizetype from = 0; from < numbers.size(); from += kSlice) {
    const QStringList slice = numbers.mid(from, kSlice);
    for (db::Recordset rs = database.open(registerHoldersSql(slice)); !rs.eof(); rs.moveNext())
      if (const qsizetype k = askedPlace(rs, slice.size()); k >= 0)
        out[std::size_t(from + k)] = {rs.field(QStringLiteral("人数")).toLongLong(), rs.text(QStringLiteral("姓名"))};
  }
  return out;
}

QString holdersSql(const host::RefColumn& column, const QStringList& numbers, bool withCondition) {
  return QStringLiteral("SELECT 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 行数") + joined(column, askedTable(numbers)) +
         (withCondition && !column.extraCondition().isEmpty() ? QStringLiteral(" WHERE 1=1") + column.extraCondition()
                                                              : QString()) +
         QStringLiteral(" GROUP BY 问.序, 问.号");
}

std::vector<Holding> holdings(db::Database& database, const std::vector<host::RefColumn>& columns,
                              const QStringList& numbers, bool withCondition) {
  std::vector<Holding> out;
  if (numbers.isEmpty()) return out;
  const QStringList distinct = distinctNumbers(numbers);
  for (const host::RefColumn& column : columns) {
    std::vector<qint64> counts(std::size_t(distinct.size()), 0);  // by the number's place
    for (qsizetype from = 0; from < distinct.size(); from += kSlice) {
      const QStringList slice = distinct.mid(from, kSlice);
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
  const QString asked = askedTable(numbers);
  QStringList parts;
  for (std::size_t k = 0; k < columns.size(); ++k)
    parts << QStringLiteral("SELECT ") + QString::number(k) +
                 QStringLiteral(" AS 列, 问.序 AS 序, 问.号 AS 工号, COUNT(*) AS 行数") + joined(columns[k], asked) +
                 QStringLiteral(" GROUP BY 问.序, 问.号");
  return parts.join(QStringLiteral(" UNION ALL "));
}

std::vector<Holding> holdingsJoined(db::Database& database, const std::vector<host::RefColumn>& columns,
                                    const QStringList& numbers, qsizetype numbersPerStatement,
                                    const std::function<void(int done, int total)>& step) {
  std::vector<Holding> out;
  if (numbers.isEmpty() || columns.empty()) return out;
  const QStringList distinct = distinctNumbers(numbers);
  const qsizetype slice = std::clamp<qsizetype>(numbersPerStatement, 1, kSlice);
  // counts[k][i]: rows of column k under number i.
  std::vector<std::vector<qint64>> counts(columns.size(), std::vector<qint64>(std::size_t(distinct.size()), 0));
  for (qsizetype from = 0; from < distinct.size(); from += slice) {
    if (step) step(int(from), int(distinct.size()));
    const QStringList part = distinct.mid(from, slice);
    db::Recordset rs = database.open(holdersUnionSql(columns, part));
    for (; !rs.eof(); rs.moveNext()) {
      const qsizetype k = rs.field(QStringLiteral("列")).toLongLong();
      const qsizetype i = askedPlace(rs, part.size());
      if (k < 0 || std::size_t(k) >= columns.size() || i < 0) continue;
      counts[std::size_t(k)][std::size_t(from + i)] += rs.field(QStringLiteral("行数")).toLongLong();
    }
  }
  for (std::size_t k = 0; k < columns.size(); ++k)
    for (qsizetype i = 0; i < distinct.size(); ++i)
      if (const qint64 rows = counts[k][std::size_t(i)]; rows > 0)
        out.push_back({distinct[i], columns[k].tableName(), columns[k].columnName(), rows});
  return out;
}

QString holdingsText(const std::vector<Holding>& holdings, const QString& number) {
  QStringList parts;
  for (const Holding& h : holdings)
    if (h.number == number) parts << h.table + QStringLiteral(" ") + QString::number(h.rows) + QStringLiteral("行");
  return parts.join(QStringLiteral("，"));
}

}  // namespace ops
