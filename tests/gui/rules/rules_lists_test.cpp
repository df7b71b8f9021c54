// The department tree, the lookups of department and position names, and the category lists.
#include "rules_fixture.h"

namespace {

TEST_F(RulesWindowTest, DepartmentTreeOfTheDemoData) {
  h.seedDemo();
  Window& w = open();
  // Query order: length of the number, then the number; terminated department 105 is left out.
  QStringList numbers;
  for (const Window::DepartmentRow& row : w.departmentRows()) numbers << row.number;
  EXPECT_EQ(numbers.mid(0, 8), (QStringList{"1", "2", "3", "101", "102", "103", "104", "201"}));
  EXPECT_FALSE(numbers.contains("105"));
  for (qsizetype i = 1; i < numbers.size(); ++i) {
    EXPECT_TRUE(numbers[i - 1].size() < numbers[i].size() ||
                (numbers[i - 1].size() == numbers[i].size() && numbers[i - 1] < numbers[i]))
        << numbers[i - 1].toStdString() << " before " << numbers[i].toStdString();
  }
  // Roots, depth first, children in list order; 10501 and 10502 of terminated 105 are roots too.
  ASSERT_EQ(w.TreeView2->topLevelItemCount(), 5);
  EXPECT_EQ(w.TreeView2->topLevelItem(0)->text(0), "1 公司本部");
  EXPECT_TRUE(w.TreeView2->topLevelItem(0)->isExpanded());
  EXPECT_FALSE(w.TreeView2->topLevelItem(1)->isExpanded());
  const QStringList keys = w.TreeView2->keys();
  EXPECT_EQ(keys.mid(0, 8), (QStringList{"$1", "$101", "$102", "$103", "$10301", "$10302", "$104", "$2"}));
  // The gardening team moved from 204 to 203: it hangs under its latest parent only.
  QTreeWidgetItem* moved = w.TreeView2->node("$20302");
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(w.TreeView2->keyOf(moved->parent()), "$203");
  EXPECT_EQ(moved->text(0), "20302 东湖绿化组");
  EXPECT_EQ(w.TreeView2->node("$204")->childCount(), 0);
  EXPECT_FALSE(w.TreeView2->exists("$105"));
  EXPECT_EQ(w.TreeView2->topLevelItem(4)->text(0), "10502 策划组");
  EXPECT_EQ(w.TreeView2->count(), int(numbers.size()));

  EXPECT_EQ(w.获取部门名称("101"), "101 行政人事部");
  EXPECT_EQ(w.获取部门名称("10"), "");  // only a prefix of 101, 102 ...
  EXPECT_EQ(w.获取部门名称("1030"), "");
  EXPECT_EQ(w.获取部门名称("10501"), "10501 招商组");  // its parent ended, it did not
  EXPECT_EQ(w.获取部门名称(""), "");
  EXPECT_EQ(w.获取岗位名称("03"), "03 客服岗");
  EXPECT_EQ(w.获取岗位名称("0"), "");
  EXPECT_EQ(w.获取岗位名称("99"), "");

  // Categories of the demo: two belong to no rule; rule 3 has one.
  EXPECT_EQ(w.TreeView1->texts(), (QStringList{"04 临时工", "05 退休返聘人员"}));
  w.TreeView3->clickNode("LB3");
  EXPECT_EQ(w.TreeView4->texts(), QStringList{"03 服务人员"});
  EXPECT_EQ(w.List1->item(0)->text(), "01 管理岗");
}

TEST_F(RulesWindowTest, NoDepartmentsLeaveTheTreeEmpty) {
  Window& w = open();
  EXPECT_EQ(w.TreeView2->count(), 0);
  EXPECT_TRUE(w.departmentRows().empty());
  EXPECT_EQ(w.获取部门名称("1"), "");
  EXPECT_TRUE(h.messages().isEmpty());
}

TEST_F(RulesWindowTest, DepartmentTreeEdgeCases) {
  for (const QString n : {"10", "2", "1", "3", "4"}) testdata::department(n, "部门" + n);
  // 3 has two parent records with the same latest date: it is listed and added once.
  auto parentRecord = [](const char* code, const char* of, const char* from) {
    testdata::row("上级部门new", {{"职能部门编号", code}, {"上级部门编号", of}, {"起始日期", from}});
  };
  parentRecord("3", "2", "2021-01-01");
  parentRecord("3", "1", "2021-01-01");
  parentRecord("3", "10", "2019-01-01");
  parentRecord("4", "77", "2021-01-01");  // 4 names a parent that is no department: a root
  Window& w = open();
  QStringList roots;
  for (int i = 0; i < w.TreeView2->topLevelItemCount(); ++i) roots << w.TreeView2->topLevelItem(i)->text(0);
  EXPECT_EQ(roots, (QStringList{"1 部门1", "2 部门2", "4 部门4", "10 部门10"}));
  ASSERT_TRUE(w.TreeView2->exists("$3"));
  const QString parent = w.TreeView2->keyOf(w.TreeView2->node("$3")->parent());
  EXPECT_TRUE(parent == "$1" || parent == "$2") << parent.toStdString();
  EXPECT_EQ(w.TreeView2->count(), 5);
  int threes = 0;
  for (const Window::DepartmentRow& row : w.departmentRows()) threes += row.number == "3";
  EXPECT_EQ(threes, 1);
  EXPECT_EQ(w.获取部门名称("3"), "3 部门3");
  EXPECT_EQ(w.获取部门名称("4"), "4 部门4");
}

TEST_F(RulesWindowTest, ListFailuresAreReportedAndTheWindowOpens) {
  seedSmall();
  h.exec("DROP TABLE 岗位类别");
  Window& w = open();
  ASSERT_EQ(h.messages().size(), 1);
  EXPECT_EQ(h.titles()[0], widgets::app_info::title());
  EXPECT_EQ(w.List1->count(), 0);
  EXPECT_EQ(w.TreeView2->count(), 3);
  EXPECT_EQ(w.TreeView1->count(), 3);
  EXPECT_EQ(w.获取岗位名称("01"), "");
}

}  // namespace
