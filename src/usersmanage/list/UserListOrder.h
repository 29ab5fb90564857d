#pragma once

#include "HugePages.h"

#include <QCollator>
#include <QCollatorSortKey>
#include <Qt>
#include <optional>
#include <utility>
#include <vector>

class UserListStore;

// Store rows in a list's order; a million of them take 4 MB, mapped in huge pages.
using StoreRows = std::vector<int, HugePageAllocator<int>>;

// The order of user rows by one list column. Texts compare as a Chinese reader expects them:
// Han characters by pinyin, letter case folded, and runs of digits as numbers, so that
// "127.0.0.9" comes before "127.0.0.10", version "3.5.9" before "3.5.10" and "user9" before
// "user10". Rows with equal texts keep their store order in both directions, so the order is
// total and the same however it is reached. Each store row's text is keyed once, when the
// order first sees it, and compared by its key from then on; the texts rows share (a
// department, a role) are keyed once for all their rows.
class UserListOrder {
public:
    UserListOrder(int column, Qt::SortOrder order);

    int column() const { return m_column; }
    Qt::SortOrder order() const { return m_descending ? Qt::DescendingOrder : Qt::AscendingOrder; }

    // Keys the store rows appended since the last call; every row compared must be keyed.
    void keyNewRows(const UserListStore& store);
    void rekey(const UserListStore& store, int row); // the row's text changed
    void removeKeys(const StoreRows& storeRows);     // ascending; later rows move up
    void clearKeys();
    int keyed() const { return int(m_keys.size()); }

    // Whether store row a goes before store row b.
    bool before(int a, int b) const;
    void sort(StoreRows& rows) const;
    // Rows in this order, put into the opposite order, which the order becomes.
    void turnRound(StoreRows& rows);
    // Sorts newRows and merges them into rows, which are in this order already.
    void merge(StoreRows& rows, StoreRows newRows) const;

private:
    QCollatorSortKey keyOf(const UserListStore& store, int row);
    bool sameText(int a, int b) const;
    std::pair<std::vector<quint32>, quint32> textRanks() const;
    void sortByTextRank(StoreRows& rows) const;

    int m_column;
    bool m_descending;
    bool m_shared; // the column's rows share their texts
    QCollator m_collator;
    std::vector<QCollatorSortKey> m_keys; // by store row
    // A shared column: by store row the number of its text, by that number the text's key.
    std::vector<quint32> m_texts;
    std::vector<std::optional<QCollatorSortKey>> m_keyOfText;
};
