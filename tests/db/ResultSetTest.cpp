#include "DbError.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// How opened selects hand out their records: types, NULLs, records changed by posts, and
// records read after the connection is gone.
class ResultSetTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam()};

    std::unique_ptr<DbQuery> opened(const QString& sql, DbConnection* connection = nullptr) {
        auto query = std::make_unique<DbQuery>(connection ? connection : db.connection());
        query->setSql(sql);
        query->open();
        return query;
    }

    // A table with one column of each kind the management tables do not have.
    void createProbe(const QList<QVariantList>& rows) {
        db.exec(db.backend() == DbBackend::SQLite
                    ? u"create table Probe (id integer primary key, note text, data blob, "
                      u"ratio real)"_s
                    : u"create table Probe (id integer primary key, note text, data bytea, "
                      u"ratio double precision)"_s);
        DbCommand insert(db.connection(),
                         u"insert into Probe (id, note, data, ratio) values (:i, :n, :d, :r)"_s);
        for (const QVariantList& row : rows) {
            for (int i = 0; i < 4; ++i) {
                insert.setParam(QStringList{u"i"_s, u"n"_s, u"d"_s, u"r"_s}[i], row[i]);
            }
            insert.execute();
        }
    }
};

bool isNumber(const QVariant& value) {
    const int type = value.typeId();
    return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Double;
}

TEST_P(ResultSetTest, NullAndEmptyTextStayApart) {
    createProbe({{1, u""_s, {}, {}}, {2, {}, {}, {}}});
    const auto query = opened(u"select id, note, data from Probe order by id"_s);
    ASSERT_EQ(query->recordCount(), 2);
    const QVariant empty = query->value(u"note"_s);
    EXPECT_FALSE(empty.isNull());
    EXPECT_EQ(empty.typeId(), QMetaType::QString);
    EXPECT_TRUE(empty.toString().isEmpty());
    EXPECT_TRUE(query->value(u"data"_s).isNull());
    query->next();
    EXPECT_TRUE(query->value(u"note"_s).isNull());
    EXPECT_EQ(query->asString(u"note"_s), QString());
    EXPECT_EQ(query->asInteger(u"note"_s), 0);
}

