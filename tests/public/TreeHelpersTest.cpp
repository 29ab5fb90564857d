#include "TreeHelpers.h"

#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// root > a > a1 > a11, root > b; a second top-level tree other > o1.
class TreeHelpersTest : public ::testing::Test {
protected:
    QTreeWidget tree;
    QTreeWidgetItem* root = new QTreeWidgetItem(&tree);
    QTreeWidgetItem* a = new QTreeWidgetItem(root);
    QTreeWidgetItem* a1 = new QTreeWidgetItem(a);
    QTreeWidgetItem* a11 = new QTreeWidgetItem(a1);
    QTreeWidgetItem* b = new QTreeWidgetItem(root);
    QTreeWidgetItem* other = new QTreeWidgetItem(&tree);
    QTreeWidgetItem* o1 = new QTreeWidgetItem(other);
};

TEST_F(TreeHelpersTest, ANodeIsNotItsOwnAncestor) {
    EXPECT_FALSE(IsParented(root, root));
    EXPECT_FALSE(IsParented(a1, a1));
}

TEST_F(TreeHelpersTest, EveryAncestorUpTheChainIsFound) {
    EXPECT_TRUE(IsParented(root, a11));
    EXPECT_TRUE(IsParented(a, a11));
    EXPECT_TRUE(IsParented(a1, a11));
    EXPECT_TRUE(IsParented(root, b));
}

TEST_F(TreeHelpersTest, SiblingsCousinsAndDescendantsAreNotAncestors) {
    EXPECT_FALSE(IsParented(b, a));
    EXPECT_FALSE(IsParented(b, a11));
    EXPECT_FALSE(IsParented(a11, root));
    EXPECT_FALSE(IsParented(a, root));
    EXPECT_FALSE(IsParented(other, a11));
    EXPECT_FALSE(IsParented(root, o1));
}

TEST_F(TreeHelpersTest, MissingItemsAreNeverParented) {
    EXPECT_FALSE(IsParented(nullptr, a));
    EXPECT_FALSE(IsParented(a, nullptr));
}

} // namespace
