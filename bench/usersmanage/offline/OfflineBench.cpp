// Prints how long a complete offline authorization (client and mail policy texts, package) takes
// for a user whose role lists 200 file policies and whose mail categories form a tree of 1,000
// categories holding 10,000 addresses; then kvzoffline writing the packages of a department of
// 1,000 users. Next to each, the floor: the statements it runs, replayed with SQLite's C API on
// a memory-mapped connection, plus one synced file per package.
#include "BenchSupport.h"
#include "Floors.h"
#include "LogonInfo.h"
#include "OfflinePackage.h"
#include "OfflinePolicy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int AddressesPerCategory = 10;
constexpr int Fanout = 10;
constexpr int DepartUsers = 1000;

// A role of policies file policies and a mail tree of categories categories; users of the
// role in department 1 from uid 1 up.
struct Site {
    int policies = 200;
    int categories = 1000;
    int users = 1;
};

void insertRows(DbConnection* connection, const QString& table, const QStringList& rows) {
    for (qsizetype at = 0; at < rows.size(); at += 500)
        DbCommand(connection,
                  u"insert into "_s + table + u" values "_s + rows.mid(at, 500).join(u','))
            .execute();
}

// Category 1 is the role's, category i > 1 lies under (i - 2) / 10 + 1.
void fill(DbConnection* connection, const Site& site) {
    QStringList ids, policies, sorts, mails, groups, users;
    for (int fid = 1; fid <= site.policies; ++fid) {
        ids.append(QString::number(fid));
        policies.append(u"(%1, 'a.exe;b.exe;', %2, 'doc;xls;s%1;%3', '', 'c:\\\\tmp;')"_s.arg(fid)
                            .arg(fid % 3 ? 2 : 1)
                            .arg(fid % 7 ? u""_s : u"*.*;"_s));
    }
    DbCommand(connection, u"insert into UserRole (Rid, RName, PlyIDs) values (1, 'r', '|"_s +
                              ids.join(u'|') + u"|')"_s)
        .execute();
    for (int uid = 1; uid <= site.users; ++uid)
        users.append(u"(%1, 1, 'bench%1', 1, 'HW%1')"_s.arg(uid));
    insertRows(connection, u"Users (Uid, Pid, UserName, RoleId, HardNo)"_s, users);
    insertRows(connection, u"PlyFile (Fid, exes, entype, sufs, exsufs, expaths)"_s, policies);
    for (int id = 1; id <= site.categories; ++id) {
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

DbSettings siteFile(const QString& path) {
    DbSettings settings;
    settings.sqlitePath = path;
    return settings;
}

// The floor of work on the file at path: its statements replayed.
double replayFloorMs(DbConnection& connection, const QString& path, const bench::Work& work) {
    return bench::bestMs(bench::sqliteReplay(path, bench::tracedStatements(connection, work)));
}

void authorization(bench::Timed<QCoreApplication>& app, const QTemporaryDir& folder) {
    const QString path = folder.filePath(u"offline.db"_s);
    const auto connection = DbConnection::open(siteFile(path));
    createSchema(*connection);
    fill(connection.get(), Site{});
    TLogonInfo logon;
    logon.Connection = connection.get();
    LogonInfo = &logon;

    QStringList ply, mail;
    const auto getPly = [&] {
        ply.clear();
        GetPly(connection.get(), 1, ply);
    };
    const auto getMail = [&] {
        mail.clear();
        GetMailPly(connection.get(), u"1"_s, mail);
    };
    const auto [plyMs, plyEvent] = bench::clickMs(app, getPly);
    const auto [mailMs, mailEvent] = bench::clickMs(app, getMail);
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
    const auto [packageMs, packageEvent] =
        bench::clickMs(app, [&] { package = SetOutLine(order); });
    QFile written(package);
    const QByteArray bytes = written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
    std::printf("package: %lld bytes\n", static_cast<long long>(bytes.size()));
    const double plyFloorMs = replayFloorMs(*connection, path, getPly);
    const double mailFloorMs = replayFloorMs(*connection, path, getMail);
    const double packageFloorMs =
        replayFloorMs(*connection, path, [&] { SetOutLine(order); }) +
        bench::bestMs(bench::syncedFilesFloor(folder.filePath(u"floor"_s), {bytes}),
                      [&] { QDir(folder.filePath(u"floor"_s)).removeRecursively(); });
    bench::report("GetPly", plyMs, plyFloorMs, plyEvent);
    bench::report("GetMailPly", mailMs, mailFloorMs, mailEvent);
    bench::report("authorization (texts + package)", packageMs, packageFloorMs, packageEvent);
}

void replaceFile(const QString& from, const QString& to) {
    QFile::remove(to);
    if (!QFile::copy(from, to))
        throw std::runtime_error("cannot copy the site");
}

// The statements kvzoffline --depart 1 runs, traced in process; packages are written to out.
QStringList departmentStatements(const QString& run, const QString& out) {
    const auto connection = DbConnection::open(siteFile(run));
    TLogonInfo logon;
    logon.Connection = connection.get();
    LogonInfo = &logon;
    return bench::tracedStatements(*connection, [&] {
        DbQuery users(connection.get());
        users.setSql(u"select Uid, UserName, HardNo from Users where Pid = 1 order by Uid"_s);
        users.open();
        QList<PackageGrant> grants;
        for (; !users.eof(); users.next())
            grants.append({users.asInteger(u"Uid"_s),
                           users.asString(u"UserName"_s),
                           {users.asString(u"HardNo"_s), u"2026-1-1"_s, u"2026-1-8"_s, 0, {}}});
        writePackages(connection.get(), grants, out,
                      QDir(QCoreApplication::applicationDirPath()).filePath(u"OutMain.exe"_s),
                      [](const PackageGrant&, const QString&) {});
    });
}

// kvzoffline --depart 1 as a program of its own (the wall clock), against its statements
// replayed in process and one synced file per package. The three take turns round by round,
// as the time a disk takes to flush varies widely over a run.
void department(const QTemporaryDir& folder) {
    const QString site = folder.filePath(u"depart.db"_s), run = folder.filePath(u"run.db"_s);
    {
        const auto connection = DbConnection::open(siteFile(site));
        createSchema(*connection);
        fill(connection.get(), Site{20, 10, DepartUsers});
    }
    const QString out = folder.filePath(u"depart"_s), floorFolder = folder.filePath(u"floor"_s);
    const auto fresh = [&] {
        replaceFile(site, run);
        QDir(out).removeRecursively();
    };
    const QString tool = QDir(QCoreApplication::applicationDirPath()).filePath(u"kvzoffline"_s);
    int status = -1;
    const auto runTool = [&] {
        QProcess process;
        process.start(tool, {u"--sqlite"_s, run, u"--depart"_s, u"1"_s, u"--out"_s, out});
        process.waitForFinished(600000);
        status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    };
    fresh();
    runTool();
    const QStringList packages = QDir(out).entryList(QDir::Files);
    std::printf("kvzoffline: status %d, %lld packages\n", status,
                static_cast<long long>(packages.size()));
    QList<QByteArray> bytes;
    for (const QString& name : packages) {
        QFile file(QDir(out).filePath(name));
        bytes.append(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
    }
    fresh();
    const QStringList statements = departmentStatements(run, out);

    double toolMs = 1e300, statementsMs = 1e300, filesMs = 1e300;
    for (int round = 0; round < bench::Rounds; ++round) {
        fresh();
        toolMs = std::min(toolMs, bench::timedMs(runTool));
        fresh();
        const bench::Work replay = bench::sqliteReplay(run, statements);
        statementsMs = std::min(statementsMs, bench::timedMs(replay));
        QDir(floorFolder).removeRecursively();
        filesMs = std::min(filesMs, bench::timedMs(bench::syncedFilesFloor(floorFolder, bytes)));
    }
    const double floorMs = statementsMs + filesMs;
    std::printf("%-34s %9.1f ms   floor %9.1f ms   ratio %5.2f   (%lld statements %.1f ms, %lld "
                "synced files %.1f ms)\n",
                "kvzoffline --depart, 1,000 users", toolMs, floorMs, toolMs / floorMs,
                static_cast<long long>(statements.size()), statementsMs,
                static_cast<long long>(bytes.size()), filesMs);
}

} // namespace

int main(int argc, char** argv) {
    bench::Timed<QCoreApplication> app(argc, argv);
    const QTemporaryDir folder;
    try {
        authorization(app, folder);
        department(folder);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
