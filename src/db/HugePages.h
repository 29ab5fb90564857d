#pragma once

#include "DbExport.h"

#include <cstddef>
#include <memory>

// Blocks of HugePageMinimum bytes and more are mapped in transparent huge pages where the
// system offers them (Linux), smaller ones come from the heap. A fresh block costs its page
// faults when first written: 4 KB at a time that was 80 ms for 32 MB on a virtual machine,
// 2 MB at a time 3 to 6 ms; a list's buffers of a million rows are that large. Freed blocks
// stay mapped, up to 256 MB, for the next blocks, which so cost no page faults.
inline constexpr size_t HugePageMinimum = size_t(256) << 10;
KVZDB_EXPORT void* allocateHugePages(size_t bytes); // throws std::bad_alloc
KVZDB_EXPORT void freeHugePages(void* block, size_t bytes) noexcept;
KVZDB_EXPORT size_t hugePagesMapped(); // bytes of the mapped blocks in use, for measurements

template <typename T> struct HugePageAllocator {
    using value_type = T;
    HugePageAllocator() = default;
    template <typename U> HugePageAllocator(const HugePageAllocator<U>&) noexcept {}
    T* allocate(size_t n) { return static_cast<T*>(allocateHugePages(n * sizeof(T))); }
    void deallocate(T* block, size_t n) noexcept { freeHugePages(block, n * sizeof(T)); }
    friend bool operator==(const HugePageAllocator&, const HugePageAllocator&) { return true; }
};

// A block of values from allocateHugePages, freed with it.
struct HugePagesFree {
    size_t bytes;
    void operator()(void* block) const noexcept { freeHugePages(block, bytes); }
};
template <typename T> using HugePagesBlock = std::unique_ptr<T[], HugePagesFree>;

template <typename T> HugePagesBlock<T> allocateHugePagesBlock(size_t count) {
    const size_t bytes = count * sizeof(T);
    return HugePagesBlock<T>(static_cast<T*>(allocateHugePages(bytes)), HugePagesFree{bytes});
}
