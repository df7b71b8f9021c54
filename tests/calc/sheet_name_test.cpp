#include <gtest/gtest.h>

#include "calc/sheet_name.h"

namespace {

TEST(SheetName, TakesWhatExcelTakes) {
  for (const QString& name : {QString("工程"), QString("Sheet1"), QString(31, QChar(u'工')), QString("a'b"),
                              QString("工程 (2)"), QString("A-B_C.D")}) {
    EXPECT_EQ(calc::sheetNameProblem(name), "") << name.toStdString();
  }
}

TEST(SheetName, RefusesWhatExcelRefuses) {
  EXPECT_EQ(calc::sheetNameProblem(""), "the sheet name is empty");
  EXPECT_EQ(calc::sheetNameProblem(QString(32, QChar(u'a'))),
            "the sheet name \"" + QString(32, QChar(u'a')) + "\" is longer than 31 characters");
  for (const QChar c : QStringLiteral("/\\?*[]:")) {
    const QString name = QString("工") + c + "程";
    EXPECT_EQ(calc::sheetNameProblem(name), "the sheet name \"" + name + "\" holds the character " + c);
  }
  EXPECT_EQ(calc::sheetNameProblem("'工程"), "the sheet name \"'工程\" begins or ends with an apostrophe");
  EXPECT_EQ(calc::sheetNameProblem("工程'"), "the sheet name \"工程'\" begins or ends with an apostrophe");
}

}  // namespace
