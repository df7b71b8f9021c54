#pragma once
// Employee numbers compared as the database compares them: SQL Server's case- and
// width-insensitive collations ignore trailing blanks, letter case and the width of ASCII forms
// ("0013", "0013 ", "００１３" are one number; "a1" and "A1" too). Computed here, without asking
// the database, with the embedded engine's own collation (db/sqlserver_collation.h).
#include <QString>

namespace common {

// The text that two numbers share exactly when the database treats them as equal: each character
// folded (half-width, lower case), the blanks at the end removed.
QString numberKey(const QString& number);

// A number as the user typed it (a new number, a code of a rule): full-width letters and digits
// (what a Chinese input method types in full-width mode) become their ASCII forms and blanks at
// either end are dropped; then every character must be a letter or a digit. Quotes, %, _, [, ;,
// blanks inside, control characters and every other sign are refused before anything is sent.
struct TypedNumber {
  QString number;  // the number that will be written
  // The first character refused, named: "“%”", "空格", "全角空格", "控制字符U+0007"; "" when the
  // number is accepted.
  QString refused;
  bool accepted() const { return refused.isEmpty(); }
};
TypedNumber typedNumber(const QString& typed);
// The first character of a number, as it stands, that is neither a letter nor a digit, named as
// TypedNumber::refused; "" when there is none.
QString refusedCharacter(const QString& number);
// The refusal of such a number, what naming what was typed ("新工号", "部门代码"):
// "新工号不能含有“%”：只能由字母和数字组成".
QString refusedCharacterMessage(const QString& what, const QString& refused);

}  // namespace common
