#pragma once

#include "HugePages.h"

#include <QHash>
#include <vector>

// Ids (AutoNumber keys: mostly small, dense and ascending) to non-negative values. Ids within a
// few times the number of entries sit in a table indexed by id, so that a walk in id order
// touches memory in order; the others go to a hash.
class IdMap {
public:
    int value(qint64 id) const {
        if (id >= 0 && id < qint64(m_dense.size()) && m_dense[size_t(id)] > 0)
            return m_dense[size_t(id)] - 1;
        return m_sparse.isEmpty() ? -1 : m_sparse.value(id, -1);
    }
    bool contains(qint64 id) const { return value(id) >= 0; }

    void insert(qint64 id, int value) {
        if (fitsDense(id) && !m_sparse.contains(id)) {
            if (id >= qint64(m_dense.size()))
                m_dense.resize(std::max(size_t(id) + 1, 2 * m_dense.size()));
            m_count += m_dense[size_t(id)] == 0 ? 1 : 0;
            m_dense[size_t(id)] = value + 1;
            return;
        }
        m_count += m_sparse.contains(id) ? 0 : 1;
        m_sparse.insert(id, value);
    }

    void remove(qint64 id) {
        if (id >= 0 && id < qint64(m_dense.size()) && m_dense[size_t(id)] > 0) {
            m_dense[size_t(id)] = 0;
            --m_count;
        } else if (m_sparse.remove(id)) {
            --m_count;
        }
    }

    void clear() {
        Dense().swap(m_dense);
        m_sparse.clear();
        m_count = 0;
    }

    size_t bytes() const {
        return m_dense.capacity() * sizeof(int) +
               size_t(m_sparse.capacity()) * (sizeof(qint64) + sizeof(int) + 1);
    }

private:
    static constexpr qint64 DenseFloor = 1 << 16;
    bool fitsDense(qint64 id) const {
        return id >= 0 && id < std::max(DenseFloor, 8 * qint64(m_count + 1));
    }

    using Dense = std::vector<int, HugePageAllocator<int>>; // large tables reused, not faulted in
    Dense m_dense;                                          // value + 1; 0 for none
    QHash<qint64, int> m_sparse;
    qsizetype m_count = 0;
};
