// Every statement the users-management module sends, completed with the ids and values it
// appends, run against the demo site on each backend.
#include "DbError.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

enum class Kind { Open, Scalar, Execute, Edit, Append };
using Params = QList<std::pair<QString, QVariant>>;

// Open expects a record count, Scalar the first field, Execute the rows affected (an invalid
// expectation only checks that the statement runs). Edit locates (or takes the first record),
// edits, sets field and posts; Append appends, sets field and posts.
struct Statement {
    Kind kind;
    QString sql;
    QVariant expected;
    Params params = {};
    QString field = {};
    QVariant value = {};
    QString locateField = {};
    QVariant locateValue = {};
};

Statement open(const QString& sql, const QVariant& rows) {
    return {Kind::Open, sql, rows};
}
Statement scalar(const QString& sql, const QVariant& value) {
    return {Kind::Scalar, sql, value};
}
Statement exec(const QString& sql, int rows, const Params& params = {}) {
    return {Kind::Execute, sql, rows, params};
}
Statement edit(const QString& sql, const QString& field, const QVariant& value,
               const QString& locateField = {}, const QVariant& locateValue = {}) {
    return {Kind::Edit, sql, {}, {}, field, value, locateField, locateValue};
}
Statement append(const QString& sql, const QString& field, const QVariant& value) {
    return {Kind::Append, sql, {}, {}, field, value};
}

const QString userList = u"SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole "
                         u"AS UR ON U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id "_s;
const QString singleUser = u"SELECT US.Name as DName,* FROM (Users AS U left JOIN UserRole AS UR "
                           u"ON U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id "_s;
const QString root = userList + u"where 1 = 1 "_s;

