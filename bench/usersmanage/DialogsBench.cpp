// Prints how long the user chooser and the scan task dialog take to open on a site of 100,000
// users and to move every user from one list to the other, next to the time the database
// layer alone needs to walk the statements they load from.
#include "DbConnection.h"
#include "DbQuery.h"
#include "ItemListModel.h"
#include "LargeSite.h"
#include "LogonInfo.h"
#include "Schema.h"
#include "U_ScanClient.h"
#include "uUserChose.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Users = 100000;
constexpr int Departments = 20000;
constexpr int Rounds = 3;

// Best of a few rounds, in milliseconds; prepare runs before each round, untimed.
double bestMs(const std::function<void()>& work, const std::function<void()>& prepare = {}) {
    double best = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        if (prepare)
            prepare();
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
    for (; !query.eof(); query.next())
        for (int index : indexes)
            sink += query.value(index).toString().size();
    if (sink < 0)
        std::puts("");
}

void report(const char* what, double dialogMs, double floorMs) {
    std::printf("%-30s %9.1f ms   floor %9.1f ms   ratio %5.2f\n", what, dialogMs, floorMs,
                dialogMs / floorMs);
}

// Shows the dialog and lets it paint once.
template <typename Dialog> void open(Dialog& dialog) {
    dialog.show();
    QCoreApplication::processEvents();
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
    TLogonInfo logon;
    logon.Connection = connection.get();
    logon.RootName = u"Org"_s;
    LogonInfo = &logon;

    const double chooserFloor = bestMs([&] {
        walk(connection.get(),
             u"select US.Name as PName,U.*  from Users U inner join UserSort US on U.Pid=US.Id"_s,
             {u"pid"_s, u"uid"_s, u"UserName"_s, u"ip"_s, u"PName"_s});
    });
    std::unique_ptr<TFrm_UserChose> chooser;
    const auto newChooser = [&] {
        chooser = std::make_unique<TFrm_UserChose>();
        chooser->DepartId = 1;
    };
    const double chooserOpen = bestMs([&] { open(*chooser); }, newChooser);
    std::printf("chooser rows: %d chosen, %d available\n", chooser->done()->rowCount(),
                chooser->unDo()->rowCount());
    report("user chooser: open", chooserOpen, chooserFloor);
    const double chooserMoveAll =
        bestMs([&] { chooser->BtLAllClick(); }, [&] { chooser->BtRAllClick(); });
    report("user chooser: move all", chooserMoveAll, chooserFloor);
    chooser.reset();

    const double scanFloor = bestMs([&] {
        walk(connection.get(), u"select * from Users"_s,
             {u"uid"_s, u"pid"_s, u"UserName"_s, u"ip"_s, u"Onlined"_s});
        walk(connection.get(), u"select id,name from UserSort"_s, {u"id"_s, u"name"_s});
    });
    std::unique_ptr<TFrm_ScanClient> scan;
    const auto newScan = [&] {
        scan = std::make_unique<TFrm_ScanClient>();
        for (int uid = 1; uid <= 100; ++uid)
            scan->SelectedUids.append(QString::number(uid));
    };
    const double scanOpen = bestMs([&] { open(*scan); }, newScan);
    std::printf("scan rows: %d targets, %d available\n", scan->sel()->rowCount(),
                scan->all()->rowCount());
    report("scan dialog: open", scanOpen, scanFloor);
    const double scanMoveAll = bestMs([&] { scan->BtLAClick(); }, [&] { scan->BtRAClick(); });
    report("scan dialog: move all", scanMoveAll, scanFloor);
    return 0;
}
