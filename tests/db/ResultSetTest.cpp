#include "DbError.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

namespace {

const QString UserStatement =
    QStringLiteral("SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole AS UR ON "
                   "U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id where 1 = 1 ");

bool isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

// How opened selects hand out their records: types, NULLs, parameters, errors, and records
// changed by posts.
class ResultSetTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam()};

    std::unique_ptr<DbQuery> opened(const QString& sql) {
        auto query = std::make_unique<DbQuery>(db.connection());
        query->setSql(sql);
        query->open();
        return query;
    }

    bool sqlite() const { return db.backend() == DbBackend::SQLite; }

    // A table with one column of each kind the management tables do not have.
    void createProbeTable() {
        db.exec(QStringLiteral("create table Probe (id integer primary key, note text, data ") +
                (sqlite() ? QStringLiteral("blob, ratio real)")
                          : QStringLiteral("bytea, ratio double precision)")));
    }

    void insertProbe(int id, const QVariant& note, const QVariant& data, const QVariant& ratio) {
        DbCommand insert(db.connection(),
                         QStringLiteral("insert into Probe (id, note, data, ratio) "
                                        "values (:i, :n, :d, :r)"));
        insert.setParam(QStringLiteral("i"), id);
        insert.setParam(QStringLiteral("n"), note);
        insert.setParam(QStringLiteral("d"), data);
        insert.setParam(QStringLiteral("r"), ratio);
        insert.execute();
    }
};

TEST_P(ResultSetTest, NullAndEmptyTextStayApart) {
    createProbeTable();
    db.exec(QStringLiteral("insert into Probe (id, note) values (1, '')"));
    db.exec(QStringLiteral("insert into Probe (id, note) values (2, null)"));
    const auto query = opened(QStringLiteral("select id, note, data from Probe order by id"));
    ASSERT_EQ(query->recordCount(), 2);
    const QVariant empty = query->value(QStringLiteral("note"));
    EXPECT_FALSE(empty.isNull());
    EXPECT_EQ(empty.typeId(), QMetaType::QString);
    EXPECT_TRUE(empty.toString().isEmpty());
    EXPECT_TRUE(query->value(QStringLiteral("data")).isNull());
    query->next();
    EXPECT_TRUE(query->value(QStringLiteral("note")).isNull());
    EXPECT_EQ(query->asString(QStringLiteral("note")), QString());
    EXPECT_EQ(query->asInteger(QStringLiteral("note")), 0);
}

