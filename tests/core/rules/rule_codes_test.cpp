// Rule codes, sample numbers, row checks and the key rules of the code boxes, without a window.
#include <gtest/gtest.h>

#include <QStringList>

#include "tests/support/qt_print.h"
#include "core/rules/rules_sql.h"

using namespace rules;

TEST(RuleCodes, CaptionsInOptionOrder) {
  QStringList captions;
  for (int code : kOptionOrder) captions << codeCaption(code);
  EXPECT_EQ(captions, (QStringList{"按流水号", "按类别码 + 流水号", "按类别码 + 岗位类别码 + 流水号",
                                   "按部门代码 + 流水号", "按部门代码 + 类别码 + 流水号",
                                   "按部门代码 + 岗位类别码 + 流水号", "按部门代码 + 类别码 + 岗位类别码 + 流水号"}));
  EXPECT_EQ(codeCaption(7), "");
  EXPECT_EQ(codeCaption(-1), "");
}

TEST(RuleCodes, PartsAndSampleBoxesOfEveryCode) {
  const QStringList parts{"", "18", "1828", "68", "6828", "681828", "6818"};
  for (int code = 0; code < kRuleCodes; ++code) {
    SCOPED_TRACE(code);
    EXPECT_EQ(sampleCodePart(code), parts[code]);
    const SampleBoxes boxes = sampleBoxes(code);
    EXPECT_EQ(boxes.department, hasDepartment(code) ? "68" : "无");
    EXPECT_EQ(boxes.category, hasCategory(code) ? "18" : "无");
    EXPECT_EQ(boxes.position, hasPosition(code) ? "28" : "无");
    // The boxes that are not "无", in order, make the code part.
    QString joined;
    for (const QString& box : {boxes.department, boxes.category, boxes.position}) {
      if (box != "无") joined += box;
    }
    EXPECT_EQ(joined, parts[code]);
  }
}

TEST(RuleCodes, SerialPatternFormatting) {
  EXPECT_EQ(formatSerial(8, "000"), "008");
  EXPECT_EQ(formatSerial(8, "0000"), "0008");
  EXPECT_EQ(formatSerial(12345, "000"), "12345");  // a longer serial is not cut
  EXPECT_EQ(formatSerial(8, ""), "8");
  EXPECT_EQ(sampleSerial("0"), "8");
  EXPECT_EQ(sampleNumber(5, "000"), "681828008");
  EXPECT_EQ(sampleNumber(0, "0000"), "0008");
  EXPECT_EQ(sampleNumber(6, "00"), "681808");
}

TEST(RuleCodes, SampleNumberOfARow) {
  EXPECT_EQ(rowSampleNumber("0101", "7", "33", "000"), "0101733008");
  EXPECT_EQ(rowSampleNumber("无", "7", "无", "00"), "708");
  EXPECT_EQ(rowSampleNumber("", "", "", "000"), "008");
}

TEST(RuleCodes, RowCheckPerLayout) {
  // layout, department, department code, position, position code -> message
  struct Case {
    int layout;
    const char* d;
    const char* dc;
    const char* p;
    const char* pc;
    const char* message;
  };
  const Case cases[] = {
      {0, "", "", "", "", ""},
      {1, "", "", "", "", ""},
      {2, "", "", "01 普通", "5", ""},
      {2, "", "", "01 普通", "", "请设置岗位代码"},
      {2, "", "", "", "5", "请设置岗位代码"},
      {3, "0101 办公室", "12", "", "", ""},
      {3, "0101 办公室", "", "", "", "请设置部门代码"},
      {6, "", "12", "", "", "请设置部门代码"},
      {6, "0101 办公室", "12", "", "", ""},
      {4, "0101 办公室", "12", "01 普通", "5", ""},
      {4, "0101 办公室", "12", "01 普通", "", "请设置部门代码及岗位代码"},
      {5, "", "12", "01 普通", "5", "请设置部门代码及岗位代码"},
      {5, "0101 办公室", "12", "01 普通", "5", ""},
      // The codes go into numbers: letters and digits only.
      {4, "0101 办公室", "1%", "01 普通", "5", "部门代码不能含有“%”：只能由字母和数字组成"},
      {5, "0101 办公室", "12", "01 普通", "5 ", "岗位代码不能含有空格：只能由字母和数字组成"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layout);
    EXPECT_EQ(rowCheckMessage(c.layout, c.d, c.dc, c.p, c.pc), QString::fromUtf8(c.message));
  }
}

TEST(RuleCodes, CellEditorKeysByColumnAndLayout) {
  // Department code: only for layouts with a department part.
  for (int layout : {0, 1, 2}) EXPECT_FALSE(cellEditorAccepts(ColDepartmentCode, layout, '5')) << layout;
  for (int layout : {3, 4, 5, 6}) EXPECT_TRUE(cellEditorAccepts(ColDepartmentCode, layout, '5')) << layout;
  // Position code: only for layouts 2, 4, 5.
  for (int layout : {0, 1, 3, 6}) EXPECT_FALSE(cellEditorAccepts(ColPositionCode, layout, '5')) << layout;
  for (int layout : {2, 4, 5}) EXPECT_TRUE(cellEditorAccepts(ColPositionCode, layout, '5')) << layout;
  // Only digits.
  EXPECT_FALSE(cellEditorAccepts(ColDepartmentCode, 5, 'a'));
  EXPECT_FALSE(cellEditorAccepts(ColPositionCode, 5, ' '));
  EXPECT_TRUE(cellEditorAccepts(ColPositionCode, 5, '0'));
  EXPECT_TRUE(cellEditorAccepts(ColPositionCode, 5, '9'));
}

TEST(RuleCodes, TextHelpers) {
  EXPECT_EQ(itemNumber("0101 办公室 北"), "0101");
  EXPECT_EQ(itemNumber("0101"), "0101");
  EXPECT_EQ(itemNumber(""), "");
  EXPECT_TRUE(isSerialPattern("000"));
  EXPECT_FALSE(isSerialPattern(""));
  EXPECT_FALSE(isSerialPattern("010"));
  EXPECT_FALSE(isSerialPattern("0０"));  // a full-width zero is no zero
  EXPECT_EQ(patternDigitsCaption("0000"), "4位数");
  EXPECT_EQ(patternDigitsCaption(""), "0位数");
}
