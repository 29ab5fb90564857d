#include "StringCipher.h"

#include "uAES.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <optional>

namespace {

constexpr char UpperHexDigits[] = "0123456789ABCDEF";

void writeHexByte(char* out, quint8 value) {
    out[0] = UpperHexDigits[value >> 4];
    out[1] = UpperHexDigits[value & 0x0f];
}

constexpr quint8 NotHex = 0xff;

// Value of each character as a hexadecimal digit, NotHex for all others.
constexpr std::array<quint8, 256> makeDigitValues() {
    std::array<quint8, 256> values{};
    values.fill(NotHex);
    for (int digit = 0; digit < 10; ++digit) {
        values['0' + digit] = static_cast<quint8>(digit);
    }
    for (int digit = 0; digit < 6; ++digit) {
        values['A' + digit] = static_cast<quint8>(10 + digit);
        values['a' + digit] = static_cast<quint8>(10 + digit);
    }
    return values;
}

constexpr std::array<quint8, 256> DigitValues = makeDigitValues();

// The value of one or two hexadecimal digits; nothing for an empty or non-hexadecimal text.
std::optional<quint8> hexValue(QByteArrayView digits) {
    if (digits.isEmpty()) {
        return std::nullopt;
    }
    quint8 value = 0;
    for (const char digit : digits) {
        const quint8 nibble = DigitValues[static_cast<quint8>(digit)];
        if (nibble == NotHex) {
            return std::nullopt;
        }
        value = static_cast<quint8>(value << 4 | nibble);
    }
    return value;
}

// The two characters at `index`, fewer at the end of the text.
QByteArrayView digitPairAt(const QByteArray& text, qsizetype index) {
    const qsizetype start = std::min(index, text.size());
    return QByteArrayView(text).sliced(start, std::min<qsizetype>(2, text.size() - start));
}

// Hands out the key's bytes in a cycle, starting with the first.
class KeyCycle {
public:
    explicit KeyCycle(const QByteArray& key)
        : m_key(key.isEmpty() ? QByteArrayLiteral("Tarnvelo") : key) {}

    quint8 next() {
        const auto byte = static_cast<quint8>(m_key.at(m_position));
        m_position = m_position + 1 < m_key.size() ? m_position + 1 : 0;
        return byte;
    }

private:
    const QByteArray m_key;
    qsizetype m_position = 0;
};

QByteArray decipher(const QByteArray& cipherText, const QByteArray& key) {
    const std::optional<quint8> initialOffset = hexValue(digitPairAt(cipherText, 0));
    if (!initialOffset) {
        return {};
    }
    KeyCycle keyBytes(key);
    QByteArray plain(std::max<qsizetype>(1, cipherText.size() / 2), Qt::Uninitialized);
    char* out = plain.data();
    unsigned offset = *initialOffset;
    qsizetype index = 2;
    do {
        const std::optional<quint8> value = hexValue(digitPairAt(cipherText, index));
        if (!value) {
            break;
        }
        const unsigned mixed = *value ^ keyBytes.next();
        *out++ = static_cast<char>(mixed > offset ? mixed - offset : mixed + 255 - offset);
        offset = *value;
        index += 2;
    } while (index + 1 < cipherText.size());
    plain.truncate(out - plain.constData());
    return plain;
}

TAESKey128 aesKeyFrom(const QByteArray& key) {
    TAESKey128 aesKey{};
    std::copy_n(key.cbegin(), std::min<qsizetype>(key.size(), aesKey.size()), aesKey.begin());
    return aesKey;
}

} // namespace

QByteArray En(const QByteArray& source, const QByteArray& key, bool encrypt) {
    if (!encrypt) {
        return decipher(source, key);
    }
    return EnWithOffset(source, key, static_cast<quint8>(QRandomGenerator::global()->bounded(256)));
}

QByteArray EnWithOffset(const QByteArray& source, const QByteArray& key, quint8 initialOffset) {
    KeyCycle keyBytes(key);
    QByteArray cipherText(2 + 2 * source.size(), Qt::Uninitialized);
    char* out = cipherText.data();
    writeHexByte(out, initialOffset);
    unsigned offset = initialOffset;
    for (const char plainChar : source) {
        const auto plain = static_cast<quint8>(plainChar);
        // (255 + 255) mod 255 would be 0, which deciphers as 0 after an offset of 255; 255
        // deciphers as 255 there, so that value is written instead.
        const unsigned shifted = plain == 255 && offset == 255 ? 255 : (plain + offset) % 255;
        const auto cipher = static_cast<quint8>(shifted ^ keyBytes.next());
        out += 2;
        writeHexByte(out, cipher);
        offset = cipher;
    }
    return cipherText;
}

QByteArray StrToHex(const QByteArray& bytes) {
    QByteArray hex(2 * bytes.size(), Qt::Uninitialized);
    char* out = hex.data();
    for (const char byte : bytes) {
        writeHexByte(out, static_cast<quint8>(byte));
        out += 2;
    }
    return hex;
}

QByteArray HexToStr(const QByteArray& hex) {
    QByteArray bytes;
    bytes.reserve((hex.size() + 1) / 2);
    for (qsizetype index = 0; index < hex.size(); index += 2) {
        const QByteArrayView pair = digitPairAt(hex, index);
        const std::optional<quint8> value = hexValue(pair);
        if (!value) {
            throw EConvertError("'" + pair.toByteArray().toStdString() +
                                "' is not a valid integer value");
        }
        bytes.append(static_cast<char>(*value));
    }
    return bytes;
}

QByteArray EncryptString(const QByteArray& plainText, const QByteArray& key) {
    QByteArray block;
    QBuffer dest(&block);
    dest.open(QIODevice::WriteOnly);
    const quint32 length = qToLittleEndian(static_cast<quint32>(plainText.size()));
    dest.write(reinterpret_cast<const char*>(&length), sizeof length);
    QBuffer source;
    source.setData(plainText);
    source.open(QIODevice::ReadOnly);
    EncryptAESStreamECB(source, 0, aesKeyFrom(key), dest);
    return StrToHex(block);
}

QByteArray DecryptString(const QByteArray& cipherText, const QByteArray& key) {
    constexpr qsizetype HeaderSize = 4;
    const QByteArray block = HexToStr(cipherText);
    if (block.size() < HeaderSize) {
        throw EStreamError("Stream read error");
    }
    // The cipher part gets a buffer of its own, so count 0 means exactly that part.
    QBuffer source;
    source.setData(block.sliced(HeaderSize));
    source.open(QIODevice::ReadOnly);
    QByteArray plain;
    QBuffer dest(&plain);
    dest.open(QIODevice::WriteOnly);
    DecryptAESStreamECB(source, 0, aesKeyFrom(key), dest);
    return plain;
}
