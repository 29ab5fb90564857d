#include "TextWrap.h"

#include <gtest/gtest.h>

namespace {

TEST(TextWrapTest, CutsEveryTenBytesWithoutSplittingDoubleByteCharacters) {
    const QByteArray gbk("\xD6\xD0\xCE\xC4\xB2\xE2\xCA\xD4\xCE\xC4\xB1\xBE\xCA\xFD");
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"", ""},
        {"0123456789", "0123456789"},
        {"0123456789A", "0123456789\r\nA"},
        {"0123456789ABCDEFGHIJklmno", "0123456789\r\nABCDEFGHIJ\r\nklmno"},
        // One ASCII byte then GBK: the first ten bytes hold nine high bytes, so eleven go.
        {"a" + gbk, "a" + gbk.left(10) + "\r\n" + gbk.mid(10)},
        // An even high-byte count keeps ten bytes.
        {gbk.left(4) + "abcdefghijkl", gbk.left(4) + "abcdef\r\nghijkl"},
        // Exactly eleven bytes with an odd high-byte count: one line, its break kept.
        {"abcdefghi" + gbk.left(2), "abcdefghi" + gbk.left(2) + "\r\n"},
        {QByteArray(20, '\xB0'), QByteArray(10, '\xB0') + "\r\n" + QByteArray(10, '\xB0')},
    };
    for (const auto& [text, wrapped] : cases) {
        EXPECT_EQ(ResetMemoBak(text), wrapped) << text.toHex().constData();
    }
}

} // namespace
