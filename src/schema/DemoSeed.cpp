#include "DemoSeed.h"

#include "BatchInsert.h"
#include "DbQuery.h"
#include "DbTransaction.h"
#include "Schema.h"

#include <QStringList>
#include <QVariantList>

namespace {

using Rows = QList<QVariantList>;

void insertRows(DbConnection& connection, const QString& table, const QStringList& columns,
                const Rows& rows) {
    BatchInsert insert(connection, table, columns);
    for (const QVariantList& row : rows) {
        insert.add(row);
    }
    insert.flush();
}

QStringList columns(const char* commaSeparated) {
    return QString::fromLatin1(commaSeparated).split(u',');
}

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

void seedLevelsAndGroups(DbConnection& connection) {
    insertRows(connection, QStringLiteral("EnLevel"), columns("LId,LName"),
               {{1, text("公开")}, {2, text("内部")}, {3, text("秘密")}, {4, text("机密")}});
    insertRows(connection, QStringLiteral("EnGroup"), columns("GId,GName"),
               {{1, text("默认组")},
                {2, text("研发组")},
                {3, text("财务组")},
                {4, QStringLiteral("Sales Group")},
                {5, text("管理组")}});
}

QVariantList role(int rid, const QString& name, int level, int group, const char* plyIds, int aCtrl,
                  int kCtrl) {
    return {rid,
            name,
            level,
            group,
            QString::fromLatin1(plyIds),
            aCtrl,
            kCtrl,
            30,
            QStringLiteral("D:\\Backup\\"),
            3,
            QStringLiteral("127.0.1.2"),
            8090,
            5,
            QStringLiteral("qq.exe;wechat.exe;"),
            QStringLiteral("winword.exe;excel.exe;"),
            QStringLiteral("http://plm.example.com/"),
            QStringLiteral("D:\\Projects\\;"),
            QStringLiteral("D:\\Public\\;"),
            1};
}

void seedRoles(DbConnection& connection) {
    insertRows(connection, QStringLiteral("UserRole"),
               columns("Rid,RName,Level,Group,PlyIDs,aCtrl,kCtrl,ConTime,BakPath,BakNum,BakSev,"
                       "BakPort,AskEnTime,UnlawExe,AuthExe,PLMUrl,EnDirs,DeDirs,MailLevel"),
               {role(1, text("普通员工"), 1, 1, "|1|", 0, 0),
                role(2, text("研发人员"), 2, 2, "|1|3|", 0x05, 0x03),
                role(3, text("财务人员"), 3, 3, "|1|2|4|", 0x01, 0x07),
                role(4, text("系统管理员"), 4, 5, "|1|2|3|4|", 0xFF, 0x0F),
                role(5, QStringLiteral("Sales Staff"), 1, 4, "|2|4|", 0x02, 0x01)});
}

void seedFilePolicies(DbConnection& connection) {
    insertRows(
        connection, QStringLiteral("PlyFile"), columns("Fid,exes,entype,sufs,exsufs,expaths"),
        {{1, QStringLiteral("winword.exe;excel.exe;powerpnt.exe;wps.exe;"), 1,
          QStringLiteral("*.doc;*.docx;*.xls;*.xlsx;*.ppt;*.pptx;"), QStringLiteral("*.tmp;"),
          QStringLiteral("C:\\Windows\\;")},
         {2, QStringLiteral("acad.exe;"), 1, QStringLiteral("*.dwg;*.dxf;"), QString(), QString()},
         {3, QStringLiteral("devenv.exe;code.exe;notepad++.exe;"), 2,
          QStringLiteral("*.c;*.cpp;*.h;*.cs;*.java;"), QStringLiteral("*.obj;*.pdb;"),
          QStringLiteral("D:\\Build\\;")},
         {4, QStringLiteral("AcroRd32.exe;foxitreader.exe;"), 1, QStringLiteral("*.pdf;"),
          QString(), QString()}});
}

void seedMailPolicy(DbConnection& connection) {
    insertRows(connection, QStringLiteral("PlyMailSort"), columns("id,pid,name,Comm"),
               {{1, 0, text("公司通讯录"), 1},
                {2, 0, text("研发邮件"), 0},
                {3, 2, text("软件组"), 0},
                {4, 3, text("测试组"), 0},
                {5, 0, QStringLiteral("Partners"), 0},
                {6, 0, text("财务往来"), 0}});
    insertRows(connection, QStringLiteral("PlyMail"), columns("id,name,mail"),
               {{1, text("张伟"), QStringLiteral("zhangwei@example.com")},
                {2, text("王芳"), QStringLiteral("wangfang@example.com")},
                {3, QStringLiteral("Alice"), QStringLiteral("alice@partner.example")},
                {4, QStringLiteral("Bank"), QStringLiteral("service@bank.example")},
                {5, text("李娜"), QStringLiteral("lina@example.com")},
                {6, QStringLiteral("QA Team"), QStringLiteral("qa-team@example.com")}});
    insertRows(connection, QStringLiteral("PlyMailGroup"), columns("sid,mid"),
               {{1, 1}, {1, 2}, {2, 5}, {3, 1}, {4, 6}, {5, 3}, {6, 4}});
    insertRows(connection, QStringLiteral("PlyMailRole"), columns("rid,sid"),
               {{2, 2}, {2, 3}, {3, 6}, {4, 1}, {4, 2}, {4, 5}, {5, 5}});
}

void seedSettings(DbConnection& connection, int settingsDepartment) {
    constexpr int userDepartChange = 1 << 9; // Sc_USERDC
    constexpr int authority = 1 << 13;       // Sc_AUTHORITY
    insertRows(connection, QStringLiteral("other"), columns("id,Ctrl,depart,ScreenText"),
               {{1, userDepartChange | authority | 0x05, settingsDepartment,
                 text("本机受文件加密系统保护")}});
    insertRows(connection, QStringLiteral("FlowChart"), columns("FID,FName,Comm"),
               {{1, text("文件外发审批"), 0}, {2, text("解密审批"), 0}});
}

void seedDepartments(DbConnection& connection) {
    const QVariant none;
    insertRows(connection, QStringLiteral("UserSort"), columns("id,pid,name,DRole,ctrl,used"),
               {{1, 0, text("研发部"), 2, -1, -1},
                {2, 1, text("软件组"), 2, -1, 0},
                {3, 2, text("测试小组"), 2, 0, 0},
                {4, 1, text("硬件组"), 2, -1, -1},
                {5, 4, text("嵌入式小组"), none, 0, 0},
                {6, 0, QStringLiteral("Sales"), 5, -1, -1},
                {7, 6, QStringLiteral("North Region"), 5, 0, 0},
                {8, 6, QStringLiteral("South Region"), 5, 0, 0},
                {9, 0, text("财务部"), 3, -1, -1},
                {10, 9, text("会计科"), 3, 0, 0},
                {11, 0, text("人力资源部"), 1, 0, 0},
                {12, 0, QStringLiteral("IT Support"), 4, -1, 0},
                {13, 1, QStringLiteral("O'Brien Lab"), 77, 0, 0}});
}

const char* const demoUserNames[demoUserCount] = {
    "张伟",  "王芳", "李娜",  "刘洋",       "陈静", "杨磊",  "赵敏",  "黄强",
    "周杰",  "吴婷", "徐明",  "孙丽",       "马超", "朱琳",  "胡军",  "郭涛",
    "何雪",  "高峰", "林晓",  "罗刚",       "梁燕", "宋佳",  "郑浩",  "谢晨",
    "alice", "Bob",  "carol", "Dave Smith", "erin", "Frank", "Grace", "Henry O'Neil"};

// Department and role of demo user i (0-based); the last three break the relations on purpose.
std::pair<int, int> demoPlacement(int i) {
    static const int departments[] = {1, 2,  2,  2,  3,  3,  4,  4,  5, 6, 7, 7, 8, 8, 9,
                                      9, 10, 10, 11, 11, 12, 12, 13, 1, 2, 6, 7, 8, 3, 10};
    static const int roles[] = {2, 2, 2, 2, 2, 2, 2, 2, 1, 5, 5, 5, 5, 5, 3,
                                3, 3, 3, 1, 1, 4, 4, 2, 2, 2, 5, 5, 5, 2, 3};
    if (i == 30) {
        return {0, 1}; // at the root
    }
    if (i == 31) {
        return {999, 1}; // department deleted meanwhile
    }
    return {departments[i], i == 29 ? 99 : roles[i]};
}

QString demoAddress(int i) {
    if (i == 0) {
        return QStringLiteral("127.0.0.1");
    }
    if (i == 28) {
        return QString();
    }
    return QStringLiteral("127.0.%1.%2").arg(1 + i / 10).arg(10 + i);
}

QVariantList demoUser(int i) {
    const auto [department, role] = demoPlacement(i);
    const bool connected = i != 28;
    const int auths = i % 4 == 1 ? 2 : (i % 4 == 2 ? 3 : (i % 5 == 0 ? 1 : 0));
    return {i + 1,
            department,
            text(demoUserNames[i]),
            QStringLiteral("pw%1").arg(i + 1),
            role,
            i % 3 == 0 ? QStringLiteral("K%1").arg(1000 + i) : QString(),
            auths,
            i % 6 == 5 ? 3 : 0,
            i % 7 == 3 ? QStringLiteral("|2|3|") : QString(),
            demoAddress(i),
            connected ? QStringLiteral("PC-%1").arg(i + 1, 3, 10, QChar(u'0')) : QString(),
            connected ? QStringLiteral("3.5.%1").arg(i % 3) : QString(),
            connected ? QStringLiteral("HD%1").arg(0x3F2A0000 + i * 7919, 8, 16, QChar(u'0'))
                      : QString(),
            i % 3 == 0 && connected ? -1 : 0,
            QString()};
}

void seedUsers(DbConnection& connection) {
    Rows rows;
    for (int i = 0; i < demoUserCount; ++i) {
        rows << demoUser(i);
    }
    insertRows(connection, QStringLiteral("Users"),
               columns("Uid,Pid,UserName,Password,RoleId,uKeyNo,Auths,uLevel,Groups,Ip,"
                       "ComputerName,CliVer,HardNo,Onlined,ScanTime"),
               rows);
    insertRows(connection, QStringLiteral("FlowUser"), columns("FID,uid"), {{1, 3}, {2, 5}});
}

void seedRecords(DbConnection& connection) {
    insertRows(connection, QStringLiteral("TaskScan"), columns("Uid,name,ip,begin,type"),
               {{2, text("王芳"), QStringLiteral("127.0.1.11"), QStringLiteral("0"), 1}});
    DbCommand scanTime(&connection, QStringLiteral("update Users set ScanTime = :t where Uid = 2"));
    scanTime.setParam(QStringLiteral("t"), text("立即扫描并解密密文"));
    scanTime.execute();
    insertRows(connection, QStringLiteral("UserOut"), columns("uid,ctrl,outdate,pass"),
               {{4, 16, QStringLiteral("2030-12-31"), QStringLiteral("out123")}});
    insertRows(
        connection, QStringLiteral("LogAct"), columns("Lwhen,Lwho,Lwhere,Lhow,Lwhat,Lresult"),
        {{QStringLiteral("2024-05-01 09:30:00"), QStringLiteral("admin"), QStringLiteral("Server"),
          text("扫描设置"), text("王芳(127.0.1.11)立即执行"), QStringLiteral("OK")},
         {QStringLiteral("2024-05-02 14:05:12"), QStringLiteral("admin"),
          QStringLiteral("127.0.1.13"), text("设置离线密码"), QStringLiteral("out123"),
          QStringLiteral("OK")}});
}

} // namespace

void seedReferenceData(DbConnection& connection, int settingsDepartment) {
    seedLevelsAndGroups(connection);
    seedRoles(connection);
    seedFilePolicies(connection);
    seedMailPolicy(connection);
    seedSettings(connection, settingsDepartment);
}

void seedDemo(DbConnection& connection) {
    DbTransaction transaction(connection);
    seedReferenceData(connection, 9);
    seedDepartments(connection);
    seedUsers(connection);
    seedRecords(connection);
    syncAutoNumbers(connection);
    transaction.commit();
}
