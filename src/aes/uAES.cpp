#include "uAES.h"

#include "AesHardware.h"
#include "AesTables.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

using kvz::aes::AesEngine;
using kvz::aes::KeySchedule;

namespace {

constexpr std::int64_t BlockSize = 16;
// Streams are read, processed and written in chunks of this many bytes.
constexpr std::int64_t ChunkSize = 64 * 1024;

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

std::int64_t amountToProcess(TAESStream& source, std::uint32_t count) {
    if (count == 0) {
        source.Seek(0);
        return source.Size();
    }
    return std::clamp<std::int64_t>(source.Size() - source.Position(), 0, count);
}

void requireWholeBlocks(std::int64_t amount) {
    if (amount % BlockSize != 0) {
        throw EAESError("Invalid buffer size for decryption");
    }
}

std::int64_t roundUpToBlock(std::int64_t size) {
    return (size + BlockSize - 1) / BlockSize * BlockSize;
}

// Reads until `size` bytes arrived or the stream delivers no more; returns the bytes read.
std::int64_t readUpTo(TAESStream& source, std::uint8_t* data, std::int64_t size) {
    std::int64_t total = 0;
    while (total < size) {
        const std::int64_t received = source.Read(data + total, size - total);
        if (received <= 0) {
            break;
        }
        total += received;
    }
    return total;
}

void writeAll(TAESStream& dest, const std::uint8_t* data, std::int64_t size) {
    std::int64_t total = 0;
    while (total < size) {
        const std::int64_t accepted = dest.Write(data + total, size - total);
        if (accepted <= 0) {
            throw EStreamError("Stream write error");
        }
        total += accepted;
    }
}

// One chunk: input lent by the source or read into `chunk` (partial last block filled with
// zero bytes), output written into memory lent by the destination or through `chunk`. After a
// short read, the whole blocks that did arrive are processed and written before the error.
template <class Transform>
void processChunk(TAESStream& source, TAESStream& dest, std::int64_t size, std::uint8_t* chunk,
                  Transform& transformBlocks) {
    const std::uint8_t* lentInput = size % BlockSize == 0 ? source.LendInput(size) : nullptr;
    std::int64_t usable = size;
    bool complete = true;
    if (lentInput == nullptr) {
        const std::int64_t received = readUpTo(source, chunk, size);
        complete = received == size;
        usable = complete ? roundUpToBlock(size) : received / BlockSize * BlockSize;
        std::fill(chunk + std::min(received, usable), chunk + usable, std::uint8_t{0});
    }
    std::uint8_t* lentOutput = dest.LendOutput(usable);
    transformBlocks(lentInput != nullptr ? lentInput : chunk,
                    lentOutput != nullptr ? lentOutput : chunk,
                    static_cast<std::size_t>(usable / BlockSize));
    if (lentInput != nullptr) {
        source.Seek(source.Position() + usable);
    }
    if (lentOutput != nullptr) {
        dest.Seek(dest.Position() + usable);
    } else {
        writeAll(dest, chunk, usable);
    }
    if (!complete) {
        throw EStreamError("Stream read error");
    }
}

// Runs `transformBlocks(in, out, blockCount)` over `amount` source bytes, chunk by chunk.
template <class Transform>
void processStream(TAESStream& source, std::int64_t amount, TAESStream& dest,
                   Transform transformBlocks) {
    if (amount == 0) {
        return;
    }
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(roundUpToBlock(std::min(amount, ChunkSize))));
    for (std::int64_t remaining = amount; remaining > 0;) {
        const std::int64_t size = std::min(remaining, ChunkSize);
        processChunk(source, dest, size, chunk.data(), transformBlocks);
        remaining -= size;
    }
}

template <class ExpandedKey>
void encryptEcb(TAESStream& source, std::uint32_t count, const ExpandedKey& key, TAESStream& dest) {
    const std::int64_t amount = amountToProcess(source, count);
    const AesEngine& engine = activeEngine();
    processStream(source, amount, dest,
                  [&](const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
                      engine.encryptEcb(scheduleOf(key), in, out, blocks);
                  });
}

template <class ExpandedKey>
void decryptEcb(TAESStream& source, std::uint32_t count, const ExpandedKey& key, TAESStream& dest) {
    const std::int64_t amount = amountToProcess(source, count);
    requireWholeBlocks(amount);
    const AesEngine& engine = activeEngine();
    processStream(source, amount, dest,
                  [&](const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
                      engine.decryptEcb(scheduleOf(key), in, out, blocks);
                  });
}

template <class ExpandedKey>
void encryptCbc(TAESStream& source, std::uint32_t count, const ExpandedKey& key,
                const TAESBuffer& initVector, TAESStream& dest) {
    const std::int64_t amount = amountToProcess(source, count);
    const AesEngine& engine = activeEngine();
    TAESBuffer chain = initVector;
    processStream(source, amount, dest,
                  [&](const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
                      engine.encryptCbc(scheduleOf(key), chain.data(), in, out, blocks);
                  });
}

