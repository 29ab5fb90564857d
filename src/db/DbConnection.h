#pragma once

#include "DbExport.h"

#include "DbError.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>
#include <memory>

class PgSession;

enum class DbBackend { SQLite, PostgreSQL };

// How long a statement waits for a lock another session holds before it fails with
// "database is locked" (both backends).
constexpr int LockTimeoutMs = 5000;
// How long one PostgreSQL statement may run before the server cancels it.
constexpr int StatementTimeoutMs = 60000;
// How long opening a PostgreSQL session may take, in seconds.
constexpr int ConnectTimeoutS = 10;

struct DbSettings {
    DbBackend backend = DbBackend::SQLite;
    QString sqlitePath; // SQLite: the database file
    // Open the database read-only; on SQLite also chosen by itself for a file or folder that
    // cannot be written.
    bool readOnly = false;
    QString host = QStringLiteral("127.0.0.1");
    int port = 5432;
    QString database;
    QString user;
    QString password;
    QString schema; // PostgreSQL: optional schema put first on the search path
    // PostgreSQL: libpq's sslmode, prefer when empty. An empty password leaves libpq to take it
    // from PGPASSWORD or the password file (PGPASSFILE, else ~/.pgpass).
    QString sslMode;
    int lockTimeoutMs = LockTimeoutMs;
};

// The message of the DbError that refuses a change on a read-only database.
inline const QString ReadOnlyRefused =
    QStringLiteral("The management database is open read-only: changes cannot be saved");

// Reads a PostgreSQL address "HOST[:PORT]/DATABASE" (port 5432 by default; an IPv6 host in
// brackets) into settings, making them PostgreSQL settings; false and settings unchanged when
// it is malformed.
bool parsePostgresAddress(const QString& address, DbSettings& settings);

// Whether name is a plain PostgreSQL identifier: a letter or "_", then letters, digits, "_" or
// "$", at most 63 bytes. Only such names are accepted as the schema.
bool isValidSchemaName(const QString& name);

// Whether mode is one of libpq's SSL modes: disable, allow, prefer, require, verify-ca or
// verify-full. Only these reach the connection.
bool isValidSslMode(const QString& mode);

// The connection the host opens and owns; queries and commands of the module run on it.
class KVZDB_EXPORT DbConnection : public QObject {
    Q_OBJECT
public:
    // Opens the database; throws DbError with the driver's message when it cannot.
    static std::unique_ptr<DbConnection> open(const DbSettings& settings);
    ~DbConnection() override;

    DbBackend backend() const { return m_backend; }
    // Whether the database was opened read-only: every change is refused with DbError.
    bool isReadOnly() const { return m_settings.readOnly; }
    bool isOpen() const;
    void close();

    // A PostgreSQL session the server dropped (a restart, a network cut) fails the statement
    // that finds out, with a message saying so, and is opened again before the next statement.
    DbError failure(const QSqlError& error); // the error to throw for a failed statement
    void reopenIfLost();                     // throws DbError while the server is unreachable
    // reopenIfLost(), then ConnectionNotOpen unless the session is open (Qt reports a
    // statement on a closed connection with an empty message). Throws DbError.
    void requireOpen();
    QSqlDatabase database() const;

    // A second session on the same database for long reads stepped between other work
    // (DbCursor): its reads keep one state of the tables and leave this session free for
    // writes meanwhile. Opened on first use (the main session reopened first when lost) and
    // closed with the connection. An SQLite database in memory has no second session: the main
    // one serves. Throws DbError.
    QSqlDatabase readerDatabase(); // SQLite
    // On PostgreSQL the reader is a libpq session of its own, opened again when the server
    // dropped it; cursors live in a transaction of it, open while any cursor is.
    // beginReading() gives the session to read on.
    PgSession& beginReading();
    void endReading();

    // Rewrites a statement of the console's SQL dialect into what this backend accepts
    // ("delete * from", keyword columns such as Group and Level); leaves the rest untouched.
    QString translate(const QString& statement) const;

    // Catalog look-ups (names compared without regard to letter case).
    bool hasTable(const QString& table) const;
    QStringList primaryKey(const QString& table) const; // key columns in key order

    // SQLite's busy handler: true while the statement should go on waiting for another
    // session's lock. The first call of a wait signals waitingForLock().
    bool keepWaitingForLock(int attempt);

signals:
    // A statement of this connection waits for a lock another program holds; the wait ends
    // when control returns to the event loop.
    void waitingForLock();
    // The session the server dropped was opened again: what was subscribed on it is gone.
    void reopened();
    // Just before the database closes (close() or destruction): results that still read
    // from the driver copy themselves out.
    void closing();

private:
    DbConnection(DbSettings settings, QString connectionName);
    void closeReader();
    DbSettings m_settings;
    DbBackend m_backend;
    QString m_connectionName;
    bool m_readerOpen = false;
    bool m_lost = false;   // the server dropped the session
    bool m_closed = false; // closed on purpose: stays closed
    int m_readers = 0;     // cursors open on the reader
    std::unique_ptr<PgSession> m_pgReader;
    QElapsedTimer m_lockWait;
};
