// Prints what the main window costs on a large site: the whole user list of the root and the
// first rows painted after the selection changed, next to the floor (the same statement read
// by the plain library: SQLite's C API on a memory-mapped connection, libpq's server-side
// cursor with COPY beside it; the floor runs after each round, so that a slow spell of the
// machine slows both); the longest stretch the window did not answer input while the
// list loaded; the memory kept per listed row; the department tree against the floor of its
// statement, and the heap it keeps; sorting the whole list by a column, the
// list loaded again while sorted, and the sorted list saved as CSV. The list's statement read
// through DbCursor alone is printed against the floor too.
//
//   UsersManageBench [--sqlite FILE] [--users N] [--departments M]
//                    [--pg HOST:PORT/DB --user USER [--schema SCHEMA]]
//
// The SQLite file (a temporary one when none is given) and the PostgreSQL schema are filled
// with a generated site when they hold fewer users than asked for.
#include "BenchSupport.h"
#include "DbConnection.h"
#include "DbError.h"
#include "DbQuery.h"
#include "DepartTreeModel.h"
#include "Floors.h"
#include "HugePages.h"
#include "JetDialect.h"
#include "LargeSite.h"
#include "LogonInfo.h"
#include "PgUsersManage.h"
#include "Schema.h"
#include "UserListExport.h"
#include "UserListLoader.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <malloc.h>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr quint32 SiteSeed = 20240601;
constexpr int Rounds = 3;

// On SQLite every step runs in this thread, so its CPU time is measured: other programs on the
// machine do not count. PostgreSQL does its share in the server, so there the wall clock is.
bool g_wallClock = false;

clockid_t clockId() {
    return g_wallClock ? CLOCK_MONOTONIC : CLOCK_THREAD_CPUTIME_ID;
}

class Stopwatch {
public:
    void start() { m_start = now(); }
    bool isValid() const { return m_start >= 0; }
    double ms() const { return now() - m_start; }

private:
    static double now() { return bench::clockMs(clockId()); }
    double m_start = -1;
};

double bestMs(const std::function<void()>& work) {
    double best = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        Stopwatch timer;
        timer.start();
        work();
        best = std::min(best, timer.ms());
    }
    return best;
}

// Notes when the list's viewport first paints after arm().
class PaintWatch : public QObject {
public:
    void arm() {
        m_timer.start();
        paintedMs = -1;
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && paintedMs < 0 && m_timer.isValid())
            paintedMs = m_timer.ms();
        return false;
    }
    double paintedMs = -1;

private:
    Stopwatch m_timer;
};

void waitForList(const TFrmUsersManage& form) {
    while (form.isLoadingUsers())
        QCoreApplication::processEvents();
}

// Blocks in the arenas, blocks of their own mapping (large arrays) and blocks mapped in huge
// pages alike.
size_t heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd + hugePagesMapped();
}

struct ListFigures {
    double wholeMs = 1e300;
    double floorMs = 1e300; // of the floor run after each round
    double firstPaintMs = 1e300;
    double longestEventMs = 0;
    QByteArray longestWhat; // the receiver and type of the longest event
    double heapPerRow = 0;
    double storePerRow = 0;
    int rows = 0;
};

// Selects a department of a few users, then the root, and measures the root's list; floor, when
// given, runs after each round, so that a slow spell of the machine slows both alike.
ListFigures measureList(bench::TimedApplication& app, TFrmUsersManage& form, qint32 smallDepart,
                        const bench::Work& floor = {}) {
    QTreeView* tree = form.ui()->TV_Department;
    const QModelIndex root = form.departs()->index(0, 0);
    PaintWatch paints;
    form.ui()->LV_Man->viewport()->installEventFilter(&paints);
    ListFigures figures;
    for (int round = 0; round < Rounds; ++round) {
        form.Expand(smallDepart);
        form.TreeDepartFresh();
        waitForList(form);
        QCoreApplication::processEvents();
        malloc_trim(0);
        const size_t heapBefore = heapInUse();
        app.resetLongest();
        paints.arm();
        Stopwatch timer;
        timer.start();
        tree->setCurrentIndex(root);
        waitForList(form);
        figures.wholeMs = std::min(figures.wholeMs, timer.ms());
        while (paints.paintedMs < 0)
            QCoreApplication::processEvents();
        figures.firstPaintMs = std::min(figures.firstPaintMs, paints.paintedMs);
        const double longest = g_wallClock ? app.longestMs : app.longestCpuMs;
        if (longest > figures.longestEventMs) {
            figures.longestEventMs = longest;
            figures.longestWhat = app.longestWhat;
        }
        figures.rows = form.userList()->rowCount();
        figures.heapPerRow = double(heapInUse() - heapBefore) / figures.rows;
        figures.storePerRow = double(form.userList()->store().bytes()) / figures.rows;
        if (floor) {
            timer.start();
            floor();
            figures.floorMs = std::min(figures.floorMs, timer.ms());
        }
    }
    form.ui()->LV_Man->viewport()->removeEventFilter(&paints);
    return figures;
}

