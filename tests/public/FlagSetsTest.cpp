#include "FlagSets.h"

#include <gtest/gtest.h>

#include <array>

using namespace Qt::StringLiterals;

namespace {

// The ordinals are exchanged with the database, the agents and the host.
TEST(FlagSetsTest, OrdinalsAreBindingAndBTTestsExactlyTheirBit) {
    EXPECT_EQ((std::array{int(UA_DECRYP), int(Sc_USERDC), int(Sc_AUTHORITY), int(Sc_ATUKEY),
                          int(Ac_KBAKLOCAL), int(Ac_KSNAPPRINT), int(Kc_KDELEN), int(Kc_KBACKEN),
                          int(AA_UserEdepart), int(AA_UserEuser), int(AA_UserEauth), int(AA_UserC),
                          int(AA_SysSet), int(AA_SysIntFace)}),
              (std::array{1, 9, 13, 20, 12, 21, 7, 12, 3, 4, 5, 6, 20, 28}));
    EXPECT_FALSE(BT(0, AA_SysIntFace));
    EXPECT_TRUE(BT(1 << 28, AA_SysIntFace));
    EXPECT_FALSE(BT(1 << 28, AA_SysAdminE));
    EXPECT_TRUE(BT(-1, Ac_KSNAPPRINT));
    // Bits 2 and 3 of a policy's Auths are no user rights and do not disturb them.
    EXPECT_TRUE(BT(0x2 | 0x4 | 0x8, UA_DECRYP));
    EXPECT_FALSE(BT(0x4 | 0x8, UA_REAURH));
}

TEST(FlagSetsTest, ATAddsTheBitArithmetically) {
    qint32 rights = 0;
    AT(rights, AA_UserEdepart);
    AT(rights, AA_UserC);
    AT(rights, AA_SysIntFace);
    EXPECT_EQ(rights, (1 << 3) | (1 << 6) | (1 << 28));

    // A repeated flag carries into the next bit, and the top wraps instead of overflowing.
    qint32 mask = 0;
    AT(mask, UA_REAURH);
    AT(mask, UA_REAURH);
    EXPECT_EQ(mask, 2);
    EXPECT_TRUE(BT(mask, UA_DECRYP));
    mask = std::numeric_limits<qint32>::max();
    AT(mask, UA_REAURH);
    EXPECT_EQ(mask, std::numeric_limits<qint32>::min());
}

TEST(FlagSetsTest, StrCheckValidRejectsExactlyNineCharacters) {
    for (const QChar c : u"\"*/:<>?\\|"_s) {
        EXPECT_FALSE(StrCheckValid(u"Sales"_s + c + u"East"_s)) << int(c.unicode());
    }
    for (const QString& valid : {QString(), u"R D"_s, u"研发部"_s, u"（全角：／）"_s,
                                 u"a\tb\x01-_.,;'()[]{}!@#$%^&+="_s}) {
        EXPECT_TRUE(StrCheckValid(valid)) << valid.toStdString();
    }
}

} // namespace
