#include "ItemListModel.h"

#include <QAbstractItemView>
#include <QItemSelectionModel>
#include <algorithm>

int compareText(QStringView a, QStringView b) {
    const auto fold = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t ca = fold(a[i].unicode());
        const char16_t cb = fold(b[i].unicode());
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

ItemListModel::ItemListModel(QStringList captions, QList<QIcon> images, QObject* parent)
    : QAbstractTableModel(parent), m_captions(std::move(captions)), m_images(std::move(images)) {}

int ItemListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_items.size());
}

int ItemListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_captions.size());
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const ListItem& row = item(index.row());
    if (role == Qt::DisplayRole)
        return row.text(index.column());
    if (role == Qt::DecorationRole && index.column() == 0 && row.ImageIndex >= 0 &&
        row.ImageIndex < m_images.size())
        return m_images.at(row.ImageIndex);
    return {};
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_captions.value(section);
    return {};
}

void ItemListModel::clear() {
    beginResetModel();
    m_items.clear();
    endResetModel();
}

void ItemListModel::append(ListItem item) {
    const int row = rowCount();
    beginInsertRows({}, row, row);
    m_items.push_back(std::move(item));
    endInsertRows();
}

void ItemListModel::appendItems(std::vector<ListItem>&& items) {
    if (items.empty())
        return;
    beginResetModel();
    m_items.insert(m_items.end(), std::make_move_iterator(items.begin()),
                   std::make_move_iterator(items.end()));
    endResetModel();
}

ListItem ItemListModel::take(int row) {
    beginRemoveRows({}, row, row);
    const auto at = m_items.begin() + row;
    ListItem taken = std::move(*at);
    m_items.erase(at);
    endRemoveRows();
    return taken;
}

std::vector<ListItem> ItemListModel::takeAll() {
    beginResetModel();
    std::vector<ListItem> taken = std::move(m_items);
    m_items.clear();
    endResetModel();
    return taken;
}

bool ItemListModel::hasCaption(const QString& caption) const {
    return std::any_of(m_items.begin(), m_items.end(),
                       [&caption](const ListItem& item) { return item.Caption == caption; });
}

int selectedRow(const QAbstractItemView& view) {
    const QModelIndexList rows = view.selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void moveItem(ItemListModel& from, int row, ItemListModel& to) {
    to.append(from.take(row));
}
