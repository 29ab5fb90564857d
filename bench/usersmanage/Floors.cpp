#include "Floors.h"

#include "JetDialect.h"
#include "SqliteStatement.h"

#include <QDir>
#include <QTimer>
#include <cstdio>
#include <fcntl.h>
#include <libpq-fe.h>
#include <memory>
#include <sqlite3.h>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace {

// Keeps what the floor read, so that no read can be left out.
void use(qint64 sink) {
    if (sink == 0)
        std::puts("the floor read nothing");
}

std::vector<int> columnIndexes(const QStringList& columns, int count,
                               const std::function<QString(int)>& nameOf) {
    std::vector<int> indexes;
    for (int i = 0; i < count; ++i) {
        if (columns.isEmpty() || columns.contains(nameOf(i), Qt::CaseInsensitive))
            indexes.push_back(i);
    }
    if (indexes.empty() || (!columns.isEmpty() && int(indexes.size()) != columns.size()))
        throw std::runtime_error("the floor's statement lacks a shown column");
    return indexes;
}

using SqliteHandle = std::shared_ptr<sqlite3>;

// One thread uses the connection, as with the console's own: no locking around every call.
SqliteHandle openMapped(const QString& path, int flags) {
    sqlite3* opened = nullptr;
    const int status =
        sqlite3_open_v2(path.toUtf8().constData(), &opened, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    const SqliteHandle handle(opened, sqlite3_close);
    if (status != SQLITE_OK || sqlite3_exec(opened, "pragma mmap_size=1099511627776", nullptr,
                                            nullptr, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(opened));
    return handle;
}

// Steps sql to its end on handle, reading the columns of indexes (all when none are given).
qint64 step(sqlite3* handle, const QByteArray& sql, const QStringList& columns) {
    sqlite3_stmt* prepared = nullptr;
    if (sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &prepared, nullptr) !=
        SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(handle));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> owned(prepared, sqlite3_finalize);
    const int count = sqlite3_column_count(prepared);
    const std::vector<int> read =
        count == 0 ? std::vector<int>() : columnIndexes(columns, count, [prepared](int i) {
            return QString::fromUtf8(sqlite3_column_name(prepared, i));
        });
    qint64 sink = 1;
    int status = SQLITE_ROW;
    while ((status = sqlite3_step(prepared)) == SQLITE_ROW) {
        for (const int column : read) {
            if (sqlite3_column_type(prepared, column) == SQLITE_INTEGER)
                sink += sqlite3_column_int64(prepared, column);
            else
                sink += sqlite3_column_bytes(prepared, column) +
                        (sqlite3_column_text(prepared, column) ? 1 : 0);
        }
    }
    if (status != SQLITE_DONE)
        throw std::runtime_error(sqlite3_errmsg(handle));
    return sink;
}

int collect(unsigned, void* statements, void* statement, void*) {
    char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
    const QString text = QString::fromUtf8(sql);
    if (!text.startsWith(u"--")) // a trigger's statements run inside the one that fired it
        static_cast<QStringList*>(statements)->append(text);
    sqlite3_free(sql);
    return 0;
}

using Session = std::shared_ptr<PGconn>;

Session openSession(const DbSettings& settings) {
    const QByteArray host = settings.host.toUtf8(), port = QByteArray::number(settings.port),
                     database = settings.database.toUtf8(), user = settings.user.toUtf8(),
                     password = settings.password.toUtf8(),
                     sslMode = settings.sslMode.isEmpty() ? "prefer" : settings.sslMode.toUtf8(),
                     options = settings.schema.isEmpty()
                                   ? QByteArray()
                                   : "-c search_path=" + settings.schema.toUtf8() + ",public";
    const char* keywords[] = {"host",    "port",    "dbname",   "user",
                              "sslmode", "options", "password", nullptr};
    const char* values[] = {host.constData(),     port.constData(),
                            database.constData(), user.constData(),
                            sslMode.constData(),  options.constData(),
                            password.constData(), nullptr}; // empty ones are left out
    Session session(PQconnectdbParams(keywords, values, 0), PQfinish);
    if (PQstatus(session.get()) != CONNECTION_OK)
        throw std::runtime_error(PQerrorMessage(session.get()));
    return session;
}

std::shared_ptr<PGresult> exec(const Session& session, const QByteArray& statement) {
    std::shared_ptr<PGresult> result(PQexec(session.get(), statement.constData()), PQclear);
    const ExecStatusType status = PQresultStatus(result.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && status != PGRES_COPY_OUT)
        throw std::runtime_error(PQresultErrorMessage(result.get()));
    return result;
}

} // namespace

