#include "AesTables.h"

#include <array>

namespace kvz::aes::tables {
namespace {

// --- Table generation (compile time) from the field arithmetic of GF(2^8) -------------------

constexpr std::uint8_t xtime(std::uint8_t value) {
    return static_cast<std::uint8_t>((value << 1) ^ ((value & 0x80) != 0 ? 0x1b : 0x00));
}

constexpr std::uint8_t gfMultiply(std::uint8_t a, std::uint8_t b) {
    std::uint8_t product = 0;
    for (; b != 0; b >>= 1, a = xtime(a)) {
        if ((b & 1) != 0) {
            product ^= a;
        }
    }
    return product;
}

// The multiplicative inverse is value^254; zero maps to zero.
constexpr std::uint8_t gfInverse(std::uint8_t value) {
    std::uint8_t result = 1;
    std::uint8_t power = value;
    for (int exponent = 254; exponent != 0; exponent >>= 1) {
        if ((exponent & 1) != 0) {
            result = gfMultiply(result, power);
        }
        power = gfMultiply(power, power);
    }
    return value == 0 ? 0 : result;
}

constexpr std::uint8_t rotateByteLeft(std::uint8_t value, int bits) {
    return static_cast<std::uint8_t>((value << bits) | (value >> (8 - bits)));
}

constexpr std::array<std::uint8_t, 256> makeSBox() {
    std::array<std::uint8_t, 256> box{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t inverse = gfInverse(static_cast<std::uint8_t>(x));
        box[x] = static_cast<std::uint8_t>(inverse ^ rotateByteLeft(inverse, 1) ^
                                           rotateByteLeft(inverse, 2) ^ rotateByteLeft(inverse, 3) ^
                                           rotateByteLeft(inverse, 4) ^ 0x63);
    }
    return box;
}

constexpr std::array<std::uint8_t, 256> invert(const std::array<std::uint8_t, 256>& box) {
    std::array<std::uint8_t, 256> inverse{};
    for (int x = 0; x < 256; ++x) {
        inverse[box[x]] = static_cast<std::uint8_t>(x);
    }
    return inverse;
}

constexpr std::uint32_t packColumn(std::uint8_t row0, std::uint8_t row1, std::uint8_t row2,
                                   std::uint8_t row3) {
    return std::uint32_t{row0} | std::uint32_t{row1} << 8 | std::uint32_t{row2} << 16 |
           std::uint32_t{row3} << 24;
}

constexpr std::uint32_t rotateLeft(std::uint32_t value, int bits) {
    return bits == 0 ? value : (value << bits) | (value >> (32 - bits));
}

using RoundTable = std::array<std::uint32_t, 256>;

// Row 0 of SubBytes followed by MixColumns: the column (2s, s, s, 3s); the tables of the
// other rows are byte rotations of it.
constexpr RoundTable makeEncryptTable(const std::array<std::uint8_t, 256>& box, int row) {
    RoundTable table{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t s = box[x];
        table[x] = rotateLeft(packColumn(xtime(s), s, s, gfMultiply(s, 3)), 8 * row);
    }
    return table;
}

// Row 0 of InvSubBytes followed by InvMixColumns: the column (14i, 9i, 13i, 11i).
constexpr RoundTable makeDecryptTable(const std::array<std::uint8_t, 256>& inverseBox, int row) {
    RoundTable table{};
    for (int x = 0; x < 256; ++x) {
        const std::uint8_t i = inverseBox[x];
        const std::uint32_t column =
            packColumn(gfMultiply(i, 14), gfMultiply(i, 9), gfMultiply(i, 13), gfMultiply(i, 11));
        table[x] = rotateLeft(column, 8 * row);
    }
    return table;
}

alignas(64) constexpr std::array<std::uint8_t, 256> SBox = makeSBox();
alignas(64) constexpr std::array<std::uint8_t, 256> InvSBox = invert(SBox);
// The four row tables of one direction and the S-box of its last round in one object, so that
// a single base register reaches all of them.
struct RoundTables {
    std::array<RoundTable, 4> rows;
    std::array<std::uint8_t, 256> lastRoundBox;
};

constexpr RoundTables makeEncryptTables() {
    return {{makeEncryptTable(SBox, 0), makeEncryptTable(SBox, 1), makeEncryptTable(SBox, 2),
             makeEncryptTable(SBox, 3)},
            SBox};
}

constexpr RoundTables makeDecryptTables() {
    return {{makeDecryptTable(InvSBox, 0), makeDecryptTable(InvSBox, 1),
             makeDecryptTable(InvSBox, 2), makeDecryptTable(InvSBox, 3)},
            InvSBox};
}

alignas(64) constexpr RoundTables Encrypt = makeEncryptTables();
alignas(64) constexpr RoundTables Decrypt = makeDecryptTables();

static_assert(SBox[0x00] == 0x63 && SBox[0x53] == 0xed && SBox[0xff] == 0x16);
static_assert(InvSBox[0x63] == 0x00);

// --- Block code ---------------------------------------------------------------------------

KVZ_AES_INLINE std::uint32_t load32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

KVZ_AES_INLINE void store32(std::uint8_t* bytes, std::uint32_t value) {
    bytes[0] = static_cast<std::uint8_t>(value);
    bytes[1] = static_cast<std::uint8_t>(value >> 8);
    bytes[2] = static_cast<std::uint8_t>(value >> 16);
    bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

KVZ_AES_INLINE std::uint32_t byte0(std::uint32_t word) {
    return word & 0xff;
}
KVZ_AES_INLINE std::uint32_t byte1(std::uint32_t word) {
    return (word >> 8) & 0xff;
}
KVZ_AES_INLINE std::uint32_t byte2(std::uint32_t word) {
    return (word >> 16) & 0xff;
}
KVZ_AES_INLINE std::uint32_t byte3(std::uint32_t word) {
    return word >> 24;
}

// The four columns of the state, column c holding rows 0..3 from low to high byte.
struct State {
    std::uint32_t c0, c1, c2, c3;
};

KVZ_AES_INLINE State loadState(const std::uint8_t* in) {
    return {load32(in), load32(in + 4), load32(in + 8), load32(in + 12)};
}

KVZ_AES_INLINE State roundKey(const std::uint32_t* key) {
    return {key[0], key[1], key[2], key[3]};
}

KVZ_AES_INLINE State operator^(const State& a, const State& b) {
    return {a.c0 ^ b.c0, a.c1 ^ b.c1, a.c2 ^ b.c2, a.c3 ^ b.c3};
}

KVZ_AES_INLINE void storeState(std::uint8_t* out, const State& state) {
    store32(out, state.c0);
    store32(out + 4, state.c1);
    store32(out + 8, state.c2);
    store32(out + 12, state.c3);
}

// Output column from row r of column (c + r): ShiftRows, SubBytes, MixColumns, AddRoundKey.
KVZ_AES_INLINE std::uint32_t encryptColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                           std::uint32_t d, std::uint32_t key) {
    return Encrypt.rows[0][byte0(a)] ^ Encrypt.rows[1][byte1(b)] ^ Encrypt.rows[2][byte2(c)] ^
           Encrypt.rows[3][byte3(d)] ^ key;
}

KVZ_AES_INLINE std::uint32_t encryptLastColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d, std::uint32_t key) {
    const auto& box = Encrypt.lastRoundBox;
    return packColumn(box[byte0(a)], box[byte1(b)], box[byte2(c)], box[byte3(d)]) ^ key;
}

// Output column from row r of column (c - r): the equivalent inverse cipher's round.
KVZ_AES_INLINE std::uint32_t decryptColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                           std::uint32_t d, std::uint32_t key) {
    return Decrypt.rows[0][byte0(a)] ^ Decrypt.rows[1][byte1(b)] ^ Decrypt.rows[2][byte2(c)] ^
           Decrypt.rows[3][byte3(d)] ^ key;
}

