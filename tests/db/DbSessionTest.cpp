#include "DbChangeWatcher.h"
#include "DbCursor.h"
#include "DbError.h"
#include "DbQuery.h"
#include "PgSession.h"
#include "Schema.h"
#include "TestDatabase.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QVariant valueOn(const QSqlDatabase& session, const QString& sql) {
    QSqlQuery query(session);
    return query.exec(sql) && query.next() ? query.value(0) : QVariant();
}

// The same on the reader session, which cursors read on.
QString onReader(DbConnection* connection, const QString& sql) {
    DbCursor cursor(connection);
    cursor.open(sql);
    return cursor.next() ? QString::fromUtf8(cursor.text(0)) : QString();
}

// Settings of a session, and hostile or odd input at the edges of the database layer.
class DbSessionTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam(), Seed::None};
};

TEST_P(DbSessionTest, BothSessionsWaitForLocksAWhileAndThenFailAsLocked) {
    const auto setting = [](const char* name) -> QString {
        return u"select setting from pg_settings where name = '"_s + QLatin1StringView(name) +
               u"'"_s;
    };
    // On SQLite a map of the file would die when the file is cut short.
    const std::vector<std::pair<QString, int>> expected =
        GetParam() == DbBackend::SQLite
            ? std::vector<std::pair<QString, int>>{{u"pragma mmap_size"_s, 0}}
            : std::vector<std::pair<QString, int>>{
                  {setting("lock_timeout"), LockTimeoutMs},
                  {setting("statement_timeout"), StatementTimeoutMs}};
    for (const auto& [sql, value] : expected) {
        EXPECT_EQ(valueOn(db.connection()->database(), sql).toInt(), value);
        EXPECT_EQ(onReader(db.connection(), sql).toInt(), value) << sql.toStdString();
    }
    db.exec(u"insert into UserSort (id, pid, name) values (5, 0, 'Sales')"_s);
    DbSettings settings = db.settings();
    settings.lockTimeoutMs = 600;
    const auto waiter = DbConnection::open(settings);
    int waits = 0;
    QObject::connect(waiter.get(), &DbConnection::waitingForLock, [&] { ++waits; });
    const auto other = db.openConnection();
    QSqlDatabase holder = other->database();
    ASSERT_TRUE(holder.transaction());
    ASSERT_TRUE(QSqlQuery(holder).exec(u"update UserSort set name = 'Held' where id = 5"_s));
    DbCommand rename(waiter.get(), u"update UserSort set name = 'Renamed' where id = 5"_s);
    QElapsedTimer waited;
    waited.start();
    EXPECT_EQ(errorOf([&] { rename.execute(); }), DatabaseLocked);
    EXPECT_GE(waited.elapsed(), settings.lockTimeoutMs - 100);
    EXPECT_LT(waited.elapsed(), settings.lockTimeoutMs * 3);
    EXPECT_EQ(waits, GetParam() == DbBackend::SQLite ? 1 : 0);
    ASSERT_TRUE(holder.rollback());
    EXPECT_EQ(rename.execute(), 1);
}

