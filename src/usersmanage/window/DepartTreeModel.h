#pragma once

#include "DepartTree.h"
#include "ModuleExport.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>

// The department tree for a view: one column, the root at the top. An index carries its
// department's id, which stays valid when rows move up after a removal; the view asks only for
// the nodes it shows. Dragged departments travel as mimeType().
class KVZ_MODULE_EXPORT DepartTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    DepartTreeModel(const QList<QIcon>& images, QObject* parent);

    static QString mimeType();
    const DepartTree& tree() const { return m_tree; }
    void setTree(DepartTree tree);              // the views forget the nodes they knew
    QModelIndex indexOf(qint32 departId) const; // invalid when not in the tree
    QModelIndex indexOfNode(int node) const;
    qint32 departId(const QModelIndex& index) const { return qint32(quint32(index.internalId())); }
    int nodeOf(const QModelIndex& index) const; // -1 for an invalid index
    void setCaption(const QModelIndex& index, const QString& caption);
    void removeLeaf(const QModelIndex& index); // a department without sub-departments

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

private:
    QList<QIcon> m_images;
    DepartTree m_tree;
};
