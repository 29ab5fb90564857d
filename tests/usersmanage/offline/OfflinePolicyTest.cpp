#include "OfflineFixture.h"

#include "OfflinePolicy.h"

using namespace Qt::StringLiterals;

namespace {
QStringList ply(qint32 uid) {
    QStringList lines;
    GetPly(LogonInfo->Connection, uid, lines);
    return lines;
}
QStringList mailPly(qint32 uid) {
    QStringList lines;
    GetMailPly(LogonInfo->Connection, QString::number(uid), lines);
    return lines;
}
const QStringList Head{u"hKey=HB"_s, u"uKey=UK"_s};
const QStringList RoleDefaults{u"aCtrl=0"_s, u"kCtrl=0"_s, u"dLevel=0"_s, u"dGroup=0"_s,
                               u"AskEnTime=0"_s};
} // namespace

TEST(OfflineTextTest, ListItemsAndTrim) {
    EXPECT_EQ(listItems(u"3|8||9|"_s, u'|'), (QStringList{u"3"_s, u"8"_s, u"9"_s}));
    EXPECT_EQ(listItems(u"doc;xls"_s, u';'), (QStringList{u"doc"_s, u"xls"_s}));
    EXPECT_EQ(trimControls(u"\r\n\x01 a b \t\r\n"_s), u"a b"_s);
    EXPECT_EQ(trimControls(u" \r\n"_s), QString());
}

TEST_P(OfflineTest, PolicyWithoutUserOrRole) {
    EXPECT_EQ(ply(99),
              QStringList{u"UserID=99"_s} + Head + RoleDefaults + QStringList{u"kScText=screen"_s});
    setUser(Org::Erin, u"uLevel = 3, Groups = '|1|', Password = 'pw'"_s);
    const QStringList erin{u"uLevel=3"_s, u"uGroups=|1|"_s, u"password=pw"_s,
                           u"Auths=2"_s,  u"MyName=erin"_s, u"MyDepart=Alpha"_s};
    EXPECT_EQ(ply(Org::Erin), QStringList{u"UserID=5"_s} + Head + erin + RoleDefaults +
                                  QStringList{u"kScText=screen"_s});
    logon.KeyOptions = 4;
    EXPECT_EQ(ply(Org::Dave).mid(1, 8),
              (QStringList{u"hKey=HA"_s, u"uKey=UK"_s, u"uLevel=0"_s, u"uGroups="_s, u"password="_s,
                           u"Auths=0"_s, u"MyName=dave"_s, u"MyDepart="_s}));
}

// The role's lines, its file policies in list order, the all-files policy given the specific
// suffixes of all the others.
TEST_P(OfflineTest, PolicyOfRoleWithFilePolicies) {
    db->exec(u"update UserRole set PlyIDs = '|3|4|8|9|11', aCtrl = 1, kCtrl = 2, Level = 3, "
             u"\"group\" = 4, ConTime = 5, BakPath = 'c:\\b', BakNum = 6, BakSev = 'sev', "
             u"BakPort = 7, AskEnTime = 8, UnlawExe = 'u.exe', AuthExe = 'a.exe', PLMUrl = 'plm', "
             u"EnDirs = 'e', DeDirs = 'd', MailLevel = 9 where Rid = 1"_s);
    insert(u"PlyFile (Fid, exes, entype, sufs, exsufs, expaths)"_s,
           u"(3, 'w.exe', 1, '*.*;', 'x', 'p'), (8, '', 2, 'doc;XLS;pdf;*.*;', '', ''), "
           u"(9, '', 1, 'DOC;txt;', '', ''), (11, '', 1, 'Xls;md', '', '')"_s);
    const QStringList lines = ply(Org::Alice);
    const QStringList role{
        u"aCtrl=1"_s,    u"kCtrl=2"_s,       u"fLevel=3"_s,       u"fGroup=4"_s,
        u"ConTime=5"_s,  u"BakPath=c:\\b"_s, u"BakNum=6"_s,       u"BakSev=sev"_s,
        u"BakPort=7"_s,  u"AskEnTime=8"_s,   u"UnlawExe=u.exe"_s, u"AuthExe=a.exe"_s,
        u"PLMUrl=plm"_s, u"EnDirs=e"_s,      u"DeDirs=d"_s,       u"MailLevel=9"_s};
    ASSERT_EQ(lines.size(), 9 + 16 + 4 * 5 + 1);
    EXPECT_EQ(lines.mid(9, 16), role);
    EXPECT_EQ(lines.mid(25, 5),
              (QStringList{u"Exe=w.exe"_s, u"Tye=1"_s, u"Suf=doc;XLS;pdf;txt;md;"_s, u"Exf=x"_s,
                           u"Exp=p"_s}));
    EXPECT_EQ(lines[32], u"Suf=doc;XLS;pdf;*.*;"_s); // another type keeps its "*.*;"
    EXPECT_EQ(lines[37], u"Suf=DOC;txt;"_s);
    EXPECT_EQ(lines[42], u"Suf=Xls;md"_s);
    EXPECT_EQ(lines.last(), u"kScText=screen"_s);
}

