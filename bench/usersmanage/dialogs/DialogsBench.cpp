// Prints how long the user chooser and the scan task dialog take to open on a site of 100,000
// users and to move every user from one list to the other, next to the time the database
// layer alone needs to walk the statements they load from.
#include "BenchSupport.h"
#include "DbConnection.h"
#include "DbQuery.h"
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

// Shows the dialog and lets it paint once.
template <typename Dialog> void open(Dialog& dialog) {
    dialog.show();
    QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QTemporaryDir folder;
    const auto connection = bench::largeSite(folder, Users, Departments);
    TLogonInfo logon;
    logon.Connection = connection.get();
    logon.RootName = u"Org"_s;
    LogonInfo = &logon;

    const double chooserFloor = bench::bestMs([&] {
        bench::walk(
            connection.get(),
            u"select US.Name as PName,U.*  from Users U inner join UserSort US on U.Pid=US.Id"_s,
            {u"pid"_s, u"uid"_s, u"UserName"_s, u"ip"_s, u"PName"_s});
    });
    std::unique_ptr<TFrm_UserChose> chooser;
    const auto newChooser = [&] {
        chooser = std::make_unique<TFrm_UserChose>();
        chooser->DepartId = 1;
    };
    const double chooserOpen = bench::bestMs([&] { open(*chooser); }, newChooser);
    std::printf("chooser rows: %d chosen, %d available\n", chooser->done()->rowCount(),
                chooser->unDo()->rowCount());
    bench::report("user chooser: open", chooserOpen, chooserFloor);
    const double chooserMoveAll =
        bench::bestMs([&] { chooser->BtLAllClick(); }, [&] { chooser->BtRAllClick(); });
    bench::report("user chooser: move all", chooserMoveAll, chooserFloor);
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

    const double scanFloor = bench::bestMs([&] {
        bench::walk(connection.get(), u"select * from Users"_s,
                    {u"uid"_s, u"pid"_s, u"UserName"_s, u"ip"_s, u"Onlined"_s});
        bench::walk(connection.get(), u"select id,name from UserSort"_s, {u"id"_s, u"name"_s});
    });
    std::unique_ptr<TFrm_ScanClient> scan;
    const auto newScan = [&] {
        scan = std::make_unique<TFrm_ScanClient>();
        for (int uid = 1; uid <= 100; ++uid)
            scan->SelectedUids.append(QString::number(uid));
    };
    const double scanOpen = bench::bestMs([&] { open(*scan); }, newScan);
    std::printf("scan rows: %d targets, %d available\n", scan->sel()->rowCount(),
                scan->all()->rowCount());
    bench::report("scan dialog: open", scanOpen, scanFloor);
    const double scanMoveAll =
        bench::bestMs([&] { scan->BtLAClick(); }, [&] { scan->BtRAClick(); });
    bench::report("scan dialog: move all", scanMoveAll, scanFloor);
    return 0;
}
