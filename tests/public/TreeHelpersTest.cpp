#include "TreeHelpers.h"

#include <QStandardItemModel>
#include <gtest/gtest.h>

namespace {

// root > a > a1 > a11, root > b; a second top-level tree other > o1.
TEST(TreeHelpersTest, IsParentedFindsOnlyAncestorsUpTheChain) {
    QStandardItemModel model;
    const auto add = [](QStandardItem* parent) {
        auto* child = new QStandardItem; // owned by its parent
        parent->appendRow(child);
        return child;
    };
    QStandardItem* root = add(model.invisibleRootItem());
    QStandardItem* a = add(root);
    QStandardItem* a1 = add(a);
    QStandardItem* a11 = add(a1);
    QStandardItem* b = add(root);
    QStandardItem* o1 = add(add(model.invisibleRootItem()));
    const auto parented = [](QStandardItem* ancestor, QStandardItem* item) {
        return IsParented(ancestor ? ancestor->index() : QModelIndex(),
                          item ? item->index() : QModelIndex());
    };
    for (const auto& [ancestor, item] : {std::pair{root, a11}, {a, a11}, {a1, a11}, {root, b}}) {
        EXPECT_TRUE(parented(ancestor, item));
    }
    // Itself, a sibling's subtree, a descendant, another tree, and no item.
    for (const auto& [ancestor, item] :
         {std::pair{a1, a1}, {b, a11}, {a, root}, {root, o1}, {nullptr, a}, {a, nullptr}}) {
        EXPECT_FALSE(parented(ancestor, item));
    }
}

} // namespace
