#pragma once

// Timing helpers shared by the users-management benchmarks.
#include "DbQuery.h"
#include "LargeSite.h"
#include "Schema.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace bench {

constexpr int Rounds = 3;

// Best of a few rounds, in milliseconds; prepare runs before each round, untimed.
inline double bestMs(const std::function<void()>& work, const std::function<void()>& prepare = {}) {
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

inline void report(const char* what, double measuredMs, double floorMs) {
    std::printf("%-34s %9.1f ms   floor %9.1f ms   ratio %5.2f\n", what, measuredMs, floorMs,
                measuredMs / floorMs);
}

} // namespace bench