TEST_P(DbSessionTest, AReadOnlyDatabaseIsReadOnBothSessionsAndNeverChanged) {
    db.exec(u"insert into UserSort (id, pid, name) values (5, 0, 'Sales')"_s);
    DbSettings settings = db.settings();
    settings.readOnly = true;
    const auto viewer = DbConnection::open(settings);
    EXPECT_TRUE(viewer->isReadOnly());
    const QString name = u"select name from UserSort where id = 5"_s;
    EXPECT_EQ(valueOn(viewer->database(), name).toString(), u"Sales"_s);
    EXPECT_FALSE(QSqlQuery(viewer->database()).exec(u"update UserSort set name = 'x'"_s));
    EXPECT_EQ(onReader(viewer.get(), name), u"Sales"_s);
    if (GetParam() == DbBackend::PostgreSQL) {
        EXPECT_EQ(onReader(viewer.get(), u"select current_setting('transaction_read_only')"_s),
                  u"on"_s);
    }
    EXPECT_EQ(errorOf([&] { DbCommand(viewer.get(), u"delete * from UserSort"_s).execute(); }),
              ReadOnlyRefused);
    DbQuery query(viewer.get());
    query.setSql(u"select * from UserSort"_s);
    query.open();
    query.edit();
    query.setValue(u"name"_s, u"Renamed"_s);
    EXPECT_EQ(errorOf([&] { query.post(); }), ReadOnlyRefused);
    query.cancel();
    query.append();
    query.setValue(u"name"_s, u"New"_s);
    EXPECT_EQ(errorOf([&] { query.post(); }), ReadOnlyRefused);
    EXPECT_EQ(db.scalar(u"select count(*) from UserSort where name = 'Sales'"_s).toInt(), 1);
    EXPECT_EQ(db.scalar(u"select count(*) from UserSort"_s).toInt(), 1);
}

TEST_P(DbSessionTest, LetterCaseIsIgnoredForEveryLetterAndTheFileStaysPlainSqlite) {
    db.exec(u"insert into UserSort (id, pid, name) values (1, 0, 'Ärzte'), "
            u"(2, 0, 'Жуковский отдел'), (3, 0, 'Rabatt 100%')"_s);
    for (const auto& [where, rows] : {std::pair{u"name = 'ärzte'"_s, 1},
                                      {u"name = 'ÄRZTE'"_s, 1},
                                      {u"name = 'Arzte'"_s, 0},
                                      {u"name like 'жук%'"_s, 1},
                                      {u"name like '%ОТДЕЛ'"_s, 1},
                                      {u"name like 'ä_ZTE'"_s, 1},
                                      {u"name like '%'"_s, 3},
                                      {u"name like '%100!%' escape '!'"_s, 1},
                                      {u"name like '%0!%' escape '!'"_s, 1},
                                      {u"name like 'rabatt!%' escape '!'"_s, 0}}) {
        EXPECT_EQ(db.scalar(u"select count(*) from UserSort where "_s + where).toInt(), rows)
            << where.toStdString();
    }
    if (GetParam() != DbBackend::SQLite)
        return;
    // SQLite's own rules (the sqlite3 shell's) read the file as sound.
    {
        QSqlDatabase plain = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"plain"_s);
        plain.setDatabaseName(db.settings().sqlitePath);
        ASSERT_TRUE(plain.open());
        EXPECT_EQ(valueOn(plain, u"pragma integrity_check"_s).toString(), u"ok"_s);
        EXPECT_EQ(valueOn(plain, u"select count(*) from UserSort where name like 'r%'"_s).toInt(),
                  1);
        plain.close();
    }
    QSqlDatabase::removeDatabase(u"plain"_s);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbSessionTest, ::testing::ValuesIn(testBackends()), backendName);

// The server drops the session (as a restart does): the statement that finds out fails and says
// so, the next one runs on a session opened again, with the schema of the first.
TEST(PostgresSession, ALostSessionFailsOneStatementAndComesBack) {
    TestDatabase db(DbBackend::PostgreSQL, Seed::None);
    db.exec(u"insert into UserRole (Rid, RName) values (1, 'Staff')"_s);
    const QString pid = db.scalar(u"select pg_backend_pid()"_s).toString();
    auto other = db.openConnection();
    DbCommand(other.get(), u"select pg_terminate_backend("_s + pid + u")"_s).scalar();
    DbCommand count(db.connection(), u"select count(*) from UserRole"_s);
    try {
        count.scalar();
        ADD_FAILURE() << "a dropped session answered";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(u"lost"_s)) << error.what();
    }
    EXPECT_EQ(count.scalar().toInt(), 1);
    const QString secondPid = db.scalar(u"select pg_backend_pid()"_s).toString();
    EXPECT_NE(secondPid, pid);

    // A listening session may hear of the drop first, between statements: the next statement
    // then opens it again at once, and the listener, listening again, reports a change.
    DbChangeWatcher watcher(*db.connection());
    int changes = 0;
    QObject::connect(&watcher, &DbChangeWatcher::changed, [&] { ++changes; });
    DbCommand(other.get(), u"select pg_terminate_backend("_s + secondPid + u")"_s).scalar();
    QTest::qWait(300);
    EXPECT_EQ(count.scalar().toInt(), 1);
    EXPECT_EQ(changes, 1);
    db.exec(u"insert into UserRole (Rid, RName) values (2, 'Manager')"_s);
    QTest::qWait(300);
    EXPECT_EQ(changes, 1) << "its own writes are no change from elsewhere";
    DbCommand(other.get(), u"insert into UserRole (Rid, RName) values (3, 'Guest')"_s).execute();
    EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 2; }, 2000));
}

