#include "NewDatabaseFile.h"

#include "DbError.h"
#include "Schema.h"
#include "TestDatabase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Two consoles creating one file: the one that finishes second keeps its hands off the file the
// first placed, and a failure removes only what the failing one made.
TEST(NewDatabaseFile, AppearsWholeOwnerOnlyAndNeverReplacesAnotherOne) {
    struct Case {
        const char* name;
        bool otherCreatesFirst; // another program places the file while this one fills its own
        bool fillFails;
    };
    for (const Case& c : {Case{"alone", false, false},
                          {"lost the race", true, false},
                          {"failed", false, true},
                          {"lost and failed", true, true}}) {
        SCOPED_TRACE(c.name);
        QTemporaryDir dir;
        DbSettings settings;
        settings.sqlitePath = dir.filePath(u"site.db"_s);
        const auto fill = [&](DbConnection& connection) {
            createSchema(connection);
            if (c.otherCreatesFirst) {
                QFile other(settings.sqlitePath);
                ASSERT_TRUE(other.open(QIODevice::WriteOnly));
                other.write("theirs");
            }
            if (c.fillFails)
                throw DbError(u"disk full"_s);
        };
        std::unique_ptr<DbConnection> created;
        const QString error = errorOf([&] { created = createDatabaseFile(settings, fill); });
        EXPECT_EQ(error, c.fillFails ? u"disk full"_s : QString());
        QFile file(settings.sqlitePath);
        if (c.otherCreatesFirst) {
            EXPECT_EQ(created, nullptr);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            EXPECT_EQ(file.readAll(), "theirs");
        } else if (!c.fillFails) {
            ASSERT_NE(created, nullptr);
            EXPECT_EQ(schemaVersion(*created), currentSchemaVersion);
            EXPECT_EQ(file.permissions(),
                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
            created.reset();
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  c.otherCreatesFirst || !c.fillFails ? QStringList{u"site.db"_s} : QStringList());
    }
}

} // namespace
