#include "core/preview/column_widths.h"

#include <QSet>
#include <utility>

namespace preview {

qint64 storedLength(const QString& number, const QString& type) {
  qsizetype end = number.size();
  while (end > 0 && number[end - 1] == u' ') --end;
  if (type.startsWith(u'n', Qt::CaseInsensitive)) return end;
  qint64 bytes = 0;
  for (qsizetype i = 0; i < end; ++i) {
    const QChar ch = number[i];
    if (ch.isLowSurrogate()) continue;  // a character beyond the plane: one character of the code page at most
    bytes += ch.unicode() < 0x80 ? 1 : 2;
  }
  return bytes;
}

QString tooLongText(const TooLong& t) {
  return QStringLiteral("新工号") + t.number + QStringLiteral("超过表") + t.table + QStringLiteral("列") + t.column +
         QStringLiteral("的长度") + QString::number(t.width);
}

QString tooLongMessage(const TooLong& t) { return tooLongText(t) + QStringLiteral("，没有做任何修改"); }

namespace {

// The catalogue's entry of a column; nullptr when the table or the column is missing.
const db::CatalogueColumn* declaredColumn(const db::Catalogue& catalogue, const preview::Column& c) {
  const db::CatalogueTable* table = catalogue.find(c.table);
  return table ? table->column(c.column) : nullptr;
}

struct Width {
  const preview::Column* column;
  const db::CatalogueColumn* declared;
};

// The columns with a declared width, narrowest first (the order given among equal ones).
std::vector<Width> widths(const db::Catalogue& catalogue, const std::vector<preview::Column>& columns) {
  std::vector<Width> out;
  for (const preview::Column& c : columns) {
    const db::CatalogueColumn* declared = declaredColumn(catalogue, c);
    if (declared && declared->width > 0 && !declared->large()) out.push_back({&c, declared});
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const Width& a, const Width& b) { return a.declared->width < b.declared->width; });
  return out;
}

std::optional<TooLong> tooLong(const std::vector<Width>& widths, const QString& number) {
  for (const Width& w : widths)
    if (storedLength(number, w.declared->type) > w.declared->width)
      return TooLong{number, w.column->table, w.column->column, w.declared->width};
  return std::nullopt;
}

}  // namespace

std::vector<NotText> nonCharacterColumns(const db::Catalogue& catalogue, const std::vector<preview::Column>& columns) {
  std::vector<NotText> out;
  for (const preview::Column& c : columns)
    if (const db::CatalogueColumn* declared = declaredColumn(catalogue, c); declared && !declared->character())
      out.push_back({c.table, c.column, declared->declared()});
  return out;
}

QString notTextMessage(const std::vector<NotText>& columns) {
  QStringList names;
  for (const NotText& c : columns) names << c.table + u'.' + c.column + u'（' + c.declared + u'）';
  return QStringLiteral("以下列不是字符类型，工号前加9会变成数值相加，没有做任何修改：") + names.join(u'、');
}

std::optional<TooLong> firstTooLong(const db::Catalogue& catalogue, const std::vector<preview::Column>& columns,
                                    const QStringList& numbers) {
  const std::vector<Width> w = widths(catalogue, columns);
  for (const QString& n : numbers)
    if (std::optional<TooLong> t = tooLong(w, n)) return t;
  return std::nullopt;
}

std::vector<TooLong> everyTooLong(const db::Catalogue& catalogue, const std::vector<preview::Column>& columns,
                                  const QStringList& numbers) {
  const std::vector<Width> w = widths(catalogue, columns);
  std::vector<TooLong> out;
  QSet<QString> seen;
  for (const QString& n : numbers) {
    if (seen.contains(n)) continue;
    seen.insert(n);
    if (std::optional<TooLong> t = tooLong(w, n)) out.push_back(*t);
  }
  return out;
}

}  // namespace preview
