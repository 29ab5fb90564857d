// Prints how long DbQuery::open() takes for the main window's user list on a site of 100,000
// users, and open() plus a walk that reads ten fields of every record by index.
//
//   DbOpenBench [--sqlite FILE] [--pg HOST:PORT/DB --user USER [--schema SCHEMA]]
//
// The SQLite file is created and filled when it holds no users yet (a temporary one when no
// file is given); a PostgreSQL schema is filled the same way when it has no Users table.
#include "DbConnection.h"
#include "DbError.h"
#include "DbQuery.h"
#include "LargeSite.h"
#include "Schema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int Users = 100000;
constexpr int Departments = 20000;
constexpr quint32 SiteSeed = 20240601;
constexpr int Rounds = 5;

const QString UserStatement =
    u"SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole AS UR ON "
    u"U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id where 1 = 1 "_s;

const QStringList WalkedFields = {u"UserName"_s, u"DName"_s,  u"Ip"_s,  u"ComputerName"_s,
                                  u"RName"_s,    u"Auths"_s,  u"Uid"_s, u"CliVer"_s,
                                  u"HardNo"_s,   u"Onlined"_s};

struct Timing {
    double openMs = 1e300;
    double walkMs = 1e300;
    int rows = 0;
};

double elapsedMs(const QElapsedTimer& timer) {
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Best of a few rounds of open() alone and of open() plus the walk.
Timing measure(DbConnection& connection) {
    Timing timing;
    for (int round = 0; round < Rounds; ++round) {
        DbQuery query(&connection);
        query.setSql(UserStatement);
        QElapsedTimer timer;
        timer.start();
        query.open();
        timing.openMs = std::min(timing.openMs, elapsedMs(timer));
        QList<int> indexes;
        for (const QString& field : WalkedFields) {
            indexes.append(query.fieldIndex(field));
        }
        qsizetype sink = 0;
        for (query.first(); !query.eof(); query.next()) {
            for (int index : indexes) {
                sink += query.value(index).toString().size();
            }
        }
        timing.walkMs = std::min(timing.walkMs, elapsedMs(timer));
        timing.rows = query.recordCount();
        if (sink == 0) {
            std::puts("the walk read nothing");
        }
    }
    return timing;
}

void fillWhenEmpty(DbConnection& connection) {
    if (connection.hasTable(u"Users"_s) &&
        DbCommand(&connection, u"select count(*) from Users"_s).scalar().toInt() >= Users) {
        return;
    }
    std::printf("generating %d users in %d departments...\n", Users, Departments);
    std::fflush(stdout);
    createSchema(connection);
    generateLargeSite(connection, Users, Departments, SiteSeed);
}

void report(const char* backend, DbConnection& connection) {
    fillWhenEmpty(connection);
    const Timing timing = measure(connection);
    std::printf("%-10s rows %d   open %8.1f ms   open+walk %8.1f ms (best of %d)\n", backend,
                timing.rows, timing.openMs, timing.walkMs, Rounds);
}

bool parsePg(const QCommandLineParser& parser, DbSettings& settings) {
    if (!parsePostgresAddress(parser.value(u"pg"_s), settings)) {
        return false;
    }
    settings.user = parser.value(u"user"_s);
    settings.schema = parser.value(u"schema"_s);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{u"sqlite"_s, u"SQLite database file."_s, u"file"_s},
                       {u"pg"_s, u"PostgreSQL server and database."_s, u"host:port/db"_s},
                       {u"user"_s, u"PostgreSQL user."_s, u"name"_s},
                       {u"schema"_s, u"PostgreSQL schema."_s, u"name"_s}});
    parser.process(app);
    try {
        QTemporaryDir folder;
        DbSettings sqlite;
        sqlite.sqlitePath =
            parser.isSet(u"sqlite"_s) ? parser.value(u"sqlite"_s) : folder.filePath(u"large.db"_s);
        report("SQLite", *DbConnection::open(sqlite));
        if (parser.isSet(u"pg"_s)) {
            DbSettings pg;
            if (!parsePg(parser, pg)) {
                std::fprintf(stderr, "--pg expects HOST:PORT/DB\n");
                return 2;
            }
            report("PostgreSQL", *DbConnection::open(pg));
        }
    } catch (const DbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
