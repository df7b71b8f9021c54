#pragma once
// The widths of the columns a renumber rewrites, as the database's catalogue declares them, and the
// refusal of a new number that one of them cannot hold, before anything is sent: SQL Server fails
// such a statement ("String or binary data would be truncated."), and a renumber that finds out
// half-way has sent its texts for nothing.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "db/catalogue.h"
#include "core/preview/preview.h"

namespace preview {

// How much of a column of the declared type a number takes: a national type (nchar, nvarchar)
// counts characters as SQL Server does (UTF-16 code units), char and varchar the bytes of the
// site's code page (936: two for a character beyond ASCII). Blanks at the end do not count: SQL
// Server drops them without a word.
qint64 storedLength(const QString& number, const QString& type);

// A number too long for a column.
struct TooLong {
  QString number;
  QString table, column;  // the narrowest column that cannot hold it
  qint64 width = 0;  // its declared width
  bool operator==(const TooLong&) const = default;
};
// "新工号A00013超过表工资单明细列工号的长度5".
QString tooLongText(const TooLong& tooLong);
// The refusal of a renumber: tooLongText, then "，没有做任何修改".
QString tooLongMessage(const TooLong& tooLong);

// A column a renumber rewrites whose declared type is not a character type. On SQL Server
// '9' + such a column is an addition (int outranks varchar): 13 would become 22, another employee.
struct NotText {
  QString table, column;
  QString declared;  // "int", "decimal(10,0)"
  bool operator==(const NotText&) const = default;
};
// The columns (in the given order) that the catalogue declares with a type other than a character
// type; a column or table it lacks is left out.
std::vector<NotText> nonCharacterColumns(const db::Catalogue& catalogue, const std::vector<preview::Column>& columns);
// "以下列不是字符类型，工号前加9会变成数值相加，没有做任何修改：出勤.员工编号（int）、…".
QString notTextMessage(const std::vector<NotText>& columns);

// Whether every number fits every column: the first number (in the given order) that a column
// cannot hold, with the narrowest such column (the first of equal ones); nullopt when all fit. A
// column or table the catalogue lacks, or a column without a declared width, holds any number.
// The catalogue is the session's (session::Session::catalogue).
std::optional<TooLong> firstTooLong(const db::Catalogue& catalogue, const std::vector<preview::Column>& columns,
                                    const QStringList& numbers);
// Every number (in the given order) that a column cannot hold, each once.
std::vector<TooLong> everyTooLong(const db::Catalogue& catalogue, const std::vector<preview::Column>& columns,
                                  const QStringList& numbers);

}  // namespace preview
