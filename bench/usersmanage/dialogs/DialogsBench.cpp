// Prints what the user chooser and the scan task dialog cost on a large site (CPU time of the
// thread): the first rows after the dialog was asked to show, the whole load and the longest
// event while it ran, next to the floor (the statements they load from stepped with SQLite's
// own interface on a memory-mapped connection, reading the shown columns and the id; run after
// each round, so that a slow spell of the machine slows both); then moving every user between
// the lists on the site and on lists of 10,000, 100,000 and 1,000,000 users.
//
//   DialogsBench [--users N] [--departments M] [--sqlite FILE] [--screenshot FOLDER]
//
// With --screenshot, each dialog is saved as a PNG in FOLDER once its lists have loaded.
// FILE (a temporary one when none is given) is generated when it does not exist, and kept.
#include "BenchSupport.h"
#include "DbConnection.h"
#include "DbQuery.h"
#include "Floors.h"
#include "LargeSite.h"
#include "LogonInfo.h"
#include "Schema.h"
#include "SlicedRead.h"
#include "U_ScanClient.h"
#include "UserChoiceList.h"
#include "uUserChose.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

// Everything runs in this thread (SQLite too), so its CPU time is measured: other programs on
// the machine do not count.
double cpuMs() {
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
}

double bestMs(const std::function<void()>& work, const std::function<void()>& prepare = {}) {
    double best = 1e300;
    for (int round = 0; round < bench::Rounds; ++round) {
        if (prepare)
            prepare();
        const double start = cpuMs();
        work();
        best = std::min(best, cpuMs() - start);
    }
    return best;
}

using App = bench::Timed<QApplication>;

// The floor: the statements stepped one after the other with SQLite's C interface on a
// read-only, memory-mapped connection, every column read.
bench::Work sqliteFloor(const QString& path, const QStringList& statements) {
    std::vector<bench::Work> floors;
    for (const QString& statement : statements)
        floors.push_back(bench::sqliteFloor(path, statement));
    return [floors] {
        for (const bench::Work& floor : floors)
            floor();
    };
}

// Milliseconds of CPU time work takes.
double cpuMsOf(const bench::Work& work) {
    const double start = cpuMs();
    work();
    return cpuMs() - start;
}

// A statement read through SlicedRead alone from the event loop, as the floor reads it: the
// columns of texts as texts, the others as numbers. What the dialogs' reading costs before
// they keep anything; the best of a few rounds, and of the floor run after each.
std::pair<double, double> slicedReadMs(DbConnection* connection, const QString& statement,
                                       const QList<bool>& texts, const bench::Work& floor) {
    std::pair best{1e300, 1e300};
    for (int round = 0; round < bench::Rounds; ++round) {
        const double start = cpuMs();
        SlicedRead read(connection);
        qint64 sink = 0;
        read.start(statement, [&sink, &texts](const DbCursor&) -> SlicedRead::Record {
            return [&sink, &texts](const DbCursor& c) {
                for (int column = 0; column < texts.size(); ++column)
                    sink += texts[column] ? c.text(column).size() : c.integer(column);
            };
        });
        while (read.isRunning())
            QCoreApplication::processEvents();
        best.first = std::min(best.first, cpuMs() - start);
        if (sink == 0)
            std::puts("the reader read nothing");
        best.second = std::min(best.second, cpuMsOf(floor));
    }
    return best;
}

struct LoadFigures {
    double firstRowsMs = 1e300;
    double wholeMs = 1e300;
    double floorMs = 1e300; // of the floor run after each round
    double longestEventMs = 0;
    QString longestWhat;
};

// The rows both lists of a dialog show.
int listed(const TFrm_UserChose& d) {
    return d.done()->rowCount() + d.unDo()->rowCount();
}
int listed(const TFrm_ScanClient& d) {
    return d.sel()->rowCount() + d.all()->rowCount();
}

// Shows a new dialog and waits for its lists, best of a few rounds; the floor runs after each
// round, so that a slow spell of the machine slows both alike.
template <typename Dialog>
LoadFigures measureLoad(App& app, std::unique_ptr<Dialog>& dialog,
                        const std::function<void(Dialog&)>& setup, const bench::Work& floor) {
    LoadFigures figures;
    for (int round = 0; round < bench::Rounds; ++round) {
        dialog = std::make_unique<Dialog>();
        setup(*dialog);
        QCoreApplication::processEvents();
        const auto rows = [&] { return listed(*dialog); };
        app.resetLongest();
        const double start = cpuMs();
        dialog->show();
        while (rows() == 0 && dialog->reading()->isRunning())
            QCoreApplication::processEvents();
        figures.firstRowsMs = std::min(figures.firstRowsMs, cpuMs() - start);
        while (dialog->reading()->isRunning())
            QCoreApplication::processEvents();
        figures.wholeMs = std::min(figures.wholeMs, cpuMs() - start);
        if (app.longestCpuMs > figures.longestEventMs) {
            figures.longestEventMs = app.longestCpuMs;
            figures.longestWhat = QString::fromUtf8(app.longestWhat);
        }
        figures.floorMs = std::min(figures.floorMs, cpuMsOf(floor));
    }
    return figures;
}

