#pragma once

#include "ResultSet.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QStringList>
#include <memory>
#include <sqlite3.h>

// What the SQLite readers of the layer share: the native handle under a QSQLITE connection,
// prepared statements that finalize themselves, parameters bound by name, errors as DbError.

struct SqliteFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using SqliteStatementPtr = std::unique_ptr<sqlite3_stmt, SqliteFinalizer>;

// Holds the connection's mutex (none in single-thread builds) for a whole fetch, so the
// fields can be read as protected values without taking it again for every call.
class SqliteConnectionLock {
public:
    explicit SqliteConnectionLock(sqlite3* connection) : m_mutex(sqlite3_db_mutex(connection)) {
        sqlite3_mutex_enter(m_mutex);
    }
    ~SqliteConnectionLock() { sqlite3_mutex_leave(m_mutex); }
    SqliteConnectionLock(const SqliteConnectionLock&) = delete;
    SqliteConnectionLock& operator=(const SqliteConnectionLock&) = delete;

private:
    sqlite3_mutex* m_mutex;
};

// The handle of an open QSQLITE connection; throws DbError when it is not open.
sqlite3* sqliteHandle(const QSqlDatabase& db);
// Throws DbError with the connection's last message.
[[noreturn]] void failWith(sqlite3* connection);
// Prepares one statement (null for an empty text); a second statement in text is refused.
SqliteStatementPtr prepareSqlite(sqlite3* connection, const QByteArray& text);
// Binds ":name" placeholders from params (letter case ignored); the others stay NULL.
void bindParams(sqlite3* connection, sqlite3_stmt* statement, const StatementParams& params);
// Column names as Qt's driver reports them: without double quotes.
QStringList columnNames(sqlite3_stmt* statement);
