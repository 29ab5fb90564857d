#include "TextCipher.h"

#include "uAES.h"

#include <algorithm>
#include <array>
#include <optional>
#include <random>

namespace kvz::cipher {

namespace {

constexpr char UpperHexDigits[] = "0123456789ABCDEF";

void writeHexByte(char* out, std::uint8_t value) {
    out[0] = UpperHexDigits[value >> 4];
    out[1] = UpperHexDigits[value & 0x0f];
}

constexpr std::uint8_t NotHex = 0xff;

// Value of each character as a hexadecimal digit, NotHex for all others.
constexpr std::array<std::uint8_t, 256> makeDigitValues() {
    std::array<std::uint8_t, 256> values{};
    values.fill(NotHex);
    for (int digit = 0; digit < 10; ++digit) {
        values['0' + digit] = static_cast<std::uint8_t>(digit);
    }
    for (int digit = 0; digit < 6; ++digit) {
        values['A' + digit] = static_cast<std::uint8_t>(10 + digit);
        values['a' + digit] = static_cast<std::uint8_t>(10 + digit);
    }
    return values;
}

constexpr std::array<std::uint8_t, 256> DigitValues = makeDigitValues();

// The value of one or two hexadecimal digits; nothing for an empty or non-hexadecimal text.
std::optional<std::uint8_t> hexValue(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint8_t value = 0;
    for (const char digit : digits) {
        const std::uint8_t nibble = DigitValues[static_cast<std::uint8_t>(digit)];
        if (nibble == NotHex) {
            return std::nullopt;
        }
        value = static_cast<std::uint8_t>(value << 4 | nibble);
    }
    return value;
}

// The two characters at `index`, fewer at the end of the text.
std::string_view digitPairAt(std::string_view text, std::size_t index) {
    return text.substr(std::min(index, text.size()), 2);
}

// Hands out the key's bytes in a cycle, starting with the first.
class KeyCycle {
public:
    explicit KeyCycle(std::string_view key) : m_key(key.empty() ? "Tarnvelo" : key) {}

    std::uint8_t next() {
        const auto byte = static_cast<std::uint8_t>(m_key[m_position]);
        m_position = m_position + 1 < m_key.size() ? m_position + 1 : 0;
        return byte;
    }

private:
    const std::string_view m_key;
    std::size_t m_position = 0;
};

std::string decipher(std::string_view cipherText, std::string_view key) {
    const std::optional<std::uint8_t> initialOffset = hexValue(digitPairAt(cipherText, 0));
    if (!initialOffset) {
        return {};
    }
    KeyCycle keyBytes(key);
    std::string plain;
    plain.reserve(cipherText.size() / 2);
    unsigned offset = *initialOffset;
    std::size_t index = 2;
    do {
        const std::optional<std::uint8_t> value = hexValue(digitPairAt(cipherText, index));
        if (!value) {
            break;
        }
        const unsigned mixed = *value ^ keyBytes.next();
        plain += static_cast<char>(mixed > offset ? mixed - offset : mixed + 255 - offset);
        offset = *value;
        index += 2;
    } while (index + 1 < cipherText.size());
    return plain;
}

TAESKey128 aesKeyFrom(std::string_view key) {
    TAESKey128 aesKey{};
    std::copy_n(key.begin(), std::min(key.size(), aesKey.size()), aesKey.begin());
    return aesKey;
}

} // namespace

std::string En(std::string_view source, std::string_view key, bool encrypt) {
    if (!encrypt) {
        return decipher(source, key);
    }
    // Opening the system's source of randomness costs far more than reading it: once a thread.
    thread_local std::random_device random;
    return EnWithOffset(source, key, static_cast<std::uint8_t>(random() & 0xff));
}

std::string EnWithOffset(std::string_view source, std::string_view key,
                         std::uint8_t initialOffset) {
    KeyCycle keyBytes(key);
    std::string cipherText(2 + 2 * source.size(), '\0');
    char* out = cipherText.data();
    writeHexByte(out, initialOffset);
    unsigned offset = initialOffset;
    for (const char plainChar : source) {
        const auto plain = static_cast<std::uint8_t>(plainChar);
        // (255 + 255) mod 255 would be 0, which deciphers as 0 after an offset of 255; 255
        // deciphers as 255 there, so that value is written instead.
        const unsigned shifted = plain == 255 && offset == 255 ? 255 : (plain + offset) % 255;
        const auto cipher = static_cast<std::uint8_t>(shifted ^ keyBytes.next());
        out += 2;
        writeHexByte(out, cipher);
        offset = cipher;
    }
    return cipherText;
}

std::string StrToHex(std::string_view bytes) {
    std::string hex(2 * bytes.size(), '\0');
    char* out = hex.data();
    for (const char byte : bytes) {
        writeHexByte(out, static_cast<std::uint8_t>(byte));
        out += 2;
    }
    return hex;
}

std::string HexToStr(std::string_view hex) {
    std::string bytes;
    bytes.reserve((hex.size() + 1) / 2);
    for (std::size_t index = 0; index < hex.size(); index += 2) {
        const std::string_view pair = digitPairAt(hex, index);
        const std::optional<std::uint8_t> value = hexValue(pair);
        if (!value) {
            throw EConvertError("'" + std::string(pair) + "' is not a valid integer value");
        }
        bytes += static_cast<char>(*value);
    }
    return bytes;
}

std::string EncryptString(std::string_view plainText, std::string_view key) {
    const auto length = static_cast<std::uint32_t>(plainText.size());
    std::string header(4, '\0');
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<char>(length >> (8 * i) & 0xff);
    }
    TAESMemoryStream source{std::string(plainText)};
    TAESMemoryStream dest(std::move(header));
    dest.Seek(dest.Size());
    EncryptAESStreamECB(source, 0, aesKeyFrom(key), dest);
    return StrToHex(dest.Bytes());
}

std::string DecryptString(std::string_view cipherText, std::string_view key) {
    constexpr std::size_t HeaderSize = 4;
    const std::string block = HexToStr(cipherText);
    if (block.size() < HeaderSize) {
        throw EStreamError("Stream read error");
    }
    // The cipher part is a stream of its own, so count 0 means exactly that part.
    TAESMemoryStream source(block.substr(HeaderSize));
    TAESMemoryStream dest;
    DecryptAESStreamECB(source, 0, aesKeyFrom(key), dest);
    return dest.Bytes();
}

} // namespace kvz::cipher
