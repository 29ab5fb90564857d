#include "DbError.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <QElapsedTimer>
#include <QSqlQuery>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

template <class Call> QString errorOf(Call&& call) {
    try {
        call();
    } catch (const DbError& error) {
        return error.message();
    }
    return {};
}

QVariant valueOn(const QSqlDatabase& session, const QString& sql) {
    QSqlQuery query(session);
    return query.exec(sql) && query.next() ? query.value(0) : QVariant();
}

// Settings of a session, and hostile or odd input at the edges of the database layer.
class DbSessionTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam(), Seed::None};
};

TEST_P(DbSessionTest, BothSessionsWaitForLocksAWhileAndThenFailAsLocked) {
    const QSqlDatabase main = db.connection()->database();
    const QSqlDatabase reader = db.connection()->readerDatabase();
    for (const QSqlDatabase& session : {main, reader}) {
        if (GetParam() == DbBackend::SQLite) {
            EXPECT_EQ(valueOn(session, u"pragma busy_timeout"_s).toInt(), LockTimeoutMs);
            continue;
        }
        EXPECT_EQ(valueOn(session, u"select setting from pg_settings where name = 'lock_timeout'"_s)
                      .toInt(),
                  LockTimeoutMs);
        EXPECT_EQ(
            valueOn(session, u"select setting from pg_settings where name = 'statement_timeout'"_s)
                .toInt(),
            StatementTimeoutMs);
    }

    db.exec(u"insert into UserSort (id, pid, name) values (5, 0, 'Sales')"_s);
    const auto other = db.openConnection();
    QSqlDatabase holder = other->database();
    ASSERT_TRUE(holder.transaction());
    ASSERT_TRUE(QSqlQuery(holder).exec(u"update UserSort set name = 'Held' where id = 5"_s));
    DbCommand rename(db.connection(), u"update UserSort set name = 'Renamed' where id = 5"_s);
    QElapsedTimer waited;
    waited.start();
    EXPECT_TRUE(errorOf([&] { rename.execute(); }).startsWith(u"database is locked"_s));
    EXPECT_GE(waited.elapsed(), LockTimeoutMs - 200);
    EXPECT_LT(waited.elapsed(), LockTimeoutMs * 3);
    ASSERT_TRUE(holder.rollback());
    EXPECT_EQ(rename.execute(), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbSessionTest, ::testing::ValuesIn(testBackends()), backendName);

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

} // namespace
