#include "host/host_tables.h"

#include "db/database.h"
#include "db/tsql_tokens.h"

namespace host {

QString RefColumn::tableSql() const { return db::quotedName(tableName()); }

QString RefColumn::columnSql() const { return db::quotedName(columnName()); }

namespace {

// The condition without blanks around it and without its leading AND.
QString bareCondition(const QString& extra) {
  QString s = extra.trimmed();
  if (s.startsWith(QStringLiteral("AND "), Qt::CaseInsensitive)) s = s.mid(4).trimmed();
  return s;
}

}  // namespace

QString conditionColumn(const QString& extra) {
  const QString s = bareCondition(extra);
  const qsizetype eq = s.indexOf(u'=');
  return eq > 0 ? s.left(eq).trimmed() : QString();
}

QString shownCondition(const QString& extra) {
  QString out;
  for (const db::tsql::Token& t : db::tsql::tokenize(bareCondition(extra), false))
    out += t.kind == db::tsql::Kind::String && t.unicode ? t.text.mid(1) : t.text;
  return out;
}

}  // namespace host
