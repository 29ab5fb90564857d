#include "HugePages.h"

#include <QtGlobal>
#include <new>

// Under AddressSanitizer every block comes from the heap, whose bounds it checks.
#if defined(__SANITIZE_ADDRESS__)
#define KVZ_HEAP_BLOCKS_ONLY
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KVZ_HEAP_BLOCKS_ONLY
#endif
#endif

#if defined(Q_OS_LINUX) && !defined(KVZ_HEAP_BLOCKS_ONLY)
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <sys/mman.h>
#include <type_traits>

namespace {
constexpr size_t HugePage = size_t(2) << 20;
// Freed blocks kept mapped for the next blocks, oldest first, up to this many bytes: a block
// used again costs no page faults, where a fresh one costs one per page. That holds what a
// dialog listing a million users takes, so that the next one opens as fast. The kernel may take
// their pages back should memory run short (a page taken reads as zeros when used again).
constexpr size_t KeptBytes = size_t(256) << 20;

std::atomic<size_t> mappedBytes{0};

size_t mappedSize(size_t bytes) {
    return (bytes + HugePage - 1) & ~(HugePage - 1);
}

// Blocks of at least one huge page each, so that KeptBytes fill at most MaxKept slots.
class KeptBlocks {
public:
    // The smallest kept block of size bytes or more; the rest of a larger one stays kept.
    void* take(size_t size) {
        const std::lock_guard lock(m_mutex);
        size_t best = m_count;
        for (size_t i = 0; i < m_count; ++i) {
            if (m_blocks[i].size >= size &&
                (best == m_count || m_blocks[i].size < m_blocks[best].size))
                best = i;
        }
        if (best == m_count)
            return nullptr;
        Kept& kept = m_blocks[best];
        char* const block = kept.block;
        m_bytes -= size;
        if (kept.size > size) {
            kept = {block + size, kept.size - size};
        } else {
            removeAt(best);
        }
        return block;
    }

    // Keeps block, newest last, joined with the kept blocks next to it (pieces of one larger
    // block, or mappings side by side), so that a large block can be taken again; unmaps the
    // oldest blocks beyond KeptBytes.
    void keep(void* block, size_t size) {
        madvise(block, size, MADV_FREE); // a hint: the pages stay until the kernel needs them
        const std::lock_guard lock(m_mutex);
        m_bytes += size;
        Kept joined{static_cast<char*>(block), size};
        for (size_t i = m_count; i-- > 0;) {
            if (m_blocks[i].block + m_blocks[i].size == joined.block)
                joined = {m_blocks[i].block, m_blocks[i].size + joined.size};
            else if (joined.block + joined.size == m_blocks[i].block)
                joined.size += m_blocks[i].size;
            else
                continue;
            removeAt(i);
        }
        m_blocks[m_count++] = joined;
        size_t released = 0;
        while (m_bytes > KeptBytes) {
            munmap(m_blocks[released].block, m_blocks[released].size);
            m_bytes -= m_blocks[released++].size;
        }
        std::copy(m_blocks.begin() + released, m_blocks.begin() + m_count, m_blocks.begin());
        m_count -= released;
    }

private:
    void removeAt(size_t i) {
        std::copy(m_blocks.begin() + i + 1, m_blocks.begin() + m_count, m_blocks.begin() + i);
        --m_count;
    }

    static constexpr size_t MaxKept = KeptBytes / HugePage + 1;
    struct Kept {
        char* block;
        size_t size;
    };
    std::mutex m_mutex;
    std::array<Kept, MaxKept> m_blocks{};
    size_t m_count = 0;
    size_t m_bytes = 0;
};

// Set up before any code runs and destroyed with nothing to do, so that blocks freed by other
// objects at exit still find it.
constinit KeptBlocks g_kept;
static_assert(std::is_trivially_destructible_v<KeptBlocks>);

// Maps a huge page more than asked and unmaps the ends, so that the block starts on a huge
// page and holds whole huge pages.
void* mapBlock(size_t size) {
    void* mapped =
        mmap(nullptr, size + HugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(mapped);
    const std::uintptr_t aligned = (start + HugePage - 1) & ~std::uintptr_t(HugePage - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    if (const size_t tail = start + HugePage - aligned; tail > 0)
        munmap(reinterpret_cast<void*>(aligned + size), tail);
    void* block = reinterpret_cast<void*>(aligned);
    madvise(block, size, MADV_HUGEPAGE); // a hint: without it the block still works
    return block;
}
} // namespace

void* allocateHugePages(size_t bytes) {
    if (bytes < HugePageMinimum)
        return ::operator new(bytes);
    const size_t size = mappedSize(bytes);
    void* block = g_kept.take(size);
    if (block == nullptr)
        block = mapBlock(size);
    mappedBytes += size;
    return block;
}

void freeHugePages(void* block, size_t bytes) noexcept {
    if (bytes < HugePageMinimum) {
        ::operator delete(block);
        return;
    }
    mappedBytes -= mappedSize(bytes);
    g_kept.keep(block, mappedSize(bytes));
}

size_t hugePagesMapped() {
    return mappedBytes;
}
#else
void* allocateHugePages(size_t bytes) {
    return ::operator new(bytes);
}

void freeHugePages(void* block, size_t) noexcept {
    ::operator delete(block);
}

size_t hugePagesMapped() {
    return 0;
}
#endif
