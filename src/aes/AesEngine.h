#pragma once

#include <cstddef>
#include <cstdint>

// The block code's small helpers must be inlined into the unrolled rounds whatever the
// optimisation level.
#if defined(_MSC_VER)
#define KVZ_AES_INLINE __forceinline
#else
#define KVZ_AES_INLINE inline __attribute__((always_inline))
#endif

namespace kvz::aes {

// A round-key schedule as the block code sees it: rounds + 1 round keys of four words, each
// word holding four schedule bytes with the first byte in its low eight bits.
struct KeySchedule {
    const std::uint32_t* words;
    int rounds;
};

// One implementation of the block cipher over runs of whole 16-byte blocks. Input and output
// may be the same memory. `chain` is the CBC chaining block and is updated in place.
struct AesEngine {
    void (*encryptEcb)(const KeySchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                       std::size_t blocks);
    void (*decryptEcb)(const KeySchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                       std::size_t blocks);
    void (*encryptCbc)(const KeySchedule& schedule, std::uint8_t* chain, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t blocks);
    void (*decryptCbc)(const KeySchedule& schedule, std::uint8_t* chain, const std::uint8_t* in,
                       std::uint8_t* out, std::size_t blocks);
};

// Calls `body.template operator()<Rounds>()` with the round count as a compile-time constant,
// so every key size gets its own fully unrolled code.
template <class Body> void withRounds(int rounds, Body&& body) {
    switch (rounds) {
    case 10:
        body.template operator()<10>();
        break;
    case 12:
        body.template operator()<12>();
        break;
    default:
        body.template operator()<14>();
        break;
    }
}

} // namespace kvz::aes
