#pragma once

#include "Item.h"

#include <QAbstractTableModel>
#include <QIcon>
#include <QList>
#include <QStringList>
#include <vector>

// One row of the user list: icon index (2 online, 3 offline), the caption (user name), the
// seven sub-items in column order (department, IP, computer, role, decrypt mark, version,
// scan task) and the row's identity.
struct UserRow {
    static constexpr int OnlineImage = 2;
    static constexpr int OfflineImage = 3;
    static QString decryptMark(bool decrypts); // "V" or "-"

    bool online() const { return ImageIndex == OnlineImage; }
    bool decrypts() const;

    int ImageIndex = OfflineImage;
    QString Caption;
    QStringList SubItems; // always 7 entries
    TItem Item;
};

// The rows of LV_Man. Held as plain values so that 100,000 users load quickly.
class UserListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int SubItemCount = 7;
    static constexpr int DecryptSubItem = 4; // "V" or "-"

    // Header caption, initial width and alignment of each column, caption column first.
    struct Column {
        const char16_t* caption;
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

    void clear();
    void appendRows(std::vector<UserRow>&& rows); // one insert notification for the batch
    int appendRow(UserRow row);                   // returns the new row's index
    void removeRowsAt(QList<int> rows);           // any order, duplicates ignored
    const UserRow& row(int index) const;
    void setRow(int index, UserRow row);
    int findById(qint32 id) const; // first row whose Item.Id is id, or -1

private:
    QList<QIcon> m_images;
    std::vector<UserRow> m_rows;
};
