#include "tests/support/db_snapshot.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <stdexcept>

#include "tests/support/harness.h"

#include "host/host_schema.h"
#include "db/database.h"
#include "tests/support/test_data.h"

namespace testdb {
namespace {

using testdata::u;

QSqlDatabase connection() { return QSqlDatabase::database(Harness::current().database().connectionName(), false); }

[[noreturn]] void fail(const QString& what, const QSqlQuery& q) {
  throw std::runtime_error((what + u(": ") + q.lastError().text()).toStdString());
}

QStringList columnsOf(const QString& table) {
  QSqlQuery q(connection());
  if (!q.exec(u("PRAGMA table_info(") + identifier(table) + u(")"))) fail(table, q);
  QStringList columns;
  while (q.next()) columns << q.value(1).toString();
  return columns;
}

// The rows of a query whose every field is a literal, each as "column=literal".
QList<QStringList> literalRows(const QString& sql, const QStringList& columns) {
  QSqlQuery q(connection());
  q.setForwardOnly(true);
  if (!q.exec(sql)) fail(sql, q);
  QList<QStringList> rows;
  while (q.next()) {
    QStringList row;
    for (int i = 0; i < columns.size(); ++i) row << columns[i] + u("=") + q.value(i).toString();
    rows << row;
  }
  return rows;
}

QList<QStringList> tableRows(const QString& table, const QString& order) {
  const QStringList columns = columnsOf(table);
  QStringList literals;
  for (const QString& c : columns) literals << u("quote(") + identifier(c) + u(")");
  return literalRows(u("SELECT ") + literals.join(u(", ")) + u(" FROM ") + identifier(table) + u(" ORDER BY ") + order,
                     columns);
}

QString rowText(const QStringList& row) { return row.join(u(" | ")); }

}  // namespace

QString identifier(const QString& name) { return u("\"") + QString(name).replace(u("\""), u("\"\"")) + u("\""); }

QString literal(const QString& text) { return db::sqlQuote(text); }

Snapshot snapshot() {
  Snapshot s;
  for (const QString& table : host::allTables()) {
    if (columnsOf(table).isEmpty()) continue;  // a table the test dropped
    s.insert(table, tableRows(table, u("ID")));
  }
  s.insert(u("sqlite_sequence"), tableRows(u("sqlite_sequence"), u("name")));
  return s;
}

QString difference(const Snapshot& expected, const Snapshot& actual) {
  if (expected.keys() != actual.keys()) {
    return u("tables differ: expected ") + expected.keys().join(u(",")) + u(" but got ") + actual.keys().join(u(","));
  }
  for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
    const QList<QStringList>& want = it.value();
    const QList<QStringList>& got = actual[it.key()];
    for (qsizetype i = 0; i < std::max(want.size(), got.size()); ++i) {
      const QString w = i < want.size() ? rowText(want[i]) : u("<no row>");
      const QString g = i < got.size() ? rowText(got[i]) : u("<no row>");
      if (w != g) return it.key() + u(" row ") + QString::number(i + 1) + u(": expected ") + w + u(" but got ") + g;
    }
  }
  return QString();
}

Snapshot renamedColumn(Snapshot s, const QString& table, const QString& column, const QString& fromLiteral,
                       const QString& toLiteral, const QString& alsoHolding) {
  for (auto it = s.begin(); it != s.end(); ++it) {
    if (it.key().compare(table, Qt::CaseInsensitive) != 0) continue;
    for (QStringList& row : it.value()) {
      if (!alsoHolding.isEmpty() && !row.contains(alsoHolding)) continue;
      for (QString& field : row) {
        const qsizetype eq = field.indexOf(u'=');
        if (field.left(eq).compare(column, Qt::CaseInsensitive) == 0 && field.mid(eq + 1) == fromLiteral)
          field = field.left(eq + 1) + toLiteral;
      }
    }
  }
  return s;
}

Snapshot renamed(Snapshot s, std::span<const host::RefColumn> list, const QString& from, const QString& to) {
  for (const host::RefColumn& ref : list) {
    const QString extra = ref.extraCondition().isEmpty() ? QString() : u("类型='档案信息修改'");
    s = renamedColumn(std::move(s), ref.tableName(), ref.columnName(), literal(from), literal(to), extra);
  }
  return s;
}

void rawExec(const QString& sql) {
  QSqlQuery q(connection());
  if (!q.exec(sql)) fail(sql, q);
}

void ignoreLengthChecks() { rawExec(QStringLiteral("PRAGMA ignore_check_constraints = ON")); }

}  // namespace testdb
