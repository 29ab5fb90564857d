#include "FlagSets.h"

#include <gtest/gtest.h>

#include <vector>

using namespace Qt::StringLiterals;

namespace {

// The ordinals are exchanged with the database, the agents and the host: each enumeration
// must hold its values in this order with no gaps.
TEST(FlagSetsTest, OrdinalsAreBinding) {
    EXPECT_EQ((std::vector<int>{UA_REAURH, UA_DECRYP}), (std::vector<int>{0, 1}));

    const std::vector<int> system{Sc_KDOMINOUSER, Sc_KKEYCTRL,       Sc_KDELOCAL,  Sc_KDEAPPR,
                                  Sc_KDESERV,     Sc_KSENDFILETOSEV, Sc_KLOGCALL,  Sc_KENCASK,
                                  Sc_KDELASK,     Sc_USERDC,         Sc_ENCRYPDC,  Sc_AUTOCLEARLOG,
                                  Sc_CUSTOMKEY,   Sc_AUTHORITY,      Sc_DBAUTOBAK, Sc_UNADDENEXE,
                                  Sc_LOCKENCEDIT, Sc_UNRECSYSLOG,    Sc_ATDISKNO,  Sc_ATDOMIUSER,
                                  Sc_ATUKEY};
    const std::vector<int> client{
        Ac_KCOPY,     Ac_KPRINT,     Ac_KSCPRT,        Ac_KOLE,      Ac_KCONNTIM,    Ac_KSHUTDOWN,
        Ac_LOFFLINE,  Ac_KAUTOENASK, Ac_LBAKPRTFILE,   Ac_KUKEYCTRL, Ac_KUKEYSCREEN, Ac_KLOGUP,
        Ac_KBAKLOCAL, Ac_KBAKNET,    Ac_KLACALBAK,     Ac_KBAKDIRCT, Ac_KBAKDATE,    Ac_KBAKORIG,
        Ac_KBAKBOTH,  Ac_KBAKMAIL,   Ac_UNRECPRINTLOG, Ac_KSNAPPRINT};
    const std::vector<int> clientK{Kc_KSAFEMODEL, Kc_KPROCRUN, Kc_KCLILOG, Kc_KUSB,    Kc_KCDROM,
                                   Kc_KONLYEN,    Kc_LOPENEN,  Kc_KDELEN,  Kc_KGENALL, Kc_KEXPLREN,
                                   Kc_KPROCFIG,   Kc_KBACKFN,  Kc_KBACKEN};
    const std::vector<int> admin{
        AA_GuidV,   AA_GuidReg,  AA_UserV,     AA_UserEdepart, AA_UserEuser, AA_UserEauth,
        AA_UserC,   AA_LogFlowV, AA_LogFlowE,  AA_LogRiskV,    AA_LogRiskE,  AA_LogSysV,
        AA_LogSysE, AA_EnVrole,  AA_EnVply,    AA_EnErole,     AA_EnEply,    AA_EnUUpdate,
        AA_EnIn,    AA_EnExport, AA_SysSet,    AA_SysFlowV,    AA_SysFlowE,  AA_SysFlowA,
        AA_SysLGV,  AA_SysLGE,   AA_SysAdminV, AA_SysAdminE,   AA_SysIntFace};

    for (const auto* values : {&system, &client, &clientK, &admin}) {
        for (size_t i = 0; i < values->size(); ++i)
            EXPECT_EQ((*values)[i], int(i));
    }
    EXPECT_EQ(system.size(), 21u);
    EXPECT_EQ(client.size(), 22u);
    EXPECT_EQ(clientK.size(), 13u);
    EXPECT_EQ(admin.size(), 29u);
}

TEST(FlagSetsTest, NamedOrdinalsUsedByTheWindows) {
    EXPECT_EQ(Sc_USERDC, 9);
    EXPECT_EQ(Sc_AUTHORITY, 13);
    EXPECT_EQ(Sc_ATUKEY, 20);
    EXPECT_EQ(AA_UserEdepart, 3);
    EXPECT_EQ(AA_UserEuser, 4);
    EXPECT_EQ(AA_UserEauth, 5);
    EXPECT_EQ(AA_UserC, 6);
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