// Sessions that start with backslash escapes in literals (a server or role set so): the text
// \' or 1=1 --, quoted by doubling its quote, stays one text on both sessions.
TEST(PostgresSession, BackslashesInLiteralsArePlainCharactersOnEverySession) {
    TestDatabase db(DbBackend::PostgreSQL, Seed::None);
    db.exec(u"insert into UserRole (Rid, RName) values (1, 'Staff')"_s);
    qputenv("PGOPTIONS", "-c standard_conforming_strings=off");
    const auto connection = db.openConnection();
    const QString injected = u"select count(*) from UserRole where RName = '\\'' or 1=1 --'"_s;
    DbCursor cursor(connection.get());
    cursor.open(injected);
    qunsetenv("PGOPTIONS");
    ASSERT_TRUE(cursor.next());
    EXPECT_EQ(cursor.integer(0), 0);
    EXPECT_EQ(DbCommand(connection.get(), injected).scalar().toInt(), 0);
}

TEST(DbSchemaName, OnlyPlainIdentifiersReachTheSearchPath) {
    for (const auto& [name, valid] : {std::pair{u"sales"_s, true},
                                      {u"Ärzte_2$"_s, true},
                                      {u"_x"_s, true},
                                      {u"1abc"_s, false},
                                      {u"a b"_s, false},
                                      {u"abc\n"_s, false},
                                      {u"\"public\""_s, false},
                                      {QString(64, u'a'), false}}) {
        EXPECT_EQ(isValidSchemaName(name), valid) << name.toStdString();
    }

    TestDatabase db(DbBackend::PostgreSQL, Seed::None);
    DbSettings settings = db.settings();
    settings.schema = u"\"public\"; create table pwned(x int); --\""_s;
    EXPECT_TRUE(errorOf([&] { DbConnection::open(settings); }).contains(u"schema"_s));
    EXPECT_EQ(db.scalar(u"select count(*) from pg_tables where tablename = 'pwned'"_s).toInt(), 0);

    settings.schema = db.settings().schema;
    const auto connection = DbConnection::open(settings);
    EXPECT_EQ(DbCommand(connection.get(), u"select current_schema()"_s).scalar().toString(),
              settings.schema);
}

// A schema is a site of its own even where public holds one (it comes after the schema on the
// search path), and a schema that does not exist is refused rather than replaced by public, on
// the Qt session and on the reader's.
TEST(DbSchemaName, ASchemaIsASiteApartFromPublicAndMustExist) {
    TestDatabase db(DbBackend::PostgreSQL, Seed::None);
    DbSettings server = db.settings();
    server.schema.clear();
    const QString database = db.settings().schema + u"_db"_s;
    DbCommand(DbConnection::open(server).get(), u"create database "_s + database).execute();
    DbSettings site = server;
    site.database = database;
    {
        const auto inPublic = DbConnection::open(site);
        createSchema(*inPublic);
        DbCommand(inPublic.get(), u"create schema apart"_s).execute();
        DbCommand(inPublic.get(), u"create schema gone"_s).execute();
        site.schema = u"apart"_s;
        const auto apart = DbConnection::open(site);
        EXPECT_EQ(schemaVersion(*apart), 0);
        createSchema(*apart);
        EXPECT_EQ(DbCommand(inPublic.get(), u"select count(*) from pg_tables where "
                                            u"schemaname = 'apart' and tablename = 'users'"_s)
                      .scalar()
                      .toInt(),
                  1);

        site.schema = u"gone"_s;
        const auto dropped = DbConnection::open(site);
        DbCommand(inPublic.get(), u"drop schema gone"_s).execute();
        EXPECT_EQ(errorOf([&] { DbCursor(dropped.get()).open(u"select 1"_s); }),
                  missingSchemaText(u"gone"_s));
        site.schema = u"nosuch"_s;
        EXPECT_EQ(errorOf([&] { DbConnection::open(site); }), missingSchemaText(u"nosuch"_s));
    }
    DbCommand(DbConnection::open(server).get(), u"drop database "_s + database).execute();
}

