#include "uAES.h"

#include "AesHardware.h"
#include "AesTables.h"

#include <QIODevice>

#include <algorithm>
#include <atomic>
#include <vector>

using kvz::aes::AesEngine;
using kvz::aes::KeySchedule;

namespace {

constexpr qint64 BlockSize = 16;
// Streams are read, processed and written in chunks of this many bytes.
constexpr qint64 ChunkSize = 64 * 1024;

std::atomic<TAESImplementation> requestedImplementation{TAESImplementation::Automatic};

const AesEngine& activeEngine() {
    if (requestedImplementation.load(std::memory_order_relaxed) != TAESImplementation::Table &&
        kvz::aes::hardware::supported()) {
        return kvz::aes::hardware::engine();
    }
    return kvz::aes::tables::engine();
}

// --- Key schedules ------------------------------------------------------------------------

template <class ExpandedKey> KeySchedule scheduleOf(const ExpandedKey& expandedKey) {
    return {expandedKey.Words.data(), ExpandedKey::Rounds};
}

std::uint32_t loadWord(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// RotWord: the word's bytes (a0, a1, a2, a3) become (a1, a2, a3, a0).
std::uint32_t rotWord(std::uint32_t word) {
    return (word >> 8) | (word << 24);
}

std::uint32_t nextRoundConstant(std::uint32_t constant) {
    return ((constant << 1) ^ ((constant & 0x80) != 0 ? 0x1b : 0)) & 0xff;
}

template <std::size_t KeyBytes, class ExpandedKey>
void expandForEncryption(const std::array<std::uint8_t, KeyBytes>& key, ExpandedKey& expanded) {
    constexpr std::size_t KeyWords = KeyBytes / 4;
    auto& words = expanded.Words;
    for (std::size_t i = 0; i < KeyWords; ++i) {
        words[i] = loadWord(key.data() + 4 * i);
    }
    std::uint32_t roundConstant = 1;
    for (std::size_t i = KeyWords; i < words.size(); ++i) {
        std::uint32_t temp = words[i - 1];
        if (i % KeyWords == 0) {
            temp = kvz::aes::tables::subWord(rotWord(temp)) ^ roundConstant;
            roundConstant = nextRoundConstant(roundConstant);
        } else if (KeyWords > 6 && i % KeyWords == 4) {
            temp = kvz::aes::tables::subWord(temp);
        }
        words[i] = words[i - KeyWords] ^ temp;
    }
}

template <class ExpandedKey> void convertForDecryption(ExpandedKey& expanded) {
    auto& words = expanded.Words;
    std::transform(words.begin() + 4, words.end() - 4, words.begin() + 4,
                   kvz::aes::tables::invMixColumn);
}

template <class ExpandedKey, class Key> ExpandedKey encryptionSchedule(const Key& key) {
    ExpandedKey expanded;
    ExpandAESKeyForEncryption(key, expanded);
    return expanded;
}

template <class ExpandedKey, class Key> ExpandedKey decryptionSchedule(const Key& key) {
    ExpandedKey expanded;
    ExpandAESKeyForDecryption(key, expanded);
    return expanded;
}

// --- Streams ------------------------------------------------------------------------------

qint64 amountToProcess(QIODevice& source, std::uint32_t count) {
    if (count == 0) {
        source.seek(0);
        return source.size();
    }
    return std::clamp<qint64>(source.size() - source.pos(), 0, count);
}

void requireWholeBlocks(qint64 amount) {
    if (amount % BlockSize != 0) {
        throw EAESError("Invalid buffer size for decryption");
    }
}

qint64 roundUpToBlock(qint64 size) {
    return (size + BlockSize - 1) / BlockSize * BlockSize;
}

// Reads until `size` bytes arrived or the device delivers no more; returns the bytes read.
qint64 readUpTo(QIODevice& source, std::uint8_t* data, qint64 size) {
    qint64 total = 0;
    while (total < size) {
        const qint64 received = source.read(reinterpret_cast<char*>(data) + total, size - total);
        if (received <= 0) {
            break;
        }
        total += received;
    }
    return total;
}

void writeAll(QIODevice& dest, const std::uint8_t* data, qint64 size) {
    qint64 total = 0;
    while (total < size) {
        const qint64 accepted =
            dest.write(reinterpret_cast<const char*>(data) + total, size - total);
        if (accepted <= 0) {
            throw EStreamError("Stream write error");
        }
        total += accepted;
    }
}

// Runs `transformBlocks(data, blockCount)` over `amount` source bytes chunk by chunk, filling a
// partial last block with zero bytes. After a short read, the whole blocks that did arrive are
// processed and written before the error is raised.
template <class Transform>
void processStream(QIODevice& source, qint64 amount, QIODevice& dest, Transform transformBlocks) {
    if (amount == 0) {
        return;
    }
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(roundUpToBlock(std::min(amount, ChunkSize))));
    for (qint64 remaining = amount; remaining > 0;) {
        const qint64 wanted = std::min(remaining, ChunkSize);
        const qint64 received = readUpTo(source, chunk.data(), wanted);
        const bool complete = received == wanted;
        const qint64 usable = complete ? roundUpToBlock(wanted) : received / BlockSize * BlockSize;
        if (complete) {
            std::fill(chunk.begin() + wanted, chunk.begin() + usable, std::uint8_t{0});
        }
        transformBlocks(chunk.data(), static_cast<std::size_t>(usable / BlockSize));
        writeAll(dest, chunk.data(), usable);
        if (!complete) {
            throw EStreamError("Stream read error");
        }
        remaining -= wanted;
    }
}

template <class ExpandedKey>
void encryptEcb(QIODevice& source, std::uint32_t count, const ExpandedKey& key, QIODevice& dest) {
    const qint64 amount = amountToProcess(source, count);
    const AesEngine& engine = activeEngine();
    processStream(source, amount, dest, [&](std::uint8_t* data, std::size_t blocks) {
        engine.encryptEcb(scheduleOf(key), data, data, blocks);
    });
}

template <class ExpandedKey>
void decryptEcb(QIODevice& source, std::uint32_t count, const ExpandedKey& key, QIODevice& dest) {
    const qint64 amount = amountToProcess(source, count);
    requireWholeBlocks(amount);
    const AesEngine& engine = activeEngine();
    processStream(source, amount, dest, [&](std::uint8_t* data, std::size_t blocks) {
        engine.decryptEcb(scheduleOf(key), data, data, blocks);
    });
}

template <class ExpandedKey>
void encryptCbc(QIODevice& source, std::uint32_t count, const ExpandedKey& key,
                const TAESBuffer& initVector, QIODevice& dest) {
    const qint64 amount = amountToProcess(source, count);
    const AesEngine& engine = activeEngine();
    TAESBuffer chain = initVector;
    processStream(source, amount, dest, [&](std::uint8_t* data, std::size_t blocks) {
        engine.encryptCbc(scheduleOf(key), chain.data(), data, data, blocks);
    });
}

template <class ExpandedKey>
void decryptCbc(QIODevice& source, std::uint32_t count, const ExpandedKey& key,
                const TAESBuffer& initVector, QIODevice& dest) {
    const qint64 amount = amountToProcess(source, count);
    requireWholeBlocks(amount);
    const AesEngine& engine = activeEngine();
    TAESBuffer chain = initVector;
    processStream(source, amount, dest, [&](std::uint8_t* data, std::size_t blocks) {
        engine.decryptCbc(scheduleOf(key), chain.data(), data, data, blocks);
    });
}

} // namespace

