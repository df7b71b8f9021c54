#pragma once
// Rule codes of a numbering rule and the sample number the settings window shows for them.
// A new employee number is built from department code, category code, position code and a
// zero-filled serial, always in that order; the rule code (0 to 6) says which of the first three
// parts are present.
#include <QChar>
#include <QString>

namespace rules {

// Number of rule codes; a code is the index of the layout's option button (0 to 6).
inline constexpr int kRuleCodes = 7;
// The option buttons stand top to bottom in this order of codes.
inline constexpr int kOptionOrder[kRuleCodes] = {0, 1, 2, 3, 6, 4, 5};

// Fixed codes the sample number is built from.
inline constexpr QStringView kSampleDepartment = u"68";
inline constexpr QStringView kSampleCategory = u"18";
inline constexpr QStringView kSamplePosition = u"28";
// The sample serial: the number 8 formatted with the rule's serial pattern.
inline constexpr int kSampleSerial = 8;

// The caption of the option button of a code ("按流水号" ...); "" outside 0 to 6.
QString codeCaption(int code);

// Which parts a code puts in front of the serial.
bool hasDepartment(int code);  // codes 3, 4, 5, 6
bool hasCategory(int code);  // codes 1, 2, 5, 6
bool hasPosition(int code);  // codes 2, 4, 5

// The text shown in a sample box for a part that is missing.
QString noPart();  // "无"

// The three sample boxes of a code: the fixed sample code, or "无" for a part the code lacks.
struct SampleBoxes {
  QString department, category, position;
};
SampleBoxes sampleBoxes(int code);

// The code part of the sample number: 0 "", 1 "18", 2 "1828", 3 "68", 4 "6828", 5 "681828", 6 "6818".
QString sampleCodePart(int code);

// A serial zero-filled to the length of the pattern (a text of zeros); a longer serial is not cut.
// formatSerial(8, "000") == "008"; formatSerial(12345, "000") == "12345"; an empty pattern gives "8";
// formatSerial(-5, "000") == "-005".
QString formatSerial(qint64 serial, const QString& pattern);

// The sample serial for a pattern: formatSerial(8, pattern).
QString sampleSerial(const QString& pattern);

// The whole sample number of a code: sampleCodePart(code) + sampleSerial(pattern).
QString sampleNumber(int code, const QString& pattern);

// The sample number of one specific rule row: the non-empty codes in the order department,
// category, position, followed by the sample serial. Empty boxes are "无" and are left out.
QString rowSampleNumber(const QString& departmentCode, const QString& categoryCode, const QString& positionCode,
                        const QString& pattern);

// The check a specific rule row must pass before it is saved, for the layout in force.
// cells are the grid's department, department code, position category and position code.
// Returns "" when the row may be saved, otherwise the message to show:
// layout 2 "请设置岗位代码", 3 and 6 "请设置部门代码", 4 and 5 "请设置部门代码及岗位代码"; a code
// holding a character no number holds (common::refusedCharacter): "部门代码不能含有“%”：只能由字母和数字组成".
QString rowCheckMessage(int layout, const QString& department, const QString& departmentCode, const QString& position,
                        const QString& positionCode);

// Grid columns of the specific rules grid.
enum GridColumn {
  ColNumber = 0,
  ColDepartment = 1,
  ColDepartmentCode = 2,
  ColPosition = 3,
  ColPositionCode = 4,
  ColId = 5
};

// Whether the cell editor accepts a typed character in the given grid column under a layout:
// nothing in the department code column when the layout has no department part (below 3),
// nothing in the position code column when it has no position part (not 2, 4 or 5);
// otherwise only the digits 0 to 9.
bool cellEditorAccepts(int column, int layout, QChar ch);
// Whether the layout lets the user type into a code column at all.
bool cellEditable(int column, int layout);

// A pick-list item is number + " " + name; the number is the text up to the first blank.
QString itemNumber(const QString& itemText);

// Whether text is a non-empty run of "0" only (a valid serial pattern).
bool isSerialPattern(const QString& text);

// The digit count shown beside the serial pattern box: the length followed by "位数".
QString patternDigitsCaption(const QString& pattern);

}  // namespace rules
