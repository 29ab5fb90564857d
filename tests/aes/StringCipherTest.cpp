#include "StringCipher.h"
#include "AesTestSupport.h"

#include <QRegularExpression>
#include <QSet>

namespace {

QByteArray allNonZeroBytes() {
    QByteArray bytes;
    for (int value = 1; value <= 255; ++value) {
        bytes.append(static_cast<char>(value));
    }
    return bytes;
}

bool isUpperHex(const QByteArray& text) {
    static const QRegularExpression pattern(QStringLiteral("^([0-9A-F]{2})*$"));
    return pattern.match(QString::fromLatin1(text)).hasMatch();
}

const QByteArray Key = QByteArrayLiteral("key");

TEST(En, RoundTripsUnderEveryKeyAndInitialOffset) {
    const QByteArray plain = allNonZeroBytes();
    for (const QByteArray& key : {QByteArray(), QByteArrayLiteral("k"), QByteArrayLiteral("Key123"),
                                  QByteArrayLiteral("a rather long key of 37 bytes ......"),
                                  QByteArray("\xff\x00\x80", 3)}) {
        const QByteArray cipher = En(plain + plain, key, true);
        EXPECT_EQ(cipher.size(), 2 + 4 * plain.size());
        EXPECT_TRUE(isUpperHex(cipher));
        EXPECT_EQ(En(cipher, key, false), plain + plain) << key.toHex().constData();
        for (int offset = 0; offset <= 255; ++offset) {
            ASSERT_EQ(En(EnWithOffset(plain, key, static_cast<quint8>(offset)), key, false), plain)
                << "offset " << offset;
        }
    }
    // Offsets are drawn at random.
    QSet<QByteArray> ciphers;
    for (int i = 0; i < 10; ++i) {
        ciphers.insert(En(plain, Key, true));
    }
    EXPECT_GT(ciphers.size(), 1);
}

// The key 0x00 leaves each cipher byte as it is, so 255 after an offset of 255 is chained
// directly and a second 255 follows a cipher byte of 255. Byte zero comes back as 255.
TEST(En, Bytes255AndZero) {
    const QByteArray zeroKey("\x00", 1);
    const QByteArray plain("\xff\xff\xff", 3);
    EXPECT_EQ(EnWithOffset(plain, zeroKey, 255), "FFFFFFFF");
    EXPECT_EQ(En("FFFFFFFF", zeroKey, false), plain);
    EXPECT_EQ(En(EnWithOffset(QByteArray("a\0b", 3), Key, 7), Key, false), "a\xff"
                                                                           "b");
}

// 'A' (0x41) after offset 0x10 gives 0x51, XOR 'T' = 0x05; 'B' after 0x05 gives 0x47,
// XOR 'a' = 0x26.
TEST(En, EmptyKeyMeansTarnvelo) {
    EXPECT_EQ(EnWithOffset(QByteArrayLiteral("AB"), QByteArray(), 0x10), "100526");
    EXPECT_EQ(En(QByteArrayLiteral("100526"), QByteArray(), false), "AB");
    const QByteArray plain = QByteArrayLiteral("a text longer than the eight key bytes");
    EXPECT_EQ(EnWithOffset(plain, QByteArray(), 99), EnWithOffset(plain, "Tarnvelo", 99));
    EXPECT_NE(EnWithOffset(plain, QByteArray(), 99), EnWithOffset(plain, "Tarnvel", 99));
}

TEST(En, ShortWrongAndMalformedCipherText) {
    EXPECT_EQ(En(QByteArray(), Key, true).size(), 2); // only the offset pair
    const QByteArray flag = QByteArrayLiteral("aFlag=Uninstall");
    const QByteArray wrong = En(En(flag, "right", true), "wrong", false);
    EXPECT_EQ(wrong.size(), flag.size());
    EXPECT_NE(wrong, flag);
    const QByteArray gbk = QByteArrayLiteral("\xd6\xd0\xce\xc4 text");
    EXPECT_EQ(En(EnWithOffset(gbk, Key, 0xab).toLower(), Key, false), gbk);

    // Malformed pairs end the text deciphered so far; a lone last digit is not read.
    const QByteArray hello = EnWithOffset(QByteArrayLiteral("hello"), Key, 0x42);
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"", ""},
        {"7F", ""},
        {"A", ""},
        {hello + "7", "hello"},
        {hello.first(6) + "G1" + hello.sliced(8), "he"},
        {hello.first(6) + "1 " + hello.sliced(8), "he"},
        {"XY0102", ""},
        {"-1", ""}};
    for (const auto& [cipher, plain] : cases) {
        EXPECT_EQ(En(cipher, Key, false), plain) << cipher.constData();
    }
    // A single character after the offset pair is read alone: 0x0A XOR 'T' = 0x5E, minus the
    // offset 0x10 gives 'N'.
    EXPECT_EQ(En(QByteArrayLiteral("10A"), QByteArray(), false), "N");
}