TEST_P(OfflineTest, AllFilesExpansionNeedsTheTerminator) {
    db->exec(u"update UserRole set PlyIDs = '|1|2|' where Rid = 1"_s);
    const struct {
        QString first, second, expected;
    } cases[] = {
        {u"*.*;"_s, u"*;*.*;"_s, u"Suf="_s},
        {u"*.*"_s, u"doc;"_s, u"Suf=*.*"_s},
        {u"a;*.*;b;"_s, u"B;c;"_s, u"Suf=a;a;b;c;b;"_s},
    };
    for (const auto& c : cases) {
        db->exec(u"delete from PlyFile"_s);
        insert(u"PlyFile (Fid, entype, sufs)"_s,
               u"(1, 1, '"_s + c.first + u"'), (2, 3, '"_s + c.second + u"')"_s);
        EXPECT_EQ(ply(Org::Alice)[27], c.expected) << c.first.toStdString();
    }
}

TEST_P(OfflineTest, AuthsCarryFlowsAndMailPolicies) {
    const struct {
        QString rows;
        QString auths;
    } cases[] = {
        {{}, u"Auths=2"_s},
        {u"insert into FlowUser (FID, uid) values (1, 1)"_s, u"Auths=6"_s},
        {u"insert into PlyMailRole (rid, sid) values (1, 5)"_s, u"Auths=14"_s},
        {u"delete from FlowUser; insert into FlowChart (FID, FName, Comm) values (2, 'f', -1)"_s,
         u"Auths=14"_s},
    };
    for (const auto& c : cases) {
        for (const QString& statement : c.rows.split(u"; "_s, Qt::SkipEmptyParts))
            db->exec(statement);
        EXPECT_EQ(ply(Org::Alice)[6], c.auths) << c.rows.toStdString();
    }
}

// 12 > 15 > 16 and 17; 20 common; 40 and 41 each other's parent; 50 under a missing 99.
class MailPolicyTest : public OfflineTest {
protected:
    void SetUp() override {
        OfflineTest::SetUp();
        insert(u"PlyMailSort (id, pid, name, Comm)"_s,
               u"(12, 0, 'Sales', 0), (15, 12, 'Export', 0), (16, 15, 'Deep', 0), "
               u"(17, 12, 'Home', 0), (20, 0, 'Common', -1), (40, 41, 'A', 0), (41, 40, 'B', 0), "
               u"(50, 99, 'Orphan', 0)"_s);
        insert(u"PlyMail (id, name, mail)"_s, u"(1, 'Agent', 'a@x'), (2, 'Boss', 'b@x')"_s);
        insert(u"PlyMailGroup (sid, mid)"_s, u"(16, 1), (12, 2), (20, 1)"_s);
    }
};

TEST_P(MailPolicyTest, AncestorWalkEndsOnBrokenTrees) {
    const struct {
        qint32 a, b;
        bool son;
    } cases[] = {{16, 12, true},  {12, 16, false}, {15, 15, false}, {40, 41, true},
                 {40, 12, false}, {50, 12, false}, {77, 0, false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsMySonPly(db->connection(), c.a, c.b), c.son) << c.a << ' ' << c.b;
    EXPECT_EQ(getPid(db->connection(), 16), 15);
    EXPECT_EQ(getPid(db->connection(), 77), 0);
}

TEST_P(MailPolicyTest, CategoriesThenAddressesInTheirOrder) {
    EXPECT_EQ(mailPly(99), QStringList());
    insert(u"PlyMailRole (rid, sid)"_s, u"(1, 15), (1, 12), (1, 20), (2, 40)"_s);
    EXPECT_EQ(mailPly(Org::Alice),
              (QStringList{u"ply=12|0|Sales"_s, u"ply=15|12|Export"_s, u"ply=16|15|Deep"_s,
                           u"ply=17|12|Home"_s, u"ply=20|0|Common"_s, u"mil=12|Boss|b@x"_s,
                           u"mil=16|Agent|a@x"_s, u"mil=20|Agent|a@x"_s}));
    EXPECT_EQ(mailPly(Org::Bob), (QStringList{u"ply=40|0|A"_s, u"ply=41|40|B"_s,
                                              u"ply=20|0|Common"_s, u"mil=20|Agent|a@x"_s}));
}

// A user without a role gets what applies without one. Ids stored as other text (SQLite keeps
// any text in an integer column) are passed over, never run as part of a statement.
TEST_P(MailPolicyTest, NullAndForeignIdsNeverReachAStatement) {
    insert(u"PlyMailRole (rid, sid)"_s, u"(1, 17), (2, 40)"_s);
    setUser(Org::Bob, u"RoleId = null"_s);
    const QStringList common{u"ply=20|0|Common"_s, u"mil=20|Agent|a@x"_s};
    EXPECT_EQ(mailPly(Org::Bob), common);
    EXPECT_EQ(ply(Org::Bob).mid(9, 5), RoleDefaults);
    if (GetParam() != DbBackend::SQLite)
        return;
    setUser(Org::Bob, u"RoleId = '2 or 1=1'"_s);
    EXPECT_EQ(mailPly(Org::Bob), common);
    insert(u"PlyMailRole (rid, sid)"_s,
           u"(1, '-1 union select Uid, 0, Password, 0 from Users'), (1, '17 or 1=1')"_s);
    EXPECT_EQ(mailPly(Org::Alice), QStringList{u"ply=17|0|Home"_s} + common);
}

INSTANTIATE_TEST_SUITE_P(Backends, OfflineTest, ::testing::ValuesIn(testBackends()), backendName);
INSTANTIATE_TEST_SUITE_P(Backends, MailPolicyTest, ::testing::ValuesIn(testBackends()),
                         backendName);