// --- Implementation choice ----------------------------------------------------------------

void SetAESImplementation(TAESImplementation implementation) {
    requestedImplementation.store(implementation, std::memory_order_relaxed);
}

TAESImplementation ActiveAESImplementation() {
    return &activeEngine() == &kvz::aes::tables::engine() ? TAESImplementation::Table
                                                          : TAESImplementation::Hardware;
}

bool AESHardwareSupported() {
    return kvz::aes::hardware::supported();
}

// --- Key schedules ------------------------------------------------------------------------

void ExpandAESKeyForEncryption(const TAESKey128& key, TAESExpandedKey128& expandedKey) {
    expandForEncryption(key, expandedKey);
}

void ExpandAESKeyForEncryption(const TAESKey192& key, TAESExpandedKey192& expandedKey) {
    expandForEncryption(key, expandedKey);
}

void ExpandAESKeyForEncryption(const TAESKey256& key, TAESExpandedKey256& expandedKey) {
    expandForEncryption(key, expandedKey);
}

void ExpandAESKeyForDecryption(const TAESKey128& key, TAESExpandedKey128& expandedKey) {
    expandForEncryption(key, expandedKey);
    convertForDecryption(expandedKey);
}

void ExpandAESKeyForDecryption(const TAESKey192& key, TAESExpandedKey192& expandedKey) {
    expandForEncryption(key, expandedKey);
    convertForDecryption(expandedKey);
}

