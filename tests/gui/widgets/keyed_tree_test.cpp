#include "gui/widgets/keyed_tree.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "tests/support/qt_print.h"

namespace {

// Departments 1 (with 101, which has 10101, and 102) and 2, added in the order a department
// tree is built: depth first, children in list order.
void departments(KeyedTree& tree) {
  ASSERT_TRUE(tree.addNode("", "$1", "1 总部", 1));
  ASSERT_TRUE(tree.addNode("$1", "$101", "101 物业部", 1));
  ASSERT_TRUE(tree.addNode("$101", "$10101", "10101 保安队", 1));
  ASSERT_TRUE(tree.addNode("$1", "$102", "102 财务部", 1));
  ASSERT_TRUE(tree.addNode("", "$2", "2 分公司", 1));
}

}  // namespace

TEST(KeyedTree, NodesAreListedDepthFirst) {
  KeyedTree tree;
  departments(tree);
  EXPECT_EQ(tree.texts(), (QStringList{"1 总部", "101 物业部", "10101 保安队", "102 财务部", "2 分公司"}));
  EXPECT_EQ(tree.keys(), (QStringList{"$1", "$101", "$10101", "$102", "$2"}));
  EXPECT_EQ(tree.count(), 5);
  EXPECT_EQ(tree.topLevelItemCount(), 2);
  EXPECT_EQ(tree.node("$10101")->parent(), tree.node("$101"));
  EXPECT_EQ(tree.keyOf(tree.node("$102")), "$102");
  EXPECT_EQ(tree.keyOf(nullptr), "");
}

TEST(KeyedTree, DuplicateKeysAndUnknownParentsAreRefused) {
  KeyedTree tree;
  departments(tree);
  EXPECT_EQ(tree.addNode("", "$101", "101 again", 1), nullptr);
  EXPECT_EQ(tree.addNode("$2", "$101", "101 again", 1), nullptr);
  EXPECT_EQ(tree.addNode("$9", "$901", "901 orphan", 1), nullptr);
  EXPECT_EQ(tree.addNode("", "", "no key", 1), nullptr);
  EXPECT_FALSE(tree.exists("$901"));
  EXPECT_FALSE(tree.exists(""));
  EXPECT_EQ(tree.node("$101")->text(0), "101 物业部");
  EXPECT_EQ(tree.texts().size(), 5);
  EXPECT_EQ(tree.count(), 5);
}

TEST(KeyedTree, RemovingANodeTakesItsSubtreeAndFreesTheKeys) {
  KeyedTree tree;
  departments(tree);
  EXPECT_TRUE(tree.removeNode("$101"));
  EXPECT_FALSE(tree.exists("$101"));
  EXPECT_FALSE(tree.exists("$10101"));
  EXPECT_FALSE(tree.removeNode("$101"));
  EXPECT_EQ(tree.texts(), (QStringList{"1 总部", "102 财务部", "2 分公司"}));
  EXPECT_EQ(tree.count(), 3);
  EXPECT_TRUE(tree.addNode("$2", "$10101", "10101 保安队", 1));  // the key is free again
  EXPECT_EQ(tree.keys(), (QStringList{"$1", "$102", "$2", "$10101"}));
  tree.clearNodes();
  EXPECT_EQ(tree.count(), 0);
  EXPECT_TRUE(tree.texts().isEmpty());
  EXPECT_TRUE(tree.addNode("", "$1", "1 总部", 1));
}

TEST(KeyedTree, ClickNodeSelectsBeforeNodeClick) {
  KeyedTree tree;
  departments(tree);
  QStringList clicked, selectedWhenClicked;
  QObject::connect(&tree, &KeyedTree::NodeClick, [&](const QString& key) {
    clicked << key;
    selectedWhenClicked << tree.selectedKey() + "=" + tree.selectedText();
  });
  EXPECT_EQ(tree.selectedKey(), "");
  tree.clickNode("$10101");
  tree.clickNode("$404");  // unknown: nothing
  tree.clickNode("$2");
  EXPECT_EQ(clicked, (QStringList{"$10101", "$2"}));
  EXPECT_EQ(selectedWhenClicked, (QStringList{"$10101=10101 保安队", "$2=2 分公司"}));
  tree.selectNode("$102");  // selecting in code raises nothing
  EXPECT_EQ(tree.selectedKey(), "$102");
  EXPECT_EQ(clicked.size(), 2);
}

TEST(KeyedTree, MouseClickOnANodeRaisesNodeClick) {
  KeyedTree tree;
  departments(tree);
  tree.expandAll();
  tree.resize(300, 300);
  tree.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&tree));
  QSignalSpy spy(&tree, &KeyedTree::NodeClick);
  const QRect rect = tree.visualItemRect(tree.node("$102"));
  QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, rect.center());
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.at(0).at(0).toString(), "$102");
  EXPECT_EQ(tree.selectedKey(), "$102");
}

TEST(KeyedTree, TheThreeIconsAreDistinct) {
  KeyedTree tree;
  tree.addNode("", "$1", "1 总部", 1);
  tree.addNode("", "LB1", "1 正式工", 2);
  tree.addNode("", "LB5", "5 管理", 3);
  tree.addNode("", "x", "plain");
  QList<QImage> images;
  for (const QString key : {"$1", "LB1", "LB5"}) {
    const QIcon icon = tree.node(key)->icon(0);
    ASSERT_FALSE(icon.isNull()) << key.toStdString();
    images << icon.pixmap(16, 16).toImage();
  }
  EXPECT_NE(images[0], images[1]);
  EXPECT_NE(images[1], images[2]);
  EXPECT_NE(images[0], images[2]);
  EXPECT_TRUE(tree.node("x")->icon(0).isNull());
}
