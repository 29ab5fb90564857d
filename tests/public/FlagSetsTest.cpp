#include "FlagSets.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The ordinals are exchanged with the database, the agents and the host.
TEST(FlagSetsTest, OrdinalsAreBindingAndBTTestsExactlyTheirBit) {
    for (const auto& [ordinal, expected] : {std::pair{int(UA_DECRYP), 1},
                                            {Sc_USERDC, 9},
                                            {Sc_AUTHORITY, 13},
                                            {Sc_ATUKEY, 20},
                                            {Ac_KBAKLOCAL, 12},
                                            {Ac_KSNAPPRINT, 21},
                                            {Kc_KDELEN, 7},
                                            {Kc_KBACKEN, 12},
                                            {AA_UserEdepart, 3},
                                            {AA_UserEuser, 4},
                                            {AA_UserEauth, 5},
                                            {AA_UserC, 6},
                                            {AA_SysSet, 20},
                                            {AA_SysIntFace, 28}}) {
        EXPECT_EQ(ordinal, expected);
    }
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
    EXPECT_FALSE(BT(rights, AA_UserEuser));

    // A repeated flag carries into the next bit, and the top wraps instead of overflowing.
    qint32 mask = 0;
    AT(mask, UA_REAURH);
    AT(mask, UA_REAURH);
    EXPECT_EQ(mask, 2);
    EXPECT_TRUE(BT(mask, UA_DECRYP));
    AT(rights, AA_SysIntFace);
    EXPECT_EQ(rights, (1 << 3) | (1 << 6) | (1 << 29));
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
