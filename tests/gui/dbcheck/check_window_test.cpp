// The database check window: findings listed, a found column added to the renumber and removed.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>

#include "gui/dbcheck/check_window.h"
#include "core/common/added_columns.h"
#include "tests/support/harness.h"
#include "gui/widgets/flex_grid.h"

namespace {

TEST(CheckWindow, ListsFindingsAndAddsAndRemovesAColumn) {
  Harness h;
  h.exec("DROP TABLE 出勤");
  h.exec("CREATE TABLE 外包人员 (ID INTEGER PRIMARY KEY, 员工编号 TEXT)");
  h.exec("CREATE TABLE [门禁;卡] (ID INTEGER PRIMARY KEY, 工号 TEXT)");
  auto& w = h.open<frm数据库检查>();
  w.Command1->click();
  FlexGrid* g = w.MSFlexGrid1;
  ASSERT_EQ(g->Rows(), 4);
  EXPECT_EQ(g->TextMatrix(1, 1), "缺少");
  EXPECT_EQ(g->TextMatrix(1, 2), "出勤");
  EXPECT_EQ(g->TextMatrix(2, 1), "可能遗漏");
  EXPECT_EQ(g->TextMatrix(2, 2), "外包人员");
  EXPECT_EQ(g->TextMatrix(3, 2), "门禁;卡");
  EXPECT_EQ(g->TextMatrix(2, 4), "列名与工号列相同；0个值是员工档案中的工号");  // said once, and whole:
  EXPECT_GE(g->ColWidth(4), g->fontMetrics().horizontalAdvance(g->TextMatrix(1, 4)));
  EXPECT_TRUE(w.Label1->text().contains("缺少1处，可能遗漏2列"));

  g->clickCell(1, 2);
  EXPECT_FALSE(w.Command3->isEnabled());  // a missing table cannot be added
  g->clickCell(3, 2);
  w.Command3->click();  // a name that is not plain is refused
  EXPECT_TRUE(h.messages().last().contains("不是普通名称"));
  g->clickCell(2, 2);
  w.Command3->click();
  EXPECT_EQ(h.session().addedColumns(), (std::vector<common::added::AddedColumn>{{"外包人员", "员工编号"}}));
  ASSERT_EQ(g->Rows(), 5);  // checked again: the column is now an added one, no suspect, and has no index
  EXPECT_EQ(g->TextMatrix(3, 1) + "|" + g->TextMatrix(3, 2), "没有索引|外包人员");
  EXPECT_EQ(g->TextMatrix(4, 1), "已加入修改列表");
  EXPECT_EQ(g->TextMatrix(4, 2), "外包人员");

  g->clickCell(4, 2);
  h.answer(true);
  w.Command4->click();
  EXPECT_TRUE(h.session().addedColumns().empty());
  EXPECT_EQ(g->TextMatrix(3, 1), "可能遗漏");
  // An employee whose position no longer exists is listed as a note.
  h.exec("INSERT INTO 员工档案 (工号, 姓名, 岗位编号) VALUES ('6002', '旧岗', 'P77')");
  w.Command1->click();
  ASSERT_EQ(g->Rows(), 5);
  EXPECT_EQ(g->TextMatrix(4, 1) + "|" + g->TextMatrix(4, 4),
            "不列出的员工|6002 旧岗：岗位编号P77在岗位信息new中不存在，工号统一修改不列出");
  g->clickCell(4, 2);
  EXPECT_FALSE(w.Command3->isEnabled());
  EXPECT_FALSE(w.Command4->isEnabled());
  EXPECT_TRUE(w.Label1->text().endsWith("另有说明：0列有留在原工号下的记录，1名员工的岗位不存在。"));
}

}  // namespace