TEST_P(ResultSetTest, ValuesKeepTheirTypesAndBytes) {
    const auto user = opened(u"select Uid, Onlined, UserName from Users where Uid = 1"_s);
    EXPECT_TRUE(isNumber(user->value(u"Uid"_s))) << user->value(u"Uid"_s).typeName();
    EXPECT_TRUE(isNumber(user->value(u"Onlined"_s))) << user->value(u"Onlined"_s).typeName();
    EXPECT_EQ(user->value(u"Onlined"_s).toInt(), -1);
    EXPECT_TRUE(user->asBoolean(u"Onlined"_s));
    EXPECT_FALSE(isNumber(user->value(u"UserName"_s)));

    const QByteArray bytes("\x00\x01\xff\xfe text \x00 end", 16);
    const QString text = u"张伟 O'Hara ü 😀"_s;
    createProbe({{1, text, bytes, 2.5}, {2, u"second"_s, QByteArray(""), 1.0}});
    const auto query = opened(u"select note, data, ratio from Probe order by id"_s);
    EXPECT_EQ(query->asString(u"note"_s), text);
    EXPECT_EQ(query->value(u"data"_s).toByteArray(), bytes);
    EXPECT_EQ(query->value(u"ratio"_s).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(query->value(u"ratio"_s).toDouble(), 2.5);
    query->next();
    EXPECT_TRUE(query->value(u"data"_s).toByteArray().isEmpty());
}

// Edits post by primary key, cancel discards, and posted and appended records are read,
// located and counted like the others.
TEST_P(ResultSetTest, PostedAndAppendedRecordsAreReadLocatedAndCounted) {
    const auto users = opened(u"select * from Users order by Uid"_s);
    ASSERT_TRUE(users->locate(u"Uid"_s, 5));
    users->edit();
    users->setValue(u"UserName"_s, u"changed"_s);
    users->cancel();
    EXPECT_EQ(users->asString(u"UserName"_s), u"陈静"_s);
    users->edit();
    users->setValue(u"UserName"_s, u"O'Hara"_s);
    users->post();
    users->first();
    ASSERT_TRUE(users->locate(u"username"_s, u"O'HARA"_s));
    EXPECT_EQ(users->asInteger(u"Uid"_s), 5);

    // A second edit of the posted record starts from the posted values.
    users->edit();
    users->setValue(u"RoleID"_s, 3);
    users->post();
    EXPECT_EQ(users->asString(u"UserName"_s), u"O'Hara"_s);
    EXPECT_EQ(users->asInteger(u"RoleId"_s), 3);
    EXPECT_EQ(db.scalar(u"select count(*) from Users where UserName = 'O''Hara' and RoleId = 3 "
                        u"and Uid = 5"_s)
                  .toInt(),
              1);
    EXPECT_EQ(db.scalar(u"select count(*) from Users where UserName = 'changed'"_s).toInt(), 0);

    users->append();
    users->setValue(u"UserName"_s, u"Appended One"_s);
    users->post();
    EXPECT_EQ(users->recordCount(), 33);
    int walked = 0;
    for (users->first(); !users->eof(); users->next()) {
        ++walked;
    }
    EXPECT_EQ(walked, 33);
    EXPECT_EQ(users->asString(u"UserName"_s), u"Appended One"_s);
    users->first();
    ASSERT_TRUE(users->locate(u"UserName"_s, u"appended one"_s));
    EXPECT_EQ(users->recNo(), 32);
    EXPECT_EQ(users->asInteger(u"Uid"_s), 33); // the next AutoNumber
}

TEST_P(ResultSetTest, ValuesMatchAPlainQtWalk) {
    const QString sql = u"SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole AS "
                        u"UR ON U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id where 1 "
                        u"= 1 order by Uid"_s;
    const auto query = opened(sql);
    QSqlQuery plain(db.connection()->database());
    plain.setForwardOnly(true);
    ASSERT_TRUE(plain.exec(db.connection()->translate(sql)));
    ASSERT_EQ(query->fieldCount(), plain.record().count());
    int rows = 0;
    for (; plain.next(); query->next(), ++rows) {
        ASSERT_FALSE(query->eof());
        for (int i = 0; i < query->fieldCount(); ++i) {
            EXPECT_EQ(query->fieldName(i), plain.record().fieldName(i));
            EXPECT_EQ(query->value(i).isNull(), plain.value(i).isNull()) << rows << ":" << i;
            EXPECT_EQ(query->value(i).toString(), plain.value(i).toString()) << rows << ":" << i;
        }
    }
    EXPECT_EQ(rows, 32);
    EXPECT_EQ(query->recordCount(), rows);
}

TEST_P(ResultSetTest, RecordsOutliveTheConnection) {
    const QString sql = u"select Uid, UserName from Users order by Uid"_s;
    auto other = db.openConnection();
    const auto onClosed = opened(sql);
    const auto onDestroyed = opened(sql, other.get());
    db.closeConnection();
    other.reset();
    for (DbQuery* query : {onClosed.get(), onDestroyed.get()}) {
        EXPECT_EQ(query->asString(u"UserName"_s), u"张伟"_s);
        int walked = 0;
        for (query->first(); !query->eof(); query->next()) {
            ++walked;
        }
        EXPECT_EQ(walked, 32);
        query->first();
        query->next();
        EXPECT_EQ(query->asInteger(u"Uid"_s), 2);
        ASSERT_TRUE(query->locate(u"username"_s, u"bob"_s));
        EXPECT_EQ(query->asInteger(u"Uid"_s), 26);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ResultSetTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
