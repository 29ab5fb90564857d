#include "uAES.h"

#include "AesHardware.h"
#include "AesTables.h"

#include <QBuffer>
#include <QMetaMethod>

#include <algorithm>
#include <atomic>
#include <typeinfo>
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

// Gives access to QObject::isSignalConnected, which is protected, for any QBuffer.
class SignalProbe : public QBuffer {
public:
    static bool isListenedTo(const QBuffer& buffer, const QMetaMethod& signal) {
        return (buffer.*(&SignalProbe::isSignalConnected))(signal);
    }
};

// A plain QBuffer lends its memory to the cipher directly, which saves a copy per chunk. Text
// mode, which QIODevice applies on reading and writing, keeps a buffer on the copying path, as
// do listeners to a destination's write signals, which direct writes would not raise.
QBuffer* lentSource(QIODevice& source) {
    if (typeid(source) != typeid(QBuffer) || !source.isReadable() || source.isTextModeEnabled() ||
        source.isTransactionStarted()) {
        return nullptr;
    }
    return static_cast<QBuffer*>(&source);
}

QBuffer* lentDest(QIODevice& dest, const QBuffer* source) {
    if (typeid(dest) != typeid(QBuffer) || !dest.isWritable() || dest.isTextModeEnabled()) {
        return nullptr;
    }
    auto* buffer = static_cast<QBuffer*>(&dest);
    if (source != nullptr && &source->data() == &buffer->data()) {
        return nullptr;
    }
    if (SignalProbe::isListenedTo(*buffer, QMetaMethod::fromSignal(&QIODevice::bytesWritten)) ||
        SignalProbe::isListenedTo(*buffer, QMetaMethod::fromSignal(&QIODevice::readyRead))) {
        return nullptr;
    }
    return buffer;
}

struct StreamEnds {
    QIODevice& source;
    QIODevice& dest;
    QBuffer* lentSource;
    QBuffer* lentDest;
};

// Makes room for `size` bytes at the destination buffer's position and returns their address.
std::uint8_t* reserveAtPosition(QBuffer& dest, qint64 size) {
    QByteArray& bytes = dest.buffer();
    const qint64 end = dest.pos() + size;
    if (bytes.size() < end) {
        bytes.resize(end);
    }
    return reinterpret_cast<std::uint8_t*>(bytes.data()) + dest.pos();
}

const std::uint8_t* bytesAtPosition(const QBuffer& source) {
    return reinterpret_cast<const std::uint8_t*>(source.data().constData()) + source.pos();
}

// One chunk: input lent by the source buffer or read into `chunk` (partial last block filled
// with zero bytes), output written into the destination buffer or through `chunk`. After a short
// read, the whole blocks that did arrive are processed and written before the error is raised.
template <class Transform>
void processChunk(StreamEnds& ends, qint64 size, std::uint8_t* chunk, Transform& transformBlocks) {
    const bool lendsInput =
        ends.lentSource != nullptr && size % BlockSize == 0 && ends.source.bytesAvailable() >= size;
    qint64 usable = size;
    bool complete = true;
    if (!lendsInput) {
        const qint64 received = readUpTo(ends.source, chunk, size);
        complete = received == size;
        usable = complete ? roundUpToBlock(size) : received / BlockSize * BlockSize;
        std::fill(chunk + std::min(received, usable), chunk + usable, std::uint8_t{0});
    }
    std::uint8_t* out =
        ends.lentDest != nullptr ? reserveAtPosition(*ends.lentDest, usable) : chunk;
    const std::uint8_t* in = lendsInput ? bytesAtPosition(*ends.lentSource) : chunk;
    transformBlocks(in, out, static_cast<std::size_t>(usable / BlockSize));
    if (lendsInput) {
        ends.source.seek(ends.source.pos() + usable);
    }
    if (ends.lentDest != nullptr) {
        ends.dest.seek(ends.dest.pos() + usable);
    } else {
        writeAll(ends.dest, chunk, usable);
    }
    if (!complete) {
        throw EStreamError("Stream read error");
    }
}

// Runs `transformBlocks(in, out, blockCount)` over `amount` source bytes, chunk by chunk.
template <class Transform>
void processStream(QIODevice& source, qint64 amount, QIODevice& dest, Transform transformBlocks) {
    if (amount == 0) {
        return;
    }
    std::vector<std::uint8_t> chunk(
        static_cast<std::size_t>(roundUpToBlock(std::min(amount, ChunkSize))));
    QBuffer* const lentInput = lentSource(source);
    StreamEnds ends{source, dest, lentInput, lentDest(dest, lentInput)};
    for (qint64 remaining = amount; remaining > 0;) {
        const qint64 size = std::min(remaining, ChunkSize);
        processChunk(ends, size, chunk.data(), transformBlocks);
        remaining -= size;
    }
}

template <class ExpandedKey>
void encryptEcb(QIODevice& source, std::uint32_t count, const ExpandedKey& key, QIODevice& dest) {
    const qint64 amount = amountToProcess(source, count);
    const AesEngine& engine = activeEngine();
    processStream(source, amount, dest,
                  [&](const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
                      engine.encryptEcb(scheduleOf(key), in, out, blocks);
                  });
}

template <class ExpandedKey>
void decryptEcb(QIODevice& source, std::uint32_t count, const ExpandedKey& key, QIODevice& dest) {
    const qint64 amount = amountToProcess(source, count);
    requireWholeBlocks(amount);
    const AesEngine& engine = activeEngine();
    processStream(source, amount, dest,
                  [&](const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
                      engine.decryptEcb(scheduleOf(key), in, out, blocks);
                  });
}

template <class ExpandedKey>
void encryptCbc(QIODevice& source, std::uint32_t count, const ExpandedKey& key,
                const TAESBuffer& initVector, QIODevice& dest) {
    const qint64 amount = amountToProcess(source, count);
    const AesEngine& engine = activeEngine();
    TAESBuffer chain = initVector;
    processStream(source, amount, dest,
                  [&](const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
                      engine.encryptCbc(scheduleOf(key), chain.data(), in, out, blocks);
                  });
}

template <class ExpandedKey>
void decryptCbc(QIODevice& source, std::uint32_t count, const ExpandedKey& key,
                const TAESBuffer& initVector, QIODevice& dest) {
    const qint64 amount = amountToProcess(source, count);
    requireWholeBlocks(amount);
    const AesEngine& engine = activeEngine();
    TAESBuffer chain = initVector;
    processStream(source, amount, dest,
                  [&](const std::uint8_t* in, std::uint8_t* out, std::size_t blocks) {
                      engine.decryptCbc(scheduleOf(key), chain.data(), in, out, blocks);
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
