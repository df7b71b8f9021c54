#pragma once
// Employee numbers compared as the database compares them: SQL Server's case- and
// width-insensitive collations ignore trailing blanks, letter case and the width of ASCII forms
// ("0013", "0013 ", "００１３" are one number; "a1" and "A1" too). Computed here, without asking
// the database, with the embedded engine's own collation (db/sqlserver_collation.h).
#include <QString>

namespace ops {

// The text that two numbers share exactly when the database treats them as equal: each character
// folded (half-width, lower case), the blanks at the end removed.
QString numberKey(const QString& number);

// Whether a new number has blanks (or other white space) at either end; such a number is refused
// before anything is compared or sent.
bool paddedNumber(const QString& number);

}  // namespace ops
