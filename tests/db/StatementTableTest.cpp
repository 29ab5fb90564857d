// Statement shapes of the users-management forms, run against the demo site on each backend.
// Reads that the form tests already run are left to them.
#include "DbQuery.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QString userList = u"SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole "
                         u"AS UR ON U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id "_s;
const QString root = userList + u"where 1 = 1 "_s;

class StatementTableTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam()};

    // Runs sql with named parameters; returns the rows it affected.
    int exec(const QString& sql, const QList<std::pair<QString, QVariant>>& params = {}) {
        DbQuery query(db.connection());
        query.setSql(sql);
        for (const auto& [name, value] : params)
            query.setParam(name, value);
        return query.execSql();
    }

    // Opens sql, edits the record whose locateField holds locateValue (the first record without
    // one) or appends a record, sets field to value and posts.
    void post(const QString& sql, const QString& field, const QVariant& value, bool append = false,
              const QString& locateField = {}, const QVariant& locateValue = {}) {
        SCOPED_TRACE(sql.toStdString());
        DbQuery query(db.connection());
        query.setSql(sql);
        query.open();
        if (append) {
            query.append();
        } else {
            if (!locateField.isEmpty()) {
                ASSERT_TRUE(query.locate(locateField, locateValue));
            }
            query.edit();
        }
        query.setValue(field, value);
        query.post();
        EXPECT_EQ(query.value(field).toString(), value.toString());
    }

    QString scalar(const QString& sql) { return db.scalar(sql).toString(); }
};

// Joins, aliases, searches, counts, quoted literals and the policy tables; -1 only runs.
TEST_P(StatementTableTest, ReadStatementsRunOnTheDemoSite) {
    const std::pair<QString, int> reads[] = {
        {userList + u"where U.pid=2"_s, 4},
        {root + u" and OnLined <> 0"_s, 11},
        {root + u" and US.Name  like '%sales%'"_s, 2},
        {root + u" and RName  like '%研发%'"_s, 12},
        {userList + u"where U.pid=2 and UserName  like '%a%' and US.Name  like '%a%' and Ip "
                    u" like '%1%' and ComputerName  like '%pc%' and RName  like '%s%' and "
                    u"CliVer  like '%3%'"_s,
         -1},
        {root + u" and UserName  = 'Henry O''Neil'"_s, 1},
        {u"Select ip from users order by ip"_s, 32},
        {u" select * from (Users U left join  UserRole UR on U.RoleID = UR.Rid)  left join "
         u"UserSort US on U.pid = US.id where uid = 5"_s,
         1},
        {u"select Rid,RName from UserRole order by RName"_s, 5},
        {u"select US.Name as PName,U.*  from Users U inner join UserSort US on U.Pid=US.Id"_s, 30},
        {u" select U.Uid,U.Auths,U.RoleId,U.ULevel,EL.LName as ULName,UR.Level as DefL, "
         u"DEL.LName as DefLName,U.Groups as UGroups,UR.Group as DefGroups from ((Users U "
         u"left join EnLevel EL on U.uLevel = EL.Lid ) left join UserRole UR on U.RoleId = "
         u"UR.Rid) left join EnLevel DEL on UR.Level = DEL.Lid where Uid = 6"_s,
         1},
        {u" select * from EnGroup where GId in (2,3)"_s, 2},
        {u"select * from TaskScan where Uid = 2"_s, 1},
        {u"select * from UserOut where uid=4"_s, 1},
        {u" select U.*,US.name as DName from users U left join UserSort US on U.Pid = US.id "
         u"where uid=4"_s,
         1},
        {u"Select * from PlyFile where Fid=1"_s, 1},
        {u"select * from PlyMailGroup Inner join PlyMail on PlyMail.id=PlyMailGroup.mid where "
         u"sid=1"_s,
         2},
    };
    for (const auto& [sql, rows] : reads) {
        DbQuery query(db.connection());
        query.setSql(sql);
        EXPECT_NO_THROW(query.open()) << sql.toStdString();
        if (rows >= 0) {
            EXPECT_EQ(query.recordCount(), rows) << sql.toStdString();
        }
    }
    const std::pair<QString, QString> scalars[] = {
        {u"select count(name) from UserSort where id=999"_s, u"0"_s},
        {u"select name from UserSort where id=3"_s, u"测试小组"_s},
        {u"select ScreenText from other"_s, u"本机受文件加密系统保护"_s},
        {u"select Count(FID) from FlowChart where Comm<>0"_s, u"0"_s},
        {u"select Count(rid) from PlyMailRole where rid=2"_s, u"2"_s},
    };
    for (const auto& [sql, value] : scalars)
        EXPECT_EQ(scalar(sql), value) << sql.toStdString();
}