void ExpandAESKeyForDecryption(const TAESKey256& key, TAESExpandedKey256& expandedKey) {
    expandForEncryption(key, expandedKey);
    convertForDecryption(expandedKey);
}

void ExpandAESKeyForDecryption(TAESExpandedKey128& expandedKey) {
    convertForDecryption(expandedKey);
}

void ExpandAESKeyForDecryption(TAESExpandedKey192& expandedKey) {
    convertForDecryption(expandedKey);
}

void ExpandAESKeyForDecryption(TAESExpandedKey256& expandedKey) {
    convertForDecryption(expandedKey);
}

// --- Single blocks ------------------------------------------------------------------------

void EncryptAES(const TAESBuffer& in, const TAESExpandedKey128& key, TAESBuffer& out) {
    activeEngine().encryptEcb(scheduleOf(key), in.data(), out.data(), 1);
}

void EncryptAES(const TAESBuffer& in, const TAESExpandedKey192& key, TAESBuffer& out) {
    activeEngine().encryptEcb(scheduleOf(key), in.data(), out.data(), 1);
}

void EncryptAES(const TAESBuffer& in, const TAESExpandedKey256& key, TAESBuffer& out) {
    activeEngine().encryptEcb(scheduleOf(key), in.data(), out.data(), 1);
}

void DecryptAES(const TAESBuffer& in, const TAESExpandedKey128& key, TAESBuffer& out) {
    activeEngine().decryptEcb(scheduleOf(key), in.data(), out.data(), 1);
}

void DecryptAES(const TAESBuffer& in, const TAESExpandedKey192& key, TAESBuffer& out) {
    activeEngine().decryptEcb(scheduleOf(key), in.data(), out.data(), 1);
}

void DecryptAES(const TAESBuffer& in, const TAESExpandedKey256& key, TAESBuffer& out) {
    activeEngine().decryptEcb(scheduleOf(key), in.data(), out.data(), 1);
}

// --- ECB streams --------------------------------------------------------------------------

void EncryptAESStreamECB(QIODevice& source, std::uint32_t count, const TAESKey128& key,
                         QIODevice& dest) {
    encryptEcb(source, count, encryptionSchedule<TAESExpandedKey128>(key), dest);
}

void EncryptAESStreamECB(QIODevice& source, std::uint32_t count, const TAESKey192& key,
                         QIODevice& dest) {
    encryptEcb(source, count, encryptionSchedule<TAESExpandedKey192>(key), dest);
}

void EncryptAESStreamECB(QIODevice& source, std::uint32_t count, const TAESKey256& key,
                         QIODevice& dest) {
    encryptEcb(source, count, encryptionSchedule<TAESExpandedKey256>(key), dest);
}

void EncryptAESStreamECB(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, QIODevice& dest) {
    encryptEcb(source, count, expandedKey, dest);
}

void EncryptAESStreamECB(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, QIODevice& dest) {
    encryptEcb(source, count, expandedKey, dest);
}

void EncryptAESStreamECB(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, QIODevice& dest) {
    encryptEcb(source, count, expandedKey, dest);
}

