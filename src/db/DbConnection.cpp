#include "DbConnection.h"

#include "DbError.h"
#include "JetDialect.h"
#include "PgSession.h"
#include "SqliteFolding.h"
#include "SqliteStatement.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <atomic>
#include <map>

namespace {

QString nextConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("kvzdb-%1").arg(++counter);
}

QString driverName(DbBackend backend) {
    return backend == DbBackend::SQLite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

// A read-only file is opened through a URI: "mode=ro", or "immutable=1" when SQLite cannot
// share the file read-only (a WAL database in a folder it cannot write).
QString readOnlyUri(const QString& path, bool immutable) {
    const QString file =
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    return file + (immutable ? QStringLiteral("?immutable=1") : QStringLiteral("?mode=ro"));
}

void configure(QSqlDatabase& db, const DbSettings& settings, bool immutable) {
    if (settings.backend == DbBackend::SQLite) {
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(settings.lockTimeoutMs);
        if (settings.readOnly) {
            db.setDatabaseName(readOnlyUri(settings.sqlitePath, immutable));
            options += QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI");
        } else {
            db.setDatabaseName(settings.sqlitePath);
        }
        db.setConnectOptions(options);
        return;
    }
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.database);
    db.setUserName(settings.user);
    db.setPassword(settings.password);
    QString options = QStringLiteral("connect_timeout=%1").arg(ConnectTimeoutS);
    if (!settings.sslMode.isEmpty()) {
        options += QStringLiteral(";sslmode=") + settings.sslMode;
    }
    db.setConnectOptions(options);
}

void run(QSqlDatabase& db, const QString& statement) {
    QSqlQuery query(db);
    if (!query.exec(statement)) {
        throw sqlError(query.lastError());
    }
}

// Puts schema first on the search path; the name is bound and quoted by the server.
void setSearchPath(QSqlDatabase& db, const QString& schema) {
    QSqlQuery query(db);
    if (!query.prepare(SearchPathStatement)) {
        throw sqlError(query.lastError());
    }
    query.addBindValue(schema);
    if (!query.exec()) {
        throw sqlError(query.lastError());
    }
    if (!query.next()) {
        throw DbError(missingSchemaText(schema));
    }
}

int waitForLock(void* connection, int attempt) {
    return static_cast<DbConnection*>(connection)->keepWaitingForLock(attempt) ? 1 : 0;
}

// Session settings: WAL and a busy handler let the console and the server side share an
// SQLite file. On PostgreSQL a statement waits for a lock as long as on SQLite and none runs for
// ever; the optional schema goes first on the search path. Texts are quoted by doubling single
// quotes, which only holds while backslashes in literals are plain characters: whatever the
// server or the role defaults to, every session says so.
void prepareSession(QSqlDatabase& db, const DbSettings& settings, DbConnection* owner) {
    if (settings.backend == DbBackend::SQLite) {
        installLetterCaseFolding(sqliteHandle(db));
        sqlite3_busy_handler(sqliteHandle(db), waitForLock, owner);
        if (settings.readOnly) {
            // Reading the catalog proves the file can be read as it was opened.
            run(db, QStringLiteral("select count(*) from sqlite_master"));
        } else {
            // A new file gets pages of 16 KB (an existing one keeps its own, this is then a
            // no-op): reading the million users of a large site takes a quarter of the reads,
            // which cut the user chooser's load by a tenth. It must come before WAL starts.
            run(db, QStringLiteral("pragma page_size=16384"));
            run(db, QStringLiteral("pragma journal_mode=wal"));
            run(db, QStringLiteral("pragma synchronous=normal"));
        }
        // Reads go through SQLite's page cache, never a memory map: a program that truncates
        // the shared file would otherwise kill this one with SIGBUS. The map saved about 5% of
        // opening and reading the 100,000 users of the list (35 of 670 ms).
        run(db, QStringLiteral("pragma mmap_size=0"));
        // Up to 32 MB of pages, taken only as they are read: the list's join looks up a
        // department per user, and on a site of 100,000 departments those pages no longer fit
        // the default 2 MB, so the 1,000,000 users' list read a page from the file per user.
        run(db, QStringLiteral("pragma cache_size=-32768"));
        return;
    }
    for (const QString& statement : postgresSessionStatements(settings)) {
        run(db, statement);
    }
    if (!settings.schema.isEmpty()) {
        setSearchPath(db, settings.schema);
    }
}

QSqlQuery runCatalogQuery(const QSqlDatabase& db, const QString& statement, const QString& table) {
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(statement)) {
        throw sqlError(query.lastError());
    }
    query.addBindValue(table);
    if (!query.exec()) {
        throw sqlError(query.lastError());
    }
    return query;
}

QSqlDatabase openConfigured(const DbSettings& settings, const QString& name, bool immutable,
                            DbConnection* owner) {
    QSqlDatabase db = QSqlDatabase::addDatabase(driverName(settings.backend), name);
    configure(db, settings, immutable);
    if (!db.open()) {
        throw sqlError(db.lastError());
    }
    prepareSession(db, settings, owner);
    return db;
}

