// Prints how long the main window takes to list 100,000 users and to build a tree of 20,000
// departments, next to the time the database layer alone needs for the same statements.
#include "DbConnection.h"
#include "DbQuery.h"
#include "LargeSite.h"
#include "LogonInfo.h"
#include "PgUsersManage.h"
#include "Schema.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Users = 100000;
constexpr int Departments = 20000;
constexpr int Rounds = 3;

const QString UserStatement =
    u"SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole AS UR ON "
    u"U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id where 1 = 1 "_s;
const QString DepartStatement = u"select * from UserSort order by pid,id"_s;

// Best of a few rounds, in milliseconds.
double bestMs(const std::function<void()>& work) {
    double best = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    return best;
}

// Opens statement and reads the named fields of every record.
void walk(DbConnection* connection, const QString& statement, const QStringList& fields) {
    DbQuery query(connection);
    query.setSql(statement);
    query.open();
    QList<int> indexes;
    for (const QString& field : fields)
        indexes.append(query.fieldIndex(field));
    qsizetype sink = 0;
    for (query.first(); !query.eof(); query.next())
        for (int index : indexes)
            sink += query.value(index).toString().size();
    if (sink < 0)
        std::puts("");
}

void report(const char* what, double windowMs, double floorMs) {
    std::printf("%-34s %9.1f ms   floor %9.1f ms   ratio %5.2f\n", what, windowMs, floorMs,
                windowMs / floorMs);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    DbSettings settings;
    settings.sqlitePath = folder.filePath(u"large.db"_s);
    auto connection = DbConnection::open(settings);
    createSchema(*connection);
    std::printf("generating %d users in %d departments...\n", Users, Departments);
    generateLargeSite(*connection, Users, Departments, 20240601);

    QWidget panel;
    panel.resize(1200, 800);
    TLogonInfo logon;
    logon.Connection = connection.get();
    logon.ParentPanel = &panel;
    logon.RootName = u"Org"_s;
    logon.AdminAuths = -1;
    OpenFormWithLogonInfo(&logon);
    QElapsedTimer firstShow;
    firstShow.start();
    panel.show();
    QCoreApplication::processEvents();
    std::printf("first show (tree and every user): %.1f ms\n",
                static_cast<double>(firstShow.nsecsElapsed()) / 1e6);
    TFrmUsersManage& form = *FrmUsersManage;

    const double listMs = bestMs([&] { form.ShowUsers(QString()); });
    const double listFloorMs = bestMs([&] {
        walk(connection.get(), UserStatement,
             {u"UserName"_s, u"DName"_s, u"Ip"_s, u"ComputerName"_s, u"RName"_s, u"Auths"_s,
              u"CliVer"_s, u"ScanTime"_s, u"Uid"_s, u"HardNo"_s, u"Onlined"_s});
    });
    std::printf("listed rows: %d\n", form.userList()->rowCount());
    report("ShowUsers (root, all users)", listMs, listFloorMs);

    // The tree rebuild ends by listing the selected department: pick a small one.
    logon.CurDepartId = Departments;
    const double treeMs = bestMs([&] { form.BuildDepartTree(); });
    const double treeFloorMs = bestMs([&] {
        walk(connection.get(), DepartStatement,
             {u"id"_s, u"pid"_s, u"name"_s, u"ctrl"_s, u"used"_s});
    });
    std::printf("listed rows of department %d: %d\n", Departments, form.userList()->rowCount());
    report("BuildDepartTree (20,000 nodes)", treeMs, treeFloorMs);

    CloseBplForm();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