KVZ_AES_INLINE std::uint32_t decryptLastColumn(std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                               std::uint32_t d, std::uint32_t key) {
    const auto& box = Decrypt.lastRoundBox;
    return packColumn(box[byte0(a)], box[byte1(b)], box[byte2(c)], box[byte3(d)]) ^ key;
}

KVZ_AES_INLINE State encryptRound(const State& s, const std::uint32_t* key) {
    return {encryptColumn(s.c0, s.c1, s.c2, s.c3, key[0]),
            encryptColumn(s.c1, s.c2, s.c3, s.c0, key[1]),
            encryptColumn(s.c2, s.c3, s.c0, s.c1, key[2]),
            encryptColumn(s.c3, s.c0, s.c1, s.c2, key[3])};
}

KVZ_AES_INLINE State encryptLastRound(const State& s, const std::uint32_t* key) {
    return {encryptLastColumn(s.c0, s.c1, s.c2, s.c3, key[0]),
            encryptLastColumn(s.c1, s.c2, s.c3, s.c0, key[1]),
            encryptLastColumn(s.c2, s.c3, s.c0, s.c1, key[2]),
            encryptLastColumn(s.c3, s.c0, s.c1, s.c2, key[3])};
}

KVZ_AES_INLINE State decryptRound(const State& s, const std::uint32_t* key) {
    return {decryptColumn(s.c0, s.c3, s.c2, s.c1, key[0]),
            decryptColumn(s.c1, s.c0, s.c3, s.c2, key[1]),
            decryptColumn(s.c2, s.c1, s.c0, s.c3, key[2]),
            decryptColumn(s.c3, s.c2, s.c1, s.c0, key[3])};
}

