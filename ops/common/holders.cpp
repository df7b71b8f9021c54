#include "ops/common/holders.h"

#include <QHash>
#include <QSet>
#include <algorithm>

#include "db/database.h"

namespace ops {

namespace {
constexpr qsizetype kSlice = 500;  // numbers per statement
}

QString holdersSql(const host::RefColumn& column, const QStringList& numbers, bool withCondition) {
  QStringList quoted;
  quoted.reserve(numbers.size());
  for (const QString& n : numbers) quoted << db::sqlQuote(n);
  const QString c = column.columnName();
  return QStringLiteral("SELECT ") + c + QStringLiteral(" AS 工号, COUNT(*) AS 行数 FROM ") + column.tableName() +
         QStringLiteral(" WHERE ") + c + QStringLiteral(" IN (") + quoted.join(QStringLiteral(", ")) +
         QStringLiteral(")") + (withCondition ? column.extraCondition() : QString()) + QStringLiteral(" GROUP BY ") + c;
}

std::vector<Holding> holdings(db::Database& database, const std::vector<host::RefColumn>& columns,
                              const QStringList& numbers, bool withCondition) {
  std::vector<Holding> out;
  if (numbers.isEmpty()) return out;
  QStringList distinct;
  QSet<QString> seen;  // a thousand numbers: no search through the list for each
  for (const QString& n : numbers)
    if (!seen.contains(n)) {
      seen.insert(n);
      distinct << n;
    }
  for (const host::RefColumn& column : columns) {
    QHash<QString, qint64> counts;  // by the number's case-folded text: the database compares so
    for (qsizetype from = 0; from < distinct.size(); from += kSlice) {
      db::Recordset rs = database.open(holdersSql(column, distinct.mid(from, kSlice), withCondition));
      for (; !rs.eof(); rs.moveNext())
        counts[rs.text(QStringLiteral("工号")).toCaseFolded()] += rs.field(QStringLiteral("行数")).toLongLong();
    }
    for (const QString& n : distinct)
      if (const qint64 rows = counts.value(n.toCaseFolded()); rows > 0)
        out.push_back({n, column.tableName(), column.columnName(), rows});
  }
  return out;
}

QString holdersUnionSql(const std::vector<host::RefColumn>& columns, const QStringList& numbers) {
  QStringList quoted;
  quoted.reserve(numbers.size());
  for (const QString& n : numbers) quoted << db::sqlQuote(n);
  const QString in = quoted.join(QStringLiteral(", "));
  QStringList parts;
  for (std::size_t k = 0; k < columns.size(); ++k) {
    const QString c = columns[k].columnName();
    parts << QStringLiteral("SELECT ") + QString::number(k) + QStringLiteral(" AS 列, ") + c +
                 QStringLiteral(" AS 工号, COUNT(*) AS 行数 FROM ") + columns[k].tableName() +
                 QStringLiteral(" WHERE ") + c + QStringLiteral(" IN (") + in + QStringLiteral(") GROUP BY ") + c;
  }
  return parts.join(QStringLiteral(" UNION ALL "));
}

std::vector<Holding> holdingsJoined(db::Database& database, const std::vector<host::RefColumn>& columns,
                                    const QStringList& numbers, qsizetype numbersPerStatement,
                                    const std::function<void(int done, int total)>& step) {
  std::vector<Holding> out;
  if (numbers.isEmpty() || columns.empty()) return out;
  QStringList distinct;
  QSet<QString> seen;
  for (const QString& n : numbers)
    if (!seen.contains(n)) {
      seen.insert(n);
      distinct << n;
    }
  const qsizetype slice = std::clamp<qsizetype>(numbersPerStatement, 1, kSlice);
  std::vector<QHash<QString, qint64>> counts(columns.size());  // by the case-folded number, as holdings()
  for (qsizetype from = 0; from < distinct.size(); from += slice) {
    if (step) step(int(from), int(distinct.size()));
    db::Recordset rs = database.open(holdersUnionSql(columns, distinct.mid(from, slice)));
    for (; !rs.eof(); rs.moveNext()) {
      const qsizetype k = rs.field(QStringLiteral("列")).toLongLong();
      if (k < 0 || std::size_t(k) >= columns.size()) continue;
      counts[std::size_t(k)][rs.text(QStringLiteral("工号")).toCaseFolded()] +=
          rs.field(QStringLiteral("行数")).toLongLong();
    }
  }
  for (std::size_t k = 0; k < columns.size(); ++k)
    for (const QString& n : distinct)
      if (const qint64 rows = counts[k].value(n.toCaseFolded()); rows > 0)
        out.push_back({n, columns[k].tableName(), columns[k].columnName(), rows});
  return out;
}

QString holdingsText(const std::vector<Holding>& holdings, const QString& number) {
  QStringList parts;
  for (const Holding& h : holdings)
    if (h.number == number) parts << h.table + QStringLiteral(" ") + QString::number(h.rows) + QStringLiteral("行");
  return parts.join(QStringLiteral("，"));
}

}  // namespace ops
