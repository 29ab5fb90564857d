#include "UserListOrder.h"

#include "UserListStore.h"

#include <QCollatorSortKey>
#include <algorithm>
#include <iterator>
#include <numeric>

UserListOrder::UserListOrder(const UserListStore& store, int column, Qt::SortOrder order)
    : m_store(store), m_column(column), m_descending(order == Qt::DescendingOrder),
      m_collator(QLocale(QLocale::Chinese, QLocale::China)) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
}

bool UserListOrder::before(int a, int b) const {
    const int texts = m_collator.compare(m_store.text(a, m_column), m_store.text(b, m_column));
    if (texts != 0)
        return m_descending ? texts > 0 : texts < 0;
    return a < b;
}

void UserListOrder::sort(std::vector<int>& rows) const {
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows.size());
    for (const int row : rows)
        keys.push_back(m_collator.sortKey(m_store.text(row, m_column)));
    // Sorts positions in rows, so that the keys are found by position.
    std::vector<int> positions(rows.size());
    std::iota(positions.begin(), positions.end(), 0);
    std::sort(positions.begin(), positions.end(), [&](int a, int b) {
        const int texts = keys[size_t(a)].compare(keys[size_t(b)]);
        if (texts != 0)
            return m_descending ? texts > 0 : texts < 0;
        return rows[size_t(a)] < rows[size_t(b)];
    });
    std::vector<int> sorted;
    sorted.reserve(rows.size());
    for (const int position : positions)
        sorted.push_back(rows[size_t(position)]);
    rows.swap(sorted);
}

void UserListOrder::merge(std::vector<int>& rows, std::vector<int> newRows) const {
    sort(newRows);
    std::vector<int> merged;
    merged.reserve(rows.size() + newRows.size());
    std::merge(rows.begin(), rows.end(), newRows.begin(), newRows.end(), std::back_inserter(merged),
               [this](int a, int b) { return before(a, b); });
    rows.swap(merged);
}
