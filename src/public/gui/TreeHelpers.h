#pragma once

class QTreeWidgetItem;

// True when ancestor is a proper ancestor of node (parent, grandparent, ...); a node is not
// its own ancestor. The walk climbs from node no higher than ancestor's level.
bool IsParented(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* node);
