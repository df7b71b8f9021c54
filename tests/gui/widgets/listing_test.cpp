#include "text/listing.h"

#include <gtest/gtest.h>

#include "tests/support/qt_print.h"

namespace {

QStringList numbered(int count, int from = 1) {
  QStringList lines;
  for (int i = from; i < from + count; ++i) lines << QStringLiteral("%1：工资单明细 1行").arg(i);
  return lines;
}

}  // namespace

// 20 lines of a list are shown as they are; from 21 on, the first 20 and one rest line. A list
// bounded again, tighter, keeps one rest line that counts everything left out.
TEST(LongList, ShowsTwentyLinesAndOneRestLine) {
  EXPECT_EQ(text::boundedList(numbered(20)), numbered(20));
  EXPECT_EQ(text::boundedList(numbered(21)), numbered(20) + QStringList{QStringLiteral("……另有1项")});
  EXPECT_EQ(text::boundedList(numbered(4253)), numbered(20) + QStringList{QStringLiteral("……另有4233项")});
  EXPECT_EQ(text::boundedList(text::boundedList(numbered(25)), 7),
            numbered(7) + QStringList{QStringLiteral("……另有18项")});

  const QString text = text::listedText(QStringLiteral("以下新工号在其他表中已有记录："), numbered(21, 7001),
                                        QStringLiteral("是否继续？"));
  const QStringList lines = text.split(u'\n');
  ASSERT_EQ(lines.size(), 22);
  EXPECT_EQ(lines[0], QStringLiteral("以下新工号在其他表中已有记录：7001：工资单明细 1行"));
  EXPECT_EQ(lines[19], QStringLiteral("7020：工资单明细 1行"));
  EXPECT_EQ(lines[20], QStringLiteral("……另有1项"));
  EXPECT_EQ(lines[21], QStringLiteral("是否继续？"));
}