// A click on a column header (the list's other order undone before each round, untimed),
// up to the view laid out again. The click sets the header's sort indicator, which sorts the
// list once; QTableView::sortByColumn() would sort it twice.
double sortMs(QTableView* list, int column) {
    QHeaderView* header = list->horizontalHeader();
    double best = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        header->setSortIndicator(-1, Qt::AscendingOrder);
        QCoreApplication::processEvents();
        Stopwatch timer;
        timer.start();
        header->setSortIndicator(column, round % 2 ? Qt::DescendingOrder : Qt::AscendingOrder);
        QCoreApplication::processEvents();
        best = std::min(best, timer.ms());
    }
    return best;
}

void measureSortAndExport(bench::TimedApplication& app, TFrmUsersManage& form, qint32 smallDepart) {
    QTableView* list = form.ui()->LV_Man;
    const int rows = form.userList()->rowCount();
    for (const int column : {0, 1, 2}) {
        const QString caption =
            form.userList()->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        std::printf("  sort, column %d    %9.1f ms   %d rows by %s\n", column, sortMs(list, column),
                    rows, qPrintable(caption));
    }
    list->sortByColumn(2, Qt::AscendingOrder);
    const ListFigures sorted = measureList(app, form, smallDepart);
    std::printf("  sorted list       %9.1f ms   longest event %.1f ms while it loaded (%s)\n",
                sorted.wholeMs, sorted.longestEventMs, sorted.longestWhat.constData());

    QTemporaryDir folder;
    QFile file(folder.filePath(u"users.csv"_s));
    // The wall clock: the administrator waits for the file as well.
    double exportMs = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            !writeUserListCsv(*form.userList(), file))
            std::puts("the export failed");
        file.close();
        exportMs = std::min(exportMs, double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("  CSV export        %9.1f ms   %d rows, %.1f MB, sorted by address, wall clock\n",
                exportMs, rows, double(file.size()) / 1e6);
    list->sortByColumn(-1, Qt::AscendingOrder);
}

// The heap the department tree keeps: from the tree emptied to the tree built again.
double treeHeapBytes(TFrmUsersManage& form) {
    form.departs()->setTree({});
    malloc_trim(0);
    const size_t before = heapInUse();
    form.BuildDepartTree();
    waitForList(form);
    return double(heapInUse()) - double(before);
}

void fillWhenSmaller(DbConnection& connection, int users, int departments) {
    if (connection.hasTable(u"Users"_s) &&
        DbCommand(&connection, u"select count(*) from Users"_s).scalar().toInt() >= users)
        return;
    std::printf("generating %d users in %d departments...\n", users, departments);
    std::fflush(stdout);
    createSchema(connection);
    generateLargeSite(connection, users, departments, SiteSeed);
}

// The root's list: every user.
QString rootListStatement() {
    return UserListLoader::statement(u"where 1 = 1 "_s);
}

// On PostgreSQL, the list's rows by COPY and the cursor's first thousand rows (0 on SQLite).
struct ListFloors {
    double copyMs = 0;
    double firstBatchMs = 0;
};

ListFloors listFloors(const DbSettings& settings) {
    const QString statement = rootListStatement();
    ListFloors floors;
    if (settings.backend == DbBackend::PostgreSQL) {
        floors.copyMs = bestMs(bench::libpqCopyFloor(settings, statement));
        floors.firstBatchMs = bestMs(
            bench::libpqCursorFloor(settings, translateJetStatement(statement, settings.backend),
                                    {}, bench::Batches::First));
    }
    return floors;
}

// The list's statement read through DbCursor alone, the fields the list keeps read, and the
// floor run after each round: the best of each.
std::pair<double, double> cursorMs(DbConnection& connection, const bench::Work& floor) {
    std::pair best{1e300, 1e300};
    for (int round = 0; round < Rounds; ++round) {
        Stopwatch timer;
        timer.start();
        DbCursor cursor(&connection);
        cursor.open(rootListStatement());
        const int uid = cursor.fieldIndex(u"Uid"_s), pid = cursor.fieldIndex(u"Pid"_s);
        qint64 sink = 0;
        while (cursor.next()) {
            for (int column = 0; column < 13; ++column)
                sink += column == uid || column == pid ? cursor.integer(column)
                                                       : cursor.text(column).size();
        }
        best.first = std::min(best.first, timer.ms());
        if (sink == 0)
            std::puts("the cursor read nothing");
        timer.start();
        floor();
        best.second = std::min(best.second, timer.ms());
    }
    return best;
}