namespace bench {

Work sqliteFloor(const QString& path, const QString& statement, const QStringList& columns) {
    const SqliteHandle handle = openMapped(path, SQLITE_OPEN_READONLY);
    const QByteArray sql = statement.toUtf8();
    return [handle, sql, columns] { use(step(handle.get(), sql, columns)); };
}

QStringList tracedStatements(DbConnection& connection, const Work& work) {
    QStringList statements;
    sqlite3* handle = sqliteHandle(connection.database());
    sqlite3_trace_v2(handle, SQLITE_TRACE_STMT, collect, &statements);
    work();
    sqlite3_trace_v2(handle, 0, nullptr, nullptr);
    return statements;
}

Work sqliteReplay(const QString& path, const QStringList& statements) {
    QList<QByteArray> texts;
    for (const QString& statement : statements)
        texts.append(statement.toUtf8());
    const SqliteHandle handle = openMapped(path, SQLITE_OPEN_READWRITE);
    step(handle.get(), "pragma synchronous=normal", {});
    return [handle, texts] {
        qint64 sink = 0;
        for (const QByteArray& text : texts)
            sink += step(handle.get(), text, {});
        use(sink);
    };
}

Work syncedFilesFloor(const QString& folder, const QList<QByteArray>& files) {
    return [folder, files] {
        QDir().mkpath(folder);
        for (qsizetype i = 0; i < files.size(); ++i) {
            const QByteArray path = QDir(folder).filePath(QString::number(i)).toLocal8Bit();
            const int file = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const bool written = file >= 0 && ::write(file, files[i].constData(),
                                                      size_t(files[i].size())) == files[i].size();
            const bool synced = written && ::fsync(file) == 0;
            if ((file >= 0 && ::close(file) != 0) || !synced)
                throw std::runtime_error("the floor could not write its files");
        }
    };
}

Work libpqCursorFloor(const DbSettings& settings, const QString& statement,
                      const QStringList& columns, Batches batches) {
    const Session session = openSession(settings);
    const QByteArray declare = "declare floor no scroll cursor for " + statement.toUtf8();
    return [session, declare, columns, batches] {
        exec(session, "begin read only");
        exec(session, declare);
        qint64 sink = 0;
        std::vector<int> read;
        for (;;) {
            const auto batch = exec(session, "fetch forward 1000 from floor");
            const PGresult* rows = batch.get();
            if (read.empty())
                read = columnIndexes(columns, PQnfields(rows),
                                     [rows](int i) { return QString::fromUtf8(PQfname(rows, i)); });
            for (int row = 0; row < PQntuples(rows); ++row) {
                for (const int column : read)
                    sink += PQgetlength(rows, row, column) + *PQgetvalue(rows, row, column);
            }
            if (PQntuples(rows) < 1000 || batches == Batches::First)
                break;
        }
        exec(session, "commit");
        use(sink);
    };
}

Work libpqCopyFloor(const DbSettings& settings, const QString& statement) {
    const Session session = openSession(settings);
    const QByteArray copy = "copy (" + statement.toUtf8() + ") to stdout";
    return [session, copy] {
        exec(session, copy);
        qint64 sink = 0;
        char* line = nullptr;
        int length = 0;
        while ((length = PQgetCopyData(session.get(), &line, 0)) > 0) {
            sink += length;
            PQfreemem(line);
        }
        while (PGresult* end = PQgetResult(session.get())) // the COPY's closing result
            PQclear(end);
        use(sink);
    };
}

Work databaseFloor(const DbSettings& settings, const QString& statement,
                   const QStringList& columns) {
    const QString translated = translateJetStatement(statement, settings.backend);
    return settings.backend == DbBackend::SQLite
               ? sqliteFloor(settings.sqlitePath, translated, columns)
               : libpqCursorFloor(settings, translated, columns);
}

void report(const char* what, double measuredMs, double floorMs, double longestEventMs) {
    std::printf("%-34s %9.1f ms   floor %9.1f ms   ratio %5.2f   longest event %7.1f ms\n", what,
                measuredMs, floorMs, measuredMs / floorMs, longestEventMs);
}

void inEvent(const Work& work) {
    bool done = false;
    QTimer::singleShot(0, qApp, [&] {
        work();
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace bench