KVZ_AES_INLINE State decryptLastRound(const State& s, const std::uint32_t* key) {
    return {decryptLastColumn(s.c0, s.c3, s.c2, s.c1, key[0]),
            decryptLastColumn(s.c1, s.c0, s.c3, s.c2, key[1]),
            decryptLastColumn(s.c2, s.c1, s.c0, s.c3, key[2]),
            decryptLastColumn(s.c3, s.c2, s.c1, s.c0, key[3])};
}

// Rounds Round to Last - 1 written out at compile time; each key size gets its own copy.
template <int Round, int Last>
KVZ_AES_INLINE State encryptMiddleRounds(const State& state, const std::uint32_t* schedule) {
    if constexpr (Round < Last) {
        return encryptMiddleRounds<Round + 1, Last>(encryptRound(state, schedule + 4 * Round),
                                                    schedule);
    } else {
        return state;
    }
}

// The deciphering schedule is in enciphering order, so its rounds are walked downwards.
template <int Round>
KVZ_AES_INLINE State decryptMiddleRounds(const State& state, const std::uint32_t* schedule) {
    if constexpr (Round > 0) {
        return decryptMiddleRounds<Round - 1>(decryptRound(state, schedule + 4 * Round), schedule);
    } else {
        return state;
    }
}

// The whole cipher on a state held in registers, so CBC chains without touching memory.
template <int Rounds>
KVZ_AES_INLINE State encryptState(const State& plain, const std::uint32_t* schedule) {
    const State state = encryptMiddleRounds<1, Rounds>(plain ^ roundKey(schedule), schedule);
    return encryptLastRound(state, schedule + 4 * Rounds);
}

template <int Rounds>
KVZ_AES_INLINE State decryptState(const State& cipher, const std::uint32_t* schedule) {
    const State state =
        decryptMiddleRounds<Rounds - 1>(cipher ^ roundKey(schedule + 4 * Rounds), schedule);
    return decryptLastRound(state, schedule);
}

void encryptEcb(const KeySchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                std::size_t blocks) {
    withRounds(schedule.rounds, [&, words = schedule.words]<int Rounds>() {
        for (std::size_t i = 0; i < blocks; ++i) {
            storeState(out + 16 * i, encryptState<Rounds>(loadState(in + 16 * i), words));
        }
    });
}

void decryptEcb(const KeySchedule& schedule, const std::uint8_t* in, std::uint8_t* out,
                std::size_t blocks) {
    withRounds(schedule.rounds, [&, words = schedule.words]<int Rounds>() {
        for (std::size_t i = 0; i < blocks; ++i) {
            storeState(out + 16 * i, decryptState<Rounds>(loadState(in + 16 * i), words));
        }
    });
}

void encryptCbc(const KeySchedule& schedule, std::uint8_t* chain, const std::uint8_t* in,
                std::uint8_t* out, std::size_t blocks) {
    withRounds(schedule.rounds, [&, words = schedule.words]<int Rounds>() {
        State vector = loadState(chain);
        for (std::size_t i = 0; i < blocks; ++i) {
            vector = encryptState<Rounds>(loadState(in + 16 * i) ^ vector, words);
            storeState(out + 16 * i, vector);
        }
        storeState(chain, vector);
    });
}

void decryptCbc(const KeySchedule& schedule, std::uint8_t* chain, const std::uint8_t* in,
                std::uint8_t* out, std::size_t blocks) {
    withRounds(schedule.rounds, [&, words = schedule.words]<int Rounds>() {
        State vector = loadState(chain);
        for (std::size_t i = 0; i < blocks; ++i) {
            const State cipher = loadState(in + 16 * i);
            storeState(out + 16 * i, decryptState<Rounds>(cipher, words) ^ vector);
            vector = cipher;
        }
        storeState(chain, vector);
    });
}

constexpr AesEngine TableEngine{encryptEcb, decryptEcb, encryptCbc, decryptCbc};

} // namespace

std::uint32_t subWord(std::uint32_t word) {
    return packColumn(SBox[byte0(word)], SBox[byte1(word)], SBox[byte2(word)], SBox[byte3(word)]);
}

// Td maps x to InvMixColumns of (InvSBox[x], 0, 0, 0) rotated by row, so the S-box cancels.
std::uint32_t invMixColumn(std::uint32_t word) {
    return Decrypt.rows[0][SBox[byte0(word)]] ^ Decrypt.rows[1][SBox[byte1(word)]] ^
           Decrypt.rows[2][SBox[byte2(word)]] ^ Decrypt.rows[3][SBox[byte3(word)]];
}

const AesEngine& engine() {
    return TableEngine;
}

} // namespace kvz::aes::tables
