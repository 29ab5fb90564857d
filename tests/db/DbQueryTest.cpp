#include "DbQuery.h"
#include "DbError.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

namespace {

class DbQueryTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam()};

    std::unique_ptr<DbQuery> opened(const QString& sql) {
        auto query = std::make_unique<DbQuery>(db.connection());
        query->setSql(sql);
        query->open();
        return query;
    }

    int count(const QString& sql) { return db.scalar(sql).toInt(); }
};

TEST_P(DbQueryTest, NamesIgnoreLetterCase) {
    const auto query = opened(QStringLiteral("select UID, username from USERS where uid = 1"));
    ASSERT_EQ(query->recordCount(), 1);
    EXPECT_EQ(query->fieldIndex(QStringLiteral("UserName")),
              query->fieldIndex(QStringLiteral("USERNAME")));
    EXPECT_EQ(query->asString(QStringLiteral("userName")), QStringLiteral("张伟"));
    EXPECT_EQ(query->asInteger(QStringLiteral("Uid")), 1);
    EXPECT_EQ(query->fieldIndex(QStringLiteral("nothere")), -1);
    EXPECT_THROW(query->value(QStringLiteral("nothere")), DbError);
}

TEST_P(DbQueryTest, TextComparisonsIgnoreLetterCase) {
    EXPECT_EQ(count(QStringLiteral("select count(*) from UserSort where name = 'sales'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from usersort where NAME = 'IT SUPPORT'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where UserName like '%ALICE%'")), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where ComputerName like 'pc-00%'")),
              9);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where UserName = '张伟'")), 1);
}

TEST_P(DbQueryTest, YesNoColumnsHoldMinusOneAndZero) {
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where OnLined <> 0")), 11);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where OnLined = 0")), 21);
    EXPECT_EQ(count(QStringLiteral("select Onlined from Users where Uid = 1")), -1);

    const auto query = opened(QStringLiteral("select * from Users where Uid = 2"));
    EXPECT_FALSE(query->asBoolean(QStringLiteral("Onlined")));
    query->edit();
    query->setValue(QStringLiteral("Onlined"), true);
    query->post();
    EXPECT_TRUE(query->asBoolean(QStringLiteral("Onlined")));
    EXPECT_EQ(count(QStringLiteral("select Onlined from Users where Uid = 2")), -1);

    DbCommand reset(db.connection(), QStringLiteral("update Users set Onlined = :o where Uid = 1"));
    reset.setParam(QStringLiteral("o"), false);
    EXPECT_EQ(reset.execute(), 1);
    EXPECT_EQ(count(QStringLiteral("select Onlined from Users where Uid = 1")), 0);
}

TEST_P(DbQueryTest, NewRowsGetAutoNumberKeysAndDefaults) {
    const auto users = opened(QStringLiteral("select * from  users"));
    users->append();
    users->setValue(QStringLiteral("UserName"), QStringLiteral("new user"));
    users->setValue(QStringLiteral("Pid"), 3);
    users->post();
    EXPECT_EQ(users->asInteger(QStringLiteral("Uid")), 33);
    EXPECT_EQ(users->asInteger(QStringLiteral("Onlined")), 0);
    EXPECT_EQ(users->asString(QStringLiteral("Groups")), QString());
    EXPECT_EQ(users->recordCount(), 33);
    EXPECT_EQ(count(QStringLiteral("select max(Uid) from Users")), 33);

    DbCommand insert(db.connection(),
                     QStringLiteral("Insert Into usersort (pid,name) values (:p,:n)"));
    insert.setParam(QStringLiteral("p"), 0);
    insert.setParam(QStringLiteral(":n"), QStringLiteral("新部门"));
    EXPECT_EQ(insert.execute(), 1);
    const auto department = opened(QStringLiteral("select * from usersort where name = '新部门'"));
    EXPECT_EQ(department->asInteger(QStringLiteral("id")), 14);
    EXPECT_EQ(department->asInteger(QStringLiteral("ctrl")), 0);
    EXPECT_EQ(department->asInteger(QStringLiteral("used")), 0);
}

