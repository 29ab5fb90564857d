#include "FlagSets.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// The ordinals are exchanged with the database, the agents and the host: the values the
// windows test and the last value of each set pin them down.
TEST(FlagSetsTest, OrdinalsAreBinding) {
    EXPECT_EQ(UA_DECRYP, 1);
    EXPECT_EQ(Sc_USERDC, 9);
    EXPECT_EQ(Sc_AUTHORITY, 13);
    EXPECT_EQ(Sc_ATUKEY, 20);
    EXPECT_EQ(Ac_KBAKLOCAL, 12);
    EXPECT_EQ(Ac_KSNAPPRINT, 21);
    EXPECT_EQ(Kc_KDELEN, 7);
    EXPECT_EQ(Kc_KBACKEN, 12);
    EXPECT_EQ(AA_UserEdepart, 3);
    EXPECT_EQ(AA_UserEuser, 4);
    EXPECT_EQ(AA_UserEauth, 5);
    EXPECT_EQ(AA_UserC, 6);
    EXPECT_EQ(AA_SysSet, 20);
    EXPECT_EQ(AA_SysIntFace, 28);
}

TEST(FlagSetsTest, BTTestsExactlyTheFlagsBit) {
    EXPECT_FALSE(BT(0, UA_REAURH));
    EXPECT_FALSE(BT(0, Sc_KDOMINOUSER));
    EXPECT_FALSE(BT(0, Ac_KCOPY));
    EXPECT_FALSE(BT(0, Kc_KSAFEMODEL));
    EXPECT_FALSE(BT(0, AA_SysIntFace));

    EXPECT_TRUE(BT(1 << 28, AA_SysIntFace));
    EXPECT_FALSE(BT(1 << 28, AA_SysAdminE));
    EXPECT_TRUE(BT(0x2, UA_DECRYP));
    EXPECT_FALSE(BT(0x2, UA_REAURH));
    // Bits 2 and 3 of a policy's Auths are no user rights and do not disturb them.
    EXPECT_TRUE(BT(0x2 | 0x4 | 0x8, UA_DECRYP));
    EXPECT_FALSE(BT(0x4 | 0x8, UA_REAURH));
    EXPECT_TRUE(BT(1 << 9, Sc_USERDC));
    EXPECT_TRUE(BT(-1, Ac_KSNAPPRINT));
    EXPECT_TRUE(BT(1 << 12, Kc_KBACKEN));
}

TEST(FlagSetsTest, ATBuildsMasksFromZero) {
    qint32 auths = 0;
    AT(auths, UA_REAURH);
    AT(auths, UA_DECRYP);
    EXPECT_EQ(auths, 3);

    qint32 rights = 0;
    AT(rights, AA_UserEdepart);
    AT(rights, AA_UserC);
    AT(rights, AA_SysIntFace);
    EXPECT_EQ(rights, (1 << 3) | (1 << 6) | (1 << 28));
    EXPECT_TRUE(BT(rights, AA_UserC));
    EXPECT_FALSE(BT(rights, AA_UserEuser));

    qint32 switches = 0;
    AT(switches, Sc_ATUKEY);
    AT(switches, Ac_KSNAPPRINT);
    AT(switches, Kc_KBACKEN);
    EXPECT_EQ(switches, (1 << 20) | (1 << 21) | (1 << 12));
}

TEST(FlagSetsTest, ATAddsArithmeticallySoARepeatedFlagCarries) {
    qint32 mask = 0;
    AT(mask, UA_REAURH);
    AT(mask, UA_REAURH);
    EXPECT_EQ(mask, 2);
    EXPECT_FALSE(BT(mask, UA_REAURH));
    EXPECT_TRUE(BT(mask, UA_DECRYP));

    qint32 rights = 1 << 28;
    AT(rights, AA_SysIntFace);
    EXPECT_EQ(rights, 1 << 29);
}

TEST(FlagSetsTest, ATWrapsInsteadOfOverflowing) {
    qint32 mask = std::numeric_limits<qint32>::max();
    AT(mask, UA_REAURH);
    EXPECT_EQ(mask, std::numeric_limits<qint32>::min());
}

TEST(FlagSetsTest, StrCheckValidRejectsTheNineCharacters) {
    for (const QChar c : u"\"*/:<>?\\|"_s) {
        EXPECT_FALSE(StrCheckValid(u"Sales"_s + c + u"East"_s)) << int(c.unicode());
        EXPECT_FALSE(StrCheckValid(QString(c)));
    }
}

TEST(FlagSetsTest, StrCheckValidAcceptsEverythingElse) {
    EXPECT_FALSE(StrCheckValid(u"R/D"_s));
    EXPECT_TRUE(StrCheckValid(u"R D"_s));
    EXPECT_TRUE(StrCheckValid(QString()));
    EXPECT_TRUE(StrCheckValid(u"研发部"_s));
    EXPECT_TRUE(StrCheckValid(u"a\tb\x01-_.,;'()[]{}!@#$%^&+="_s));
    EXPECT_TRUE(StrCheckValid(u"（全角：／）"_s));
}

} // namespace
