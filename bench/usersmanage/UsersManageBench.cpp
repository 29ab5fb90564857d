// Prints how long the main window takes to list 100,000 users and to build a tree of 20,000
// departments, next to the time the database layer alone needs for the same statements.
#include "BenchSupport.h"
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
#include <cstdio>
#include <sys/resource.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Users = 100000;
constexpr int Departments = 20000;

const QString UserStatement =
    u"SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole AS UR ON "
    u"U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id where 1 = 1 "_s;
const QString DepartStatement = u"select * from UserSort order by pid,id"_s;

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QTemporaryDir folder;
    const auto connection = bench::largeSite(folder, Users, Departments);

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

    const double listMs = bench::bestMs([&] { form.ShowUsers(QString()); });
    const double listFloorMs = bench::bestMs([&] {
        bench::walk(connection.get(), UserStatement,
                    {u"UserName"_s, u"DName"_s, u"Ip"_s, u"ComputerName"_s, u"RName"_s, u"Auths"_s,
                     u"CliVer"_s, u"ScanTime"_s, u"Uid"_s, u"HardNo"_s, u"Onlined"_s});
    });
    std::printf("listed rows: %d\n", form.userList()->rowCount());
    bench::report("ShowUsers (root, all users)", listMs, listFloorMs);

    // The tree rebuild ends by listing the selected department: pick a small one.
    logon.CurDepartId = Departments;
    const double treeMs = bench::bestMs([&] { form.BuildDepartTree(); });
    const double treeFloorMs = bench::bestMs([&] {
        bench::walk(connection.get(), DepartStatement,
                    {u"id"_s, u"pid"_s, u"name"_s, u"ctrl"_s, u"used"_s});
    });
    std::printf("listed rows of department %d: %d\n", Departments, form.userList()->rowCount());
    bench::report("BuildDepartTree (20,000 nodes)", treeMs, treeFloorMs);

    CloseBplForm();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("peak RSS: %.1f MB\n", static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
