#include "TextWrap.h"

#include <gtest/gtest.h>

namespace {

TEST(TextWrapTest, EmptyTextStaysEmpty) {
    EXPECT_EQ(ResetMemoBak(QByteArray()), QByteArray());
}

TEST(TextWrapTest, ShortTextGetsNoLineBreak) {
    EXPECT_EQ(ResetMemoBak("abc"), QByteArray("abc"));
    EXPECT_EQ(ResetMemoBak("0123456789"), QByteArray("0123456789"));
}

TEST(TextWrapTest, AsciiTextIsCutEveryTenBytes) {
    EXPECT_EQ(ResetMemoBak("0123456789ABCDEFGHIJklmno"),
              QByteArray("0123456789\r\nABCDEFGHIJ\r\nklmno"));
    EXPECT_EQ(ResetMemoBak("0123456789ABCDEFGHIJ"), QByteArray("0123456789\r\nABCDEFGHIJ"));
    EXPECT_EQ(ResetMemoBak("0123456789A"), QByteArray("0123456789\r\nA"));
}

TEST(TextWrapTest, DoubleByteCharacterIsNotCutInHalf) {
    // One ASCII byte then GBK characters: the first ten bytes hold nine high bytes.
    const QByteArray gbk = QByteArray("a") + QByteArray("\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4\xCE\xC4"
                                                        "\xB1\xBE\xCA\xFD");
    const QByteArray wrapped = ResetMemoBak(gbk);
    EXPECT_EQ(wrapped.left(13), gbk.left(11) + "\r\n");
    EXPECT_EQ(wrapped.mid(13), gbk.mid(11));
}

TEST(TextWrapTest, EvenHighByteCountKeepsTenBytes) {
    const QByteArray text = QByteArray("\xD6\xD0\xCE\xC4") + "abcdefghijkl";
    EXPECT_EQ(ResetMemoBak(text), QByteArray("\xD6\xD0\xCE\xC4"
                                             "abcdef\r\nghijkl"));
}

TEST(TextWrapTest, ElevenByteLineAtTheEndKeepsItsLineBreak) {
    // Exactly eleven bytes with an odd high-byte count: one eleven-byte line.
    const QByteArray text = QByteArray("abcdefghi") + "\xD6\xD0";
    EXPECT_EQ(ResetMemoBak(text), text + "\r\n");
}

TEST(TextWrapTest, AllDoubleByteText) {
    // Twenty high bytes: ten per line, each line even.
    const QByteArray text(20, '\xB0');
    EXPECT_EQ(ResetMemoBak(text), QByteArray(10, '\xB0') + "\r\n" + QByteArray(10, '\xB0'));
}

} // namespace
