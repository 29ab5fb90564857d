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
#include <atomic>
#include <cstdint>
#include <sys/mman.h>

namespace {
constexpr size_t HugePage = size_t(2) << 20;
std::atomic<size_t> mappedBytes{0};

size_t mappedSize(size_t bytes) {
    return (bytes + HugePage - 1) & ~(HugePage - 1);
}
} // namespace

// Maps a huge page more than asked and unmaps the ends, so that the block starts on a huge
// page and freeing it unmaps exactly what is kept.
void* allocateHugePages(size_t bytes) {
    if (bytes < HugePageMinimum)
        return ::operator new(bytes);
    const size_t size = mappedSize(bytes);
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
    mappedBytes += size;
    return block;
}

void freeHugePages(void* block, size_t bytes) noexcept {
    if (bytes < HugePageMinimum)
        ::operator delete(block);
    else if (munmap(block, mappedSize(bytes)) == 0)
        mappedBytes -= mappedSize(bytes);
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