// In order: each statement sees what the ones before it changed.
TEST_P(StatementTableTest, WriteStatementsRunInOrder) {
    EXPECT_EQ(exec(u"Insert Into usersort (pid,name) values (:p,:n)"_s,
                   {{u"p"_s, 2}, {u"n"_s, u"新小组"_s}}),
              1);
    post(u"select * from usersort where id = 2"_s, u"name"_s, u"软件一组"_s);
    EXPECT_EQ(scalar(u"select name from UserSort where id=2"_s), u"软件一组"_s);
    EXPECT_EQ(exec(u"update UserSort set pid=:p where pid=:i"_s, {{u"p"_s, 1}, {u"i"_s, 2}}), 2);
    EXPECT_EQ(exec(u"Update users set pid=1 where pid=2"_s), 4);
    EXPECT_EQ(exec(u"delete * from usersort where id =2"_s), 1);
    EXPECT_EQ(exec(u"update UserSort set pid=:p where id=:u"_s, {{u"p"_s, 6}, {u"u"_s, 3}}), 1);
    post(u"select * from  users"_s, u"pid"_s, 7, false, u"uid"_s, 26);
    EXPECT_EQ(exec(u"delete * from users where Uid in (12,15,20)"_s), 3);
    EXPECT_EQ(exec(u"Update users set Onlined = 0  "_s), 29);
    EXPECT_EQ(exec(u"Update users set Onlined = 0  where pid = 1"_s), 6);
    post(u"select * from Users where Uid = 6"_s, u"Groups"_s, u"|2|5|"_s);
    post(u"select * from Users where Uid = 0"_s, u"UserName"_s, u"新用户"_s, true);
    EXPECT_EQ(scalar(u"select max(Uid) from Users"_s), u"33"_s);
    post(u"select * from TaskScan"_s, u"Uid"_s, u"5"_s, true);
    EXPECT_EQ(scalar(u"select count(Uid) from TaskScan Where Uid= 5"_s), u"1"_s);
    EXPECT_EQ(
        exec(u"update users set ScanTime='定时扫描12:00:00开始，解密''外部''文件' where uid=5"_s),
        1);
    EXPECT_EQ(scalar(u"select ScanTime from Users where uid=5"_s),
              u"定时扫描12:00:00开始，解密'外部'文件"_s);
    EXPECT_EQ(exec(u"Insert into LogAct (Lwhen,Lwho,Lwhere,Lhow,Lwhat,Lresult) values "
                   u"(:t1,:t2,:t3,:t4,:t5,:t6)"_s,
                   {{u"t1"_s, u"2024-06-01 08:00:00"_s},
                    {u"t2"_s, u"admin"_s},
                    {u"t3"_s, u"Server"_s},
                    {u"t4"_s, u"扫描设置"_s},
                    {u"t5"_s, u"李娜(127.0.1.12)"_s},
                    {u"t6"_s, u"OK"_s}}),
              1);
    EXPECT_EQ(scalar(u"select count(*) from LogAct"_s), u"3"_s);
    post(u"select * from UserOut where uid=4"_s, u"outdate"_s, u"2031-6-1"_s);
    post(u"select * from UserOut where uid=3"_s, u"uid"_s, 3); // no record yet: edit appends
    EXPECT_EQ(scalar(u"select count(*) from UserOut"_s), u"2"_s);
}

INSTANTIATE_TEST_SUITE_P(Backends, StatementTableTest, ::testing::ValuesIn(testBackends()),
                         backendName);

} // namespace
