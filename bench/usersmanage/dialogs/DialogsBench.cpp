// Prints how long the user chooser and the scan task dialog take to open on a site of 100,000
// users (from the click to the dialog shown) and to move every user from one list to the other,
// next to the floor: the statements they load from stepped with SQLite's C API on a
// memory-mapped connection, the shown columns read; and the longest event of each.
#include "BenchSupport.h"
#include "DbConnection.h"
#include "DbQuery.h"
#include "Floors.h"
#include "ItemListModel.h"
#include "LargeSite.h"
#include "LogonInfo.h"
#include "Schema.h"
#include "U_ScanClient.h"
#include "uUserChose.h"

#include <QApplication>
#include <QTemporaryDir>
#include <cstdio>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Users = 100000;
constexpr int Departments = 20000;

using App = bench::Timed<QApplication>;

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    const QTemporaryDir folder;
    const auto connection = bench::largeSite(folder, Users, Departments);
    const QString path = folder.filePath(u"large.db"_s);
    TLogonInfo logon;
    logon.Connection = connection.get();
    logon.RootName = u"Org"_s;
    LogonInfo = &logon;

    const double chooserFloor = bench::bestMs(bench::sqliteFloor(
        path, u"select US.Name as PName,U.*  from Users U inner join UserSort US on U.Pid=US.Id"_s,
        {u"pid"_s, u"uid"_s, u"UserName"_s, u"ip"_s, u"PName"_s}));
    std::unique_ptr<TFrm_UserChose> chooser;
    const auto [chooserOpen, chooserOpenEvent] = clickMs(
        app,
        [&] {
            chooser = std::make_unique<TFrm_UserChose>();
            chooser->DepartId = 1;
            chooser->show();
        },
        [&] { chooser.reset(); });
    std::printf("chooser rows: %d chosen, %d available\n", chooser->done()->rowCount(),
                chooser->unDo()->rowCount());
    bench::report("user chooser: open", chooserOpen, chooserFloor, chooserOpenEvent);
    const auto [chooserMoveAll, chooserMoveEvent] = clickMs(
        app, [&] { chooser->BtLAllClick(); }, [&] { chooser->BtRAllClick(); });
    bench::report("user chooser: move all", chooserMoveAll, chooserFloor, chooserMoveEvent);
    chooser->BtLAllClick();
    const double chooserOk = bench::bestMs([&] { chooser->BtUAOKClick(); });
    std::printf("user chooser: OK with every user chosen: %.1f ms, %lld users now in department "
                "1\n",
                chooserOk,
                static_cast<long long>(
                    DbCommand(connection.get(), u"select count(*) from Users where Pid = 1"_s)
                        .scalar()
                        .toLongLong()));
    chooser.reset();

    const bench::Work users = bench::sqliteFloor(
        path, u"select * from Users"_s, {u"uid"_s, u"pid"_s, u"UserName"_s, u"ip"_s, u"Onlined"_s});
    const bench::Work departs = bench::sqliteFloor(path, u"select id,name from UserSort"_s);
    const double scanFloor = bench::bestMs([&] {
        users();
        departs();
    });
    std::unique_ptr<TFrm_ScanClient> scan;
    const auto [scanOpen, scanOpenEvent] = clickMs(
        app,
        [&] {
            scan = std::make_unique<TFrm_ScanClient>();
            for (int uid = 1; uid <= 100; ++uid)
                scan->SelectedUids.append(QString::number(uid));
            scan->show();
        },
        [&] { scan.reset(); });
    std::printf("scan rows: %d targets, %d available\n", scan->sel()->rowCount(),
                scan->all()->rowCount());
    bench::report("scan dialog: open", scanOpen, scanFloor, scanOpenEvent);
    const auto [scanMoveAll, scanMoveEvent] = clickMs(
        app, [&] { scan->BtLAClick(); }, [&] { scan->BtRAClick(); });
    bench::report("scan dialog: move all", scanMoveAll, scanFloor, scanMoveEvent);
    return 0;
}
