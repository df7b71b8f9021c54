#include "calc/sheet_name.h"

#include <QList>

namespace calc {

QString sheetNameProblem(const QString& name) {
  if (name.isEmpty()) return QStringLiteral("the sheet name is empty");
  if (name.toUcs4().size() > 31) return QStringLiteral("the sheet name \"%1\" is longer than 31 characters").arg(name);
  for (const QChar c : QStringLiteral("/\\?*[]:")) {
    if (name.contains(c)) return QStringLiteral("the sheet name \"%1\" holds the character %2").arg(name, c);
  }
  if (name.startsWith(QLatin1Char('\'')) || name.endsWith(QLatin1Char('\'')))
    return QStringLiteral("the sheet name \"%1\" begins or ends with an apostrophe").arg(name);
  return QString();
}

}  // namespace calc
