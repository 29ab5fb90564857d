// Every statement the users-management module sends, completed with the ids and values it
// appends, run against the demo site on each backend.
#include "DbError.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

namespace {

enum class Kind {
    Open,    // a select: expect the number of records
    Scalar,  // a select read from its first field
    Execute, // an action statement: expect the rows affected
    Edit,    // a single-table select: locate (or take the first record), edit, set, post
    Append   // a single-table select: append, set, post
};

struct Statement {
    Kind kind;
    QString sql;
    QVariant expected; // invalid: only check that the statement runs
    QList<std::pair<QString, QVariant>> params = {};
    QString locateField = {};
    QVariant locateValue = {};
    QString field = {};
    QVariant value = {};
};

QString text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

const QString userList =
    QStringLiteral("SELECT US.Name as DName,U.*,UR.* FROM (Users AS U left JOIN UserRole AS UR ON "
                   "U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id ");
const QString singleUser = QStringLiteral(
    "SELECT US.Name as DName,* FROM (Users AS U left JOIN UserRole AS UR ON U.RoleID=UR.Rid) "
    "left join UserSort US on U.Pid = US.id ");
const QString rootWhere = QStringLiteral("where 1 = 1 ");

QList<Statement> readStatements() {
    return {
        // Department tree and user list.
        {Kind::Open, QStringLiteral("select * from UserSort order by pid,id"), 13},
        {Kind::Open, userList + QStringLiteral("where U.pid=2"), 4},
        {Kind::Open, userList + rootWhere, 32},
        {Kind::Open, userList + rootWhere + QStringLiteral(" and OnLined <> 0"), 11},
        {Kind::Open, userList + QStringLiteral("where U.pid=2 and OnLined = 0"), 2},
        // Search conditions, fuzzy and exact.
        {Kind::Open, userList + rootWhere + text(" and UserName  like '%张%'"), 1},
        {Kind::Open, userList + rootWhere + QStringLiteral(" and US.Name  like '%sales%'"), 2},
        {Kind::Open, userList + rootWhere + QStringLiteral(" and Ip  like '%192.168.1.%'"), 9},
        {Kind::Open, userList + rootWhere + QStringLiteral(" and ComputerName  = 'pc-003'"), 1},
        {Kind::Open, userList + rootWhere + text(" and RName  like '%研发%'"), 12},
        {Kind::Open, userList + rootWhere + QStringLiteral(" and CliVer  = '3.5.1'"), 10},
        {Kind::Open,
         userList + QStringLiteral("where U.pid=2") +
             QStringLiteral(" and UserName  like '%a%' and US.Name  like '%a%' and "
                            "Ip  like '%1%' and ComputerName  like '%pc%' and RName "
                            " like '%s%' and CliVer  like '%3%'"),
         {}},
        {Kind::Open, userList + rootWhere + QStringLiteral(" and UserName  = 'Henry O''Neil'"), 1},
        // Department editing.
        {Kind::Open, QStringLiteral("select * from usersort where name = 'Sales'"), 1},
        {Kind::Open, text("select * from usersort where name = '软件组' and id <>2"), 0},
        {Kind::Open, QStringLiteral("select * from usersort where id = 2"), 1},
        {Kind::Open, QStringLiteral("select * from other where depart=9"), 1},
        {Kind::Open, QStringLiteral("select * from other where depart=2"), 0},
        {Kind::Scalar, QStringLiteral("select pid from UserSort where id=3"), 2},
        {Kind::Open, QStringLiteral("select * from other"), 1},
        {Kind::Open, QStringLiteral("select * from UserSort where id = 6"), 1},
        {Kind::Open, QStringLiteral("select * from  users"), 32},
        // User editing.
        {Kind::Open, singleUser + QStringLiteral("where Uid = 3"), 1},
        {Kind::Scalar, singleUser + QStringLiteral("order by Uid desc "), {}},
        {Kind::Open, QStringLiteral("Select ip from users order by ip"), 32},
        // User properties, department role, user chooser, authority.
        {Kind::Open, QStringLiteral("select * from UserSort"), 13},
        {Kind::Open, QStringLiteral("select * from UserRole"), 5},
        {Kind::Open,
         QStringLiteral(" select * from (Users U left join  UserRole UR on U.RoleID = UR.Rid)  "
                        "left join UserSort US on U.pid = US.id where uid = 5"),
         1},
        {Kind::Open,
         QStringLiteral(" select * from UserSort US left join  UserRole UR on UR.Rid = US.DRole  "
                        "where id = 2"),
         1},
        {Kind::Open,
         QStringLiteral(" select * from UserSort US left join  UserRole UR on UR.Rid = US.DRole  "
                        "where id = 5"),
         1},
        {Kind::Open, QStringLiteral("select * from Users where Uid = 5"), 1},
        {Kind::Open, QStringLiteral("select * from Users where Uid = 0"), 0},
        {Kind::Open, QStringLiteral("select Rid,RName from UserRole order by RName"), 5},
        {Kind::Open,
         QStringLiteral("select US.Name as PName,U.*  from Users U inner join UserSort US on "
                        "U.Pid=US.Id"),
         30},
        {Kind::Open, QStringLiteral(" select * from other where id = 1"), 1},
        {Kind::Open, QStringLiteral("select * from EnLevel"), 4},
        {Kind::Open,
         QStringLiteral(
             " select U.Uid,U.Auths,U.RoleId,U.ULevel,EL.LName as ULName,UR.Level as DefL, "
             "DEL.LName as DefLName,U.Groups as UGroups,UR.Group as DefGroups from ((Users U "
             "left join EnLevel EL on U.uLevel = EL.Lid ) left join UserRole UR on U.RoleId = "
             "UR.Rid) left join EnLevel DEL on UR.Level = DEL.Lid where Uid = 6"),
         1},
        {Kind::Open, QStringLiteral(" select * from EnGroup where GId in (2,3)"), 2},
        {Kind::Open, QStringLiteral("select * from EnGroup"), 5},
        // Scan tasks.
        {Kind::Open, QStringLiteral("select * from Users"), 32},
        {Kind::Scalar, QStringLiteral("select count(name) from UserSort where id=3"), 1},
        {Kind::Scalar, QStringLiteral("select count(name) from UserSort where id=999"), 0},
        {Kind::Scalar, QStringLiteral("select name from UserSort where id=3"), text("测试小组")},
        {Kind::Scalar, QStringLiteral("select count(Uid) from TaskScan Where Uid= 2"), 1},
        {Kind::Open, QStringLiteral("select * from TaskScan where Uid = 2"), 1},
        {Kind::Open, QStringLiteral("select * from TaskScan"), 1},
        // Offline authorization and the policy texts.
        {Kind::Open, QStringLiteral("Select * from Users where Uid = 4"), 1},
        {Kind::Open, QStringLiteral("select * from UserOut where uid=4"), 1},
        {Kind::Open,
         QStringLiteral(" select U.*,US.name as DName from users U left join UserSort US on "
                        "U.Pid = US.id where uid=4"),
         1},
        {Kind::Open, QStringLiteral("select * from UserRole where Rid=2"), 1},
        {Kind::Open, QStringLiteral("select * from UserRole where Rid=-1"), 0},
        {Kind::Scalar, QStringLiteral("select ScreenText from other"),
         text("本机受文件加密系统保护")},
        {Kind::Open, QStringLiteral("Select * from PlyFile where Fid=1"), 1},
        {Kind::Scalar, QStringLiteral("select Count(FID) from FlowChart where Comm<>0"), 0},
        {Kind::Scalar, QStringLiteral("select Count(uid) from FlowUser where uid=3"), 1},
        {Kind::Scalar, QStringLiteral("select Count(rid) from PlyMailRole where rid=2"), 2},
        {Kind::Scalar, QStringLiteral("select pid from PlyMailSort where id=3"), 2},
        {Kind::Scalar, QStringLiteral("select RoleId from users where uid=3"), 2},
        {Kind::Open, QStringLiteral("Select * from PlyMailRole where rid=4"), 3},
        {Kind::Open, QStringLiteral("select * from PlyMailSort where Comm <> 0"), 1},
        {Kind::Open, QStringLiteral("select * from PlyMailSort where id=2"), 1},
        {Kind::Open, QStringLiteral("select * from PlyMailSort where pid=2"), 1},
        {Kind::Open,
         QStringLiteral("select * from PlyMailGroup Inner join PlyMail on "
                        "PlyMail.id=PlyMailGroup.mid where sid=1"),
         2},
    };
}

// In order: each statement sees what the ones before it changed.
QList<Statement> writeStatements() {
    return {
        {Kind::Execute,
         QStringLiteral("Insert Into usersort (pid,name) values (:p,:n)"),
         1,
         {{QStringLiteral("p"), 2}, {QStringLiteral("n"), text("新小组")}}},
        {Kind::Edit,
         QStringLiteral("select * from usersort where id = 2"),
         {},
         {},
         {},
         {},
         QStringLiteral("name"),
         text("软件一组")},
        {Kind::Scalar, QStringLiteral("select name from UserSort where id=2"), text("软件一组")},
        {Kind::Execute,
         QStringLiteral("update UserSort set pid=:p where pid=:i"),
         2,
         {{QStringLiteral("p"), 1}, {QStringLiteral("i"), 2}}},
        {Kind::Execute, QStringLiteral("Update users set pid=1 where pid=2"), 4},
        {Kind::Execute, QStringLiteral("delete * from usersort where id =2"), 1},
        {Kind::Execute,
         QStringLiteral("update UserSort set pid=:p where id=:u"),
         1,
         {{QStringLiteral("p"), 6}, {QStringLiteral("u"), 3}}},
        {Kind::Edit,
         QStringLiteral("select * from  users"),
         {},
         {},
         QStringLiteral("uid"),
         26,
         QStringLiteral("pid"),
         7},
        {Kind::Execute, QStringLiteral("delete * from users where Uid in (12,15,20)"), 3},
        {Kind::Execute, QStringLiteral("Update users set Onlined = 0  "), 29},
        {Kind::Execute, QStringLiteral("Update users set Onlined = 0  where pid = 1"), 6},
        {Kind::Execute, QStringLiteral("update UserSort set DRole = 3 where id = 5"), 1},
        {Kind::Execute, QStringLiteral("update Users set RoleId = 3 where Pid = 5"), 1},
        {Kind::Execute, QStringLiteral("update Users set Pid = 7 where Uid in (1,2,3)"), 3},
        {Kind::Edit,
         QStringLiteral("select * from Users where Uid = 6"),
         {},
         {},
         {},
         {},
         QStringLiteral("Groups"),
         QStringLiteral("|2|5|")},
        {Kind::Append,
         QStringLiteral("select * from Users where Uid = 0"),
         {},
         {},
         {},
         {},
         QStringLiteral("UserName"),
         text("新用户")},
        {Kind::Scalar, singleUser + QStringLiteral("order by Uid desc "), {}},
        {Kind::Scalar, QStringLiteral("select max(Uid) from Users"), 33},
        {Kind::Edit,
         QStringLiteral("select * from TaskScan where Uid = 2"),
         {},
         {},
         {},
         {},
         QStringLiteral("begin"),
         QStringLiteral("12:00:00")},
        {Kind::Append,
         QStringLiteral("select * from TaskScan"),
         {},
         {},
         {},
         {},
         QStringLiteral("Uid"),
         QStringLiteral("5")},
        {Kind::Scalar, QStringLiteral("select count(Uid) from TaskScan Where Uid= 5"), 1},
        {Kind::Execute,
         text("update users set ScanTime='定时扫描12:00:00开始，解密''外部''文件' where uid=5"), 1},
        {Kind::Scalar, QStringLiteral("select ScanTime from Users where uid=5"),
         text("定时扫描12:00:00开始，解密'外部'文件")},
        {Kind::Execute,
         QStringLiteral("Insert into LogAct (Lwhen,Lwho,Lwhere,Lhow,Lwhat,Lresult) values "
                        "(:t1,:t2,:t3,:t4,:t5,:t6)"),
         1,
         {{QStringLiteral("t1"), QStringLiteral("2024-06-01 08:00:00")},
          {QStringLiteral("t2"), QStringLiteral("admin")},
          {QStringLiteral("t3"), QStringLiteral("Server")},
          {QStringLiteral("t4"), text("扫描设置")},
          {QStringLiteral("t5"), text("李娜(192.168.1.12)")},
          {QStringLiteral("t6"), QStringLiteral("OK")}}},
        {Kind::Scalar, QStringLiteral("select count(*) from LogAct"), 3},
        {Kind::Edit,
         QStringLiteral("select * from UserOut where uid=4"),
         {},
         {},
         {},
         {},
         QStringLiteral("outdate"),
         QStringLiteral("2031-6-1")},
        {Kind::Edit,
         QStringLiteral("select * from UserOut where uid=3"),
         {},
         {},
         {},
         {},
         QStringLiteral("uid"),
         3},
        {Kind::Scalar, QStringLiteral("select count(*) from UserOut"), 2},
    };
}

QString describe(const Statement& statement) {
    QString result = statement.sql;
    for (const auto& [name, value] : statement.params) {
        result += QStringLiteral(" [:") + name + u'=' + value.toString() + u']';
    }
    return result;
}

void runEditing(DbConnection* connection, const Statement& statement) {
    DbQuery query(connection);
    query.setSql(statement.sql);
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

void run(DbConnection* connection, const Statement& statement) {
    SCOPED_TRACE(describe(statement).toStdString());
    DbQuery query(connection);
    query.setSql(statement.sql);
    for (const auto& [name, value] : statement.params) {
        query.setParam(name, value);
    }
    switch (statement.kind) {
    case Kind::Open:
        query.open();
        if (statement.expected.isValid()) {
            EXPECT_EQ(query.recordCount(), statement.expected.toInt());
        }
        break;
    case Kind::Scalar:
        query.open();
        ASSERT_FALSE(query.isEmpty());
        if (statement.expected.isValid()) {
            EXPECT_EQ(query.value(0).toString(), statement.expected.toString());
        }
        break;
    case Kind::Execute:
        EXPECT_EQ(query.execSql(), statement.expected.toInt());
        break;
    case Kind::Edit:
    case Kind::Append:
        runEditing(connection, statement);
        break;
    }
}

void runAll(DbConnection* connection, const QList<Statement>& statements) {
    for (const Statement& statement : statements) {
        try {
            run(connection, statement);
        } catch (const DbError& error) {
            ADD_FAILURE() << describe(statement).toStdString() << "\n  failed: " << error.what();
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
