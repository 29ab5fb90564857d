#pragma once

#include "ModuleExport.h"

#include "UserListOrder.h"
#include "UserListStore.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <optional>
#include <vector>

// The rows of LV_Man over a compact store. Rows a load appends to the store become visible
// when the load publishes them, one insert notification per slice. The list shows the store's
// rows in its own order (the store's, or sorted by a column), kept as a permutation both ways:
// every row number this model takes or gives is a list row, except where it says store row.
class KVZ_MODULE_EXPORT UserListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int SubItemCount = 7;
    static constexpr int DecryptSubItem = UserRow::DecryptSubItem;

    // Header caption, initial width and alignment of each column, caption column first.
    struct Column {
        const char* caption; // translated when shown
        int width;
        bool centred;
    };
    static const Column Columns[SubItemCount + 1];
    // Drag payload of user rows: the Uids of the dragged rows, one per line.
    static QString mimeType();

    explicit UserListModel(QList<QIcon> images, QObject* parent = nullptr);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    // Sorts by column (-1: the store's order). The order holds for rows published, appended
    // or changed later, until the next sort.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    bool isSorted() const { return m_sorting.has_value(); }

    // Loading: clear, append to the store, publish what was appended. A sorted list keys the
    // rows appended as they come (keyNewRows) and merges them into their order slice by slice
    // (arrange), so that publishing only hands the views the order made ready.
    void clear();
    UserListStore& store() { return m_store; }
    const UserListStore& store() const { return m_store; }
    void keyNewRows();
    void arrange();
    void publish();

    // Single rows changed by the editing commands and by presence.
    int appendRow(const UserRow& row);  // returns the new row's index
    void removeRowsAt(QList<int> rows); // any order, duplicates ignored
    UserRow row(int index) const;
    void setRow(int index, const UserRow& row);  // a sorted list moves the row to its place
    void setOnlineAt(int storeRow, bool online); // rows not shown yet change silently
    void setAllOffline();
    int findById(qint32 id) const; // the row of the user (his first as loaded), or -1

private:
    int storeRow(int row) const { return m_order[size_t(row)]; }
    void reorder(StoreRows order);
    void rekey(int storeRow);
    void moveToItsPlace(int row);
    void removeFromStore(StoreRows storeRows);
    int listRow(int storeRow) const;
    void renumber(int first, int last); // m_listRow for the list rows first..last

    QList<QIcon> m_images;
    UserListStore m_store;
    // The rows the views know of (a prefix of the store): the store row of each list row, and
    // the list row of each of those store rows.
    StoreRows m_order;
    mutable StoreRows m_listRow;
    mutable bool m_listRowStale = false; // to be written again from m_order
    std::optional<UserListOrder> m_sorting;
    // While a sorted list loads: every store row read so far, in the list's order (empty when
    // that is m_order).
    StoreRows m_arranged;
};
