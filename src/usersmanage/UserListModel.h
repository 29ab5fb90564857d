#pragma once

#include "UserListStore.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>

// The rows of LV_Man over a compact store. Rows a load appends to the store become visible
// when the load publishes them, one insert notification per slice.
class UserListModel : public QAbstractTableModel {
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

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

    // Loading: clear, append to the store, publish what was appended.
    void clear();
    UserListStore& store() { return m_store; }
    const UserListStore& store() const { return m_store; }
    void publish();

    // Single rows changed by the editing commands and by presence.
    int appendRow(const UserRow& row);  // returns the new row's index
    void removeRowsAt(QList<int> rows); // any order, duplicates ignored
    UserRow row(int index) const;
    void setRow(int index, const UserRow& row);
    void setOnlineAt(int storeRow, bool online); // rows not shown yet change silently
    void setAllOffline();
    int findById(qint32 id) const; // first row whose Item.Id is id, or -1

private:
    QList<QIcon> m_images;
    UserListStore m_store;
    int m_published = 0; // rows the views know of
};