// Without a password of its own a session takes libpq's: PGPASSWORD, else the password file (the
// test server makes kvzsecret give one). The SSL mode reaches libpq, which finds no TLS there.
TEST(PostgresSession, PasswordAndSslModeGoToLibpq) {
    QTemporaryDir folder;
    QFile passwords(folder.filePath(u"pgpass"_s));
    qputenv("PGPASSFILE", passwords.fileName().toLocal8Bit());
    const auto failure = [](const QString& user, const QString& sslMode) {
        DbSettings settings = postgresTestSettings();
        settings.user = user;
        settings.sslMode = sslMode;
        return errorOf([&] { DbCursor(DbConnection::open(settings).get()).open(u"select 1"_s); });
    };
    EXPECT_TRUE(failure(u"kvzsecret"_s, {}).contains(u"password"_s));
    ASSERT_TRUE(passwords.open(QIODevice::WriteOnly) &&
                passwords.write("*:*:*:kvzsecret:kvz-secret"));
    passwords.close();
    ASSERT_TRUE(passwords.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    EXPECT_EQ(failure(u"kvzsecret"_s, u"prefer"_s), QString());
    qunsetenv("PGPASSFILE");
    for (const QString& mode : {u"require"_s, u"verify-full"_s, u"prefer host=elsewhere"_s})
        EXPECT_TRUE(
            failure(postgresTestSettings().user, mode).contains(u"ssl"_s, Qt::CaseInsensitive))
            << mode.toStdString();
}

TEST(PostgresAddress, WholeTextHostPortAndDatabase) {
    struct Case {
        QString text;
        bool valid;
        QString host = {};
        int port = 0;
        QString database = {};
    };
    for (const Case& c : {Case{u"127.0.0.1:5433/kvz"_s, true, u"127.0.0.1"_s, 5433, u"kvz"_s},
                          {u"pg.local/kvz-prod.2"_s, true, u"pg.local"_s, 5432, u"kvz-prod.2"_s},
                          {u"[::1]:6000/管理库"_s, true, u"::1"_s, 6000, u"管理库"_s},
                          {u"127.0.0.1"_s, false},
                          {u":5432/kvz"_s, false},
                          {u"localhost/kvz\n"_s, false},
                          {u"localhost:0/kvz"_s, false},
                          {u"localhost:70000/kvz"_s, false},
                          {u"/kvz"_s, false},
                          {u"localhost/"_s, false},
                          {u"localhost/a b"_s, false},
                          {u"[::1/kvz"_s, false},
                          {u"localhost/-x"_s, false}}) {
        DbSettings settings;
        ASSERT_EQ(parsePostgresAddress(c.text, settings), c.valid) << c.text.toStdString();
        if (!c.valid) {
            EXPECT_EQ(settings.backend, DbBackend::SQLite) << "left unchanged";
            continue;
        }
        EXPECT_EQ(settings.backend, DbBackend::PostgreSQL);
        EXPECT_EQ(settings.host, c.host);
        EXPECT_EQ(settings.port, c.port);
        EXPECT_EQ(settings.database, c.database);
    }
}

} // namespace
