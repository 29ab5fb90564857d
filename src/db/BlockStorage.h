#pragma once

#include "HugePages.h"

#include <QByteArrayView>
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

// Values of one type kept in blocks: appending never moves what is stored, and freeing costs
// one release per block, not one per value. Block b holds FirstBlock << b values while blocks
// are smaller than HugePageMinimum (heap blocks), then blocks hold LargestBlock values (2 MB,
// one huge page): a few values take little room, many sit in huge pages, and at most one block
// is partly empty. Value i is found with a bit count or a division by a constant.
template <typename T, size_t FirstBlock = 4096> class BlockArray {
    static_assert(std::has_single_bit(FirstBlock) && std::is_trivially_copyable_v<T>);
    static constexpr size_t LargestBlock = std::max(FirstBlock, (size_t(2) << 20) / sizeof(T));
    static constexpr size_t GrowingBlocks = [] {
        size_t blocks = 0;
        while ((FirstBlock << blocks) * sizeof(T) < HugePageMinimum &&
               (FirstBlock << blocks) < LargestBlock)
            ++blocks;
        return blocks;
    }();
    static constexpr size_t InGrowingBlocks = FirstBlock * ((size_t(1) << GrowingBlocks) - 1);

public:
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](size_t index) {
        const Place at = place(index);
        return m_blocks[at.block][at.offset];
    }
    const T& operator[](size_t index) const {
        const Place at = place(index);
        return m_blocks[at.block][at.offset];
    }

    void push_back(const T& value) {
        if (m_size == m_capacity) {
            const size_t count = blockSize(m_blocks.size());
            m_blocks.push_back(allocateHugePagesBlock<T>(count));
            m_capacity += count;
        }
        (*this)[m_size++] = value;
    }

    // Removes [first, last), moving the values after them down.
    void erase(size_t first, size_t last) {
        const size_t removed = last - first;
        for (size_t i = first; i + removed < m_size; ++i)
            (*this)[i] = (*this)[i + removed];
        m_size -= removed;
        while (!m_blocks.empty() && m_capacity - blockSize(m_blocks.size() - 1) >= m_size) {
            m_capacity -= blockSize(m_blocks.size() - 1);
            m_blocks.pop_back();
        }
    }

    void clear() {
        m_blocks.clear();
        m_size = m_capacity = 0;
    }

    size_t bytes() const { return m_capacity * sizeof(T); }

private:
    struct Place {
        size_t block;
        size_t offset;
    };
    static size_t blockSize(size_t block) {
        return block < GrowingBlocks ? FirstBlock << block : LargestBlock;
    }
    static Place place(size_t index) {
        if (index >= InGrowingBlocks) {
            const size_t past = index - InGrowingBlocks;
            return {GrowingBlocks + past / LargestBlock, past % LargestBlock};
        }
        const size_t block = size_t(std::bit_width(index / FirstBlock + 1)) - 1;
        return {block, index - FirstBlock * ((size_t(1) << block) - 1)};
    }

    std::vector<HugePagesBlock<T>> m_blocks;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

// Bytes kept in blocks, each new one as large as all before it from FirstBlockSize while they
// hold less than HugePageMinimum, then of LastBlockSize (so a large store sits in huge pages);
// a run of bytes never straddles two blocks, and a run longer than a block gets a block of its
// own. A run is found again by its block and offset.
class ByteBlocks {
public:
    static constexpr size_t FirstBlockSize = 64 * 1024;
    static constexpr size_t LastBlockSize = 2 * 1024 * 1024;

    struct Position {
        quint32 block;
        quint32 offset;
    };

    // Reserves size bytes in one block and returns where they are; write them with at().
    Position reserve(size_t size) {
        if (m_blocks.empty() || m_used + size > m_capacity) {
            const size_t next =
                m_bytes < HugePageMinimum ? std::max(m_bytes, FirstBlockSize) : LastBlockSize;
            m_capacity = std::max(size, next);
            m_blocks.push_back(allocateHugePagesBlock<char>(m_capacity));
            m_bytes += m_capacity;
            m_used = 0;
        }
        const Position position{quint32(m_blocks.size() - 1), quint32(m_used)};
        m_used += size;
        return position;
    }

    // Gives back the last size bytes of the latest reservation, which wrote fewer.
    void unreserve(size_t size) { m_used -= size; }

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
    std::vector<HugePagesBlock<char>> m_blocks;
    size_t m_capacity = 0; // of the last block
    size_t m_used = 0;     // of the last block
    size_t m_bytes = 0;
};
