#include "Schema.h"
#include "DbError.h"
#include "DbQuery.h"
#include "TestDatabase.h"

#include <gtest/gtest.h>

namespace {

// The tables and columns the users-management module reads and writes.
const std::vector<std::pair<const char*, const char*>> requiredColumns = {
    {"UserSort", "id pid name DRole ctrl used"},
    {"Users", "Uid Pid UserName Password RoleId uKeyNo Auths uLevel Groups Ip ComputerName CliVer "
              "HardNo Onlined ScanTime"},
    {"UserRole", "Rid RName Level Group PlyIDs aCtrl kCtrl ConTime BakPath BakNum BakSev BakPort "
                 "AskEnTime UnlawExe AuthExe PLMUrl EnDirs DeDirs MailLevel"},
    {"EnLevel", "LId LName"},
    {"EnGroup", "GId GName"},
    {"other", "id Ctrl depart ScreenText"},
    {"TaskScan", "Uid name ip begin type"},
    {"UserOut", "uid ctrl outdate pass"},
    {"PlyFile", "Fid exes entype sufs exsufs expaths"},
    {"PlyMailSort", "id pid name Comm"},
    {"PlyMail", "id name mail"},
    {"PlyMailGroup", "sid mid"},
    {"PlyMailRole", "rid sid"},
    {"FlowChart", "FID Comm"},
    {"FlowUser", "uid"},
    {"LogAct", "id Lwhen Lwho Lwhere Lhow Lwhat Lresult"},
};

class SchemaTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam(), Seed::None};

    int count(const QString& sql) { return db.scalar(sql).toInt(); }
};

TEST_P(SchemaTest, NewDatabaseHasEveryTableAndColumn) {
    EXPECT_EQ(schemaVersion(*db.connection()), currentSchemaVersion);
    for (const auto& [table, columns] : requiredColumns) {
        const QString name = QString::fromLatin1(table);
        SCOPED_TRACE(table);
        EXPECT_TRUE(db.connection()->hasTable(name.toUpper()));
        DbQuery query(db.connection());
        query.setSql(QStringLiteral("select * from ") + name);
        query.open();
        for (const QString& column : QString::fromLatin1(columns).split(u' ')) {
            EXPECT_GE(query.fieldIndex(column), 0) << column.toStdString();
        }
        EXPECT_FALSE(db.connection()->primaryKey(name).isEmpty());
    }
    EXPECT_FALSE(db.connection()->hasTable(QStringLiteral("NoSuchTable")));
}

TEST_P(SchemaTest, CatalogReportsPrimaryKeysInOrder) {
    DbConnection* connection = db.connection();
    const auto key = [connection](const char* table) {
        return connection->primaryKey(QString::fromLatin1(table)).join(u',').toLower();
    };
    EXPECT_EQ(key("TaskScan"), QStringLiteral("uid"));
    EXPECT_EQ(key("userout"), QStringLiteral("uid"));
    EXPECT_EQ(key("LogAct"), QStringLiteral("id"));
    EXPECT_EQ(key("PlyMailGroup"), QStringLiteral("sid,mid"));
    EXPECT_EQ(key("PlyMailRole"), QStringLiteral("rid,sid"));
    EXPECT_TRUE(key("NoSuchTable").isEmpty());
}

TEST_P(SchemaTest, NewRowsTakeTheDefaults) {
    db.exec(QStringLiteral("insert into UserSort (pid, name) values (0, 'top')"));
    db.exec(QStringLiteral("insert into Users (UserName) values ('u')"));
    DbQuery department(db.connection());
    department.setSql(QStringLiteral("select * from UserSort"));
    department.open();
    EXPECT_EQ(department.asInteger(QStringLiteral("id")), 1);
    EXPECT_EQ(department.value(QStringLiteral("ctrl")).toInt(), 0);
    EXPECT_EQ(department.value(QStringLiteral("used")).toInt(), 0);
    EXPECT_TRUE(department.value(QStringLiteral("DRole")).isNull());

    DbQuery user(db.connection());
    user.setSql(QStringLiteral("select * from Users"));
    user.open();
    EXPECT_EQ(user.value(QStringLiteral("Onlined")).toInt(), 0);
    EXPECT_EQ(user.value(QStringLiteral("Auths")).toInt(), 0);
    EXPECT_EQ(user.value(QStringLiteral("uLevel")).toInt(), 0);
    EXPECT_EQ(user.value(QStringLiteral("Groups")).toString(), QString());
    EXPECT_FALSE(user.value(QStringLiteral("Groups")).isNull());
}