QList<Statement> readStatements() {
    return {
        // Department tree, user list and its search conditions.
        open(u"select * from UserSort order by pid,id"_s, 13),
        open(userList + u"where U.pid=2"_s, 4),
        open(root, 32),
        open(root + u" and OnLined <> 0"_s, 11),
        open(userList + u"where U.pid=2 and OnLined = 0"_s, 2),
        open(root + u" and UserName  like '%张%'"_s, 1),
        open(root + u" and US.Name  like '%sales%'"_s, 2),
        open(root + u" and Ip  like '%127.0.1.%'"_s, 9),
        open(root + u" and ComputerName  = 'pc-003'"_s, 1),
        open(root + u" and RName  like '%研发%'"_s, 12),
        open(root + u" and CliVer  = '3.5.1'"_s, 10),
        open(userList + u"where U.pid=2 and UserName  like '%a%' and US.Name  like '%a%' and Ip "
                        u" like '%1%' and ComputerName  like '%pc%' and RName  like '%s%' and "
                        u"CliVer  like '%3%'"_s,
             {}),
        open(root + u" and UserName  = 'Henry O''Neil'"_s, 1),
        // Department editing.
        open(u"select * from usersort where name = 'Sales'"_s, 1),
        open(u"select * from usersort where name = '软件组' and id <>2"_s, 0),
        open(u"select * from usersort where id = 2"_s, 1),
        open(u"select * from other where depart=9"_s, 1),
        open(u"select * from other where depart=2"_s, 0),
        scalar(u"select pid from UserSort where id=3"_s, 2),
        open(u"select * from other"_s, 1),
        open(u"select * from UserSort where id = 6"_s, 1),
        open(u"select * from  users"_s, 32),
        // User editing.
        open(singleUser + u"where Uid = 3"_s, 1),
        scalar(singleUser + u"order by Uid desc "_s, {}),
        open(u"Select ip from users order by ip"_s, 32),
        // User properties, department role, user chooser, authority.
        open(u"select * from UserSort"_s, 13),
        open(u"select * from UserRole"_s, 5),
        open(u" select * from (Users U left join  UserRole UR on U.RoleID = UR.Rid)  left join "
             u"UserSort US on U.pid = US.id where uid = 5"_s,
             1),
        open(u" select * from UserSort US left join  UserRole UR on UR.Rid = US.DRole  where id "
             u"= 2"_s,
             1),
        open(u" select * from UserSort US left join  UserRole UR on UR.Rid = US.DRole  where id "
             u"= 5"_s,
             1),
        open(u"select * from Users where Uid = 5"_s, 1),
        open(u"select * from Users where Uid = 0"_s, 0),
        open(u"select Rid,RName from UserRole order by RName"_s, 5),
        open(u"select US.Name as PName,U.*  from Users U inner join UserSort US on U.Pid=US.Id"_s,
             30),
        open(u" select * from other where id = 1"_s, 1),
        open(u"select * from EnLevel"_s, 4),
        open(u" select U.Uid,U.Auths,U.RoleId,U.ULevel,EL.LName as ULName,UR.Level as DefL, "
             u"DEL.LName as DefLName,U.Groups as UGroups,UR.Group as DefGroups from ((Users U "
             u"left join EnLevel EL on U.uLevel = EL.Lid ) left join UserRole UR on U.RoleId = "
             u"UR.Rid) left join EnLevel DEL on UR.Level = DEL.Lid where Uid = 6"_s,
             1),
        open(u" select * from EnGroup where GId in (2,3)"_s, 2),
        open(u"select * from EnGroup"_s, 5),
        // Scan tasks.
        open(u"select * from Users"_s, 32),
        scalar(u"select count(name) from UserSort where id=3"_s, 1),
        scalar(u"select count(name) from UserSort where id=999"_s, 0),
        scalar(u"select name from UserSort where id=3"_s, u"测试小组"_s),
        scalar(u"select count(Uid) from TaskScan Where Uid= 2"_s, 1),
        open(u"select * from TaskScan where Uid = 2"_s, 1),
        open(u"select * from TaskScan"_s, 1),
        // Offline authorization and the policy texts.
        open(u"Select * from Users where Uid = 4"_s, 1),
        open(u"select * from UserOut where uid=4"_s, 1),
        open(u" select U.*,US.name as DName from users U left join UserSort US on U.Pid = US.id "
             u"where uid=4"_s,
             1),
        open(u"select * from UserRole where Rid=2"_s, 1),
        open(u"select * from UserRole where Rid=-1"_s, 0),
        scalar(u"select ScreenText from other"_s, u"本机受文件加密系统保护"_s),
        open(u"Select * from PlyFile where Fid=1"_s, 1),
        scalar(u"select Count(FID) from FlowChart where Comm<>0"_s, 0),
        scalar(u"select Count(uid) from FlowUser where uid=3"_s, 1),
        scalar(u"select Count(rid) from PlyMailRole where rid=2"_s, 2),
        scalar(u"select pid from PlyMailSort where id=3"_s, 2),
        scalar(u"select RoleId from users where uid=3"_s, 2),
        open(u"Select * from PlyMailRole where rid=4"_s, 3),
        open(u"select * from PlyMailSort where Comm <> 0"_s, 1),
        open(u"select * from PlyMailSort where id=2"_s, 1),
        open(u"select * from PlyMailSort where pid=2"_s, 1),
        open(u"select * from PlyMailGroup Inner join PlyMail on PlyMail.id=PlyMailGroup.mid where "
             u"sid=1"_s,
             2),
    };
}

