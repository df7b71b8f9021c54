#include "ops/common/number_key.h"

#include <QList>

#include "db/sqlserver_collation.h"

namespace ops {

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

bool paddedNumber(const QString& number) { return !number.isEmpty() && number != number.trimmed(); }

}  // namespace ops
