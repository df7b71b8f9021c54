#include "db/sqlite_columns.h"

#include <QRegularExpression>

#include "db/sqlserver_collation.h"

namespace db {

QString sqliteCharacterConstraints(const QString& quotedColumn, const QString& type, bool withCollation) {
  static const QRegularExpression character(
      QStringLiteral(R"(^\s*(n?)(?:(?:var)?char|character(?:\s+varying)?|text)\s*(?:\(\s*(\d+|max)\s*\))?\s*$)"),
      QRegularExpression::CaseInsensitiveOption);
  const QRegularExpressionMatch m = character.match(type);
  if (!m.hasMatch()) return {};
  QString out;
  if (withCollation) out += QStringLiteral(" COLLATE ") + QString::fromLatin1(collation::kName);
  bool counted = false;
  const int length = m.captured(2).toInt(&counted);
  if (!counted) return out;  // no length, or max
  const QString kept = QStringLiteral("rtrim(%1, ' ')").arg(quotedColumn);
  const QString size = m.captured(1).isEmpty()
                           // bytes of code page 936: the characters, and one more for each beyond ASCII
                           // (a CJK character has three bytes in UTF-8, two in the code page)
                           ? QStringLiteral("length(%1) + (length(CAST(%1 AS BLOB)) - length(%1)) / 2").arg(kept)
                           : QStringLiteral("length(%1)").arg(kept);
  return out + QStringLiteral(" CONSTRAINT \"%1\" CHECK (%2 <= %3)").arg(kTruncated, size, QString::number(length));
}

}  // namespace db
