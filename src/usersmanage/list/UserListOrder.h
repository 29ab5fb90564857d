#pragma once

#include <QCollator>
#include <Qt>
#include <vector>

class UserListStore;

// The order of user rows by one list column. Texts compare as a Chinese reader expects them:
// Han characters by pinyin, letter case folded, and runs of digits as numbers, so that
// "127.0.0.9" comes before "127.0.0.10", version "3.5.9" before "3.5.10" and "user9" before
// "user10". Rows with equal texts keep their store order in both directions, so the order is
// total and the same however it is reached.
class UserListOrder {
public:
    UserListOrder(const UserListStore& store, int column, Qt::SortOrder order);

    // Whether store row a goes before store row b; decodes both texts.
    bool before(int a, int b) const;
    // Sorts store rows, each text decoded and keyed once (far cheaper than before() per
    // comparison on a long list).
    void sort(std::vector<int>& rows) const;
    // Sorts newRows and merges them into rows, which are in this order already.
    void merge(std::vector<int>& rows, std::vector<int> newRows) const;

private:
    const UserListStore& m_store;
    int m_column;
    bool m_descending;
    QCollator m_collator;
};