template <class ExpandedKey>
void decryptCbc(TAESStream& source, std::uint32_t count, const ExpandedKey& key,
                const TAESBuffer& initVector, TAESStream& dest) {
    const std::int64_t amount = amountToProcess(source, count);
    requireWholeBlocks(amount);
    const AesEngine& engine = activeEngine();
    TAESBuffer chain = initVector;
    processStream(source, amount, dest,
                  [&](const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
                      engine.decryptCbc(scheduleOf(key), chain.data(), in, out, blocks);
                  });
}

} // namespace

// --- Memory stream ------------------------------------------------------------------------

std::int64_t TAESMemoryStream::Size() const {
    return static_cast<std::int64_t>(m_bytes.size());
}

std::int64_t TAESMemoryStream::Position() const {
    return m_position;
}

void TAESMemoryStream::Seek(std::int64_t position) {
    m_position = std::max<std::int64_t>(position, 0);
}

std::int64_t TAESMemoryStream::Read(std::uint8_t* data, std::int64_t size) {
    const std::int64_t available = std::clamp<std::int64_t>(Size() - m_position, 0, size);
    if (available == 0) {
        return 0;
    }
    std::memcpy(data, m_bytes.data() + m_position, static_cast<std::size_t>(available));
    m_position += available;
    return available;
}

std::int64_t TAESMemoryStream::Write(const std::uint8_t* data, std::int64_t size) {
    if (size <= 0) {
        return 0;
    }
    std::memcpy(LendOutput(size), data, static_cast<std::size_t>(size));
    m_position += size;
    return size;
}

const std::uint8_t* TAESMemoryStream::LendInput(std::int64_t size) {
    if (Size() - m_position < size) {
        return nullptr;
    }
    return reinterpret_cast<const std::uint8_t*>(m_bytes.data()) + m_position;
}

std::uint8_t* TAESMemoryStream::LendOutput(std::int64_t size) {
    if (Size() < m_position + size) {
        m_bytes.resize(static_cast<std::size_t>(m_position + size));
    }
    return reinterpret_cast<std::uint8_t*>(m_bytes.data()) + m_position;
}

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

void EncryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey128& key,
                         TAESStream& dest) {
    encryptEcb(source, count, encryptionSchedule<TAESExpandedKey128>(key), dest);
}

void EncryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey192& key,
                         TAESStream& dest) {
    encryptEcb(source, count, encryptionSchedule<TAESExpandedKey192>(key), dest);
}

void EncryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey256& key,
                         TAESStream& dest) {
    encryptEcb(source, count, encryptionSchedule<TAESExpandedKey256>(key), dest);
}

void EncryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, TAESStream& dest) {
    encryptEcb(source, count, expandedKey, dest);
}

void EncryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, TAESStream& dest) {
    encryptEcb(source, count, expandedKey, dest);
}

void EncryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, TAESStream& dest) {
    encryptEcb(source, count, expandedKey, dest);
}

void DecryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey128& key,
                         TAESStream& dest) {
    decryptEcb(source, count, decryptionSchedule<TAESExpandedKey128>(key), dest);
}

void DecryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey192& key,
                         TAESStream& dest) {
    decryptEcb(source, count, decryptionSchedule<TAESExpandedKey192>(key), dest);
}

void DecryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey256& key,
                         TAESStream& dest) {
    decryptEcb(source, count, decryptionSchedule<TAESExpandedKey256>(key), dest);
}

void DecryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, TAESStream& dest) {
    decryptEcb(source, count, expandedKey, dest);
}

void DecryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, TAESStream& dest) {
    decryptEcb(source, count, expandedKey, dest);
}

void DecryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, TAESStream& dest) {
    decryptEcb(source, count, expandedKey, dest);
}

// --- CBC streams --------------------------------------------------------------------------

void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey128& key,
                         const TAESBuffer& initVector, TAESStream& dest) {
    encryptCbc(source, count, encryptionSchedule<TAESExpandedKey128>(key), initVector, dest);
}

void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey192& key,
                         const TAESBuffer& initVector, TAESStream& dest) {
    encryptCbc(source, count, encryptionSchedule<TAESExpandedKey192>(key), initVector, dest);
}

void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey256& key,
                         const TAESBuffer& initVector, TAESStream& dest) {
    encryptCbc(source, count, encryptionSchedule<TAESExpandedKey256>(key), initVector, dest);
}

void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest) {
    encryptCbc(source, count, expandedKey, initVector, dest);
}

void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest) {
    encryptCbc(source, count, expandedKey, initVector, dest);
}

void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest) {
    encryptCbc(source, count, expandedKey, initVector, dest);
}

void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey128& key,
                         const TAESBuffer& initVector, TAESStream& dest) {
    decryptCbc(source, count, decryptionSchedule<TAESExpandedKey128>(key), initVector, dest);
}

void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey192& key,
                         const TAESBuffer& initVector, TAESStream& dest) {
    decryptCbc(source, count, decryptionSchedule<TAESExpandedKey192>(key), initVector, dest);
}

void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey256& key,
                         const TAESBuffer& initVector, TAESStream& dest) {
    decryptCbc(source, count, decryptionSchedule<TAESExpandedKey256>(key), initVector, dest);
}

void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest) {
    decryptCbc(source, count, expandedKey, initVector, dest);
}

void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest) {
    decryptCbc(source, count, expandedKey, initVector, dest);
}

void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest) {
    decryptCbc(source, count, expandedKey, initVector, dest);
}
