#include "TreeHelpers.h"

#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

// root > a > a1 > a11, root > b; a second top-level tree other > o1.
TEST(TreeHelpersTest, IsParentedFindsOnlyAncestorsUpTheChain) {
    QTreeWidget tree;
    auto* root = new QTreeWidgetItem(&tree);
    auto* a = new QTreeWidgetItem(root);
    auto* a1 = new QTreeWidgetItem(a);
    auto* a11 = new QTreeWidgetItem(a1);
    auto* b = new QTreeWidgetItem(root);
    auto* o1 = new QTreeWidgetItem(new QTreeWidgetItem(&tree));
    for (const auto& [ancestor, item] : {std::pair{root, a11}, {a, a11}, {a1, a11}, {root, b}}) {
        EXPECT_TRUE(IsParented(ancestor, item));
    }
    // Itself, a sibling's subtree, a descendant, another tree, and no item.
    for (const auto& [ancestor, item] :
         {std::pair{a1, a1}, {b, a11}, {a, root}, {root, o1}, {nullptr, a}, {a, nullptr}}) {
        EXPECT_FALSE(IsParented(ancestor, item));
    }
}

} // namespace
