// Prints how long a complete offline authorization (client and mail policy texts, package) takes
// for a user whose role lists 200 file policies and whose mail categories form a tree of 1,000
// categories holding 10,000 addresses, next to the time of merely running the statements the
// texts need.
#include "BenchSupport.h"
#include "LogonInfo.h"
#include "OfflinePackage.h"
#include "OfflinePolicy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Policies = 200;
constexpr int Categories = 1000;
constexpr int AddressesPerCategory = 10;
constexpr int Fanout = 10;

void insertRows(DbConnection* connection, const QString& table, const QStringList& rows) {
    for (qsizetype at = 0; at < rows.size(); at += 500)
        DbCommand(connection,
                  u"insert into "_s + table + u" values "_s + rows.mid(at, 500).join(u','))
            .execute();
}

// One user of role 1; category 1 is the role's, category i > 1 lies under (i - 2) / 10 + 1.
void fill(DbConnection* connection) {
    QStringList ids, policies, sorts, mails, groups;
    for (int fid = 1; fid <= Policies; ++fid) {
        ids.append(QString::number(fid));
        policies.append(u"(%1, 'a.exe;b.exe;', %2, 'doc;xls;s%1;%3', '', 'c:\\\\tmp;')"_s.arg(fid)
                            .arg(fid % 3 ? 2 : 1)
                            .arg(fid % 7 ? u""_s : u"*.*;"_s));
    }
    DbCommand(connection, u"insert into UserRole (Rid, RName, PlyIDs) values (1, 'r', '|"_s +
                              ids.join(u'|') + u"|')"_s)
        .execute();
    DbCommand(connection, u"insert into Users (Uid, Pid, UserName, RoleId, HardNo) values "
                          u"(1, 0, 'bench', 1, 'HW')"_s)
        .execute();
    insertRows(connection, u"PlyFile (Fid, exes, entype, sufs, exsufs, expaths)"_s, policies);
    for (int id = 1; id <= Categories; ++id) {
        sorts.append(u"(%1, %2, 'c%1', 0)"_s.arg(id).arg(id == 1 ? 0 : (id - 2) / Fanout + 1));
        for (int k = 0; k < AddressesPerCategory; ++k) {
            const int mail = (id - 1) * AddressesPerCategory + k + 1;
            mails.append(u"(%1, 'n%1', 'm%1@example.test')"_s.arg(mail));
            groups.append(u"(%1, %2)"_s.arg(id).arg(mail));
        }
    }
    insertRows(connection, u"PlyMailSort (id, pid, name, Comm)"_s, sorts);
    insertRows(connection, u"PlyMail (id, name, mail)"_s, mails);
    insertRows(connection, u"PlyMailGroup (sid, mid)"_s, groups);
    DbCommand(connection, u"insert into PlyMailRole (rid, sid) values (1, 1)"_s).execute();
}

// The statements each text runs, walked without building any text.
void plyStatements(DbConnection* c) {
    bench::walk(c,
                u" select U.*,US.name as DName from users U left join UserSort US on U.Pid = "
                u"US.id where uid=1"_s,
                {u"UserName"_s});
    bench::walk(c, u"select * from UserRole where Rid=1"_s, {u"PlyIDs"_s});
    for (int fid = 1; fid <= Policies; ++fid)
        bench::walk(c, u"Select * from PlyFile where Fid="_s + QString::number(fid), {u"sufs"_s});
}

void mailStatements(DbConnection* c) {
    for (int id = 1; id <= Categories; ++id) {
        bench::walk(c, u"select * from PlyMailSort where pid="_s + QString::number(id),
                    {u"id"_s, u"name"_s});
        bench::walk(c,
                    u"select * from PlyMailGroup Inner join PlyMail on PlyMail.id=PlyMailGroup.mid "
                    u"where sid="_s +
                        QString::number(id),
                    {u"name"_s, u"mail"_s});
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QTemporaryDir folder;
    DbSettings settings;
    settings.sqlitePath = folder.filePath(u"offline.db"_s);
    const auto connection = DbConnection::open(settings);
    createSchema(*connection);
    fill(connection.get());
    TLogonInfo logon;
    logon.Connection = connection.get();
    LogonInfo = &logon;

    QStringList ply, mail;
    const double plyMs =
        bench::bestMs([&] { GetPly(connection.get(), 1, ply); }, [&] { ply.clear(); });
    const double mailMs =
        bench::bestMs([&] { GetMailPly(connection.get(), u"1"_s, mail); }, [&] { mail.clear(); });
    std::printf("client policy: %lld lines, mail policy: %lld lines\n",
                static_cast<long long>(ply.size()), static_cast<long long>(mail.size()));
    const OfflineOrder order{
        connection.get(),
        1,
        u"bench"_s,
        folder.filePath(u"out"_s),
        QDir(QCoreApplication::applicationDirPath()).filePath(u"OutMain.exe"_s),
        {u"HW"_s, u"2026-1-1"_s, u"2026-1-8"_s, 0, u"pw"_s}};
    QString package;
    const double packageMs = bench::bestMs([&] { package = SetOutLine(order); });
    std::printf("package: %lld bytes\n", static_cast<long long>(QFileInfo(package).size()));
    const double plyFloorMs = bench::bestMs([&] { plyStatements(connection.get()); });
    const double mailFloorMs = bench::bestMs([&] { mailStatements(connection.get()); });
    bench::report("GetPly", plyMs, plyFloorMs);
    bench::report("GetMailPly", mailMs, mailFloorMs);
    bench::report("authorization (texts + package)", packageMs, plyFloorMs + mailFloorMs);
    return 0;
}
