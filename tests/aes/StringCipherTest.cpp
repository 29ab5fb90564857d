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

const QList<QByteArray> SampleKeys = {
    QByteArray(), QByteArrayLiteral("k"), QByteArrayLiteral("Key123"),
    QByteArrayLiteral("a rather long key of 37 bytes ......"), QByteArray("\xff\x00\x80", 3)};

TEST(En, RoundTripsEveryNonZeroByteWithKeysOfSeveralLengths) {
    const QByteArray plain = allNonZeroBytes() + allNonZeroBytes();
    for (const QByteArray& key : SampleKeys) {
        const QByteArray cipher = En(plain, key, true);
        EXPECT_EQ(cipher.size(), 2 + 2 * plain.size());
        EXPECT_TRUE(isUpperHex(cipher));
        EXPECT_EQ(En(cipher, key, false), plain) << key.toHex().constData();
    }
}

// Every initial offset, including 255, before every plain byte value.
TEST(En, RoundTripsUnderEveryInitialOffset) {
    const QByteArray plain = allNonZeroBytes();
    for (int offset = 0; offset <= 255; ++offset) {
        for (const QByteArray& key : SampleKeys) {
            const QByteArray cipher = EnWithOffset(plain, key, static_cast<quint8>(offset));
            ASSERT_EQ(En(cipher, key, false), plain) << "offset " << offset;
        }
    }
}

// The key 0x00 leaves each cipher byte as it is, so 255 after an offset of 255 is chained
// directly and a second 255 follows a cipher byte of 255.
TEST(En, Byte255AfterOffset255SurvivesTheRoundTrip) {
    const QByteArray key("\x00", 1);
    const QByteArray plain("\xff\xff\xff", 3);
    const QByteArray cipher = EnWithOffset(plain, key, 255);
    EXPECT_EQ(cipher, "FFFFFFFF");
    EXPECT_EQ(En(cipher, key, false), plain);
}

TEST(En, ByteZeroComesBackAs255) {
    const QByteArray cipher = EnWithOffset(QByteArray("a\0b", 3), QByteArrayLiteral("key"), 7);
    EXPECT_EQ(En(cipher, QByteArrayLiteral("key"), false), QByteArray("a\xff"
                                                                      "b"));
}

// 'A' (0x41) after offset 0x10 gives 0x51, XOR 'T' = 0x05; 'B' after 0x05 gives 0x47,
// XOR 'a' = 0x26.
TEST(En, EmptyKeyMeansTarnvelo) {
    EXPECT_EQ(EnWithOffset(QByteArrayLiteral("AB"), QByteArray(), 0x10), "100526");
    EXPECT_EQ(En(QByteArrayLiteral("100526"), QByteArray(), false), "AB");

    const QByteArray plain = QByteArrayLiteral("a text longer than the eight key bytes");
    EXPECT_EQ(EnWithOffset(plain, QByteArray(), 99),
              EnWithOffset(plain, QByteArrayLiteral("Tarnvelo"), 99));
    EXPECT_NE(EnWithOffset(plain, QByteArray(), 99),
              EnWithOffset(plain, QByteArrayLiteral("Tarnvel"), 99));
}

TEST(En, EmptyTextGivesOnlyTheOffsetPair) {
    const QByteArray cipher = En(QByteArray(), QByteArrayLiteral("key"), true);
    EXPECT_EQ(cipher.size(), 2);
    EXPECT_TRUE(isUpperHex(cipher));
    EXPECT_TRUE(En(QByteArrayLiteral("7F"), QByteArrayLiteral("key"), false).isEmpty());
    EXPECT_TRUE(En(QByteArray(), QByteArrayLiteral("key"), false).isEmpty());
}

TEST(En, OffsetsAreDrawnAtRandom) {
    const QByteArray plain = QByteArrayLiteral("aFlag=UpdatePly");
    QSet<QByteArray> ciphers;
    for (int i = 0; i < 10; ++i) {
        const QByteArray cipher = En(plain, QByteArrayLiteral("key"), true);
        EXPECT_EQ(En(cipher, QByteArrayLiteral("key"), false), plain);
        ciphers.insert(cipher);
    }
    EXPECT_GT(ciphers.size(), 1);
}

TEST(En, WrongKeyGivesWrongBytesOfTheRightLength) {
    const QByteArray plain = QByteArrayLiteral("aFlag=Uninstall");
    const QByteArray deciphered =
        En(En(plain, QByteArrayLiteral("right"), true), QByteArrayLiteral("wrong"), false);
    EXPECT_EQ(deciphered.size(), plain.size());
    EXPECT_NE(deciphered, plain);
}

TEST(En, LowerCaseCipherTextIsAccepted) {
    const QByteArray plain = QByteArrayLiteral("\xd6\xd0\xce\xc4 text");
    const QByteArray cipher = EnWithOffset(plain, QByteArrayLiteral("key"), 0xab);
    EXPECT_EQ(En(cipher.toLower(), QByteArrayLiteral("key"), false), plain);
}

TEST(En, MalformedCipherTextYieldsThePrefixDecipheredBeforeIt) {
    const QByteArray key = QByteArrayLiteral("key");
    QByteArray cipher = EnWithOffset(QByteArrayLiteral("hello"), key, 0x42);
    cipher.replace(6, 2, "G1");
    EXPECT_EQ(En(cipher, key, false), "he");
    cipher.replace(6, 2, "1 ");
    EXPECT_EQ(En(cipher, key, false), "he");

    EXPECT_TRUE(En(QByteArrayLiteral("XY0102"), key, false).isEmpty());
    EXPECT_TRUE(En(QByteArrayLiteral("-1"), key, false).isEmpty());
}