void DecryptAESStreamECB(QIODevice& source, std::uint32_t count, const TAESKey128& key,
                         QIODevice& dest) {
    decryptEcb(source, count, decryptionSchedule<TAESExpandedKey128>(key), dest);
}

void DecryptAESStreamECB(QIODevice& source, std::uint32_t count, const TAESKey192& key,
                         QIODevice& dest) {
    decryptEcb(source, count, decryptionSchedule<TAESExpandedKey192>(key), dest);
}

void DecryptAESStreamECB(QIODevice& source, std::uint32_t count, const TAESKey256& key,
                         QIODevice& dest) {
    decryptEcb(source, count, decryptionSchedule<TAESExpandedKey256>(key), dest);
}

void DecryptAESStreamECB(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, QIODevice& dest) {
    decryptEcb(source, count, expandedKey, dest);
}

void DecryptAESStreamECB(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, QIODevice& dest) {
    decryptEcb(source, count, expandedKey, dest);
}

void DecryptAESStreamECB(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, QIODevice& dest) {
    decryptEcb(source, count, expandedKey, dest);
}

// --- CBC streams --------------------------------------------------------------------------

void EncryptAESStreamCBC(QIODevice& source, std::uint32_t count, const TAESKey128& key,
                         const TAESBuffer& initVector, QIODevice& dest) {
    encryptCbc(source, count, encryptionSchedule<TAESExpandedKey128>(key), initVector, dest);
}

void EncryptAESStreamCBC(QIODevice& source, std::uint32_t count, const TAESKey192& key,
                         const TAESBuffer& initVector, QIODevice& dest) {
    encryptCbc(source, count, encryptionSchedule<TAESExpandedKey192>(key), initVector, dest);
}

void EncryptAESStreamCBC(QIODevice& source, std::uint32_t count, const TAESKey256& key,
                         const TAESBuffer& initVector, QIODevice& dest) {
    encryptCbc(source, count, encryptionSchedule<TAESExpandedKey256>(key), initVector, dest);
}

void EncryptAESStreamCBC(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, const TAESBuffer& initVector,
                         QIODevice& dest) {
    encryptCbc(source, count, expandedKey, initVector, dest);
}

void EncryptAESStreamCBC(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, const TAESBuffer& initVector,
                         QIODevice& dest) {
    encryptCbc(source, count, expandedKey, initVector, dest);
}

void EncryptAESStreamCBC(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, const TAESBuffer& initVector,
                         QIODevice& dest) {
    encryptCbc(source, count, expandedKey, initVector, dest);
}

void DecryptAESStreamCBC(QIODevice& source, std::uint32_t count, const TAESKey128& key,
                         const TAESBuffer& initVector, QIODevice& dest) {
    decryptCbc(source, count, decryptionSchedule<TAESExpandedKey128>(key), initVector, dest);
}

void DecryptAESStreamCBC(QIODevice& source, std::uint32_t count, const TAESKey192& key,
                         const TAESBuffer& initVector, QIODevice& dest) {
    decryptCbc(source, count, decryptionSchedule<TAESExpandedKey192>(key), initVector, dest);
}

void DecryptAESStreamCBC(QIODevice& source, std::uint32_t count, const TAESKey256& key,
                         const TAESBuffer& initVector, QIODevice& dest) {
    decryptCbc(source, count, decryptionSchedule<TAESExpandedKey256>(key), initVector, dest);
}

void DecryptAESStreamCBC(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, const TAESBuffer& initVector,
                         QIODevice& dest) {
    decryptCbc(source, count, expandedKey, initVector, dest);
}

void DecryptAESStreamCBC(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, const TAESBuffer& initVector,
                         QIODevice& dest) {
    decryptCbc(source, count, expandedKey, initVector, dest);
}

void DecryptAESStreamCBC(QIODevice& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, const TAESBuffer& initVector,
                         QIODevice& dest) {
    decryptCbc(source, count, expandedKey, initVector, dest);
}
