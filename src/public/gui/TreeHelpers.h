#pragma once

class QModelIndex;

// True when ancestor is a proper ancestor of node (parent, grandparent, ...) in the same model;
// a node is not its own ancestor, and an invalid index is no one's.
bool IsParented(const QModelIndex& ancestor, const QModelIndex& node);
