#include "TreeHelpers.h"

#include <QModelIndex>

bool IsParented(const QModelIndex& ancestor, const QModelIndex& node) {
    if (!ancestor.isValid() || !node.isValid())
        return false;
    for (QModelIndex up = node.parent(); up.isValid(); up = up.parent()) {
        if (up == ancestor)
            return true;
    }
    return false;
}
