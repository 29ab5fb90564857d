#include "AesTestSupport.h"

namespace {

// FIPS-197 appendix C: one plain block under the three example keys.
const TAESBuffer ExamplePlain = bytesFromHex<16>("00112233445566778899aabbccddeeff");

template <class Key, class ExpandedKey>
void expectExampleVector(const Key& key, const char* cipherHex) {
    const TAESBuffer expectedCipher = bytesFromHex<16>(cipherHex);
    ExpandedKey encryptionKey;
    ExpandAESKeyForEncryption(key, encryptionKey);
    TAESBuffer cipher{};
    EncryptAES(ExamplePlain, encryptionKey, cipher);
    EXPECT_EQ(cipher, expectedCipher);

    ExpandedKey decryptionKey;
    ExpandAESKeyForDecryption(key, decryptionKey);
    TAESBuffer plain{};
    DecryptAES(cipher, decryptionKey, plain);
    EXPECT_EQ(plain, ExamplePlain);

    // A block may be processed in place.
    TAESBuffer block = ExamplePlain;
    EncryptAES(block, encryptionKey, block);
    EXPECT_EQ(block, expectedCipher);
    DecryptAES(block, decryptionKey, block);
    EXPECT_EQ(block, ExamplePlain);

    // Converting the enciphering schedule in place gives the same deciphering schedule.
    ExpandAESKeyForDecryption(encryptionKey);
    EXPECT_EQ(encryptionKey.Words, decryptionKey.Words);
}

using AesBlockTest = AesPathTest;

TEST_P(AesBlockTest, ExampleVectorsOfTheThreeKeySizes) {
    EXPECT_EQ(ActiveAESImplementation(), GetParam());
    expectExampleVector<TAESKey128, TAESExpandedKey128>(
        bytesFromHex<16>("000102030405060708090a0b0c0d0e0f"), "69c4e0d86a7b0430d8cdb78070b4c55a");
    expectExampleVector<TAESKey192, TAESExpandedKey192>(
        bytesFromHex<24>("000102030405060708090a0b0c0d0e0f1011121314151617"),
        "dda97ca4864cdfe06eaf70a0ec0d7191");
    expectExampleVector<TAESKey256, TAESExpandedKey256>(
        bytesFromHex<32>("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f"),
        "8ea2b7ca516745bfeafc49904b496089");
}

// SP 800-38A F.1.1 and F.2.1: the first two blocks of the ECB and CBC examples; a partial
// last block is filled with zero bytes.
TEST_P(AesBlockTest, StreamKnownAnswersAndPartialLastBlock) {
    const TAESKey128 key = bytesFromHex<16>("2b7e151628aed2a6abf7158809cf4f3c");
    const std::string plain =
        fromHex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
    const auto run = [&](auto cipher, const std::string& in) {
        TAESMemoryStream source(in), dest;
        cipher(source, dest);
        return dest.Bytes();
    };
    const auto ecb = [&](TAESStream& in, TAESStream& out) { EncryptAESStreamECB(in, 0, key, out); };
    const auto cbc = [&](TAESStream& in, TAESStream& out) {
        EncryptAESStreamCBC(in, 0, key, bytesFromHex<16>("000102030405060708090a0b0c0d0e0f"), out);
    };
    EXPECT_EQ(run(ecb, plain),
              fromHex("3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"));
    EXPECT_EQ(run(cbc, plain),
              fromHex("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"));
    const std::string cipher = run(ecb, plain.substr(0, 20));
    ASSERT_EQ(cipher.size(), 32U);
    const auto decipher = [&](TAESStream& in, TAESStream& out) {
        DecryptAESStreamECB(in, 0, key, out);
    };
    EXPECT_EQ(run(decipher, cipher), plain.substr(0, 20) + std::string(12, '\0'));
}

KVZ_INSTANTIATE_AES_PATHS(AesBlockTest);

// FIPS-197 appendix A: first derived and last words of each schedule. A word holds its
// schedule bytes from the low byte up, so a0fafe17 reads 0x17fefaa0.
TEST(AesKeySchedule, MatchesTheExpansionExamples) {
    TAESExpandedKey128 key128;
    ExpandAESKeyForEncryption(bytesFromHex<16>("2b7e151628aed2a6abf7158809cf4f3c"), key128);
    EXPECT_EQ(key128.Words[0], 0x16157e2bU);
    EXPECT_EQ(key128.Words[4], 0x17fefaa0U);
    EXPECT_EQ(key128.Words[43], 0xa60c63b6U);

    TAESExpandedKey192 key192;
    ExpandAESKeyForEncryption(bytesFromHex<24>("8e73b0f7da0e6452c810f32b809079e562f8ead2522c6b7b"),
                              key192);
    EXPECT_EQ(key192.Words[6], 0xf7910cfeU);
    EXPECT_EQ(key192.Words[51], 0x02220001U);

    TAESExpandedKey256 key256;
    ExpandAESKeyForEncryption(
        bytesFromHex<32>("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"),
        key256);
    EXPECT_EQ(key256.Words[8], 0x1154a39bU);
    EXPECT_EQ(key256.Words[12], 0x1a9cb0a8U);
    EXPECT_EQ(key256.Words[59], 0x1e636c70U);
}

// Forcing a path is checked by every AesPathTest; left to itself the code takes the instructions.
TEST(AesImplementation, AutomaticTakesTheInstructionsWhenThereAreAny) {
    SetAESImplementation(TAESImplementation::Automatic);
    EXPECT_EQ(ActiveAESImplementation(),
              AESHardwareSupported() ? TAESImplementation::Hardware : TAESImplementation::Table);
}

} // namespace
