#include "AesHardware.h"

#if defined(KVZ_AES_X86)
#include <emmintrin.h>
#include <wmmintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#endif
#else
#include "AesTables.h"
#endif

#if defined(__GNUC__)
#define KVZ_UNROLL _Pragma("GCC unroll 16")
#else
#define KVZ_UNROLL
#endif

namespace kvz::aes::hardware {

#if defined(KVZ_AES_X86)
namespace {

// Blocks in flight at once in the parallel modes; enough to hide the latency of AESENC.
constexpr int Lanes = 8;

template <int Rounds> struct RoundKeys {
    __m128i key[Rounds + 1];

    explicit RoundKeys(const std::uint32_t* words) {
        KVZ_UNROLL
        for (int i = 0; i <= Rounds; ++i) {
            key[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(words + 4 * i));
        }
    }
};

KVZ_AES_INLINE __m128i loadBlock(const std::uint8_t* bytes) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
}

KVZ_AES_INLINE void storeBlock(std::uint8_t* bytes, __m128i block) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes), block);
}

template <int Rounds, int Count>
KVZ_AES_INLINE void encryptLanes(const RoundKeys<Rounds>& keys, __m128i (&blocks)[Count]) {
    KVZ_UNROLL
    for (int i = 0; i < Count; ++i) {
        blocks[i] = _mm_xor_si128(blocks[i], keys.key[0]);
    }
    KVZ_UNROLL
    for (int round = 1; round < Rounds; ++round) {
        KVZ_UNROLL
        for (int i = 0; i < Count; ++i) {
            blocks[i] = _mm_aesenc_si128(blocks[i], keys.key[round]);
        }
    }
    KVZ_UNROLL
    for (int i = 0; i < Count; ++i) {
        blocks[i] = _mm_aesenclast_si128(blocks[i], keys.key[Rounds]);
    }
}

// The deciphering schedule is in enciphering order, so it is walked from its end.
template <int Rounds, int Count>
KVZ_AES_INLINE void decryptLanes(const RoundKeys<Rounds>& keys, __m128i (&blocks)[Count]) {
    KVZ_UNROLL
    for (int i = 0; i < Count; ++i) {
        blocks[i] = _mm_xor_si128(blocks[i], keys.key[Rounds]);
    }
    KVZ_UNROLL
    for (int round = Rounds - 1; round > 0; --round) {
        KVZ_UNROLL
        for (int i = 0; i < Count; ++i) {
            blocks[i] = _mm_aesdec_si128(blocks[i], keys.key[round]);
        }
    }
    KVZ_UNROLL
    for (int i = 0; i < Count; ++i) {
        blocks[i] = _mm_aesdeclast_si128(blocks[i], keys.key[0]);
    }
}

template <int Rounds, int Count, bool Decrypt>
KVZ_AES_INLINE void ecbLanes(const RoundKeys<Rounds>& keys, const std::uint8_t* in,
                             std::uint8_t* out) {
    __m128i blocks[Count];
    KVZ_UNROLL
    for (int i = 0; i < Count; ++i) {
        blocks[i] = loadBlock(in + 16 * i);
    }
    if constexpr (Decrypt) {
        decryptLanes(keys, blocks);
    } else {
        encryptLanes(keys, blocks);
    }
    KVZ_UNROLL
    for (int i = 0; i < Count; ++i) {
        storeBlock(out + 16 * i, blocks[i]);
    }
}

template <bool Decrypt>
void ecb(const KeySchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
         std::size_t blocks) {
    withRounds(schedule.rounds, [&]<int Rounds>() {
        const RoundKeys<Rounds> keys(schedule.words);
        for (; blocks >= Lanes; blocks -= Lanes, in += 16 * Lanes, out += 16 * Lanes) {
            ecbLanes<Rounds, Lanes, Decrypt>(keys, in, out);
        }
        for (; blocks > 0; --blocks, in += 16, out += 16) {
            ecbLanes<Rounds, 1, Decrypt>(keys, in, out);
        }
    });
}

void encryptEcb(const KeySchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                std::size_t blocks) {
    ecb<false>(schedule, in, out, blocks);
}

void decryptEcb(const KeySchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                std::size_t blocks) {
    ecb<true>(schedule, in, out, blocks);
}

// Each block depends on the one before, so CBC enciphering runs one block at a time.
void encryptCbc(const KeySchedule& schedule, std::uint8_t* chain, const std::uint8_t* in,
                std::uint8_t* out, std::size_t blocks) {
    withRounds(schedule.rounds, [&]<int Rounds>() {
        const RoundKeys<Rounds> keys(schedule.words);
        __m128i state[1] = {loadBlock(chain)};
        for (; blocks > 0; --blocks, in += 16, out += 16) {
            state[0] = _mm_xor_si128(state[0], loadBlock(in));
            encryptLanes(keys, state);
            storeBlock(out, state[0]);
        }
        storeBlock(chain, state[0]);
    });
}

// All cipher blocks are loaded before any output is stored, so in-place runs are safe.
template <int Rounds, int Count>
KVZ_AES_INLINE __m128i cbcDecryptLanes(const RoundKeys<Rounds>& keys, __m128i chain,
                                       const std::uint8_t* in, std::uint8_t* out) {
    __m128i cipher[Count];
    __m128i blocks[Count];
    KVZ_UNROLL
    for (int i = 0; i < Count; ++i) {
        cipher[i] = loadBlock(in + 16 * i);
        blocks[i] = cipher[i];
    }
    decryptLanes(keys, blocks);
    storeBlock(out, _mm_xor_si128(blocks[0], chain));
    KVZ_UNROLL
    for (int i = 1; i < Count; ++i) {
        storeBlock(out + 16 * i, _mm_xor_si128(blocks[i], cipher[i - 1]));
    }
    return cipher[Count - 1];
}

void decryptCbc(const KeySchedule& schedule, std::uint8_t* chain, const std::uint8_t* in,
                std::uint8_t* out, std::size_t blocks) {
    withRounds(schedule.rounds, [&]<int Rounds>() {
        const RoundKeys<Rounds> keys(schedule.words);
        __m128i vector = loadBlock(chain);
        for (; blocks >= Lanes; blocks -= Lanes, in += 16 * Lanes, out += 16 * Lanes) {
            vector = cbcDecryptLanes<Rounds, Lanes>(keys, vector, in, out);
        }
        for (; blocks > 0; --blocks, in += 16, out += 16) {
            vector = cbcDecryptLanes<Rounds, 1>(keys, vector, in, out);
        }
        storeBlock(chain, vector);
    });
}

constexpr AesEngine HardwareEngine{encryptEcb, decryptEcb, encryptCbc, decryptCbc};

bool processorHasAes() {
#if defined(_MSC_VER)
    int registers[4];
    __cpuid(registers, 1);
    constexpr int Sse41Bit = 1 << 19;
    constexpr int AesBit = 1 << 25;
    return (registers[2] & Sse41Bit) != 0 && (registers[2] & AesBit) != 0;
#else
    return __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse4.1");
#endif
}

} // namespace

bool supported() {
    static const bool hasAes = processorHasAes();
    return hasAes;
}

const AesEngine& engine() {
    return HardwareEngine;
}

#else

bool supported() {
    return false;
}

const AesEngine& engine() {
    return tables::engine();
}

#endif

} // namespace kvz::aes::hardware