TEST_P(ResultSetTest, NumbersComeBackAsNumbers) {
    const auto user =
        opened(QStringLiteral("select Uid, Onlined, UserName from Users where Uid = 1"));
    const QVariant uid = user->value(QStringLiteral("Uid"));
    const QVariant onlined = user->value(QStringLiteral("Onlined"));
    EXPECT_TRUE(isNumber(uid)) << uid.typeName();
    EXPECT_TRUE(isNumber(onlined)) << onlined.typeName();
    EXPECT_EQ(uid.toInt(), 1);
    EXPECT_EQ(onlined.toInt(), -1);
    EXPECT_TRUE(user->asBoolean(QStringLiteral("Onlined")));
    EXPECT_FALSE(isNumber(user->value(QStringLiteral("UserName"))));

    createProbeTable();
    insertProbe(1, QStringLiteral("x"), QVariant(), 2.5);
    const QVariant ratio = opened(QStringLiteral("select ratio from Probe"))->value(0);
    EXPECT_EQ(ratio.typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(ratio.toDouble(), 2.5);
    EXPECT_EQ(db.scalar(QStringLiteral("select count(*) from Users")).toInt(), 32);
}

TEST_P(ResultSetTest, BlobsAndNonAsciiTextRoundTrip) {
    createProbeTable();
    const QByteArray bytes("\x00\x01\xff\xfe text \x00 end", 16);
    const QString text = QStringLiteral("张伟 O'Hara ü 😀");
    insertProbe(1, text, bytes, 0.0);
    insertProbe(2, QStringLiteral("second"), QByteArray(""), 1.0);
    const auto query = opened(QStringLiteral("select note, data from Probe order by id"));
    EXPECT_EQ(query->asString(QStringLiteral("note")), text);
    EXPECT_EQ(query->value(QStringLiteral("data")).toByteArray(), bytes);
    query->next();
    EXPECT_EQ(query->asString(QStringLiteral("note")), QStringLiteral("second"));
    EXPECT_TRUE(query->value(QStringLiteral("data")).toByteArray().isEmpty());
}

TEST_P(ResultSetTest, SelectParametersBindByName) {
    const QString name = QStringLiteral("O'Brien's \"研发部\"");
    DbCommand insert(db.connection(),
                     QStringLiteral("insert into UserSort (pid, name) values (:p, :n)"));
    insert.setParam(QStringLiteral("p"), 2);
    insert.setParam(QStringLiteral("n"), name);
    insert.execute();

    DbQuery query(db.connection());
    query.setSql(QStringLiteral("select id, name from UserSort where pid = :p and name like :n"));
    query.setParam(QStringLiteral("p"), 2);
    query.setParam(QStringLiteral(":n"), QStringLiteral("o'brien's \"研发%"));
    query.open();
    ASSERT_EQ(query.recordCount(), 1);
    EXPECT_EQ(query.asString(QStringLiteral("name")), name);

    query.setSql(QStringLiteral("select count(*) from Users where Pid = :p or Uid = :u"));
    query.setParam(QStringLiteral("p"), 2);
    query.setParam(QStringLiteral("u"), 1);
    query.open();
    EXPECT_EQ(
        query.value(0).toInt(),
        db.scalar(QStringLiteral("select count(*) from Users where Pid = 2 or Uid = 1")).toInt());

    query.setSql(QStringLiteral("select * from UserSort where name = :n"));
    query.setParam(QStringLiteral("n"), QVariant());
    query.open();
    EXPECT_TRUE(query.isEmpty());
}

TEST_P(ResultSetTest, FailingSelectsCarryTheDatabaseMessage) {
    DbQuery query(db.connection());
    query.setSql(QStringLiteral("select NoSuchColumn from Users"));
    try {
        query.open();
        FAIL() << "a select of an unknown column succeeded";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("nosuchcolumn"), Qt::CaseInsensitive))
            << error.what();
    }
    EXPECT_FALSE(query.isActive());

    // Fails while the rows are read, not while the statement is prepared.
    query.setSql(QStringLiteral("select abs(-9223372036854775807 - 1) from Users"));
    try {
        query.open();
        FAIL() << "an overflowing select succeeded";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("overflow")) ||
                    error.message().contains(QStringLiteral("out of range")))
            << error.what();
    }
    EXPECT_FALSE(query.isActive());

    query.setSql(QStringLiteral("update UserSort set DRole = 7 where id = 5"));
    EXPECT_THROW(query.open(), DbError);
    EXPECT_FALSE(query.isActive());

    query.setSql(QStringLiteral("select count(*) from Users ;\n "));
    query.open();
    EXPECT_EQ(query.value(0).toInt(), 32);
    if (sqlite()) { // PostgreSQL runs every statement and returns the last result
        query.setSql(QStringLiteral("select count(*) from Users; select 1"));
        EXPECT_THROW(query.open(), DbError);
    }
}