// Adds and opens the Qt connection name of owner with settings, its session prepared.
QSqlDatabase openSession(const DbSettings& settings, const QString& name, DbConnection* owner) {
    if (settings.backend != DbBackend::SQLite || !settings.readOnly) {
        return openConfigured(settings, name, false, owner);
    }
    try {
        return openConfigured(settings, name, false, owner);
    } catch (const DbError&) {
        QSqlDatabase::removeDatabase(name);
        return openConfigured(settings, name, true, owner);
    }
}

// A SQLite file that exists but cannot be written, or whose folder cannot be (WAL needs files
// beside it), is opened read-only.
DbSettings withAccess(DbSettings settings) {
    if (settings.backend == DbBackend::SQLite && !settings.readOnly) {
        const QFileInfo file(settings.sqlitePath);
        settings.readOnly =
            file.isFile() && (!file.isWritable() || !QFileInfo(file.absolutePath()).isWritable());
    }
    return settings;
}

} // namespace

std::unique_ptr<DbConnection> DbConnection::open(const DbSettings& settings) {
    const QString driver = driverName(settings.backend);
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        throw DbError(QStringLiteral("The Qt SQL driver %1 is not available").arg(driver));
    }
    if (settings.backend == DbBackend::PostgreSQL && !settings.schema.isEmpty() &&
        !isValidSchemaName(settings.schema)) {
        throw DbError(QStringLiteral("\"%1\" is no schema name: letters, digits, _ and $ only, "
                                     "starting with a letter or _")
                          .arg(settings.schema));
    }
    if (settings.backend == DbBackend::PostgreSQL && !settings.sslMode.isEmpty() &&
        !isValidSslMode(settings.sslMode)) {
        throw DbError(QStringLiteral("\"%1\" is no SSL mode: prefer, require or verify-full "
                                     "(also disable, allow, verify-ca)")
                          .arg(settings.sslMode));
    }
    std::unique_ptr<DbConnection> connection(
        new DbConnection(withAccess(settings), nextConnectionName()));
    openSession(connection->m_settings, connection->m_connectionName, connection.get());
    return connection;
}

DbConnection::DbConnection(DbSettings settings, QString connectionName)
    : m_settings(std::move(settings)), m_backend(m_settings.backend),
      m_connectionName(std::move(connectionName)) {}

DbConnection::~DbConnection() {
    close();
    QSqlDatabase::removeDatabase(m_connectionName);
    QSqlDatabase::removeDatabase(m_connectionName + QStringLiteral("-reader"));
}

bool DbConnection::isOpen() const {
    return database().isOpen();
}

void DbConnection::close() {
    m_closed = true;
    QSqlDatabase db = database();
    if (db.isValid()) {
        emit closing();
        closeReader();
        db.close();
    }
}

void DbConnection::closeReader() {
    if (m_readerOpen) {
        QSqlDatabase::database(m_connectionName + QStringLiteral("-reader"), false).close();
        m_readerOpen = false;
    }
    m_pgReader.reset();
    m_readers = 0;
}

DbError DbConnection::failure(const QSqlError& error) {
    const DbError reported = sqlError(error);
    if (m_backend != DbBackend::PostgreSQL || m_lost) {
        return reported;
    }
    // A statement the server refused with a code of its own left the session alive (a probe
    // would fail inside the aborted transaction); connection errors and shutdowns are probed.
    const QString code = error.nativeErrorCode();
    if (!code.isEmpty() && !code.startsWith(QStringLiteral("08")) &&
        !code.startsWith(QStringLiteral("57P"))) {
        return reported;
    }
    QSqlQuery probe(database());
    if (probe.exec(QStringLiteral("select 1"))) {
        return reported;
    }
    m_lost = true;
    return DbError(reported.message() + ConnectionLostNote);
}

void DbConnection::reopenIfLost() {
    // libpq may learn of a dropped session first, while it reads notifications: the session
    // then reads as closed although nobody closed it.
    if (m_backend == DbBackend::PostgreSQL && !m_closed && !database().isOpen()) {
        m_lost = true;
    }
    if (!m_lost) {
        return;
    }
    close();
    QSqlDatabase db = database();
    if (!db.open()) {
        throw DbError(QStringLiteral("The database cannot be reached: ") + db.lastError().text());
    }
    prepareSession(db, m_settings, this);
    m_lost = false;
    m_closed = false;
    emit reopened();
}

void DbConnection::requireOpen() {
    reopenIfLost();
    if (!isOpen()) {
        throw DbError(ConnectionNotOpen);
    }
}

bool DbConnection::keepWaitingForLock(int attempt) {
    if (attempt == 0) {
        m_lockWait.start();
        emit waitingForLock();
    }
    if (m_lockWait.elapsed() >= m_settings.lockTimeoutMs) {
        return false;
    }
    // Short naps first: most locks are held for a moment only.
    QThread::msleep(attempt < 10 ? 1 : 10);
    return true;
}

