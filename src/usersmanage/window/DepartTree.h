#pragma once

#include "IdMap.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <utility>
#include <vector>

class DbConnection;
class DbCursor;

// The departments the tree shows, read once from UserSort into flat arrays. Node 0 is the root
// (id 0); the others follow breadth first, so that the children of a node are consecutive
// nodes in the order the tree shows them (ascending id). Captions share one buffer.
class DepartTree {
public:
    // Icons of the nodes: indexes into the window's image list.
    enum Icon : quint8 { RootIcon, DepartIcon, ControlledIcon, ControlledInUseIcon };

    // Reads UserSort. Each id is placed once, nearest the root, so that neither a row with id 0
    // nor an id stored twice can loop the tree; rows whose parent is never reached are left
    // out. Throws DbError.
    static DepartTree read(DbConnection* connection, const QString& rootName);

    int size() const { return int(m_ids.size()); }
    qint32 id(int node) const { return m_ids[size_t(node)]; }
    int parent(int node) const { return m_parents[size_t(node)]; } // -1 for the root
    int firstChild(int node) const { return m_firstChild[size_t(node)]; }
    int childCount(int node) const { return firstChild(node + 1) - firstChild(node); }
    int row(int node) const { return node == 0 ? 0 : node - firstChild(parent(node)); }
    QStringView caption(int node) const {
        return QStringView(m_captions)
            .mid(m_captionStart[size_t(node)], m_captionSize[size_t(node)]);
    }
    Icon icon(int node) const { return m_icons[size_t(node)]; }
    int nodeOf(qint32 id) const { return m_nodes.value(id); } // -1 when not in the tree
    std::vector<int> subtree(int node) const;                 // the node and all below it
    // Ids of more than one row (a table without its key), ascending.
    const QList<qint32>& storedTwice() const { return m_storedTwice; }

    // A renamed department shows the name as entered until the next read.
    void setCaption(int node, QStringView caption);
    void removeLeaf(int node); // a node without children; the nodes after it move up by one

private:
    struct Rows;
    Rows readRows(DbCursor& cursor); // the captions go to the buffer, the rest to the rows
    std::pair<int, int> appendCaption(QByteArrayView utf8); // start and size
    void addNode(qint32 id, int parent, qsizetype captionStart, qsizetype captionSize, Icon icon);
    void placeChildren(const Rows& rows);

    std::vector<qint32> m_ids;
    std::vector<int> m_parents;
    std::vector<int> m_firstChild; // one more than the nodes: the end of the last one's children
    std::vector<int> m_captionStart;
    std::vector<int> m_captionSize;
    std::vector<Icon> m_icons;
    QString m_captions;
    IdMap m_nodes; // id -> node
    QList<qint32> m_storedTwice;
};