void printLine(const char* what, double measuredMs, double floorMs) {
    std::printf("  %-17s %9.1f ms   floor %9.1f ms   ratio %5.2f\n", what, measuredMs, floorMs,
                measuredMs / floorMs);
}

void run(bench::TimedApplication& app, const char* backend, DbConnection& connection,
         const DbSettings& settings, int departments) {
    QWidget panel;
    panel.resize(1200, 800);
    TLogonInfo logon;
    logon.Connection = &connection;
    logon.ParentPanel = &panel;
    logon.RootName = u"Org"_s;
    logon.AdminAuths = -1;
    logon.CurDepartId = departments; // a department of a few users: the show lists little
    OpenFormWithLogonInfo(&logon);
    panel.show();
    while (FrmUsersManage->departs()->rowCount() == 0)
        QCoreApplication::processEvents();
    TFrmUsersManage& form = *FrmUsersManage;

    const bench::Work floor = bench::databaseFloor(settings, rootListStatement());
    const ListFigures list = measureList(app, form, departments, floor);
    const ListFloors floors = listFloors(settings);
    std::printf("%s, %d users listed at the root (best of %d, %s):\n", backend, list.rows, Rounds,
                g_wallClock ? "wall clock" : "CPU time of the window's thread");
    printLine("whole list", list.wholeMs, list.floorMs);
    const auto [cursorAloneMs, cursorFloorMs] = cursorMs(connection, floor);
    printLine("cursor alone", cursorAloneMs, cursorFloorMs);
    if (floors.copyMs > 0)
        printLine("  against COPY", list.wholeMs, floors.copyMs);
    std::printf("  first rows        %9.1f ms after the selection changed\n", list.firstPaintMs);
    if (floors.firstBatchMs > 0)
        std::printf("    floor           %9.1f ms for the cursor's first thousand rows\n",
                    floors.firstBatchMs);
    std::printf("  longest event     %9.1f ms while the list loaded (%s)\n", list.longestEventMs,
                list.longestWhat.constData());
    std::printf("  kept per row      %9.1f bytes on the heap (store alone %.1f)\n", list.heapPerRow,
                list.storePerRow);

    measureSortAndExport(app, form, departments);

    logon.CurDepartId = departments;
    const double treeMs = bestMs([&] {
        form.BuildDepartTree();
        waitForList(form);
    });
    const double walkMs =
        bestMs(bench::databaseFloor(settings, u"select * from UserSort order by pid,id"_s,
                                    {u"id"_s, u"pid"_s, u"name"_s, u"ctrl"_s, u"used"_s}));
    printLine("BuildDepartTree", treeMs, walkMs);
    const double treeBytes = treeHeapBytes(form);
    std::printf("  tree kept         %9.1f MB on the heap, %.1f bytes per department\n",
                treeBytes / 1e6, treeBytes / departments);

    CloseBplForm();
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::TimedApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{u"sqlite"_s, u"SQLite database file."_s, u"file"_s},
                       {u"users"_s, u"Users of the generated site."_s, u"n"_s, u"100000"_s},
                       {u"departments"_s, u"Departments of the site."_s, u"n"_s, u"20000"_s},
                       {u"pg"_s, u"PostgreSQL server and database."_s, u"host:port/db"_s},
                       {u"user"_s, u"PostgreSQL user."_s, u"name"_s},
                       {u"schema"_s, u"PostgreSQL schema."_s, u"name"_s}});
    parser.process(app);
    const int users = parser.value(u"users"_s).toInt();
    const int departments = parser.value(u"departments"_s).toInt();
    try {
        QTemporaryDir folder;
        DbSettings sqlite;
        sqlite.sqlitePath =
            parser.isSet(u"sqlite"_s) ? parser.value(u"sqlite"_s) : folder.filePath(u"large.db"_s);
        auto connection = DbConnection::open(sqlite);
        fillWhenSmaller(*connection, users, departments);
        run(app, "SQLite", *connection, sqlite, departments);
        if (parser.isSet(u"pg"_s)) {
            DbSettings pg;
            if (!parsePostgresAddress(parser.value(u"pg"_s), pg)) {
                std::fprintf(stderr, "--pg expects HOST:PORT/DB\n");
                return 2;
            }
            pg.user = parser.value(u"user"_s);
            pg.schema = parser.value(u"schema"_s);
            auto server = DbConnection::open(pg);
            g_wallClock = true;
            fillWhenSmaller(*server, users, departments);
            run(app, "PostgreSQL", *server, pg, departments);
        }
    } catch (const DbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
