#pragma once

// Timing helpers shared by the users-management benchmarks.
#include "DbQuery.h"
#include "LargeSite.h"
#include "Schema.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <unistd.h>

namespace bench {

constexpr int Rounds = 3;

// Milliseconds work takes on the wall clock.
inline double timedMs(const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Best of a few rounds, in milliseconds; prepare runs before each round, untimed.
inline double bestMs(const std::function<void()>& work, const std::function<void()>& prepare = {}) {
    double best = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        if (prepare)
            prepare();
        best = std::min(best, timedMs(work));
    }
    return best;
}

// Opens statement and reads the named fields of every record: the floor under any view of it.
inline void walk(DbConnection* connection, const QString& statement, const QStringList& fields) {
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

// A SQLite database in folder holding a generated site of that size.
inline std::unique_ptr<DbConnection> largeSite(const QTemporaryDir& folder, int users,
                                               int departments) {
    DbSettings settings;
    settings.sqlitePath = folder.filePath(QStringLiteral("large.db"));
    auto connection = DbConnection::open(settings);
    createSchema(*connection);
    std::printf("generating %d users in %d departments...\n", users, departments);
    generateLargeSite(*connection, users, departments, 20240601);
    return connection;
}

// Now on the given clock, in milliseconds.
inline double clockMs(clockid_t clock) {
    timespec time{};
    clock_gettime(clock, &time);
    return double(time.tv_sec) * 1e3 + double(time.tv_nsec) / 1e6;
}

// Time the calling thread has spent ready to run but waiting for a CPU, in milliseconds (0
// where the kernel does not tell). The file stays open: one read per call.
inline double runQueueWaitMs() {
    thread_local const int file = open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
    char text[96] = {};
    if (file < 0 || pread(file, text, sizeof text - 1, 0) <= 0)
        return 0;
    unsigned long long running = 0, waiting = 0;
    return std::sscanf(text, "%llu %llu", &running, &waiting) == 2 ? double(waiting) / 1e6 : 0;
}

// Times every event the application dispatches from its loop: the longest one is the longest
// time the window could not answer input. Events sent while one is handled count in it. Keeps
// what the longest was (the receiver's class and the event's type) to say where to look, and
// the longest in the CPU time of the window's thread, which other programs on the machine do
// not lengthen, and how much of the longest the thread waited for a CPU while others ran.
template <class Application> class Timed : public Application {
public:
    using Application::Application;

    bool notify(QObject* receiver, QEvent* event) override {
        if (m_depth++ > 0) {
            const bool handled = Application::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const QByteArray what = describe(receiver, event); // the event may be gone afterwards
        const double wall = clockMs(CLOCK_MONOTONIC);
        const double cpu = clockMs(CLOCK_THREAD_CPUTIME_ID);
        const double queued = runQueueWaitMs();
        const bool handled = Application::notify(receiver, event);
        const double wallMs = clockMs(CLOCK_MONOTONIC) - wall;
        const double cpuMs = clockMs(CLOCK_THREAD_CPUTIME_ID) - cpu;
        const double queuedMs = runQueueWaitMs() - queued;
        longestCpuMs = std::max(longestCpuMs, cpuMs);
        longestOwnMs = std::max(longestOwnMs, wallMs - queuedMs);
        if (wallMs > longestMs) {
            longestMs = wallMs;
            longestWhat = what + ", " + QByteArray::number(cpuMs, 'f', 1) +
                          " ms of it on the CPU, " + QByteArray::number(queuedMs, 'f', 1) +
                          " ms waiting for one";
        }
        --m_depth;
        return handled;
    }

    void resetLongest() {
        longestMs = longestCpuMs = longestOwnMs = 0;
        longestWhat.clear();
    }

    double longestMs = 0; // wall clock
    double longestCpuMs = 0;
    double longestOwnMs = 0; // wall clock less the time spent waiting for a CPU
    QByteArray longestWhat;

private:
    // "QTimer of BulkAudit, event 1": the receiver, its owner and the event's type.
    static QByteArray describe(const QObject* receiver, const QEvent* event) {
        QByteArray what = receiver->metaObject()->className();
        if (const QObject* owner = receiver->parent())
            what += QByteArray(" of ") + owner->metaObject()->className();
        return what + ", event " + QByteArray::number(int(event->type()));
    }

    int m_depth = 0;
};

using TimedApplication = Timed<QApplication>;

inline void report(const char* what, double measuredMs, double floorMs) {
    std::printf("%-34s %9.1f ms   floor %9.1f ms   ratio %5.2f\n", what, measuredMs, floorMs,
                measuredMs / floorMs);
}

} // namespace bench
