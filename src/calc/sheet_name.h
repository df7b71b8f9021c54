#pragma once
// The sheet names Excel accepts. The spreadsheet engine takes some that Excel refuses (and then
// writes a workbook Excel cannot open as written), so the tool checks them itself.
#include <QString>

namespace calc {

// Why name cannot name a worksheet, "" when it can: empty, longer than 31 characters, holding
// one of / \ ? * [ ] :, or beginning or ending with an apostrophe.
QString sheetNameProblem(const QString& name);

}  // namespace calc