TEST_P(DbQueryTest, DeleteStarRemovesRows) {
    DbQuery query(db.connection());
    query.setSql(QStringLiteral("delete * from usersort where id =13"));
    EXPECT_EQ(query.execSql(), 1);
    query.setSql(QStringLiteral("delete * from users where Uid in (1,2,3)"));
    EXPECT_EQ(query.execSql(), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from UserSort")), 12);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where Uid <= 3")), 0);
}

TEST_P(DbQueryTest, KeywordColumnsGroupAndLevel) {
    const auto aliased = opened(QStringLiteral(
        "select UR.Group as DefGroups, UR.Level as DefL from UserRole UR where Rid = 3"));
    EXPECT_EQ(aliased->asInteger(QStringLiteral("DefGroups")), 3);
    EXPECT_EQ(aliased->asInteger(QStringLiteral("defl")), 3);
    const auto all = opened(QStringLiteral("select * from UserRole where Rid=4"));
    EXPECT_EQ(all->asInteger(QStringLiteral("Group")), 5);
    EXPECT_EQ(all->asInteger(QStringLiteral("LEVEL")), 4);
}

TEST_P(DbQueryTest, LiteralsWithQuotesAndKeywordsAreStoredVerbatim) {
    const QString name = QStringLiteral("it's delete * from UR.Group");
    db.exec(QStringLiteral(
        "insert into UserSort (pid, name) values (0, 'it''s delete * from UR.Group')"));
    const auto query = opened(
        QStringLiteral("select * from usersort where name = 'IT''S DELETE * FROM ur.group'"));
    ASSERT_EQ(query->recordCount(), 1);
    EXPECT_EQ(query->asString(QStringLiteral("name")), name);
}