TEST_P(ResultSetTest, PostedAndAppendedRecordsAreReadLocatedAndCounted) {
    const auto users = opened(QStringLiteral("select * from Users order by Uid"));
    const int opened = users->recordCount();
    ASSERT_TRUE(users->locate(QStringLiteral("Uid"), 5));
    users->edit();
    users->setValue(QStringLiteral("UserName"), QStringLiteral("Zed Posted"));
    users->post();
    users->first();
    EXPECT_EQ(users->asInteger(QStringLiteral("Uid")), 1);
    ASSERT_TRUE(users->locate(QStringLiteral("username"), QStringLiteral("ZED POSTED")));
    EXPECT_EQ(users->asInteger(QStringLiteral("Uid")), 5);

    // A second edit of the posted record starts from the posted values.
    users->edit();
    users->setValue(QStringLiteral("Pid"), 7);
    users->post();
    EXPECT_EQ(users->asString(QStringLiteral("UserName")), QStringLiteral("Zed Posted"));
    EXPECT_EQ(users->asInteger(QStringLiteral("Pid")), 7);

    users->append();
    users->setValue(QStringLiteral("UserName"), QStringLiteral("Appended One"));
    users->setValue(QStringLiteral("Pid"), 3);
    users->post();
    EXPECT_EQ(users->recordCount(), opened + 1);
    int walked = 0;
    for (users->first(); !users->eof(); users->next()) {
        ++walked;
    }
    EXPECT_EQ(walked, opened + 1);
    EXPECT_EQ(users->asString(QStringLiteral("UserName")), QStringLiteral("Appended One"));
    users->first();
    ASSERT_TRUE(users->locate(QStringLiteral("UserName"), QStringLiteral("appended one")));
    EXPECT_EQ(users->recNo(), opened);
    EXPECT_EQ(users->asInteger(QStringLiteral("Uid")), 33);
    EXPECT_EQ(users->asInteger(QStringLiteral("Onlined")), 0); // the database's default
}

TEST_P(ResultSetTest, ValuesMatchAPlainQtWalk) {
    const auto query = opened(UserStatement + QStringLiteral("order by Uid"));
    QSqlQuery plain(db.connection()->database());
    plain.setForwardOnly(true);
    ASSERT_TRUE(
        plain.exec(db.connection()->translate(UserStatement + QStringLiteral("order by Uid"))));
    ASSERT_EQ(query->fieldCount(), plain.record().count());
    int rows = 0;
    for (; plain.next(); query->next(), ++rows) {
        ASSERT_FALSE(query->eof());
        for (int i = 0; i < query->fieldCount(); ++i) {
            EXPECT_EQ(query->fieldName(i), plain.record().fieldName(i));
            const QVariant expected = plain.value(i);
            const QVariant actual = query->value(i);
            EXPECT_EQ(actual.isNull(), expected.isNull()) << "row " << rows << " field " << i;
            EXPECT_EQ(actual.toString(), expected.toString()) << "row " << rows << " field " << i;
        }
    }
    EXPECT_EQ(rows, 32);
    EXPECT_EQ(query->recordCount(), rows);
}

// Walks a query opened on "select Uid, UserName from Users order by Uid".
void expectDemoUsers(DbQuery& query) {
    int walked = 0;
    for (query.first(); !query.eof(); query.next()) {
        ++walked;
    }
    EXPECT_EQ(walked, 32);
    query.first();
    query.next();
    EXPECT_EQ(query.asInteger(QStringLiteral("Uid")), 2);
    ASSERT_TRUE(query.locate(QStringLiteral("username"), QStringLiteral("bob")));
    EXPECT_EQ(query.asInteger(QStringLiteral("Uid")), 26);
}

TEST_P(ResultSetTest, RecordsOutliveTheConnection) {
    const QString statement = QStringLiteral("select Uid, UserName from Users order by Uid");
    const auto closed = opened(statement);
    EXPECT_EQ(closed->asString(QStringLiteral("UserName")), QStringLiteral("张伟"));
    db.closeConnection();
    expectDemoUsers(*closed);

    auto other = db.openConnection();
    DbQuery destroyed(other.get());
    destroyed.setSql(statement);
    destroyed.open();
    EXPECT_EQ(destroyed.asString(QStringLiteral("UserName")), QStringLiteral("张伟"));
    other.reset();
    expectDemoUsers(destroyed);
}

INSTANTIATE_TEST_SUITE_P(Backends, ResultSetTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
