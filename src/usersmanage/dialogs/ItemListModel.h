#pragma once

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
int compareText(const QString& a, const QString& b);

// The rows of a dialog's report list, held as plain values so that lists of every user of a
// large site open and move quickly. Optionally kept sorted by caption.
class ItemListModel final : public QAbstractTableModel {
    Q_OBJECT
public:
    ItemListModel(QStringList captions, QList<QIcon> images, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    void setAutoSort(bool on) { m_autoSort = on; } // by caption, from the next insert on
    void clear();
    void append(ListItem item); // at the end, or in order when auto sorting
    void appendItems(std::vector<ListItem>&& items);
    ListItem take(int row);
    std::vector<ListItem> takeAll(); // in list order; the list is empty afterwards
    const ListItem& item(int row) const { return m_items[static_cast<size_t>(row)]; }
    bool hasCaption(const QString& caption) const;
    void sortBy(int column); // ascending by compareText of that column, stable

private:
    QStringList m_captions;
    QList<QIcon> m_images;
    std::vector<ListItem> m_items;
    bool m_autoSort = false;
};

// The selected row of a single-selection view, or -1.
int selectedRow(const QAbstractItemView& view);

// Moves row from one list to the end of the other (in order when it sorts itself).
void moveItem(ItemListModel& from, int row, ItemListModel& to);

// Moves the row selected in view (showing from) to the other list; nothing without a selection.
void moveSelected(const QAbstractItemView& view, ItemListModel& from, ItemListModel& to);
