// The AES stream modes against OpenSSL: for a fuzzer-chosen key size, mode, block code, key,
// chaining vector, data, start position and count, our ECB and CBC streams encipher as OpenSSL
// does (the last block filled with zero bytes), decipher as OpenSSL does, refuse a partial
// block when deciphering, and decipher their own output back to the data.

#include "AesDevice.h"
#include "FuzzCheck.h"

#include <QBuffer>
#include <fuzzer/FuzzedDataProvider.h>
#include <openssl/evp.h>

#include <memory>
#include <optional>

namespace {

constexpr size_t MaxData = 4096;

struct Case {
    bool cbc = false;
    TAESBuffer iv{};
    QByteArray data;
    qint64 start = 0;        // where the source stands when the stream is called
    std::uint32_t count = 0; // 0: the whole source from position 0
};

// What a stream call reads of the case's source.
QByteArray amountOf(const Case& c) {
    if (c.count == 0)
        return c.data;
    return c.data.mid(c.start, std::min<qint64>(c.count, c.data.size() - c.start));
}

QByteArray zeroFilled(QByteArray bytes) {
    bytes.append(QByteArray((16 - bytes.size() % 16) % 16, '\0'));
    return bytes;
}

const EVP_CIPHER* referenceCipher(size_t keySize, bool cbc) {
    switch (keySize) {
    case 16:
        return cbc ? EVP_aes_128_cbc() : EVP_aes_128_ecb();
    case 24:
        return cbc ? EVP_aes_192_cbc() : EVP_aes_192_ecb();
    default:
        return cbc ? EVP_aes_256_cbc() : EVP_aes_256_ecb();
    }
}

// OpenSSL over whole blocks, without padding.
template <class Key>
QByteArray reference(const Key& key, const Case& c, const QByteArray& blocks, bool encrypt) {
    const std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> context(
        EVP_CIPHER_CTX_new(), &EVP_CIPHER_CTX_free);
    require(EVP_CipherInit_ex(context.get(), referenceCipher(key.size(), c.cbc), nullptr,
                              key.data(), c.iv.data(), encrypt ? 1 : 0) == 1,
            "OpenSSL takes the key");
    EVP_CIPHER_CTX_set_padding(context.get(), 0);
    QByteArray out(blocks.size() + 16, '\0');
    int written = 0;
    int last = 0;
    require(EVP_CipherUpdate(context.get(), reinterpret_cast<unsigned char*>(out.data()), &written,
                             reinterpret_cast<const unsigned char*>(blocks.constData()),
                             int(blocks.size())) == 1 &&
                EVP_CipherFinal_ex(context.get(),
                                   reinterpret_cast<unsigned char*>(out.data()) + written,
                                   &last) == 1,
            "OpenSSL runs over whole blocks");
    out.truncate(written + last);
    return out;
}

// Runs one of our stream calls on a copy of the case's data; nothing when it raised EAESError.
template <class Call> std::optional<QByteArray> run(const Case& c, Call&& call) {
    QBuffer source;
    source.setData(c.data);
    source.open(QIODevice::ReadOnly);
    source.seek(c.start);
    QByteArray out;
    QBuffer dest(&out);
    dest.open(QIODevice::WriteOnly);
    try {
        call(source, dest);
    } catch (const EAESError&) {
        require(out.isEmpty(), "a refused amount writes nothing");
        return std::nullopt;
    }
    return out;
}

template <class Key, class Expanded>
QByteArray encrypt(const Key& key, bool expanded, const Case& c) {
    Expanded schedule;
    ExpandAESKeyForEncryption(key, schedule);
    return *run(c, [&](QIODevice& source, QIODevice& dest) {
        if (c.cbc && expanded)
            EncryptAESStreamCBC(source, c.count, schedule, c.iv, dest);
        else if (c.cbc)
            EncryptAESStreamCBC(source, c.count, key, c.iv, dest);
        else if (expanded)
            EncryptAESStreamECB(source, c.count, schedule, dest);
        else
            EncryptAESStreamECB(source, c.count, key, dest);
    });
}

template <class Key, class Expanded>
std::optional<QByteArray> decrypt(const Key& key, bool expanded, const Case& c) {
    Expanded schedule;
    ExpandAESKeyForDecryption(key, schedule);
    return run(c, [&](QIODevice& source, QIODevice& dest) {
        if (c.cbc && expanded)
            DecryptAESStreamCBC(source, c.count, schedule, c.iv, dest);
        else if (c.cbc)
            DecryptAESStreamCBC(source, c.count, key, c.iv, dest);
        else if (expanded)
            DecryptAESStreamECB(source, c.count, schedule, dest);
        else
            DecryptAESStreamECB(source, c.count, key, dest);
    });
}

template <class Key, class Expanded> void check(FuzzedDataProvider& input, bool expanded) {
    Key key{};
    input.ConsumeData(key.data(), key.size());
    Case c;
    c.cbc = input.ConsumeBool();
    input.ConsumeData(c.iv.data(), c.iv.size());
    const bool whole = input.ConsumeBool();
    const auto start = input.ConsumeIntegralInRange<size_t>(0, MaxData);
    const auto count = input.ConsumeIntegralInRange<std::uint32_t>(0, MaxData);
    c.data = QByteArray::fromStdString(input.ConsumeBytesAsString(MaxData));
    c.start = qint64(std::min<size_t>(start, size_t(c.data.size())));
    c.count = whole ? 0 : count;
    const QByteArray amount = amountOf(c);

    const QByteArray cipher = encrypt<Key, Expanded>(key, expanded, c);
    require(cipher == reference(key, c, zeroFilled(amount), true), "enciphers as OpenSSL does");

    Case back{c.cbc, c.iv, cipher, 0, 0};
    require(decrypt<Key, Expanded>(key, expanded, back) == zeroFilled(amount),
            "deciphering reverses enciphering");

    const std::optional<QByteArray> plain = decrypt<Key, Expanded>(key, expanded, c);
    require(plain.has_value() == (amount.size() % 16 == 0),
            "deciphering refuses exactly the partial blocks");
    if (plain)
        require(*plain == reference(key, c, amount, false), "deciphers as OpenSSL does");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool hardware = input.ConsumeBool();
    const bool expanded = input.ConsumeBool();
    SetAESImplementation(hardware ? TAESImplementation::Hardware : TAESImplementation::Table);
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
        check<TAESKey128, TAESExpandedKey128>(input, expanded);
        break;
    case 1:
        check<TAESKey192, TAESExpandedKey192>(input, expanded);
        break;
    default:
        check<TAESKey256, TAESExpandedKey256>(input, expanded);
        break;
    }
    return 0;
}
