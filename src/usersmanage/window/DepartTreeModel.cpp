#include "DepartTreeModel.h"

#include <QMimeData>
#include <QStringList>

using namespace Qt::Literals::StringLiterals;

DepartTreeModel::DepartTreeModel(const QList<QIcon>& images, QObject* parent)
    : QAbstractItemModel(parent), m_images(images) {}

QString DepartTreeModel::mimeType() {
    return u"application/x-kvz-departments"_s;
}

void DepartTreeModel::setTree(DepartTree tree) {
    beginResetModel();
    m_tree = std::move(tree);
    endResetModel();
}

QModelIndex DepartTreeModel::indexOf(qint32 departId) const {
    const int node = m_tree.nodeOf(departId);
    return node < 0 ? QModelIndex() : indexOfNode(node);
}

QModelIndex DepartTreeModel::indexOfNode(int node) const {
    return createIndex(m_tree.row(node), 0, quintptr(quint32(m_tree.id(node))));
}

int DepartTreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? m_tree.nodeOf(departId(index)) : -1;
}

void DepartTreeModel::setCaption(const QModelIndex& index, const QString& caption) {
    m_tree.setCaption(nodeOf(index), caption);
    emit dataChanged(index, index, {Qt::DisplayRole});
}

void DepartTreeModel::removeLeaf(const QModelIndex& index) {
    beginRemoveRows(index.parent(), index.row(), index.row());
    m_tree.removeLeaf(nodeOf(index));
    endRemoveRows();
}

QModelIndex DepartTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && m_tree.size() > 0 ? indexOfNode(0) : QModelIndex();
    const int node = nodeOf(parent);
    if (node < 0 || row >= m_tree.childCount(node))
        return {};
    return indexOfNode(m_tree.firstChild(node) + row);
}

QModelIndex DepartTreeModel::parent(const QModelIndex& child) const {
    const int node = nodeOf(child);
    return node > 0 ? indexOfNode(m_tree.parent(node)) : QModelIndex();
}

int DepartTreeModel::rowCount(const QModelIndex& parent) const {
    if (!parent.isValid())
        return m_tree.size() > 0 ? 1 : 0;
    const int node = parent.column() == 0 ? nodeOf(parent) : -1;
    return node < 0 ? 0 : m_tree.childCount(node);
}

int DepartTreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QVariant DepartTreeModel::data(const QModelIndex& index, int role) const {
    const int node = nodeOf(index);
    if (node < 0)
        return {};
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return m_tree.caption(node).toString();
    if (role == Qt::DecorationRole)
        return m_images.value(m_tree.icon(node));
    return {};
}

Qt::ItemFlags DepartTreeModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList DepartTreeModel::mimeTypes() const {
    return {mimeType()};
}

QMimeData* DepartTreeModel::mimeData(const QModelIndexList& indexes) const {
    QStringList ids;
    for (const QModelIndex& index : indexes)
        ids.append(QString::number(departId(index)));
    auto* mime = new QMimeData; // handed to the drag, which owns it
    mime->setData(mimeType(), ids.join(u'\n').toUtf8());
    return mime;
}
