#pragma once

#include "ModuleExport.h"

#include "Item.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QStringList>
#include <vector>

class QAbstractItemView;

// One row of a dialog's report list: image, caption, sub-items and the row's identity.
struct ListItem {
    int ImageIndex = -1; // -1: no image
    QString Caption;
    QStringList SubItems;
    TItem Item;

    QString text(int column) const { return column == 0 ? Caption : SubItems.value(column - 1); }
};

// Text order of the console's lists: letter case ignored for A to Z only, otherwise by code.
int compareText(QStringView a, QStringView b);

// The rows of a dialog's short report list (the user authority dialog's groups), held as plain
// values.
class KVZ_MODULE_EXPORT ItemListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    ItemListModel(QStringList captions, QList<QIcon> images, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void clear();
    void append(ListItem item); // at the end
    void appendItems(std::vector<ListItem>&& items);
    ListItem take(int row);
    std::vector<ListItem> takeAll(); // in list order; the list is empty afterwards
    const ListItem& item(int row) const { return m_items[static_cast<size_t>(row)]; }
    bool hasCaption(const QString& caption) const;

private:
    QStringList m_captions;
    QList<QIcon> m_images;
    std::vector<ListItem> m_items;
};

// The selected row of a single-selection view, or -1.
int selectedRow(const QAbstractItemView& view);

// Moves row from one list to the end of the other.
void moveItem(ItemListModel& from, int row, ItemListModel& to);
