#include "TreeHelpers.h"

#include <QTreeWidgetItem>

namespace {

// Depth of item: 0 for a top-level item.
int levelOf(const QTreeWidgetItem* item) {
    int level = 0;
    for (const QTreeWidgetItem* p = item->parent(); p != nullptr; p = p->parent())
        ++level;
    return level;
}

} // namespace

bool IsParented(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* node) {
    if (ancestor == nullptr || node == nullptr)
        return false;
    const int ancestorLevel = levelOf(ancestor);
    for (const QTreeWidgetItem* current = node; levelOf(current) > ancestorLevel;
         current = current->parent()) {
        if (current->parent() == ancestor)
            return true;
    }
    return false;
}
