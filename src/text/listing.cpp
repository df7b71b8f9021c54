#include "text/listing.h"

#include <QRegularExpression>
#include <algorithm>

namespace text {

QString restLine(qsizetype left) { return QStringLiteral("……另有%1项").arg(left); }

qsizetype restCount(const QString& line) {
  static const QRegularExpression rest(QStringLiteral("^……另有(\\d+)项$"));
  const QRegularExpressionMatch m = rest.match(line);
  return m.hasMatch() ? m.captured(1).toLongLong() : 0;
}

QStringList boundedList(const QStringList& lines, qsizetype maxLines) {
  maxLines = std::max<qsizetype>(maxLines, 1);
  qsizetype items = lines.size();
  qsizetype left = 0;
  if (items > 0 && restCount(lines.last()) > 0) left = restCount(lines[--items]);
  if (items <= maxLines && left == 0) return lines;
  QStringList shown = lines.mid(0, std::min(items, maxLines));
  shown << restLine(left + items - shown.size());
  return shown;
}

QString listedText(const QString& heading, const QStringList& items, const QString& closing, qsizetype maxLines) {
  QStringList lines = boundedList(items, maxLines);
  if (lines.isEmpty())
    lines << heading;
  else
    lines.first().prepend(heading);
  lines << closing;
  return lines.join(QLatin1Char('\n'));
}

}  // namespace text
