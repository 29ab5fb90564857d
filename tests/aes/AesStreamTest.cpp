#include "AesTestSupport.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstring>
#include <memory>
#include <vector>

namespace {

const TAESKey128 Key128 = bytesFromHex<16>("2b7e151628aed2a6abf7158809cf4f3c");
const TAESKey192 Key192 = bytesFromHex<24>("8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b");
const TAESKey256 Key256 =
    bytesFromHex<32>("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const TAESBuffer Vector = bytesFromHex<16>("000102030405060708090a0b0c0d0e0f");

// A source that claims its whole size but delivers only its first `deliverable` bytes.
class ShortReadBuffer : public QBuffer {
public:
    ShortReadBuffer(const QByteArray& data, qint64 deliverable) : m_deliverable(deliverable) {
        setData(data);
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 allowed = std::min(maxSize, m_deliverable - pos());
        return allowed <= 0 ? -1 : QBuffer::readData(data, allowed);
    }

private:
    qint64 m_deliverable;
};

// A destination that accepts only its first `capacity` bytes.
class ShortWriteBuffer : public QBuffer {
public:
    explicit ShortWriteBuffer(qint64 capacity) : m_capacity(capacity) {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 writeData(const char* data, qint64 size) override {
        const qint64 allowed = std::min(size, m_capacity - pos());
        return allowed <= 0 ? -1 : QBuffer::writeData(data, allowed);
    }

private:
    qint64 m_capacity;
};

// A QBuffer subclass, which the stream functions read and write through the QIODevice
// interface only, as they do every device that is not a plain QBuffer.
class DeviceBuffer : public QBuffer {};

enum class Kind { Plain, Device };

std::unique_ptr<QBuffer> makeBuffer(Kind kind) {
    return kind == Kind::Plain ? std::make_unique<QBuffer>() : std::make_unique<DeviceBuffer>();
}

std::unique_ptr<QBuffer> openSource(const QByteArray& data, Kind kind = Kind::Plain) {
    auto buffer = makeBuffer(kind);
    buffer->setData(data);
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}

std::unique_ptr<QBuffer> openDest(Kind kind = Kind::Plain) {
    auto buffer = makeBuffer(kind);
    buffer->open(QIODevice::ReadWrite);
    return buffer;
}

struct Kinds {
    Kind source = Kind::Plain;
    Kind dest = Kind::Plain;
};

const Kinds AllKinds[] = {{Kind::Plain, Kind::Plain},
                          {Kind::Plain, Kind::Device},
                          {Kind::Device, Kind::Plain},
                          {Kind::Device, Kind::Device}};

QByteArray zeroFilled(QByteArray bytes) {
    bytes.append(QByteArray((16 - bytes.size() % 16) % 16, '\0'));
    return bytes;
}

// References built from the single-block functions, one block at a time.
template <class ExpandedKey>
QByteArray referenceEcb(const QByteArray& plain, const ExpandedKey& key) {
    const QByteArray padded = zeroFilled(plain);
    QByteArray cipher;
    for (qsizetype offset = 0; offset < padded.size(); offset += 16) {
        TAESBuffer block;
        std::memcpy(block.data(), padded.constData() + offset, 16);
        EncryptAES(block, key, block);
        cipher.append(toByteArray(block));
    }
    return cipher;
}

template <class ExpandedKey>
QByteArray referenceCbc(const QByteArray& plain, const ExpandedKey& key, TAESBuffer chain) {
    const QByteArray padded = zeroFilled(plain);
    QByteArray cipher;
    for (qsizetype offset = 0; offset < padded.size(); offset += 16) {
        for (int i = 0; i < 16; ++i) {
            chain[i] ^= static_cast<std::uint8_t>(padded[offset + i]);
        }
        EncryptAES(chain, key, chain);
        cipher.append(toByteArray(chain));
    }
    return cipher;
}

template <class Key>
QByteArray encryptEcb(const QByteArray& plain, const Key& key, Kinds kinds = {}) {
    const auto source = openSource(plain, kinds.source);
    const auto dest = openDest(kinds.dest);
    EncryptAESStreamECB(*source, 0, key, *dest);
    return dest->data();
}

template <class Key>
QByteArray decryptEcb(const QByteArray& cipher, const Key& key, Kinds kinds = {}) {
    const auto source = openSource(cipher, kinds.source);
    const auto dest = openDest(kinds.dest);
    DecryptAESStreamECB(*source, 0, key, *dest);
    return dest->data();
}

template <class Key>
QByteArray encryptCbc(const QByteArray& plain, const Key& key, Kinds kinds = {}) {
    const auto source = openSource(plain, kinds.source);
    const auto dest = openDest(kinds.dest);
    EncryptAESStreamCBC(*source, 0, key, Vector, *dest);
    return dest->data();
}

template <class Key>
QByteArray decryptCbc(const QByteArray& cipher, const Key& key, Kinds kinds = {}) {
    const auto source = openSource(cipher, kinds.source);
    const auto dest = openDest(kinds.dest);
    DecryptAESStreamCBC(*source, 0, key, Vector, *dest);
    return dest->data();
}

// Lengths around block, lane group and 64 KiB chunk boundaries.
const std::vector<qsizetype> InterestingLengths = {
    0,   1,   15,  16,  17,   31,    32,    100,   127,   128,          129,
    143, 144, 255, 256, 4097, 65535, 65536, 65537, 65552, 131072 + 112, 200003};

// Every length on every combination of plain buffers and other devices.
template <class Key, class ExpandedKey> void expectStreamsMatchBlocks(const Key& key) {
    ExpandedKey encryptionKey;
    ExpandAESKeyForEncryption(key, encryptionKey);
    ExpandedKey decryptionKey;
    ExpandAESKeyForDecryption(key, decryptionKey);
    for (const qsizetype length : InterestingLengths) {
        const QByteArray plain = randomBytes(length, static_cast<quint32>(length));
        const QByteArray ecb = referenceEcb(plain, encryptionKey);
        const QByteArray cbc = referenceCbc(plain, encryptionKey, Vector);
        for (const Kinds kinds : AllKinds) {
            EXPECT_EQ(encryptEcb(plain, key, kinds), ecb) << length;
            EXPECT_EQ(encryptEcb(plain, encryptionKey, kinds), ecb) << length;
            EXPECT_EQ(decryptEcb(ecb, key, kinds), zeroFilled(plain)) << length;
            EXPECT_EQ(decryptEcb(ecb, decryptionKey, kinds), zeroFilled(plain)) << length;
            EXPECT_EQ(encryptCbc(plain, key, kinds), cbc) << length;
            EXPECT_EQ(encryptCbc(plain, encryptionKey, kinds), cbc) << length;
            EXPECT_EQ(decryptCbc(cbc, key, kinds), zeroFilled(plain)) << length;
            EXPECT_EQ(decryptCbc(cbc, decryptionKey, kinds), zeroFilled(plain)) << length;
        }
    }
}

using AesStreamTest = AesPathTest;

TEST_P(AesStreamTest, StreamsMatchTheBlockFunctionForEveryKeySize) {
    expectStreamsMatchBlocks<TAESKey128, TAESExpandedKey128>(Key128);
    expectStreamsMatchBlocks<TAESKey192, TAESExpandedKey192>(Key192);
    expectStreamsMatchBlocks<TAESKey256, TAESExpandedKey256>(Key256);
}

// SP 800-38A F.1.1 and F.2.1: the first two blocks of the ECB and CBC examples.
TEST_P(AesStreamTest, KnownEcbAndCbcAnswers) {
    const QByteArray plain =
        QByteArray::fromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    EXPECT_EQ(encryptEcb(plain, Key128).toHex(),
              "3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf");
    EXPECT_EQ(encryptCbc(plain, Key128).toHex(),
              "7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2");
}

TEST_P(AesStreamTest, PartialLastBlockIsFilledWithZeroBytes) {
    const QByteArray plain = randomBytes(20, 7);
    const QByteArray cipher = encryptEcb(plain, Key128);
    ASSERT_EQ(cipher.size(), 32);
    TAESExpandedKey128 key;
    ExpandAESKeyForEncryption(Key128, key);
    EXPECT_EQ(cipher.sliced(16), referenceEcb(plain.sliced(16), key));
    EXPECT_EQ(decryptEcb(cipher, Key128), plain + QByteArray(12, '\0'));
}

TEST_P(AesStreamTest, CountZeroProcessesTheWholeSourceFromItsStart) {
    const QByteArray plain = randomBytes(40, 8);
    for (const Kinds kinds : AllKinds) {
        const auto source = openSource(plain, kinds.source);
        source->seek(25);
        const auto dest = openDest(kinds.dest);
        EncryptAESStreamECB(*source, 0, Key128, *dest);
        EXPECT_EQ(dest->data(), encryptEcb(plain, Key128));
        EXPECT_TRUE(source->atEnd());
    }
}

TEST_P(AesStreamTest, CountIsLimitedToWhatRemains) {
    const QByteArray plain = randomBytes(40, 9);
    const auto source = openSource(plain);
    source->seek(37);
    const auto dest = openDest();
    EncryptAESStreamCBC(*source, 5, Key128, Vector, *dest);
    EXPECT_EQ(dest->data(), encryptCbc(plain.sliced(37), Key128));
    EXPECT_TRUE(source->atEnd());
}

TEST_P(AesStreamTest, CountStopsReadingInsideTheSource) {
    const QByteArray plain = randomBytes(70000, 10);
    for (const Kinds kinds : AllKinds) {
        const auto source = openSource(plain, kinds.source);
        const auto dest = openDest(kinds.dest);
        DecryptAESStreamCBC(*source, 65552, Key128, Vector, *dest);
        EXPECT_EQ(dest->data(), decryptCbc(plain.first(65552), Key128));
        EXPECT_EQ(source->pos(), 65552);
        EXPECT_EQ(dest->pos(), 65552);
    }
}

TEST_P(AesStreamTest, DestinationIsWrittenAtItsCurrentPosition) {
    const QByteArray plain = randomBytes(48, 11);
    const QByteArray cipher = encryptEcb(plain, Key256);
    for (const Kinds kinds : AllKinds) {
        const auto source = openSource(plain, kinds.source);
        const auto dest = openDest(kinds.dest);
        dest->write("header-");
        EncryptAESStreamECB(*source, 0, Key256, *dest);
        EXPECT_EQ(dest->data(), "header-" + cipher);
        EXPECT_EQ(dest->pos(), 7 + 48);

        // Inside existing data: overwritten in place, the rest kept.
        source->seek(0);
        dest->seek(3);
        EncryptAESStreamECB(*source, 16, Key256, *dest);
        EXPECT_EQ(dest->data(), "hea" + cipher.first(16) + cipher.sliced(12));
        EXPECT_EQ(dest->pos(), 3 + 16);
    }
}

// Both buffers on one byte array: the output is appended behind the input it was made from.
TEST_P(AesStreamTest, SourceAndDestinationMayShareOneByteArray) {
    const QByteArray plain = randomBytes(70000, 18);
    QByteArray bytes = plain;
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    QBuffer dest(&bytes);
    dest.open(QIODevice::ReadWrite);
    dest.seek(plain.size());
    EncryptAESStreamECB(source, 0, Key128, dest);
    EXPECT_EQ(bytes, plain + encryptEcb(plain, Key128));
}

// A destination buffer with a listener is written through QIODevice::write, which signals.
TEST_P(AesStreamTest, DestinationListenersHearTheWrites) {
    const auto source = openSource(randomBytes(100, 19));
    const auto dest = openDest();
    qint64 announced = 0;
    QObject::connect(dest.get(), &QIODevice::bytesWritten,
                     [&announced](qint64 bytes) { announced += bytes; });
    EncryptAESStreamECB(*source, 0, Key128, *dest);
    QCoreApplication::processEvents();
    EXPECT_EQ(announced, 112);
    EXPECT_EQ(dest->data(), encryptEcb(source->data(), Key128));
}

// Text mode drops carriage returns on reading; a plain buffer must not bypass that.
TEST_P(AesStreamTest, TextModeSourceIsReadThroughQIODevice) {
    const QByteArray plain = QByteArrayLiteral("line one\r\nline two\r\n and more text after it");
    QByteArray results[2];
    for (const Kind kind : {Kind::Plain, Kind::Device}) {
        const auto source = makeBuffer(kind);
        source->setData(plain);
        source->open(QIODevice::ReadOnly | QIODevice::Text);
        const auto dest = openDest();
        EXPECT_THROW(EncryptAESStreamECB(*source, 0, Key128, *dest), EStreamError);
        results[kind == Kind::Plain ? 0 : 1] = dest->data();
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0].size(), 32);
}

TEST_P(AesStreamTest, DecipheringAPartialBlockFailsBeforeAnyInputOrOutput) {
    const auto source = openSource(randomBytes(17, 12));
    const auto dest = openDest();
    try {
        DecryptAESStreamECB(*source, 0, Key128, *dest);
        FAIL() << "no error raised";
    } catch (const EAESError& error) {
        EXPECT_STREQ(error.what(), "Invalid buffer size for decryption");
    }
    EXPECT_EQ(source->pos(), 0);
    EXPECT_TRUE(dest->data().isEmpty());

    source->seek(1);
    EXPECT_THROW(DecryptAESStreamCBC(*source, 15, Key192, Vector, *dest), EAESError);
    EXPECT_EQ(source->pos(), 1);
    EXPECT_TRUE(dest->data().isEmpty());
}

TEST_P(AesStreamTest, EmptySourceWritesNothing) {
    EXPECT_TRUE(encryptEcb(QByteArray(), Key128).isEmpty());
    EXPECT_TRUE(decryptEcb(QByteArray(), Key128).isEmpty());
    EXPECT_TRUE(encryptCbc(QByteArray(), Key256).isEmpty());
    EXPECT_TRUE(decryptCbc(QByteArray(), Key256).isEmpty());

    const auto source = openSource(randomBytes(32, 13));
    source->seek(32);
    const auto dest = openDest();
    DecryptAESStreamECB(*source, 16, Key128, *dest);
    EXPECT_TRUE(dest->data().isEmpty());
}

TEST_P(AesStreamTest, CbcChainsBlocksAndLeavesTheCallersVectorAlone) {
    const QByteArray block = randomBytes(16, 14);
    const TAESBuffer vectorBefore = Vector;
    const QByteArray cipher = encryptCbc(block + block, Key128);
    ASSERT_EQ(cipher.size(), 32);
    EXPECT_NE(cipher.first(16), cipher.sliced(16));
    EXPECT_EQ(Vector, vectorBefore);
    EXPECT_EQ(decryptCbc(cipher, Key128), block + block);

    TAESBuffer otherVector = Vector;
    otherVector[15] ^= 1;
    const auto source = openSource(cipher);
    const auto dest = openDest();
    DecryptAESStreamCBC(*source, 0, Key128, otherVector, *dest);
    EXPECT_NE(dest->data().first(16), block);
    EXPECT_EQ(dest->data().sliced(16), block);
}

TEST_P(AesStreamTest, ShortReadWritesTheWholeBlocksBeforeItThenFails) {
    for (const auto& [size, deliverable] :
         {std::pair<qsizetype, qint64>{100, 40}, {20, 19}, {200000, 70007}}) {
        for (const Kind destKind : {Kind::Plain, Kind::Device}) {
            const QByteArray plain = randomBytes(size, 15);
            ShortReadBuffer source(plain, deliverable);
            const auto dest = openDest(destKind);
            try {
                EncryptAESStreamCBC(source, 0, Key128, Vector, *dest);
                FAIL() << "no error raised for " << size;
            } catch (const EStreamError& error) {
                EXPECT_STREQ(error.what(), "Stream read error");
            }
            const qsizetype whole = deliverable / 16 * 16;
            EXPECT_EQ(dest->data(), encryptCbc(plain, Key128).first(whole)) << size;
        }
    }
}

TEST_P(AesStreamTest, UnreadableSourceFailsToRead) {
    QBuffer source;
    source.setData(randomBytes(32, 20));
    const auto dest = openDest();
    EXPECT_THROW(EncryptAESStreamECB(source, 0, Key128, *dest), EStreamError);
    EXPECT_TRUE(dest->data().isEmpty());
}

TEST_P(AesStreamTest, ShortWriteFails) {
    const QByteArray plain = randomBytes(40, 17);
    const auto source = openSource(plain);
    ShortWriteBuffer dest(20);
    try {
        EncryptAESStreamECB(*source, 0, Key128, dest);
        FAIL() << "no error raised";
    } catch (const EStreamError& error) {
        EXPECT_STREQ(error.what(), "Stream write error");
    }
    EXPECT_EQ(dest.data(), encryptEcb(plain, Key128).first(20));
}

TEST_P(AesStreamTest, ReadOnlyDestinationFailsToWrite) {
    const auto source = openSource(randomBytes(32, 21));
    QBuffer dest;
    dest.open(QIODevice::ReadOnly);
    EXPECT_THROW(EncryptAESStreamECB(*source, 0, Key128, dest), EStreamError);
    EXPECT_TRUE(dest.data().isEmpty());
}

KVZ_INSTANTIATE_AES_PATHS(AesStreamTest);

// The table code and the AES instructions must give the same bytes in every mode.
TEST(AesPaths, GiveIdenticalOutput) {
    if (!AESHardwareSupported()) {
        GTEST_SKIP() << "no AES instructions on this processor";
    }
    for (qsizetype length = 0; length < 300; length += 7) {
        const QByteArray plain = randomBytes(length + 70000, static_cast<quint32>(length));
        QByteArray results[2][4];
        for (const int path : {0, 1}) {
            SetAESImplementation(path == 0 ? TAESImplementation::Table
                                           : TAESImplementation::Hardware);
            results[path][0] = encryptEcb(plain, Key192);
            results[path][1] = encryptCbc(plain, Key192);
            results[path][2] = decryptEcb(zeroFilled(plain), Key256);
            results[path][3] = decryptCbc(zeroFilled(plain), Key256);
        }
        SetAESImplementation(TAESImplementation::Automatic);
        for (int mode = 0; mode < 4; ++mode) {
            EXPECT_EQ(results[0][mode], results[1][mode])
                << "length " << length << " mode " << mode;
        }
    }
}

} // namespace