TEST_P(DbQueryTest, EditPostsByPrimaryKeyAndReadsBack) {
    const auto query = opened(QStringLiteral("select * from Users where Uid = 5"));
    query->edit();
    query->setValue(QStringLiteral("UserName"), QStringLiteral("O'Hara"));
    query->setValue(QStringLiteral("RoleID"), 3);
    EXPECT_EQ(query->asString(QStringLiteral("UserName")), QStringLiteral("O'Hara"));
    query->post();
    EXPECT_EQ(query->asString(QStringLiteral("UserName")), QStringLiteral("O'Hara"));
    EXPECT_EQ(query->asInteger(QStringLiteral("RoleId")), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where UserName = 'o''hara'")), 1);
    EXPECT_EQ(count(QStringLiteral("select RoleId from Users where Uid = 5")), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where RoleId = 3")), 5);
}

TEST_P(DbQueryTest, CancelDiscardsTheEdit) {
    const auto query = opened(QStringLiteral("select * from Users where Uid = 5"));
    query->edit();
    query->setValue(QStringLiteral("UserName"), QStringLiteral("changed"));
    query->cancel();
    EXPECT_EQ(query->asString(QStringLiteral("UserName")), QStringLiteral("陈静"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where UserName = 'changed'")), 0);
}

TEST_P(DbQueryTest, TextValuesFillIntegerKeys) {
    const auto tasks = opened(QStringLiteral("select * from TaskScan"));
    tasks->append();
    tasks->setValue(QStringLiteral("Uid"), QStringLiteral("7"));
    tasks->setValue(QStringLiteral("name"), QStringLiteral("赵敏"));
    tasks->setValue(QStringLiteral("begin"), QStringLiteral("0"));
    tasks->setValue(QStringLiteral("type"), 2);
    tasks->post();
    EXPECT_EQ(tasks->asInteger(QStringLiteral("Uid")), 7);

    const auto task = opened(QStringLiteral("select * from TaskScan where Uid = 7"));
    ASSERT_EQ(task->recordCount(), 1);
    task->edit();
    task->setValue(QStringLiteral("begin"), QStringLiteral("12:00:00"));
    task->post();
    EXPECT_EQ(db.scalar(QStringLiteral("select begin from TaskScan where Uid = 7")).toString(),
              QStringLiteral("12:00:00"));
}

TEST_P(DbQueryTest, EditOnAnEmptyResultAppends) {
    const auto query = opened(QStringLiteral("select * from UserOut where uid=9"));
    ASSERT_TRUE(query->isEmpty());
    query->edit();
    query->setValue(QStringLiteral("uid"), 9);
    query->setValue(QStringLiteral("outdate"), QStringLiteral("2031-1-5"));
    query->post();
    EXPECT_EQ(query->recordCount(), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from UserOut where uid = 9")), 1);
}

TEST_P(DbQueryTest, MovingAwayPostsThePendingEdit) {
    const auto query = opened(QStringLiteral("select * from  users"));
    ASSERT_TRUE(query->locate(QStringLiteral("uid"), 10));
    query->edit();
    query->setValue(QStringLiteral("pid"), 8);
    ASSERT_TRUE(query->locate(QStringLiteral("uid"), 11));
    query->edit();
    query->setValue(QStringLiteral("pid"), 8);
    query->post();
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where Uid in (10,11) and Pid = 8")),
              2);
}

TEST_P(DbQueryTest, EditingRefusesJoinsAndBrowseMode) {
    const auto joined = opened(QStringLiteral(
        "select US.Name as PName,U.*  from Users U inner join UserSort US on U.Pid=US.Id"));
    EXPECT_THROW(joined->edit(), DbError);
    const auto plain = opened(QStringLiteral("select * from Users where Uid = 1"));
    EXPECT_THROW(plain->setValue(QStringLiteral("UserName"), QStringLiteral("x")), DbError);
    EXPECT_THROW(plain->post(), DbError);
}

TEST_P(DbQueryTest, PostOfARecordDeletedMeanwhileFails) {
    const auto query = opened(QStringLiteral("select * from Users where Uid = 6"));
    db.exec(QStringLiteral("delete * from Users where Uid = 6"));
    query->edit();
    query->setValue(QStringLiteral("UserName"), QStringLiteral("ghost"));
    EXPECT_THROW(query->post(), DbError);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users where UserName = 'ghost'")), 0);
}

TEST_P(DbQueryTest, LocateMatchesNumbersAndTextWithoutCase) {
    const auto query = opened(QStringLiteral("select * from  users"));
    ASSERT_TRUE(query->locate(QStringLiteral("uid"), 17));
    EXPECT_EQ(query->asString(QStringLiteral("UserName")), QStringLiteral("何雪"));
    const int position = query->recNo();
    EXPECT_FALSE(query->locate(QStringLiteral("Uid"), 12345));
    EXPECT_EQ(query->recNo(), position);
    ASSERT_TRUE(query->locate(QStringLiteral("USERNAME"), QStringLiteral("ALICE")));
    EXPECT_EQ(query->asInteger(QStringLiteral("uid")), 25);
    ASSERT_TRUE(query->locate(QStringLiteral("uid"), QStringLiteral("26")));
    EXPECT_EQ(query->asString(QStringLiteral("UserName")), QStringLiteral("Bob"));
}

TEST_P(DbQueryTest, NavigationFollowsTheDataSetRules) {
    const auto query = opened(QStringLiteral("select * from UserSort order by id"));
    EXPECT_EQ(query->recordCount(), 13);
    EXPECT_TRUE(query->bof());
    EXPECT_FALSE(query->eof());
    int walked = 0;
    while (!query->eof()) {
        ++walked;
        query->next();
    }
    EXPECT_EQ(walked, 13);
    EXPECT_EQ(query->asInteger(QStringLiteral("id")), 13); // stays on the last record
    query->prior();
    EXPECT_FALSE(query->eof());
    EXPECT_EQ(query->recNo(), 11);
    query->first();
    EXPECT_EQ(query->asInteger(QStringLiteral("id")), 1);
    query->prior();
    EXPECT_TRUE(query->bof());
    query->last();
    EXPECT_EQ(query->asInteger(QStringLiteral("id")), 13);

    const auto empty = opened(QStringLiteral("select * from UserSort where id = 999"));
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_TRUE(empty->eof());
    EXPECT_TRUE(empty->bof());
    EXPECT_FALSE(empty->value(0).isValid());
}

TEST_P(DbQueryTest, FirstColumnOfARepeatedNameWins) {
    // Users.Pid comes before UserSort.pid in the result.
    const auto query = opened(
        QStringLiteral("SELECT US.Name as DName,* FROM (Users AS U left JOIN UserRole AS UR ON "
                       "U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id where Uid = 3"));
    ASSERT_EQ(query->recordCount(), 1);
    EXPECT_EQ(query->asInteger(QStringLiteral("pid")), 2);
    EXPECT_EQ(query->asString(QStringLiteral("DName")), QStringLiteral("软件组"));
    EXPECT_EQ(query->asString(QStringLiteral("RName")), QStringLiteral("研发人员"));
}

TEST_P(DbQueryTest, MissingJoinPartnersReadAsEmpty) {
    const auto query = opened(QStringLiteral(
        "SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole AS UR ON "
        "U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id where Uid in (30, 32)"));
    ASSERT_EQ(query->recordCount(), 2);
    for (; !query->eof(); query->next()) {
        const bool missingRole = query->asInteger(QStringLiteral("Uid")) == 30;
        EXPECT_EQ(query->asString(QStringLiteral("RName")).isEmpty(), missingRole);
        EXPECT_EQ(query->asString(QStringLiteral("DName")).isEmpty(), !missingRole);
        EXPECT_EQ(query->value(QStringLiteral("Rid")).isNull(), missingRole);
    }
}

TEST_P(DbQueryTest, ErrorsCarryTheDatabaseMessage) {
    DbQuery query(db.connection());
    query.setSql(QStringLiteral("select * from NoSuchTable"));
    try {
        query.open();
        FAIL() << "open succeeded";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("nosuchtable"), Qt::CaseInsensitive))
            << error.what();
    }
    EXPECT_FALSE(query.isActive());

    db.dropTable(QStringLiteral("LogAct"));
    DbCommand insert(db.connection(),
                     QStringLiteral("Insert into LogAct (Lwhen,Lwho,Lwhere,Lhow,Lwhat,Lresult) "
                                    "values (:t1,:t2,:t3,:t4,:t5,:t6)"));
    for (int i = 1; i <= 6; ++i) {
        insert.setParam(QStringLiteral("t%1").arg(i), QStringLiteral("x"));
    }
    try {
        insert.execute();
        FAIL() << "insert into a dropped table succeeded";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("logact"), Qt::CaseInsensitive))
            << error.what();
    }
}

