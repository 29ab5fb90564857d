#include "UserListOrder.h"

#include "MergeSorted.h"
#include "UserListStore.h"

#include <algorithm>

UserListOrder::UserListOrder(int column, Qt::SortOrder order)
    : m_column(column), m_descending(order == Qt::DescendingOrder),
      m_collator(QLocale(QLocale::Chinese, QLocale::China)) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
}

void UserListOrder::keyNewRows(const UserListStore& store) {
    m_keys.reserve(size_t(store.size()));
    for (int row = keyed(); row < store.size(); ++row)
        m_keys.push_back(m_collator.sortKey(store.text(row, m_column)));
}

void UserListOrder::rekey(const UserListStore& store, int row) {
    if (row < keyed())
        m_keys[size_t(row)] = m_collator.sortKey(store.text(row, m_column));
}

void UserListOrder::removeKeys(const StoreRows& storeRows) {
    size_t out = 0;
    auto removed = storeRows.begin();
    for (size_t row = 0; row < m_keys.size(); ++row) {
        if (removed != storeRows.end() && *removed == int(row)) {
            ++removed;
            continue;
        }
        if (out != row)
            m_keys[out] = std::move(m_keys[row]);
        ++out;
    }
    m_keys.erase(m_keys.begin() + std::ptrdiff_t(out), m_keys.end());
}

bool UserListOrder::before(int a, int b) const {
    const int texts = m_keys[size_t(a)].compare(m_keys[size_t(b)]);
    if (texts != 0)
        return m_descending ? texts > 0 : texts < 0;
    return a < b;
}

void UserListOrder::sort(StoreRows& rows) const {
    std::sort(rows.begin(), rows.end(), [this](int a, int b) { return before(a, b); });
}

void UserListOrder::merge(StoreRows& rows, StoreRows newRows) const {
    sort(newRows);
    mergeSorted(rows, newRows, [this](int a, int b) { return before(a, b); });
}
