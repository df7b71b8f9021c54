#include "core/rules/rules_sql.h"

#include <algorithm>

#include "core/common/number_key.h"

namespace rules {

QString codeCaption(int code) {
  switch (code) {
    case 0: return QStringLiteral("按流水号");
    case 1: return QStringLiteral("按类别码 + 流水号");
    case 2: return QStringLiteral("按类别码 + 岗位类别码 + 流水号");
    case 3: return QStringLiteral("按部门代码 + 流水号");
    case 4: return QStringLiteral("按部门代码 + 岗位类别码 + 流水号");
    case 5: return QStringLiteral("按部门代码 + 类别码 + 岗位类别码 + 流水号");
    case 6: return QStringLiteral("按部门代码 + 类别码 + 流水号");
    default: return QString();
  }
}

bool hasDepartment(int code) { return code == 3 || code == 4 || code == 5 || code == 6; }
bool hasCategory(int code) { return code == 1 || code == 2 || code == 5 || code == 6; }
bool hasPosition(int code) { return code == 2 || code == 4 || code == 5; }

QString noPart() { return QStringLiteral("无"); }

SampleBoxes sampleBoxes(int code) {
  return {hasDepartment(code) ? kSampleDepartment.toString() : noPart(),
          hasCategory(code) ? kSampleCategory.toString() : noPart(),
          hasPosition(code) ? kSamplePosition.toString() : noPart()};
}

QString sampleCodePart(int code) {
  QString part;
  if (hasDepartment(code)) part += kSampleDepartment;
  if (hasCategory(code)) part += kSampleCategory;
  if (hasPosition(code)) part += kSamplePosition;
  return part;
}

QString formatSerial(qint64 serial, const QString& pattern) {
  const QString digits = QString::number(serial < 0 ? -serial : serial).rightJustified(pattern.size(), u'0');
  return serial < 0 ? u'-' + digits : digits;  // a sign goes before the zero fill
}

QString sampleSerial(const QString& pattern) { return formatSerial(kSampleSerial, pattern); }

QString sampleNumber(int code, const QString& pattern) { return sampleCodePart(code) + sampleSerial(pattern); }

QString rowSampleNumber(const QString& departmentCode, const QString& categoryCode, const QString& positionCode,
                        const QString& pattern) {
  QString number;
  for (const QString& box : {departmentCode, categoryCode, positionCode}) {
    if (!box.isEmpty() && box != noPart()) number += box;
  }
  return number + sampleSerial(pattern);
}

QString rowCheckMessage(int layout, const QString& department, const QString& departmentCode, const QString& position,
                        const QString& positionCode) {
  const bool departmentSet = !department.isEmpty() && !departmentCode.isEmpty();
  const bool positionSet = !position.isEmpty() && !positionCode.isEmpty();
  QString unset;
  switch (layout) {
    case 2: unset = positionSet ? QString() : QStringLiteral("请设置岗位代码"); break;
    case 3:
    case 6: unset = departmentSet ? QString() : QStringLiteral("请设置部门代码"); break;
    case 4:
    case 5: unset = departmentSet && positionSet ? QString() : QStringLiteral("请设置部门代码及岗位代码"); break;
    default: break;
  }
  if (!unset.isEmpty()) return unset;
  // The codes go into the employees' numbers: a character no number holds is refused.
  if (const QString refused = common::refusedCharacter(departmentCode); !refused.isEmpty())
    return common::refusedCharacterMessage(QStringLiteral("部门代码"), refused);
  if (const QString refused = common::refusedCharacter(positionCode); !refused.isEmpty())
    return common::refusedCharacterMessage(QStringLiteral("岗位代码"), refused);
  return QString();
}

bool cellEditable(int column, int layout) {
  if (column == ColDepartmentCode) return layout >= 3;
  if (column == ColPositionCode) return hasPosition(layout);
  return true;
}

bool cellEditorAccepts(int column, int layout, QChar ch) {
  return cellEditable(column, layout) && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
}

QString itemNumber(const QString& itemText) {
  const qsizetype blank = itemText.indexOf(QLatin1Char(' '));
  return blank < 0 ? itemText : itemText.left(blank);
}

bool isSerialPattern(const QString& text) {
  return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar ch) { return ch == QLatin1Char('0'); });
}

QString patternDigitsCaption(const QString& pattern) {
  return QString::number(pattern.size()) + QStringLiteral("位数");
}

}  // namespace rules