TEST_P(DbQueryTest, ClosedConnectionFailsEveryStatement) {
    db.closeConnection();
    DbQuery query(db.connection());
    query.setSql(QStringLiteral("select * from Users"));
    EXPECT_THROW(query.open(), DbError);
    try {
        DbCommand(db.connection(), QStringLiteral("delete * from Users")).execute();
        ADD_FAILURE() << "a statement on a closed connection succeeded";
    } catch (const DbError& error) {
        EXPECT_FALSE(error.message().isEmpty()) << "the user must see why the action failed";
    }
    EXPECT_THROW(DbQuery().open(), DbError); // no connection at all
}

TEST_P(DbQueryTest, ChangesAreVisibleToAnotherConnectionAtOnce) {
    const auto other = db.openConnection();
    DbCommand(db.connection(), QStringLiteral("update UserSort set DRole = 4 where id = 5"))
        .execute();
    EXPECT_EQ(DbCommand(other.get(), QStringLiteral("select DRole from UserSort where id = 5"))
                  .scalar()
                  .toInt(),
              4);
}

TEST_P(DbQueryTest, ParametersAreBoundByName) {
    DbCommand move(db.connection(), QStringLiteral("update UserSort set pid=:p where pid=:i"));
    move.setParam(QStringLiteral("p"), 0);
    move.setParam(QStringLiteral("i"), 1);
    move.setParam(QStringLiteral("P"), 6); // same parameter, spelled differently
    EXPECT_EQ(move.execute(), 3);
    EXPECT_EQ(count(QStringLiteral("select count(*) from UserSort where pid = 6")), 5);

    DbQuery query(db.connection());
    query.setSql(QStringLiteral("select * from Users where UserName like :n"));
    query.setParam(QStringLiteral("n"), QStringLiteral("%o'neil%"));
    query.open();
    EXPECT_EQ(query.recordCount(), 1);
    EXPECT_EQ(query.asInteger(QStringLiteral("Uid")), 32);
}

INSTANTIATE_TEST_SUITE_P(Backends, DbQueryTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