// In order: each statement sees what the ones before it changed.
QList<Statement> writeStatements() {
    return {
        exec(u"Insert Into usersort (pid,name) values (:p,:n)"_s, 1,
             {{u"p"_s, 2}, {u"n"_s, u"新小组"_s}}),
        edit(u"select * from usersort where id = 2"_s, u"name"_s, u"软件一组"_s),
        scalar(u"select name from UserSort where id=2"_s, u"软件一组"_s),
        exec(u"update UserSort set pid=:p where pid=:i"_s, 2, {{u"p"_s, 1}, {u"i"_s, 2}}),
        exec(u"Update users set pid=1 where pid=2"_s, 4),
        exec(u"delete * from usersort where id =2"_s, 1),
        exec(u"update UserSort set pid=:p where id=:u"_s, 1, {{u"p"_s, 6}, {u"u"_s, 3}}),
        edit(u"select * from  users"_s, u"pid"_s, 7, u"uid"_s, 26),
        exec(u"delete * from users where Uid in (12,15,20)"_s, 3),
        exec(u"Update users set Onlined = 0  "_s, 29),
        exec(u"Update users set Onlined = 0  where pid = 1"_s, 6),
        exec(u"update UserSort set DRole = 3 where id = 5"_s, 1),
        exec(u"update Users set RoleId = 3 where Pid = 5"_s, 1),
        exec(u"update Users set Pid = 7 where Uid in (1,2,3)"_s, 3),
        edit(u"select * from Users where Uid = 6"_s, u"Groups"_s, u"|2|5|"_s),
        append(u"select * from Users where Uid = 0"_s, u"UserName"_s, u"新用户"_s),
        scalar(singleUser + u"order by Uid desc "_s, {}),
        scalar(u"select max(Uid) from Users"_s, 33),
        edit(u"select * from TaskScan where Uid = 2"_s, u"begin"_s, u"12:00:00"_s),
        append(u"select * from TaskScan"_s, u"Uid"_s, u"5"_s),
        scalar(u"select count(Uid) from TaskScan Where Uid= 5"_s, 1),
        exec(u"update users set ScanTime='定时扫描12:00:00开始，解密''外部''文件' where uid=5"_s,
             1),
        scalar(u"select ScanTime from Users where uid=5"_s,
               u"定时扫描12:00:00开始，解密'外部'文件"_s),
        exec(u"Insert into LogAct (Lwhen,Lwho,Lwhere,Lhow,Lwhat,Lresult) values "
             u"(:t1,:t2,:t3,:t4,:t5,:t6)"_s,
             1,
             {{u"t1"_s, u"2024-06-01 08:00:00"_s},
              {u"t2"_s, u"admin"_s},
              {u"t3"_s, u"Server"_s},
              {u"t4"_s, u"扫描设置"_s},
              {u"t5"_s, u"李娜(127.0.1.12)"_s},
              {u"t6"_s, u"OK"_s}}),
        scalar(u"select count(*) from LogAct"_s, 3),
        edit(u"select * from UserOut where uid=4"_s, u"outdate"_s, u"2031-6-1"_s),
        edit(u"select * from UserOut where uid=3"_s, u"uid"_s, 3),
        scalar(u"select count(*) from UserOut"_s, 2),
    };
}

void run(DbConnection* connection, const Statement& statement) {
    DbQuery query(connection);
    query.setSql(statement.sql);
    for (const auto& [name, value] : statement.params) {
        query.setParam(name, value);
    }
    const bool check = statement.expected.isValid();
    switch (statement.kind) {
    case Kind::Open:
        query.open();
        if (check) {
            EXPECT_EQ(query.recordCount(), statement.expected.toInt());
        }
        return;
    case Kind::Scalar:
        query.open();
        ASSERT_FALSE(query.isEmpty());
        if (check) {
            EXPECT_EQ(query.value(0).toString(), statement.expected.toString());
        }
        return;
    case Kind::Execute:
        EXPECT_EQ(query.execSql(), statement.expected.toInt());
        return;
    case Kind::Edit:
    case Kind::Append:
        query.open();
        if (statement.kind == Kind::Append) {
            query.append();
        } else {
            if (!statement.locateField.isEmpty()) {
                ASSERT_TRUE(query.locate(statement.locateField, statement.locateValue));
            }
            query.edit();
        }
        query.setValue(statement.field, statement.value);
        query.post();
        EXPECT_EQ(query.value(statement.field).toString(), statement.value.toString());
    }
}

void runAll(DbConnection* connection, const QList<Statement>& statements) {
    for (const Statement& statement : statements) {
        QString described = statement.sql;
        for (const auto& [name, value] : statement.params) {
            described += u" [:"_s + name + u'=' + value.toString() + u']';
        }
        SCOPED_TRACE(described.toStdString());
        try {
            run(connection, statement);
        } catch (const DbError& error) {
            ADD_FAILURE() << "failed: " << error.what();
        }
    }
}

class StatementTableTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam()};
};

TEST_P(StatementTableTest, ReadStatementsRunOnTheDemoSite) {
    runAll(db.connection(), readStatements());
}

TEST_P(StatementTableTest, WriteStatementsRunInOrder) {
    runAll(db.connection(), writeStatements());
}

INSTANTIATE_TEST_SUITE_P(Backends, StatementTableTest, ::testing::ValuesIn(testBackends()),
                         backendName);

} // namespace