TEST(HexCodec, EncodesUpperCaseDecodesEitherCaseAndRejectsNonHex) {
    QByteArray everyByte = allNonZeroBytes().prepend('\0');
    EXPECT_EQ(StrToHex(everyByte), everyByte.toHex().toUpper());
    EXPECT_EQ(HexToStr(StrToHex(everyByte)), everyByte);
    EXPECT_EQ(HexToStr(StrToHex(everyByte).toLower()), everyByte);
    EXPECT_TRUE(StrToHex(QByteArray()).isEmpty());
    EXPECT_TRUE(HexToStr(QByteArray()).isEmpty());
    EXPECT_EQ(HexToStr(QByteArrayLiteral("ABC")), QByteArray("\xab\x0c", 2)); // lone last digit
    EXPECT_EQ(failureOf<EConvertError>([] { HexToStr(QByteArrayLiteral("00zz11")); }),
              "'zz' is not a valid integer value");
    for (const char* bad : {"0g", "+1", "00 1"}) {
        EXPECT_THROW(HexToStr(QByteArray(bad)), EConvertError) << bad;
    }
}

TEST(EncryptString, KnownAnswerLengthsAndKey) {
    // The FIPS-197 appendix C.1 block behind its length header.
    EXPECT_EQ(EncryptString(QByteArray::fromHex("00112233445566778899aabbccddeeff"),
                            QByteArray::fromHex("000102030405060708090a0b0c0d0e0f")),
              "1000000069C4E0D86A7B0430D8CDB78070B4C55A");
    const QByteArray key = QByteArrayLiteral("secret");
    EXPECT_EQ(EncryptString(QByteArray(), key), "00000000");
    EXPECT_EQ(EncryptString(QByteArray(16, 'x'), key).size(), 8 + 32);
    EXPECT_EQ(EncryptString(QByteArray(17, 'x'), key).size(), 8 + 64);
    EXPECT_TRUE(EncryptString(QByteArray(300, 'x'), key).startsWith("2C010000"));

    // The key is its first 16 bytes filled with zeros.
    const QByteArray plain = QByteArrayLiteral("some text");
    const QByteArray long16 = QByteArrayLiteral("0123456789abcdef");
    EXPECT_EQ(EncryptString(plain, long16 + "X"), EncryptString(plain, long16 + "Y"));
    EXPECT_NE(EncryptString(plain, long16), EncryptString(plain, "0123456789abcdeX"));
    EXPECT_EQ(EncryptString(plain, "abc"), EncryptString(plain, "abc" + QByteArray(13, '\0')));
}

TEST(DecryptString, KeepsTheZeroFillAndReportsMalformedInput) {
    const QByteArray key = QByteArrayLiteral("secret");
    EXPECT_EQ(DecryptString(EncryptString("hello", key), key), "hello" + QByteArray(11, '\0'));
    EXPECT_TRUE(DecryptString(EncryptString(QByteArray(), key), key).isEmpty());
    const QByteArray block = randomBytes(48, 3);
    EXPECT_EQ(DecryptString(EncryptString(block, key).toLower(), key), block);

    EXPECT_THROW(DecryptString(QByteArrayLiteral("0000000Q"), key), EConvertError);
    EXPECT_EQ(failureOf<EStreamError>([&] { DecryptString(QByteArrayLiteral("000000"), key); }),
              "Stream read error");
    EXPECT_EQ(failureOf<EAESError>(
                  [&] { DecryptString(QByteArrayLiteral("11000000") + QByteArray(34, 'A'), key); }),
              "Invalid buffer size for decryption");
}

} // namespace
