#include "UserListOrder.h"

#include "MergeSorted.h"
#include "UserListStore.h"

#include <algorithm>

namespace {

// Bucket boundaries: every oversampling-th row of an evenly spaced sample, sorted.
template <typename Less>
std::vector<int> splitters(const StoreRows& rows, size_t buckets, Less less) {
    constexpr size_t Oversampling = 16;
    std::vector<int> sample(buckets * Oversampling);
    for (size_t i = 0; i < sample.size(); ++i)
        sample[i] = rows[i * rows.size() / sample.size()];
    std::sort(sample.begin(), sample.end(), less);
    std::vector<int> bounds(buckets - 1);
    for (size_t b = 1; b < buckets; ++b)
        bounds[b - 1] = sample[b * Oversampling];
    return bounds;
}

// Where the rows of each key start once sorted by key (below keys, keyAt(i) the key of the
// i-th row), and the end last.
template <typename KeyAt> std::vector<size_t> keyStarts(size_t rows, size_t keys, KeyAt keyAt) {
    std::vector<size_t> starts(keys + 1);
    for (size_t i = 0; i < rows; ++i)
        ++starts[keyAt(i) + 1];
    for (size_t key = 1; key < starts.size(); ++key)
        starts[key] += starts[key - 1];
    return starts;
}

// The rows sorted by key, those of one key in the order they came: a counting sort.
template <typename KeyAt>
StoreRows countedInto(const StoreRows& rows, std::vector<size_t> starts, KeyAt keyAt) {
    StoreRows sorted(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        sorted[starts[keyAt(i)]++] = rows[i];
    return sorted;
}

// A sample sort: the rows go to buckets between splitters, then each bucket sorts on its own.
// A bucket's keys stay in the processor's caches while it sorts, where one sort of a million
// rows fetches two keys from memory for most comparisons.
template <typename Less> void sampleSort(StoreRows& rows, Less less) {
    constexpr size_t BucketRows = 4096;
    const size_t buckets = rows.size() / BucketRows;
    if (buckets < 2) {
        std::sort(rows.begin(), rows.end(), less);
        return;
    }
    const std::vector<int> bounds = splitters(rows, buckets, less);
    std::vector<quint32> bucketOf(rows.size());
    for (size_t i = 0; i < rows.size(); ++i)
        bucketOf[i] =
            quint32(std::upper_bound(bounds.begin(), bounds.end(), rows[i], less) - bounds.begin());
    const auto bucket = [&bucketOf](size_t i) { return bucketOf[i]; };
    const std::vector<size_t> first = keyStarts(rows.size(), buckets, bucket);
    rows = countedInto(rows, first, bucket);
    for (size_t b = 0; b < buckets; ++b)
        std::sort(rows.begin() + std::ptrdiff_t(first[b]),
                  rows.begin() + std::ptrdiff_t(first[b + 1]), less);
}

} // namespace

UserListOrder::UserListOrder(int column, Qt::SortOrder order)
    : m_column(column), m_descending(order == Qt::DescendingOrder),
      m_shared(UserListStore::sharesTexts(column)),
      m_collator(QLocale(QLocale::Chinese, QLocale::China)) {
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    m_collator.setNumericMode(true);
}

void UserListOrder::keyNewRows(const UserListStore& store) {
    m_keys.reserve(size_t(store.size()));
    for (int row = keyed(); row < store.size(); ++row) {
        if (m_shared)
            m_texts.push_back(store.sharedText(row, m_column));
        m_keys.push_back(keyOf(store, row));
    }
}

void UserListOrder::rekey(const UserListStore& store, int row) {
    if (row >= keyed())
        return;
    if (m_shared)
        m_texts[size_t(row)] = store.sharedText(row, m_column);
    m_keys[size_t(row)] = keyOf(store, row);
}

// A shared text is keyed when a row first shows it; its later rows share that key.
QCollatorSortKey UserListOrder::keyOf(const UserListStore& store, int row) {
    if (!m_shared)
        return m_collator.sortKey(store.text(row, m_column));
    const quint32 text = store.sharedText(row, m_column);
    if (text >= m_keyOfText.size())
        m_keyOfText.resize(size_t(text) + 1);
    std::optional<QCollatorSortKey>& key = m_keyOfText[text];
    if (!key)
        key = m_collator.sortKey(store.text(row, m_column));
    return *key;
}

void UserListOrder::removeKeys(const StoreRows& storeRows) {
    size_t out = 0;
    auto removed = storeRows.begin();
    for (size_t row = 0; row < m_keys.size(); ++row) {
        if (removed != storeRows.end() && *removed == int(row)) {
            ++removed;
            continue;
        }
        if (out != row) {
            m_keys[out] = std::move(m_keys[row]);
            if (m_shared)
                m_texts[out] = m_texts[row];
        }
        ++out;
    }
    m_keys.erase(m_keys.begin() + std::ptrdiff_t(out), m_keys.end());
    if (m_shared)
        m_texts.resize(out);
}

void UserListOrder::clearKeys() {
    m_keys.clear();
    m_texts.clear();
    m_keyOfText.clear();
}

bool UserListOrder::before(int a, int b) const {
    if (!m_shared || m_texts[size_t(a)] != m_texts[size_t(b)]) {
        const int texts = m_keys[size_t(a)].compare(m_keys[size_t(b)]);
        if (texts != 0)
            return m_descending ? texts > 0 : texts < 0;
    }
    return a < b;
}

bool UserListOrder::sameText(int a, int b) const {
    return (m_shared && m_texts[size_t(a)] == m_texts[size_t(b)]) ||
           m_keys[size_t(a)].compare(m_keys[size_t(b)]) == 0;
}

// Reversed, then each run of equal texts back in store order: one pass, no sort.
void UserListOrder::turnRound(StoreRows& rows) {
    m_descending = !m_descending;
    std::reverse(rows.begin(), rows.end());
    for (auto run = rows.begin(); run != rows.end();) {
        auto end = std::next(run);
        while (end != rows.end() && sameText(*run, *end))
            ++end;
        std::reverse(run, end);
        run = end;
    }
}

// Ranking a shared column's texts pays where the rows outnumber them; a slice of a load
// compares its rows instead.
void UserListOrder::sort(StoreRows& rows) const {
    if (m_shared && rows.size() >= 4 * m_keyOfText.size())
        sortByTextRank(rows);
    else
        sampleSort(rows, [this](int a, int b) { return before(a, b); });
}

// The rank of each text keyed, by its number (equal texts share a rank), and the ranks' count.
std::pair<std::vector<quint32>, quint32> UserListOrder::textRanks() const {
    std::vector<quint32> texts;
    for (quint32 text = 0; text < m_keyOfText.size(); ++text) {
        if (m_keyOfText[text])
            texts.push_back(text);
    }
    const auto compare = [this](quint32 a, quint32 b) {
        return m_keyOfText[a]->compare(*m_keyOfText[b]);
    };
    std::sort(texts.begin(), texts.end(), [&](quint32 a, quint32 b) { return compare(a, b) < 0; });
    std::vector<quint32> rankOf(m_keyOfText.size());
    quint32 rank = 0;
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0 && compare(texts[i - 1], texts[i]) != 0)
            ++rank;
        rankOf[texts[i]] = rank;
    }
    return {std::move(rankOf), rank + 1};
}

// The rows are counted into their texts' ranks in store order, which breaks ties as before()
// does.
void UserListOrder::sortByTextRank(StoreRows& rows) const {
    const auto [rankOf, ranks] = textRanks();
    const auto rank = [&](int row) {
        const quint32 r = rankOf[m_texts[size_t(row)]];
        return m_descending ? ranks - 1 - r : r;
    };
    if (!std::is_sorted(rows.begin(), rows.end()))
        std::sort(rows.begin(), rows.end());
    const auto rankAt = [&](size_t i) { return rank(rows[i]); };
    rows = countedInto(rows, keyStarts(rows.size(), ranks, rankAt), rankAt);
}

void UserListOrder::merge(StoreRows& rows, StoreRows newRows) const {
    sort(newRows);
    mergeSorted(rows, newRows, [this](int a, int b) { return before(a, b); });
}