TEST_P(SchemaTest, HotPathIndexesExist) {
    const QString statement =
        GetParam() == DbBackend::SQLite
            ? QStringLiteral("select count(*) from sqlite_master where type = 'index' "
                             "and name like 'ix\\_%' escape '\\'")
            : QStringLiteral("select count(*) from pg_indexes where schemaname = "
                             "current_schema() and indexname like 'ix\\_%' escape '\\'");
    EXPECT_EQ(count(statement), 4);
}

// An up-to-date database is kept, one without a version table adopted, a newer one refused.
TEST_P(SchemaTest, MigrateKeepsAdoptsOrRefuses) {
    db.exec(QStringLiteral("insert into EnLevel (LId, LName) values (1, 'L1')"));
    migrate(*db.connection());
    EXPECT_EQ(schemaVersion(*db.connection()), currentSchemaVersion);
    EXPECT_EQ(count(QStringLiteral("select count(*) from SchemaVersion")), 1);
    db.dropTable(QStringLiteral("SchemaVersion"));
    EXPECT_EQ(schemaVersion(*db.connection()), 0);
    migrate(*db.connection());
    EXPECT_EQ(schemaVersion(*db.connection()), currentSchemaVersion);
    EXPECT_EQ(count(QStringLiteral("select count(*) from EnLevel")), 1);
    db.exec(QStringLiteral("update SchemaVersion set version = 99"));
    EXPECT_THROW(migrate(*db.connection()), DbError);
    EXPECT_EQ(schemaVersion(*db.connection()), 99);
}

class DemoSeedTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam()};

    int count(const QString& sql) { return db.scalar(sql).toInt(); }
};

TEST_P(DemoSeedTest, SeedIsConsistentAndAutoNumbersContinueAfterIt) {
    EXPECT_GE(count(QStringLiteral(
                  "with recursive tree(id, depth) as (select id, 1 from UserSort where pid = 0 "
                  "union all select u.id, tree.depth + 1 from UserSort u join tree on u.pid = "
                  "tree.id) select max(depth) from tree")),
              3);
    EXPECT_EQ(count(QStringLiteral("select count(distinct name) from UserSort")), 13);
    EXPECT_EQ(count(QStringLiteral("select count(*) from other o join UserSort s on "
                                   "s.id = o.depart where o.id = 1")),
              1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from UserRole where PlyIDs not like '|%|'")),
              0);
    EXPECT_GT(count(QStringLiteral("select count(*) from Users where Auths = 2 or Auths = 3")), 0);
    // Every user with a department and a role of its own finds both.
    EXPECT_EQ(count(QStringLiteral("select count(*) from Users U join UserSort S on U.Pid = S.id "
                                   "join UserRole R on U.RoleId = R.Rid")),
              29);
    db.exec(QStringLiteral("insert into Users (UserName) values ('next')"));
    db.exec(QStringLiteral("insert into LogAct (Lwhen) values ('now')"));
    EXPECT_EQ(count(QStringLiteral("select Uid from Users where UserName = 'next'")), 33);
    EXPECT_EQ(count(QStringLiteral("select max(id) from LogAct")), 3);
}

INSTANTIATE_TEST_SUITE_P(Backends, SchemaTest, ::testing::ValuesIn(testBackends()), backendName);
INSTANTIATE_TEST_SUITE_P(Backends, DemoSeedTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
