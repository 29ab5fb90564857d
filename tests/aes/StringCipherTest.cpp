#include "AesTestSupport.h"
#include "TextCipher.h"

#include <set>

using namespace kvz::cipher;
using namespace std::string_literals;

namespace {

std::string allNonZeroBytes() {
    std::string bytes;
    for (int value = 1; value <= 255; ++value) {
        bytes += static_cast<char>(value);
    }
    return bytes;
}

bool isUpperHex(const std::string& text) {
    return text.size() % 2 == 0 && text.find_first_not_of("0123456789ABCDEF") == std::string::npos;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) { return std::tolower(c); });
    return text;
}

const std::string Key = "key";

TEST(En, RoundTripsUnderEveryKeyAndInitialOffset) {
    const std::string plain = allNonZeroBytes();
    for (const std::string& key :
         {""s, "k"s, "Key123"s, "a rather long key of 37 bytes ......"s, "\xff\x00\x80"s}) {
        const std::string cipher = En(plain + plain, key, true);
        EXPECT_EQ(cipher.size(), 2 + 4 * plain.size());
        EXPECT_TRUE(isUpperHex(cipher));
        EXPECT_EQ(En(cipher, key, false), plain + plain) << StrToHex(key);
        for (int offset = 0; offset <= 255; ++offset) {
            ASSERT_EQ(En(EnWithOffset(plain, key, std::uint8_t(offset)), key, false), plain)
                << "offset " << offset;
        }
    }
    // Offsets are drawn at random.
    std::set<std::string> ciphers;
    for (int i = 0; i < 10; ++i) {
        ciphers.insert(En(plain, Key, true));
    }
    EXPECT_GT(ciphers.size(), 1);
}

// The key 0x00 leaves each cipher byte as it is, so 255 after an offset of 255 is chained
// directly and a second 255 follows a cipher byte of 255. Byte zero comes back as 255.
TEST(En, Bytes255AndZero) {
    const std::string zeroKey = "\x00"s;
    const std::string plain = "\xff\xff\xff";
    EXPECT_EQ(EnWithOffset(plain, zeroKey, 255), "FFFFFFFF");
    EXPECT_EQ(En("FFFFFFFF", zeroKey, false), plain);
    EXPECT_EQ(En(EnWithOffset("a\0b"s, Key, 7), Key, false), "a\xff"
                                                             "b");
}

// 'A' (0x41) after offset 0x10 gives 0x51, XOR 'T' = 0x05; 'B' after 0x05 gives 0x47,
// XOR 'a' = 0x26.
TEST(En, EmptyKeyMeansTarnvelo) {
    EXPECT_EQ(EnWithOffset("AB", "", 0x10), "100526");
    EXPECT_EQ(En("100526", "", false), "AB");
    const std::string plain = "a text longer than the eight key bytes";
    EXPECT_EQ(EnWithOffset(plain, "", 99), EnWithOffset(plain, "Tarnvelo", 99));
    EXPECT_NE(EnWithOffset(plain, "", 99), EnWithOffset(plain, "Tarnvel", 99));
}

TEST(En, ShortWrongAndMalformedCipherText) {
    EXPECT_EQ(En("", Key, true).size(), 2U); // only the offset pair
    const std::string flag = "aFlag=Uninstall";
    const std::string wrong = En(En(flag, "right", true), "wrong", false);
    EXPECT_EQ(wrong.size(), flag.size());
    EXPECT_NE(wrong, flag);
    const std::string gbk = "\xd6\xd0\xce\xc4 text";
    EXPECT_EQ(En(lower(EnWithOffset(gbk, Key, 0xab)), Key, false), gbk);

    // Malformed pairs end the text deciphered so far; a lone last digit is not read.
    const std::string hello = EnWithOffset("hello", Key, 0x42);
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"7F", ""},
        {"A", ""},
        {hello + "7", "hello"},
        {hello.substr(0, 6) + "G1" + hello.substr(8), "he"},
        {hello.substr(0, 6) + "1 " + hello.substr(8), "he"},
        {"XY0102", ""},
        {"-1", ""}};
    for (const auto& [cipher, plain] : cases) {
        EXPECT_EQ(En(cipher, Key, false), plain) << cipher;
    }
    // A single character after the offset pair is read alone: 0x0A XOR 'T' = 0x5E, minus the
    // offset 0x10 gives 'N'.
    EXPECT_EQ(En("10A", "", false), "N");
}

TEST(HexCodec, EncodesUpperCaseDecodesEitherCaseAndRejectsNonHex) {
    const std::string everyByte = '\0' + allNonZeroBytes();
    const std::string hex = StrToHex(everyByte);
    EXPECT_EQ(hex.substr(0, 8), "00010203");
    EXPECT_EQ(hex.substr(hex.size() - 6), "FDFEFF");
    EXPECT_TRUE(isUpperHex(hex));
    EXPECT_EQ(HexToStr(hex), everyByte);
    EXPECT_EQ(HexToStr(lower(hex)), everyByte);
    EXPECT_TRUE(StrToHex("").empty());
    EXPECT_TRUE(HexToStr("").empty());
    EXPECT_EQ(HexToStr("ABC"), "\xab\x0c"); // lone last digit
    EXPECT_EQ(failureOf<EConvertError>([] { HexToStr("00zz11"); }),
              "'zz' is not a valid integer value");
    for (const char* bad : {"0g", "+1", "00 1"}) {
        EXPECT_THROW(HexToStr(bad), EConvertError) << bad;
    }
}

TEST(EncryptString, KnownAnswerLengthsAndKey) {
    // The FIPS-197 appendix C.1 block behind its length header.
    EXPECT_EQ(EncryptString(fromHex("00112233445566778899aabbccddeeff"),
                            fromHex("000102030405060708090a0b0c0d0e0f")),
              "1000000069C4E0D86A7B0430D8CDB78070B4C55A");
    const std::string key = "secret";
    EXPECT_EQ(EncryptString("", key), "00000000");
    EXPECT_EQ(EncryptString(std::string(16, 'x'), key).size(), 8U + 32);
    EXPECT_EQ(EncryptString(std::string(17, 'x'), key).size(), 8U + 64);
    EXPECT_EQ(EncryptString(std::string(300, 'x'), key).substr(0, 8), "2C010000");

    // The key is its first 16 bytes filled with zeros.
    const std::string plain = "some text";
    const std::string long16 = "0123456789abcdef";
    EXPECT_EQ(EncryptString(plain, long16 + "X"), EncryptString(plain, long16 + "Y"));
    EXPECT_NE(EncryptString(plain, long16), EncryptString(plain, "0123456789abcdeX"));
    EXPECT_EQ(EncryptString(plain, "abc"), EncryptString(plain, "abc" + std::string(13, '\0')));
}

TEST(DecryptString, KeepsTheZeroFillAndReportsMalformedInput) {
    const std::string key = "secret";
    EXPECT_EQ(DecryptString(EncryptString("hello", key), key), "hello" + std::string(11, '\0'));
    EXPECT_TRUE(DecryptString(EncryptString("", key), key).empty());
    const std::string block = randomBytes(48, 3);
    EXPECT_EQ(DecryptString(lower(EncryptString(block, key)), key), block);

    EXPECT_THROW(DecryptString("0000000Q", key), EConvertError);
    EXPECT_EQ(failureOf<EStreamError>([&] { DecryptString("000000", key); }), "Stream read error");
    EXPECT_EQ(failureOf<EAESError>([&] { DecryptString("11000000" + std::string(34, 'A'), key); }),
              "Invalid buffer size for decryption");
}

} // namespace
