#pragma once

// The floors the benchmarks measure against: the plain libraries doing the same reads, nothing
// of ours in between.
#include "BenchSupport.h"
#include "DbConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <functional>
#include <utility>

namespace bench {

using Work = std::function<void()>;

// Steps statement with SQLite's C API on a read-only connection of its own to the file at path,
// read through a memory map, reading the named columns (all when none are named) of every row.
// The connection stays open as long as the work is kept.
Work sqliteFloor(const QString& path, const QString& statement, const QStringList& columns = {});

// Reads statement (in PostgreSQL's dialect) through libpq on a session opened with settings: a
// server-side cursor in a read-only transaction, fetched a thousand rows at a time, the named
// columns (all when none are named) of every row read; with Batches::First only the first
// thousand rows, what the first rows shown wait for.
enum class Batches { All, First };
Work libpqCursorFloor(const DbSettings& settings, const QString& statement,
                      const QStringList& columns = {}, Batches batches = Batches::All);
// The same rows sent by COPY, every line taken.
Work libpqCopyFloor(const DbSettings& settings, const QString& statement);

// The floor of the backend settings name: SQLite's or libpq's cursor, on statement in the
// console's dialect translated for it.
Work databaseFloor(const DbSettings& settings, const QString& statement,
                   const QStringList& columns = {});

// The statements work runs on the main session of an SQLite connection, in order, with their
// parameters filled in.
QStringList tracedStatements(DbConnection& connection, const Work& work);
// Runs statements with SQLite's C API on a memory-mapped connection of its own to the file at
// path, reading every column of every row; writes are synced as the console's sessions sync
// them. The connection stays open as long as the work is kept.
Work sqliteReplay(const QString& path, const QStringList& statements);
// Writes each of files into folder as a new file of its own, synced once.
Work syncedFilesFloor(const QString& folder, const QList<QByteArray>& files);

// One line per operation: measured, floor, ratio, and the longest event while it ran.
void report(const char* what, double measuredMs, double floorMs, double longestEventMs);

// Runs work the way a click runs it: in one event of the loop, then the events it posted.
void inEvent(const Work& work);

// The best time of work run as a click runs it, and the longest event of its rounds.
template <class Application>
std::pair<double, double> clickMs(Timed<Application>& app, const Work& work,
                                  const Work& prepare = {}) {
    app.resetLongest();
    const double ms = bestMs([&] { inEvent(work); }, prepare);
    return {ms, app.longestMs};
}

} // namespace bench
