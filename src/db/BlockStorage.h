#pragma once

#include <QByteArrayView>
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

// Values of one type kept in fixed-size blocks: appending never moves what is stored, and
// freeing costs one release per block, not one per value.
template <typename T, size_t BlockSize = 4096> class BlockArray {
public:
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](size_t index) { return m_blocks[index / BlockSize][index % BlockSize]; }
    const T& operator[](size_t index) const {
        return m_blocks[index / BlockSize][index % BlockSize];
    }

    void push_back(const T& value) {
        if (m_size == m_blocks.size() * BlockSize)
            m_blocks.push_back(std::make_unique_for_overwrite<T[]>(BlockSize));
        (*this)[m_size++] = value;
    }

    // Removes [first, last), moving the values after them down.
    void erase(size_t first, size_t last) {
        const size_t removed = last - first;
        for (size_t i = first; i + removed < m_size; ++i)
            (*this)[i] = (*this)[i + removed];
        m_size -= removed;
        m_blocks.resize((m_size + BlockSize - 1) / BlockSize);
    }

    void clear() {
        m_blocks.clear();
        m_size = 0;
    }

    size_t bytes() const { return m_blocks.size() * BlockSize * sizeof(T); }

private:
    std::vector<std::unique_ptr<T[]>> m_blocks;
    size_t m_size = 0;
};

// Bytes kept in blocks of BlockSize; a run of bytes never straddles two blocks, and a run
// longer than a block gets a block of its own. A run is found again by its block and offset.
class ByteBlocks {
public:
    static constexpr size_t BlockSize = 64 * 1024;

    struct Position {
        quint32 block;
        quint32 offset;
    };

    // Reserves size bytes in one block and returns where they are; write them with at().
    Position reserve(size_t size) {
        if (m_blocks.empty() || m_used + size > m_capacity) {
            m_capacity = std::max(size, BlockSize);
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_capacity));
            m_bytes += m_capacity;
            m_used = 0;
        }
        const Position position{quint32(m_blocks.size() - 1), quint32(m_used)};
        m_used += size;
        return position;
    }

    Position append(QByteArrayView bytes) {
        const Position position = reserve(size_t(bytes.size()));
        if (!bytes.isEmpty())
            std::memcpy(at(position), bytes.data(), size_t(bytes.size()));
        return position;
    }

    char* at(Position position) { return m_blocks[position.block].get() + position.offset; }
    const char* at(Position position) const {
        return m_blocks[position.block].get() + position.offset;
    }

    void clear() {
        m_blocks.clear();
        m_capacity = m_used = m_bytes = 0;
    }

    size_t bytes() const { return m_bytes; }

private:
    std::vector<std::unique_ptr<char[]>> m_blocks;
    size_t m_capacity = 0; // of the last block
    size_t m_used = 0;     // of the last block
    size_t m_bytes = 0;
};