void printLoad(const char* what, const LoadFigures& load, int rows) {
    std::printf("%-28s first rows %7.1f ms   whole %8.1f ms   floor %8.1f ms   ratio %5.2f   "
                "longest event %5.1f ms (event %s)   %d rows\n",
                what, load.firstRowsMs, load.wholeMs, load.floorMs, load.wholeMs / load.floorMs,
                load.longestEventMs, qPrintable(load.longestWhat), rows);
}

// Moving every user of a sorting list of n users (names in random order) to an empty one.
void moveAllOnLists() {
    for (const int n : {10000, 100000, 1000000}) {
        auto rows = std::make_shared<UserChoices>();
        const quint32 depart = rows->addDepart(u"Alpha"_s);
        UserChoiceModel from(rows, {u"name"_s}, {});
        UserChoiceModel to(rows, {u"name"_s}, {});
        from.setAutoSort(true);
        to.setAutoSort(true);
        std::srand(20261207);
        for (int i = 0; i < n; ++i)
            from.addLoaded(rows->add(i, QByteArray::number(std::rand()), "127.0.0.1", depart, 2));
        from.loadedSlice(true);
        const double ms =
            bestMs([&] { to.appendAll(from.takeAll()); }, [&] { from.appendAll(to.takeAll()); });
        std::printf("move all, sorting list of %7d %9.1f ms   %6.1f ns per user\n", n, ms,
                    ms * 1e6 / n);
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    App app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions(
        {{u"users"_s, u"Users of the generated site."_s, u"n"_s, u"100000"_s},
         {u"departments"_s, u"Departments of the site."_s, u"n"_s, u"20000"_s},
         {u"sqlite"_s, u"SQLite database file, kept."_s, u"file"_s},
         {u"screenshot"_s, u"Folder for pictures of the loaded dialogs."_s, u"folder"_s}});
    parser.process(app);
    const QTemporaryDir folder;
    DbSettings settings;
    settings.sqlitePath =
        parser.isSet(u"sqlite"_s) ? parser.value(u"sqlite"_s) : folder.filePath(u"large.db"_s);
    const QString path = settings.sqlitePath;
    const bool generate = !QFile::exists(path);
    const auto connection = DbConnection::open(settings);
    if (generate) {
        std::printf("generating %s users...\n", qPrintable(parser.value(u"users"_s)));
        std::fflush(stdout);
        createSchema(*connection);
        generateLargeSite(*connection, parser.value(u"users"_s).toInt(),
                          parser.value(u"departments"_s).toInt(), 20240601);
    }
    TLogonInfo logon;
    logon.Connection = connection.get();
    logon.RootName = u"Org"_s;
    LogonInfo = &logon;

    const QString chooserStatement = u"select US.Name as PName,U.Uid,U.Pid,U.UserName,U.Ip "
                                     "from Users U inner join UserSort US on U.Pid=US.Id"_s;
    const bench::Work chooserFloor = sqliteFloor(path, {chooserStatement});
    std::unique_ptr<TFrm_UserChose> chooser;
    const LoadFigures chooserLoad = measureLoad<TFrm_UserChose>(
        app, chooser, [](TFrm_UserChose& d) { d.DepartId = 1; }, chooserFloor);
    printLoad("user chooser: open", chooserLoad, listed(*chooser));
    const auto picture = [&](QWidget& dialog, const QString& name) {
        if (parser.isSet(u"screenshot"_s))
            dialog.grab().save(QDir(parser.value(u"screenshot"_s)).filePath(name));
    };
    picture(*chooser, u"chooser.png"_s);
    const auto [chooserReadMs, chooserReadFloorMs] = slicedReadMs(
        connection.get(), chooserStatement, {true, false, false, true, true}, chooserFloor);
    bench::report("  its statement, reader alone", chooserReadMs, chooserReadFloorMs);
    const double chooserMoveAll =
        bestMs([&] { chooser->BtLAllClick(); }, [&] { chooser->BtRAllClick(); });
    std::printf("user chooser: move all %15.1f ms\n", chooserMoveAll);
    chooser.reset();

    const QString scanStatement = u"select Uid,Pid,UserName,Ip,Onlined from Users"_s;
    std::unique_ptr<TFrm_ScanClient> scan;
    const LoadFigures scanLoad = measureLoad<TFrm_ScanClient>(
        app, scan,
        [](TFrm_ScanClient& d) {
            for (int uid = 1; uid <= 100; ++uid)
                d.SelectedUids.append(QString::number(uid));
        },
        sqliteFloor(path, {u"select id,name from UserSort"_s, scanStatement}));
    printLoad("scan dialog: open", scanLoad, listed(*scan));
    picture(*scan, u"scan.png"_s);
    const auto [scanReadMs, scanReadFloorMs] =
        slicedReadMs(connection.get(), scanStatement, {false, false, true, true, false},
                     sqliteFloor(path, {scanStatement}));
    bench::report("  its users, reader alone", scanReadMs, scanReadFloorMs);
    const double scanMoveAll = bestMs([&] { scan->BtLAClick(); }, [&] { scan->BtRAClick(); });
    std::printf("scan dialog: move all %16.1f ms\n", scanMoveAll);
    scan.reset();
    moveAllOnLists();
    return 0;
}
