#include "core/common/number_key.h"

#include <QList>

#include "db/sqlserver_collation.h"

namespace common {

QString numberKey(const QString& number) {
  QString key;
  key.reserve(number.size());
  for (const char32_t u : number.toUcs4()) {
    const char32_t c = db::collation::fold(u);
    if (QChar::requiresSurrogates(c)) {
      key += QChar(QChar::highSurrogate(c));
      key += QChar(QChar::lowSurrogate(c));
    } else {
      key += QChar(char16_t(c));
    }
  }
  while (key.endsWith(u' ')) key.chop(1);
  return key;
}

namespace {

// A character refused in a number, as a message names it.
QString named(char32_t c) {
  if (c == u' ') return QStringLiteral("空格");
  if (c == 0x3000) return QStringLiteral("全角空格");
  const auto category = QChar::category(c);
  const bool invisible = category == QChar::Other_Control || category == QChar::Other_Format ||
                         category == QChar::Separator_Space || category == QChar::Separator_Line ||
                         category == QChar::Separator_Paragraph || category == QChar::Other_Surrogate ||
                         category == QChar::Other_NotAssigned || category == QChar::Other_PrivateUse;
  if (invisible) {
    const QString code = QString::number(uint(c), 16).toUpper().rightJustified(4, u'0');
    return (category == QChar::Other_Control ? QStringLiteral("控制字符U+") : QStringLiteral("不可见字符U+")) + code;
  }
  return u'“' + QString::fromUcs4(&c, 1) + u'”';
}

}  // namespace

QString refusedCharacter(const QString& number) {
  for (const char32_t c : number.toUcs4())
    if (!(QChar::isLetter(c) || QChar::isDigit(c))) return named(c);
  return QString();
}

TypedNumber typedNumber(const QString& typed) {
  TypedNumber out;
  for (char32_t c : typed.trimmed().toUcs4()) {
    if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFF01 - 0x21;  // the full-width forms of ASCII's signs
    out.number += QString::fromUcs4(&c, 1);
  }
  out.refused = refusedCharacter(out.number);
  return out;
}

QString refusedCharacterMessage(const QString& what, const QString& refused) {
  return what + QStringLiteral("不能含有") + refused + QStringLiteral("：只能由字母和数字组成");
}

}  // namespace common
