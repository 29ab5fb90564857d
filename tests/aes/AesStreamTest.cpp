#include "AesDevice.h"
#include "AesTestSupport.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstring>
#include <memory>

namespace {

const TAESKey128 Key128 = bytesFromHex<16>("2b7e151628aed2a6abf7158809cf4f3c");
const TAESKey192 Key192 = bytesFromHex<24>("8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b");
const TAESKey256 Key256 =
    bytesFromHex<32>("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
const TAESBuffer Vector = bytesFromHex<16>("000102030405060708090a0b0c0d0e0f");

QByteArray randomArray(qsizetype size, unsigned seed) {
    return QByteArray::fromStdString(randomBytes(std::size_t(size), seed));
}

// A buffer that delivers only its first `limit` bytes when read, or accepts only its first
// `limit` bytes when written.
class ShortBuffer : public QBuffer {
public:
    ShortBuffer(const QByteArray& data, qint64 limit, OpenMode mode) : m_limit(limit) {
        setData(data);
        open(mode | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char* data, qint64 size) override {
        const qint64 allowed = std::min(size, m_limit - pos());
        return allowed <= 0 ? -1 : QBuffer::readData(data, allowed);
    }
    qint64 writeData(const char* data, qint64 size) override {
        const qint64 allowed = std::min(size, m_limit - pos());
        return allowed <= 0 ? -1 : QBuffer::writeData(data, allowed);
    }

private:
    qint64 m_limit;
};

// A QBuffer subclass, which the stream functions read and write through the QIODevice
// interface only, as they do every device that is not a plain QBuffer.
class DeviceBuffer : public QBuffer {};

enum class Kind { Plain, Device };
struct Kinds {
    Kind source = Kind::Plain;
    Kind dest = Kind::Plain;
};
const Kinds AllKinds[] = {{Kind::Plain, Kind::Plain},
                          {Kind::Plain, Kind::Device},
                          {Kind::Device, Kind::Plain},
                          {Kind::Device, Kind::Device}};

std::unique_ptr<QBuffer> buffer(Kind kind, const QByteArray& data = {},
                                QIODevice::OpenMode mode = QIODevice::ReadWrite) {
    auto result =
        kind == Kind::Plain ? std::make_unique<QBuffer>() : std::make_unique<DeviceBuffer>();
    result->setData(data);
    result->open(mode);
    return result;
}

QByteArray zeroFilled(QByteArray bytes) {
    return bytes.append(QByteArray((16 - bytes.size() % 16) % 16, '\0'));
}

// Reference built from the single-block function one block at a time; CBC with a chain.
template <class ExpandedKey>
QByteArray reference(const QByteArray& plain, const ExpandedKey& key, const TAESBuffer* chain) {
    const QByteArray padded = zeroFilled(plain);
    TAESBuffer previous = chain ? *chain : TAESBuffer{};
    QByteArray cipher;
    for (qsizetype offset = 0; offset < padded.size(); offset += 16) {
        TAESBuffer block;
        std::memcpy(block.data(), padded.constData() + offset, 16);
        for (int i = 0; chain && i < 16; ++i)
            block[i] ^= previous[i];
        EncryptAES(block, key, block);
        previous = block;
        cipher.append(reinterpret_cast<const char*>(block.data()), 16);
    }
    return cipher;
}

enum Mode { EncEcb, DecEcb, EncCbc, DecCbc };

template <class Key> QByteArray run(Mode mode, const QByteArray& in, const Key& key, Kinds k = {}) {
    const auto source = buffer(k.source, in, QIODevice::ReadOnly);
    const auto dest = buffer(k.dest);
    switch (mode) {
    case EncEcb:
        EncryptAESStreamECB(*source, 0, key, *dest);
        break;
    case DecEcb:
        DecryptAESStreamECB(*source, 0, key, *dest);
        break;
    case EncCbc:
        EncryptAESStreamCBC(*source, 0, key, Vector, *dest);
        break;
    case DecCbc:
        DecryptAESStreamCBC(*source, 0, key, Vector, *dest);
        break;
    }
    return dest->data();
}

// Lengths around block, lane group and 64 KiB chunk boundaries, on every combination of plain
// buffers and other devices, with raw and expanded keys.
template <class Key, class ExpandedKey> void expectStreamsMatchBlocks(const Key& key) {
    ExpandedKey encryptionKey;
    ExpandAESKeyForEncryption(key, encryptionKey);
    ExpandedKey decryptionKey;
    ExpandAESKeyForDecryption(key, decryptionKey);
    for (const qsizetype length :
         {0,   1,   15,  16,  17,   31,    32,    100,   127,   128,          129,
          143, 144, 255, 256, 4097, 65535, 65536, 65537, 65552, 131072 + 112, 200003}) {
        const QByteArray plain = randomArray(length, unsigned(length));
        const QByteArray ecb = reference(plain, encryptionKey, nullptr);
        const QByteArray cbc = reference(plain, encryptionKey, &Vector);
        for (const Kinds kinds : AllKinds) {
            EXPECT_EQ(run(EncEcb, plain, key, kinds), ecb) << length;
            EXPECT_EQ(run(EncEcb, plain, encryptionKey, kinds), ecb) << length;
            EXPECT_EQ(run(DecEcb, ecb, key, kinds), zeroFilled(plain)) << length;
            EXPECT_EQ(run(DecEcb, ecb, decryptionKey, kinds), zeroFilled(plain)) << length;
            EXPECT_EQ(run(EncCbc, plain, key, kinds), cbc) << length;
            EXPECT_EQ(run(EncCbc, plain, encryptionKey, kinds), cbc) << length;
            EXPECT_EQ(run(DecCbc, cbc, key, kinds), zeroFilled(plain)) << length;
            EXPECT_EQ(run(DecCbc, cbc, decryptionKey, kinds), zeroFilled(plain)) << length;
        }
    }
}

using AesStreamTest = AesPathTest;

TEST_P(AesStreamTest, StreamsMatchTheBlockFunctionForEveryKeySize) {
    expectStreamsMatchBlocks<TAESKey128, TAESExpandedKey128>(Key128);
    expectStreamsMatchBlocks<TAESKey192, TAESExpandedKey192>(Key192);
    expectStreamsMatchBlocks<TAESKey256, TAESExpandedKey256>(Key256);
}

TEST_P(AesStreamTest, CountRules) {
    const QByteArray plain = randomArray(70000, 8);
    for (const Kinds kinds : AllKinds) {
        // Count 0 processes the whole source from its start, wherever it stands.
        auto source = buffer(kinds.source, plain.first(40), QIODevice::ReadOnly);
        auto dest = buffer(kinds.dest);
        source->seek(25);
        EncryptAESStreamECB(*source, 0, Key128, *dest);
        EXPECT_EQ(dest->data(), run(EncEcb, plain.first(40), Key128));
        EXPECT_TRUE(source->atEnd());

        // A count beyond the end is limited to what remains.
        dest = buffer(kinds.dest);
        source->seek(37);
        EncryptAESStreamCBC(*source, 5, Key128, Vector, *dest);
        EXPECT_EQ(dest->data(), run(EncCbc, plain.sliced(37, 3), Key128));

        // A count inside the source stops reading there.
        source = buffer(kinds.source, plain, QIODevice::ReadOnly);
        dest = buffer(kinds.dest);
        DecryptAESStreamCBC(*source, 65552, Key128, Vector, *dest);
        EXPECT_EQ(dest->data(), run(DecCbc, plain.first(65552), Key128));
        EXPECT_EQ(source->pos(), 65552);
        EXPECT_EQ(dest->pos(), 65552);
    }
    // A source at its end writes nothing.
    const auto source = buffer(Kind::Plain, plain.first(32), QIODevice::ReadOnly);
    const auto dest = buffer(Kind::Plain);
    source->seek(32);
    DecryptAESStreamECB(*source, 16, Key128, *dest);
    EXPECT_TRUE(dest->data().isEmpty());
}

TEST_P(AesStreamTest, DestinationIsWrittenAtItsPositionThroughQIODevice) {
    const QByteArray plain = randomArray(48, 11);
    const QByteArray cipher = run(EncEcb, plain, Key256);
    for (const Kinds kinds : AllKinds) {
        const auto source = buffer(kinds.source, plain, QIODevice::ReadOnly);
        const auto dest = buffer(kinds.dest);
        dest->write("header-");
        EncryptAESStreamECB(*source, 0, Key256, *dest);
        EXPECT_EQ(dest->data(), "header-" + cipher);
        // Inside existing data: overwritten in place, the rest kept.
        source->seek(0);
        dest->seek(3);
        EncryptAESStreamECB(*source, 16, Key256, *dest);
        EXPECT_EQ(dest->data(), "hea" + cipher.first(16) + cipher.sliced(12));
        EXPECT_EQ(dest->pos(), 3 + 16);
    }

    // Both buffers on one byte array: the output is appended behind the input it was made from.
    const QByteArray large = randomArray(70000, 18);
    QByteArray bytes = large;
    QBuffer source(&bytes);
    source.open(QIODevice::ReadOnly);
    QBuffer shared(&bytes);
    shared.open(QIODevice::ReadWrite);
    shared.seek(large.size());
    EncryptAESStreamECB(source, 0, Key128, shared);
    EXPECT_EQ(bytes, large + run(EncEcb, large, Key128));

    // A destination with a listener is written through QIODevice::write, which signals.
    const auto listened = buffer(Kind::Plain);
    qint64 announced = 0;
    QObject::connect(listened.get(), &QIODevice::bytesWritten,
                     [&announced](qint64 written) { announced += written; });
    source.seek(0);
    EncryptAESStreamECB(source, 100, Key128, *listened);
    QCoreApplication::processEvents();
    EXPECT_EQ(announced, 112);
}

TEST_P(AesStreamTest, FailuresStopWithWhatWasWritten) {
    // Deciphering a partial block fails before any input or output.
    const auto partial = buffer(Kind::Plain, randomArray(17, 12), QIODevice::ReadOnly);
    const auto dest = buffer(Kind::Plain);
    EXPECT_EQ(failureOf<EAESError>([&] { DecryptAESStreamECB(*partial, 0, Key128, *dest); }),
              "Invalid buffer size for decryption");
    partial->seek(1);
    EXPECT_THROW(DecryptAESStreamCBC(*partial, 15, Key192, Vector, *dest), EAESError);
    EXPECT_EQ(partial->pos(), 1);
    EXPECT_TRUE(dest->data().isEmpty());

    // A short read writes the whole blocks before it.
    for (const auto& [size, deliverable] :
         {std::pair<qsizetype, qint64>{100, 40}, {20, 19}, {200000, 70007}}) {
        for (const Kind destKind : {Kind::Plain, Kind::Device}) {
            const QByteArray plain = randomArray(size, 15);
            ShortBuffer source(plain, deliverable, QIODevice::ReadOnly);
            const auto out = buffer(destKind);
            EXPECT_EQ(failureOf<EStreamError>(
                          [&] { EncryptAESStreamCBC(source, 0, Key128, Vector, *out); }),
                      "Stream read error");
            EXPECT_EQ(out->data(), run(EncCbc, plain, Key128).first(deliverable / 16 * 16)) << size;
        }
    }

    const QByteArray plain = randomArray(40, 17);
    const auto source = buffer(Kind::Plain, plain, QIODevice::ReadOnly);
    ShortBuffer shortDest({}, 20, QIODevice::WriteOnly);
    EXPECT_EQ(failureOf<EStreamError>([&] { EncryptAESStreamECB(*source, 0, Key128, shortDest); }),
              "Stream write error");
    EXPECT_EQ(shortDest.data(), run(EncEcb, plain, Key128).first(20));

    const auto readOnly = buffer(Kind::Plain, {}, QIODevice::ReadOnly);
    source->seek(0);
    EXPECT_THROW(EncryptAESStreamECB(*source, 0, Key128, *readOnly), EStreamError);
    EXPECT_TRUE(readOnly->data().isEmpty());
    QBuffer unopened;
    unopened.setData(plain);
    EXPECT_THROW(EncryptAESStreamECB(unopened, 0, Key128, *dest), EStreamError);
    EXPECT_TRUE(dest->data().isEmpty());

    // Text mode drops carriage returns on reading; a plain buffer must not bypass that.
    const QByteArray text = QByteArrayLiteral("line one\r\nline two\r\n and more text after it");
    QByteArray results[2];
    for (const Kind kind : {Kind::Plain, Kind::Device}) {
        const auto textSource = buffer(kind, text, QIODevice::ReadOnly | QIODevice::Text);
        const auto out = buffer(Kind::Plain);
        EXPECT_THROW(EncryptAESStreamECB(*textSource, 0, Key128, *out), EStreamError);
        results[kind == Kind::Plain ? 0 : 1] = out->data();
    }
    EXPECT_EQ(results[0], results[1]);
    EXPECT_EQ(results[0].size(), 32);
}

KVZ_INSTANTIATE_AES_PATHS(AesStreamTest);

} // namespace
