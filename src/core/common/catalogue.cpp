#include "core/common/catalogue.h"

#include <QSet>

namespace common {

QStringList allOperations() {
  return {QStringLiteral("单个修改"), QStringLiteral("批量上传"), QStringLiteral("无岗位处理")};
}

QString conditionColumn(const QString& extra) {
  QString s = extra.trimmed();
  if (s.startsWith(QStringLiteral("AND "), Qt::CaseInsensitive)) s = s.mid(4).trimmed();
  const qsizetype eq = s.indexOf(u'=');
  return eq > 0 ? s.left(eq).trimmed() : QString();
}

std::vector<Missing> missingFrom(const db::Catalogue& catalogue, const std::vector<host::RefColumn>& columns) {
  std::vector<Missing> out;
  QSet<QString> tablesReported;
  for (const host::RefColumn& c : columns) {
    const db::CatalogueTable* table = catalogue.find(c.tableName());
    if (!table) {
      if (!tablesReported.contains(c.tableName().toCaseFolded())) {
        tablesReported << c.tableName().toCaseFolded();
        out.push_back({c.tableName(), QString(), allOperations()});
      }
      continue;
    }
    for (const QString& column : {c.columnName(), conditionColumn(c.extraCondition())})
      if (!column.isEmpty() && !table->column(column)) out.push_back({c.tableName(), column, allOperations()});
  }
  return out;
}

}  // namespace common
