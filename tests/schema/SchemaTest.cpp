#include "Schema.h"
#include "DbError.h"
#include "DbQuery.h"
#include "NewDatabaseFile.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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

// An empty database of the current schema; DemoSeedTest has the demo site in it.
template <Seed seed> class SeededTest : public ::testing::TestWithParam<DbBackend> {
protected:
    TestDatabase db{GetParam(), seed};

    int count(const QString& sql) { return db.scalar(sql).toInt(); }
};
using SchemaTest = SeededTest<Seed::None>;
using DemoSeedTest = SeededTest<Seed::Demo>;

TEST_P(SchemaTest, NewDatabaseHasEveryTableAndColumn) {
    EXPECT_EQ(schemaVersion(*db.connection()), currentSchemaVersion);
    for (const auto& [table, columns] : requiredColumns) {
        const QString name = QString::fromLatin1(table);
        SCOPED_TRACE(table);
        EXPECT_TRUE(db.connection()->hasTable(name.toUpper()));
        DbQuery query(db.connection());
        query.setSql(u"select * from "_s + name);
        query.open();
        for (const QString& column : QString::fromLatin1(columns).split(u' ')) {
            EXPECT_GE(query.fieldIndex(column), 0) << column.toStdString();
        }
        EXPECT_FALSE(db.connection()->primaryKey(name).isEmpty());
    }
    EXPECT_FALSE(db.connection()->hasTable(u"NoSuchTable"_s));
    // The catalog reports keys of several columns in order, and none for a missing table.
    const QString keys = u"TaskScan=uid userout=uid LogAct=id PlyMailGroup=sid,mid "
                         u"PlyMailRole=rid,sid NoSuchTable="_s;
    for (const QString& entry : keys.split(u' ')) {
        const QStringList tableAndKey = entry.split(u'=');
        EXPECT_EQ(db.connection()->primaryKey(tableAndKey[0]).join(u',').toLower(), tableAndKey[1]);
    }
}

TEST_P(SchemaTest, NewRowsTakeTheDefaults) {
    db.exec(u"insert into UserSort (pid, name) values (0, 'top')"_s);
    db.exec(u"insert into Users (UserName) values ('u')"_s);
    EXPECT_EQ(count(u"select count(*) from UserSort where id = 1 and ctrl = 0 and used = 0 "
                    u"and DRole is null"_s),
              1);
    EXPECT_EQ(count(u"select count(*) from Users where Onlined = 0 and Auths = 0 and uLevel = 0 "
                    u"and Groups = ''"_s),
              1);
}

// An up-to-date database is kept, one without a version table adopted, a newer one refused.
TEST_P(SchemaTest, MigrateKeepsAdoptsOrRefuses) {
    db.exec(u"insert into EnLevel (LId, LName) values (1, 'L1')"_s);
    migrate(*db.connection());
    EXPECT_EQ(schemaVersion(*db.connection()), currentSchemaVersion);
    EXPECT_EQ(count(u"select count(*) from SchemaVersion"_s), 1);
    db.dropTable(u"SchemaVersion"_s);
    EXPECT_EQ(schemaVersion(*db.connection()), 0);
    migrate(*db.connection());
    EXPECT_EQ(schemaVersion(*db.connection()), currentSchemaVersion);
    EXPECT_EQ(count(u"select count(*) from EnLevel"_s), 1);
    db.exec(u"update SchemaVersion set version = 99"_s);
    EXPECT_THROW(migrate(*db.connection()), DbError);
    EXPECT_EQ(schemaVersion(*db.connection()), 99);
}

TEST_P(DemoSeedTest, SeedIsConsistentAndAutoNumbersContinueAfterIt) {
    EXPECT_GE(count(u"with recursive tree(id, depth) as (select id, 1 from UserSort where pid = 0 "
                    u"union all select u.id, tree.depth + 1 from UserSort u join tree on u.pid = "
                    u"tree.id) select max(depth) from tree"_s),
              3);
    EXPECT_GT(count(u"select count(*) from Users where Auths = 2 or Auths = 3"_s), 0);
    db.exec(u"insert into Users (UserName) values ('next')"_s);
    db.exec(u"insert into LogAct (Lwhen) values ('now')"_s);
    // 29 of the 32 users have a department and a role of their own, and find both.
    for (const auto& [sql, expected] :
         {std::pair{u"select count(distinct name) from UserSort"_s, 13},
          {u"select count(*) from other o join UserSort s on s.id = o.depart where o.id = 1"_s, 1},
          {u"select count(*) from UserRole where PlyIDs not like '|%|'"_s, 0},
          {u"select count(*) from Users U join UserSort S on U.Pid = S.id join UserRole R on "
           u"U.RoleId = R.Rid"_s,
           29},
          {u"select Uid from Users where UserName = 'next'"_s, 33},
          {u"select max(id) from LogAct"_s, 3}}) {
        EXPECT_EQ(count(sql), expected) << sql.toStdString();
    }
}

// Another program places the file while this one fills its own, or the filling fails: the
// other's file is kept, only this one's files go, and a file made here is owner-only.
TEST(NewDatabaseFile, AppearsWholeOwnerOnlyAndNeverReplacesAnother) {
    for (const bool otherFirst : {false, true}) {
        for (const bool fails : {false, true}) {
            QTemporaryDir dir;
            DbSettings settings;
            settings.sqlitePath = dir.filePath(u"site.db"_s);
            QFile file(settings.sqlitePath);
            std::unique_ptr<DbConnection> made;
            const QString error = errorOf([&] {
                made = createDatabaseFile(settings, [&](DbConnection& connection) {
                    createSchema(connection);
                    if (otherFirst && file.open(QIODevice::WriteOnly) && file.write("theirs"))
                        file.close();
                    if (fails)
                        throw DbError(u"disk full"_s);
                });
            });
            EXPECT_EQ(error.isEmpty(), !fails) << error.toStdString();
            ASSERT_EQ(made != nullptr, !otherFirst && !fails);
            if (made) {
                EXPECT_EQ(DbCommand(made.get(), u"pragma page_size"_s).scalar().toInt(), 16384);
#ifndef _WIN32 // Qt reports no access rights of Windows files
                EXPECT_EQ(file.permissions(), QFile::ReadOwner | QFile::WriteOwner |
                                                  QFile::ReadUser | QFile::WriteUser);
#endif
            } else if (otherFirst && file.open(QIODevice::ReadOnly)) {
                EXPECT_EQ(file.readAll(), "theirs");
            }
            made.reset();
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                      otherFirst || !fails ? QStringList{u"site.db"_s} : QStringList());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, SchemaTest, ::testing::ValuesIn(testBackends()), backendName);
INSTANTIATE_TEST_SUITE_P(Backends, DemoSeedTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
