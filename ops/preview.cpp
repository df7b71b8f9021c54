#include "ops/preview.h"

#include <QHash>

#include "db/database.h"

namespace preview {

Impact impact(db::Database& database, const std::vector<Column>& columns, const std::vector<Pair>& pairs) {
  QStringList numbers;
  for (const Pair& p : pairs) {
    if (p.first == p.second) continue;
    numbers << p.first << p.second;
  }
  Impact out;
  out.employees.reserve(pairs.size());
  for (const Pair& p : pairs) out.employees.push_back({p.first, p.second, 0, 0});
  for (const Column& c : columns) {
    const QByteArray table = c.table.toUtf8(), column = c.column.toUtf8();
    const host::RefColumn ref{reinterpret_cast<const char8_t*>(table.constData()),
                              reinterpret_cast<const char8_t*>(column.constData()), u8""};
    QHash<QString, qint64> rows;  // by case-folded number: the database compares so
    for (const ops::Holding& h : ops::holdings(database, {ref}, numbers)) rows[h.number.toCaseFolded()] += h.rows;
    ColumnImpact ci{c, 0, 0};
    for (EmployeeImpact& e : out.employees) {
      if (e.oldNo == e.newNo) continue;
      const qint64 moved = rows.value(e.oldNo.toCaseFolded()), merged = rows.value(e.newNo.toCaseFolded());
      e.rowsMoved += moved;
      e.newRows += merged;
      ci.oldRows += moved;
      ci.newRows += merged;
    }
    out.totalOld += ci.oldRows;
    out.totalNew += ci.newRows;
    out.columns.push_back(ci);
  }
  return out;
}

QString script(const ScriptHeader& h, const Impact& impact, const QStringList& executions) {
  const QString nl = QStringLiteral("\r\n");
  const auto comment = [](QString text) {
    return QStringLiteral("-- ") + text.replace(u'\n', u' ').replace(u'\r', u' ');
  };
  QString s;
  s += comment(QStringLiteral("renumber 修改脚本：") + h.operation) + nl;
  s += comment(QStringLiteral("服务器：") + h.server + QStringLiteral("  数据库：") + h.database +
               QStringLiteral("  登录：") + h.login) +
       nl;
  s += comment(QStringLiteral("生成时间：") + h.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))) + nl;
  s += comment(QStringLiteral("影响：%1列，原工号所在%2行将改为新工号；新工号已有%3行")
                   .arg(impact.columns.size())
                   .arg(impact.totalOld)
                   .arg(impact.totalNew)) +
       nl;
  for (const ColumnImpact& c : impact.columns)
    if (c.oldRows > 0 || c.newRows > 0)
      s += comment(QStringLiteral("  %1.%2：原工号%3行，新工号已有%4行")
                       .arg(c.column.table, c.column.column)
                       .arg(c.oldRows)
                       .arg(c.newRows)) +
           nl;
  s += QStringLiteral("SET XACT_ABORT ON") + nl + QStringLiteral("go") + nl;
  s += QStringLiteral("BEGIN TRANSACTION") + nl + QStringLiteral("go") + nl;
  for (const QString& e : executions) s += e + nl + QStringLiteral("go") + nl;
  s += QStringLiteral("COMMIT TRANSACTION") + nl + QStringLiteral("go") + nl;
  return s;
}

QByteArray scriptFile(const QString& script) { return QByteArray("\xEF\xBB\xBF") + script.toUtf8(); }

}  // namespace preview