TEST(En, OddLengthCipherText) {
    const QByteArray key = QByteArrayLiteral("key");
    const QByteArray cipher = EnWithOffset(QByteArrayLiteral("abc"), key, 3);
    // A lone digit after the last pair is not read.
    EXPECT_EQ(En(cipher + "7", key, false), "abc");
    // With a single character after the offset pair, that digit is read alone:
    // 0x0A XOR 'T' = 0x5E, minus the offset 0x10 gives 'N'.
    EXPECT_EQ(En(QByteArrayLiteral("10A"), QByteArray(), false), "N");
    // A single character is a valid offset with nothing after it.
    EXPECT_TRUE(En(QByteArrayLiteral("A"), key, false).isEmpty());
}

TEST(HexCodec, EncodesUpperCaseAndDecodesEitherCase) {
    EXPECT_EQ(StrToHex(QByteArray("\x00\xab", 2)), "00AB");
    EXPECT_EQ(HexToStr(QByteArrayLiteral("00ab")), QByteArray("\x00\xab", 2));
    EXPECT_EQ(HexToStr(QByteArrayLiteral("00AB")), QByteArray("\x00\xab", 2));
    EXPECT_TRUE(StrToHex(QByteArray()).isEmpty());
    EXPECT_TRUE(HexToStr(QByteArray()).isEmpty());

    QByteArray everyByte = allNonZeroBytes();
    everyByte.prepend('\0');
    EXPECT_EQ(StrToHex(everyByte), everyByte.toHex().toUpper());
    EXPECT_EQ(HexToStr(StrToHex(everyByte)), everyByte);
}

TEST(HexCodec, LoneLastDigitIsReadAlone) {
    EXPECT_EQ(HexToStr(QByteArrayLiteral("ABC")), QByteArray("\xab\x0c", 2));
}

TEST(HexCodec, NonHexadecimalPairRaisesConvertError) {
    try {
        HexToStr(QByteArrayLiteral("00zz11"));
        FAIL() << "no error raised";
    } catch (const EConvertError& error) {
        EXPECT_STREQ(error.what(), "'zz' is not a valid integer value");
    }
    EXPECT_THROW(HexToStr(QByteArrayLiteral("0g")), EConvertError);
    EXPECT_THROW(HexToStr(QByteArrayLiteral("+1")), EConvertError);
    EXPECT_THROW(HexToStr(QByteArrayLiteral("00 1")), EConvertError);
}

// The FIPS-197 appendix C.1 block behind its length header.
TEST(EncryptString, KnownAnswer) {
    const QByteArray key = QByteArray::fromHex("000102030405060708090a0b0c0d0e0f");
    const QByteArray plain = QByteArray::fromHex("00112233445566778899aabbccddeeff");
    EXPECT_EQ(EncryptString(plain, key), "10000000"
                                         "69C4E0D86A7B0430D8CDB78070B4C55A");
}

TEST(EncryptString, LengthsFollowTheBlocks) {
    const QByteArray key = QByteArrayLiteral("secret");
    EXPECT_EQ(EncryptString(QByteArray(), key), "00000000");
    EXPECT_EQ(EncryptString(QByteArray(16, 'x'), key).size(), 8 + 32);
    EXPECT_EQ(EncryptString(QByteArray(17, 'x'), key).size(), 8 + 64);
    EXPECT_TRUE(EncryptString(QByteArray(300, 'x'), key).startsWith("2C010000"));
}

TEST(EncryptString, DecryptionKeepsTheZeroFill) {
    const QByteArray key = QByteArrayLiteral("secret");
    const QByteArray plain = QByteArrayLiteral("hello");
    EXPECT_EQ(DecryptString(EncryptString(plain, key), key), plain + QByteArray(11, '\0'));
    EXPECT_TRUE(DecryptString(EncryptString(QByteArray(), key), key).isEmpty());
    const QByteArray block = randomBytes(48, 3);
    EXPECT_EQ(DecryptString(EncryptString(block, key).toLower(), key), block);
}

TEST(EncryptString, KeyIsItsFirst16BytesFilledWithZeros) {
    const QByteArray plain = QByteArrayLiteral("some text");
    const QByteArray long16 = QByteArrayLiteral("0123456789abcdef");
    EXPECT_EQ(EncryptString(plain, long16 + "X"), EncryptString(plain, long16 + "Y"));
    EXPECT_NE(EncryptString(plain, long16),
              EncryptString(plain, QByteArrayLiteral("0123456789abcdeX")));
    EXPECT_EQ(EncryptString(plain, QByteArrayLiteral("abc")),
              EncryptString(plain, QByteArrayLiteral("abc") + QByteArray(13, '\0')));
}

TEST(DecryptString, ReportsMalformedInput) {
    const QByteArray key = QByteArrayLiteral("secret");
    EXPECT_THROW(DecryptString(QByteArrayLiteral("0000000Q"), key), EConvertError);
    try {
        DecryptString(QByteArrayLiteral("000000"), key);
        FAIL() << "no error raised";
    } catch (const EStreamError& error) {
        EXPECT_STREQ(error.what(), "Stream read error");
    }
    try {
        DecryptString(QByteArrayLiteral("11000000") + QByteArray(34, 'A'), key);
        FAIL() << "no error raised";
    } catch (const EAESError& error) {
        EXPECT_STREQ(error.what(), "Invalid buffer size for decryption");
    }
}

} // namespace
