#include "DbQuery.h"
#include "DbError.h"
#include "TestDatabase.h"

#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

class DbQueryTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam()};

    std::unique_ptr<DbQuery> opened(const QString& sql, DbConnection* connection = nullptr) {
        auto query = std::make_unique<DbQuery>(connection ? connection : db.connection());
        query->setSql(sql);
        query->open();
        return query;
    }

    int count(const QString& sql) { return db.scalar(sql).toInt(); }

    // Walks from the first record to the end; how many records it passed.
    static int walk(DbQuery& query) {
        int records = 0;
        for (query.first(); !query.eof(); query.next())
            ++records;
        return records;
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

TEST_P(DbQueryTest, NamesAndTextComparisonsIgnoreLetterCase) {
    const auto query = opened(u"select UID, username from USERS where uid = 1"_s);
    ASSERT_EQ(query->recordCount(), 1);
    EXPECT_EQ(query->fieldIndex(u"UserName"_s), query->fieldIndex(u"USERNAME"_s));
    EXPECT_EQ(query->asString(u"userName"_s), u"张伟"_s);
    EXPECT_EQ(query->asInteger(u"Uid"_s), 1);
    EXPECT_EQ(query->fieldIndex(u"nothere"_s), -1);
    EXPECT_THROW(query->value(u"nothere"_s), DbError);

    for (const auto& [where, rows] : {std::pair{u"from UserSort where name = 'sales'"_s, 1},
                                      {u"from usersort where NAME = 'IT SUPPORT'"_s, 1},
                                      {u"from Users where ComputerName like 'pc-00%'"_s, 9},
                                      {u"from Users where UserName = '张伟'"_s, 1}}) {
        EXPECT_EQ(count(u"select count(*) "_s + where), rows) << where.toStdString();
    }
}

TEST_P(DbQueryTest, YesNoColumnsHoldMinusOneAndZero) {
    EXPECT_EQ(count(u"select Onlined from Users where Uid = 1"_s), -1);

    const auto query = opened(u"select * from Users where Uid = 2"_s);
    EXPECT_FALSE(query->asBoolean(u"Onlined"_s));
    query->edit();
    query->setValue(u"Onlined"_s, true);
    query->post();
    EXPECT_TRUE(query->asBoolean(u"Onlined"_s));
    EXPECT_EQ(count(u"select Onlined from Users where Uid = 2"_s), -1);

    DbCommand reset(db.connection(), u"update Users set Onlined = :o where Uid = 1"_s);
    reset.setParam(u"o"_s, false);
    EXPECT_EQ(reset.execute(), 1);
    EXPECT_EQ(count(u"select Onlined from Users where Uid = 1"_s), 0);
}

// The Group and Level columns, and literals that look like Jet forms.
TEST_P(DbQueryTest, JetStatementFormsRun) {
    const auto aliased =
        opened(u"select UR.Group as DefGroups, UR.Level as DefL from UserRole UR where Rid = 3"_s);
    EXPECT_EQ(aliased->asInteger(u"DefGroups"_s), 3);
    EXPECT_EQ(aliased->asInteger(u"defl"_s), 3);
    const auto all = opened(u"select * from UserRole where Rid=4"_s);
    EXPECT_EQ(all->asInteger(u"Group"_s), 5);
    EXPECT_EQ(all->asInteger(u"LEVEL"_s), 4);

    db.exec(u"insert into UserSort (pid, name) values (0, 'it''s delete * from UR.Group')"_s);
    const auto literal =
        opened(u"select * from usersort where name = 'IT''S DELETE * FROM ur.group'"_s);
    ASSERT_EQ(literal->recordCount(), 1);
    EXPECT_EQ(literal->asString(u"name"_s), u"it's delete * from UR.Group"_s);
}

TEST_P(DbQueryTest, EditingRefusesJoinsBrowseModeAndVanishedRows) {
    const auto joined = opened(
        u"select US.Name as PName,U.*  from Users U inner join UserSort US on U.Pid=US.Id"_s);
    EXPECT_THROW(joined->edit(), DbError);
    const auto plain = opened(u"select * from Users where Uid = 1"_s);
    EXPECT_THROW(plain->setValue(u"UserName"_s, u"x"_s), DbError);
    EXPECT_THROW(plain->post(), DbError);

    const auto vanished = opened(u"select * from Users where Uid = 6"_s);
    db.exec(u"delete * from Users where Uid = 6"_s);
    vanished->edit();
    vanished->setValue(u"UserName"_s, u"ghost"_s);
    EXPECT_THROW(vanished->post(), DbError);
    EXPECT_EQ(count(u"select count(*) from Users where UserName = 'ghost'"_s), 0);
}

TEST_P(DbQueryTest, NavigationAndLocate) {
    const auto query = opened(u"select * from UserSort order by id"_s);
    EXPECT_TRUE(query->bof());
    EXPECT_EQ(walk(*query), 13);
    EXPECT_EQ(query->asInteger(u"id"_s), 13); // stays on the last record
    query->prior();
    EXPECT_FALSE(query->eof());
    EXPECT_EQ(query->recNo(), 11);
    query->first();
    query->prior();
    EXPECT_TRUE(query->bof());
    EXPECT_EQ(query->asInteger(u"id"_s), 1);

    const auto empty = opened(u"select * from UserSort where id = 999"_s);
    EXPECT_TRUE(empty->isEmpty() && empty->eof() && empty->bof());
    EXPECT_FALSE(empty->value(0).isValid());

    const auto users = opened(u"select * from  users"_s);
    ASSERT_TRUE(users->locate(u"uid"_s, 17));
    EXPECT_EQ(users->asString(u"UserName"_s), u"何雪"_s);
    EXPECT_FALSE(users->locate(u"Uid"_s, 12345));
    EXPECT_EQ(users->asInteger(u"uid"_s), 17);
    ASSERT_TRUE(users->locate(u"uid"_s, u"26"_s));
    EXPECT_EQ(users->asString(u"UserName"_s), u"Bob"_s);
}

TEST_P(DbQueryTest, JoinsReadTheFirstOfRepeatedNamesAndEmptyForMissingPartners) {
    const QString join = u"SELECT US.Name as DName,* FROM (Users AS U left JOIN UserRole AS UR ON "
                         u"U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id "_s;
    const auto one = opened(join + u"where Uid = 3"_s);
    EXPECT_EQ(one->asInteger(u"pid"_s), 2); // Users.Pid comes before UserSort.pid
    EXPECT_EQ(one->asString(u"DName"_s), u"软件组"_s);
    EXPECT_EQ(one->asString(u"RName"_s), u"研发人员"_s);

    const auto query = opened(join + u"where Uid in (30, 32)"_s);
    ASSERT_EQ(query->recordCount(), 2);
    for (; !query->eof(); query->next()) {
        const bool missingRole = query->asInteger(u"Uid"_s) == 30;
        EXPECT_EQ(query->asString(u"RName"_s).isEmpty(), missingRole);
        EXPECT_EQ(query->asString(u"DName"_s).isEmpty(), !missingRole);
        EXPECT_EQ(query->value(u"Rid"_s).isNull(), missingRole);
    }
}

TEST_P(DbQueryTest, ErrorsCarryTheDatabaseMessage) {
    DbQuery query(db.connection());
    for (const auto& [sql, expected] :
         {std::pair{u"select * from NoSuchTable"_s, u"nosuchtable"_s},
          {u"select NoSuchColumn from Users"_s, u"nosuchcolumn"_s},
          // Fails while the rows are read, not while the statement is prepared.
          {u"select abs(-9223372036854775807 - 1) from Users"_s, u"overflow|out of range"_s}}) {
        query.setSql(sql);
        const QString message = errorOf([&] { query.open(); });
        EXPECT_TRUE(message.contains(
            QRegularExpression(expected, QRegularExpression::CaseInsensitiveOption)))
            << sql.toStdString() << ": " << message.toStdString();
        EXPECT_FALSE(query.isActive());
    }
    query.setSql(u"update UserSort set DRole = 7 where id = 5"_s);
    EXPECT_THROW(query.open(), DbError);
    query.setSql(u"select count(*) from Users ;\n "_s);
    query.open();
    EXPECT_EQ(query.value(0).toInt(), 32);
    // A second statement is refused before anything runs, on both backends.
    const int departs = count(u"select count(*) from UserSort"_s);
    for (const QString& sql :
         {u"select count(*) from Users; select 1"_s,
          u"update Users set Onlined = 0 where Uid = 1; delete from UserSort"_s}) {
        query.setSql(sql);
        EXPECT_EQ(errorOf([&] { query.open(); }),
                  u"Unable to execute multiple statements at a time"_s)
            << sql.toStdString();
        EXPECT_EQ(errorOf([&] { DbCommand(db.connection(), sql).execute(); }),
                  u"Unable to execute multiple statements at a time"_s)
            << sql.toStdString();
    }
    EXPECT_EQ(count(u"select count(*) from UserSort"_s), departs) << "nothing deleted";
    EXPECT_EQ(count(u"select Onlined from Users where Uid = 1"_s), -1) << "nothing updated";

    db.dropTable(u"LogAct"_s);
    DbCommand insert(db.connection(), u"Insert into LogAct (Lwhen,Lwho) values (:t1,:t2)"_s);
    insert.setParam(u"t1"_s, u"x"_s);
    insert.setParam(u"t2"_s, u"x"_s);
    EXPECT_TRUE(errorOf([&] { insert.execute(); }).contains(u"logact"_s, Qt::CaseInsensitive));

    // A closed connection fails every statement with a reason, as does no connection at all.
    db.closeConnection();
    query.setSql(u"select * from Users"_s);
    EXPECT_THROW(query.open(), DbError);
    EXPECT_FALSE(
        errorOf([&] { DbCommand(db.connection(), u"delete * from Users"_s).execute(); }).isEmpty());
    EXPECT_THROW(DbQuery().open(), DbError);
}

TEST_P(DbQueryTest, ParametersBindByNameAndChangesShowElsewhereAtOnce) {
    DbCommand move(db.connection(), u"update UserSort set pid=:p where pid=:i"_s);
    move.setParam(u"p"_s, 0);
    move.setParam(u"i"_s, 1);
    move.setParam(u"P"_s, 6); // same parameter, spelled differently
    EXPECT_EQ(move.execute(), 3);
    const auto other = db.openConnection();
    EXPECT_EQ(
        DbCommand(other.get(), u"select count(*) from UserSort where pid = 6"_s).scalar().toInt(),
        5);

    const QString name = u"O'Brien's \"研发部\""_s;
    db.exec(u"insert into UserSort (pid, name) values (2, 'O''Brien''s \"研发部\"')"_s);
    DbQuery query(db.connection());
    query.setSql(u"select id, name from UserSort where pid = :p and name like :n"_s);
    query.setParam(u"p"_s, 2);
    query.setParam(u":n"_s, u"o'brien's \"研发%"_s);
    query.open();
    ASSERT_EQ(query.recordCount(), 1);
    EXPECT_EQ(query.asString(u"name"_s), name);

    query.setSql(u"select * from Users where UserName like :n"_s);
    query.setParam(u"n"_s, u"%o'neil%"_s);
    query.open();
    EXPECT_EQ(query.asInteger(u"Uid"_s), 32);
    query.setParam(u"n"_s, QVariant());
    query.open();
    EXPECT_TRUE(query.isEmpty());
}

// How opened selects hand out their records: types, NULLs, records changed by posts, and
// records read after the connection is gone.

bool isNumber(const QVariant& value) {
    const int type = value.typeId();
    return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Double;
}

// NULL and empty text stay apart; numbers, bytes and text keep their types and bytes.
TEST_P(DbQueryTest, ValuesKeepTheirTypesBytesAndNulls) {
    const auto user = opened(u"select Uid, Onlined, UserName from Users where Uid = 1"_s);
    EXPECT_TRUE(isNumber(user->value(u"Uid"_s))) << user->value(u"Uid"_s).typeName();
    EXPECT_TRUE(isNumber(user->value(u"Onlined"_s))) << user->value(u"Onlined"_s).typeName();
    EXPECT_FALSE(isNumber(user->value(u"UserName"_s)));

    const QByteArray bytes("\x00\x01\xff\xfe text \x00 end", 16);
    const QString text = u"张伟 O'Hara ü 😀"_s;
    createProbe({{1, text, bytes, 2.5}, {2, u""_s, QByteArray(""), 1.0}, {3, {}, {}, {}}});
    const auto query = opened(u"select note, data, ratio from Probe order by id"_s);
    EXPECT_EQ(query->asString(u"note"_s), text);
    EXPECT_EQ(query->value(u"data"_s).toByteArray(), bytes);
    EXPECT_EQ(query->value(u"ratio"_s).typeId(), QMetaType::Double);
    EXPECT_DOUBLE_EQ(query->value(u"ratio"_s).toDouble(), 2.5);
    query->next();
    const QVariant empty = query->value(u"note"_s);
    EXPECT_FALSE(empty.isNull());
    EXPECT_EQ(empty.typeId(), QMetaType::QString);
    EXPECT_TRUE(empty.toString().isEmpty());
    EXPECT_TRUE(query->value(u"data"_s).toByteArray().isEmpty());
    query->next();
    EXPECT_TRUE(query->value(u"note"_s).isNull());
    EXPECT_TRUE(query->value(u"data"_s).isNull());
    EXPECT_EQ(query->asString(u"note"_s), QString());
    EXPECT_EQ(query->asInteger(u"note"_s), 0);
}

// Edits post by primary key, cancel discards, locating another record while editing posts the
// edit first, and posted and appended records are read, located and counted like the others.
TEST_P(DbQueryTest, PostedAndAppendedRecordsAreReadLocatedAndCounted) {
    const auto users = opened(u"select * from Users order by Uid"_s);
    ASSERT_TRUE(users->locate(u"uid"_s, 10));
    users->edit();
    users->setValue(u"pid"_s, 8);
    ASSERT_TRUE(users->locate(u"uid"_s, 11));
    users->edit();
    users->setValue(u"pid"_s, 8);
    users->post();
    EXPECT_EQ(count(u"select count(*) from Users where Uid in (10,11) and Pid = 8"_s), 2);

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
    EXPECT_EQ(count(u"select count(*) from Users where UserName = 'O''Hara' and RoleId = 3 and "
                    u"Uid = 5"_s),
              1);
    EXPECT_EQ(count(u"select count(*) from Users where UserName = 'changed'"_s), 0);

    users->append();
    users->setValue(u"UserName"_s, u"Appended One"_s);
    users->post();
    EXPECT_EQ(users->recordCount(), 33);
    EXPECT_EQ(walk(*users), 33);
    EXPECT_EQ(users->asString(u"UserName"_s), u"Appended One"_s);
    users->first();
    ASSERT_TRUE(users->locate(u"UserName"_s, u"appended one"_s));
    EXPECT_EQ(users->recNo(), 32);
    EXPECT_EQ(users->asInteger(u"Uid"_s), 33); // the next AutoNumber
}

TEST_P(DbQueryTest, ValuesMatchAPlainQtWalk) {
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

TEST_P(DbQueryTest, RecordsOutliveTheConnection) {
    const QString sql = u"select Uid, UserName from Users order by Uid"_s;
    auto other = db.openConnection();
    const auto onClosed = opened(sql);
    const auto onDestroyed = opened(sql, other.get());
    db.closeConnection();
    other.reset();
    for (DbQuery* query : {onClosed.get(), onDestroyed.get()}) {
        EXPECT_EQ(query->asString(u"UserName"_s), u"张伟"_s);
        EXPECT_EQ(walk(*query), 32);
        query->first();
        query->next();
        EXPECT_EQ(query->asInteger(u"Uid"_s), 2);
        ASSERT_TRUE(query->locate(u"username"_s, u"bob"_s));
        EXPECT_EQ(query->asInteger(u"Uid"_s), 26);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, DbQueryTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