QSqlDatabase DbConnection::database() const {
    return QSqlDatabase::database(m_connectionName, false);
}

QSqlDatabase DbConnection::readerDatabase() {
    requireOpen();
    const QString path = m_settings.sqlitePath;
    if (m_backend == DbBackend::SQLite &&
        (path.isEmpty() || path == u":memory:" || path.startsWith(u"file::memory:"))) {
        return database();
    }
    const QString name = m_connectionName + QStringLiteral("-reader");
    if (!m_readerOpen) {
        openSession(m_settings, name, this);
        m_readerOpen = true;
    }
    return QSqlDatabase::database(name, false);
}

// A reader the server dropped (a restart) shows when its transaction cannot begin: nothing was
// read on it yet, so it is opened again and the transaction begun on the new session.
PgSession& DbConnection::beginReading() {
    requireOpen();
    if (m_readers == 0) {
        if (m_pgReader) {
            try {
                m_pgReader->exec(QStringLiteral("begin"));
            } catch (const DbError&) {
                if (!m_pgReader->isLost()) {
                    throw;
                }
                m_pgReader.reset();
            }
        }
        if (!m_pgReader) {
            m_pgReader = std::make_unique<PgSession>(m_settings);
            m_pgReader->exec(QStringLiteral("begin"));
        }
    }
    ++m_readers;
    return *m_pgReader;
}

// A reader whose transaction cannot end is given up; the next read opens a new one.
void DbConnection::endReading() {
    if (m_readers > 0 && --m_readers == 0 && m_pgReader) {
        try {
            m_pgReader->exec(QStringLiteral("commit"));
        } catch (const DbError&) {
            m_pgReader.reset();
            throw;
        }
    }
}

QString DbConnection::translate(const QString& statement) const {
    return translateJetStatement(statement, m_backend);
}

bool DbConnection::hasTable(const QString& table) const {
    const QString statement =
        m_backend == DbBackend::SQLite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'table' "
                             "and name = ? collate nocase")
            : QStringLiteral("select count(*) from pg_tables where tablename = lower(?) "
                             "and schemaname = current_schema()");
    QSqlQuery query = runCatalogQuery(database(), statement, table);
    return query.next() && query.value(0).toInt() > 0;
}

QStringList DbConnection::primaryKey(const QString& table) const {
    if (m_backend == DbBackend::SQLite) {
        // table_info's pk column is the 1-based position of the column in the key.
        QSqlQuery query = runCatalogQuery(
            database(), QStringLiteral("select name, pk from pragma_table_info(?) where pk > 0"),
            table);
        std::map<int, QString> byPosition;
        while (query.next()) {
            byPosition.emplace(query.value(1).toInt(), query.value(0).toString());
        }
        QStringList key;
        for (const auto& entry : byPosition) {
            key << entry.second;
        }
        return key;
    }
    QSqlQuery query =
        runCatalogQuery(database(),
                        QStringLiteral("select a.attname from pg_index i join pg_attribute a "
                                       "on a.attrelid = i.indrelid and a.attnum = any(i.indkey) "
                                       "where i.indrelid = to_regclass(?) and i.indisprimary "
                                       "order by array_position(i.indkey::int2[], a.attnum)"),
                        table);
    QStringList key;
    while (query.next()) {
        key << query.value(0).toString();
    }
    return key;
}

bool parsePostgresAddress(const QString& address, DbSettings& settings) {
    // HOST or [IPv6], an optional port, and a database name of letters, digits, "_", "$", "-"
    // and "."; the whole text, a trailing line break included, has to match.
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral(
        R"((?:\[([0-9A-Fa-f:.]+)\]|([^:/\[\]\s]+))(?::(\d{1,5}))?/([\p{L}\p{N}_$][\p{L}\p{N}_$.-]*))")));
    const QRegularExpressionMatch match = pattern.match(address);
    const int port = match.captured(3).isEmpty() ? 5432 : match.captured(3).toInt();
    if (!match.hasMatch() || port <= 0 || port > 65535 || match.captured(4).toUtf8().size() > 63) {
        return false;
    }
    settings.backend = DbBackend::PostgreSQL;
    settings.host = match.hasCaptured(1) ? match.captured(1) : match.captured(2);
    settings.port = port;
    settings.database = match.captured(4);
    return true;
}

bool isValidSchemaName(const QString& name) {
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral(R"([\p{L}_][\p{L}0-9_$]*)")));
    return pattern.match(name).hasMatch() && name.toUtf8().size() <= 63;
}

bool isValidSslMode(const QString& mode) {
    static const QStringList modes = {QStringLiteral("disable"),   QStringLiteral("allow"),
                                      QStringLiteral("prefer"),    QStringLiteral("require"),
                                      QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes.contains(mode);
}
