#include "HostOptions.h"
#include "ConnectionDialog.h"
#include "ConnectionProfiles.h"
#include "IniFile.h"
#include "ui_ConnectionDialog.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Options read with the user's configuration folder in a scratch folder.
class HostOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit()); }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }
    std::optional<HostOptions> parse(const QStringList& arguments, QString& error) {
        return parseHostOptions(QStringList{u"kvzconsole"_s} + arguments, error);
    }
    QTemporaryDir config;
};

} // namespace

// A database opens only when it exists, unless creating it was asked for.
TEST_F(HostOptionsTest, OnlyAnExistingFileOpensUnlessCreatingIsAsked) {
    QTemporaryDir folder;
    const QString missing = folder.filePath(u"prodution-typo.db"_s);
    const QString elsewhere = folder.filePath(u"no-folder/site.db"_s);
    struct Case {
        QStringList arguments;
        QString refusal; // part of the error; empty: accepted
        HostOptions::Create create = HostOptions::Create::Never;
    };
    const Case cases[] = {
        {{u"--sqlite"_s, missing}, u"--demo"_s},
        {{u"--sqlite"_s, u"   "_s}, u"--sqlite"_s},
        {{u"--sqlite"_s, elsewhere, u"--create"_s}, u"folder"_s},
        {{u"--sqlite"_s, missing, u"--create"_s, u"--demo"_s}, u"--create"_s},
        {{u"--sqlite"_s, missing, u"--demo"_s, u"--read-only"_s}, u"--read-only"_s},
        {{u"--sqlite"_s, missing, u"--create"_s}, {}, HostOptions::Create::Empty},
        {{u"--sqlite"_s, missing, u"--demo"_s}, {}, HostOptions::Create::Demo},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(u' ').toStdString());
        QString error;
        const std::optional<HostOptions> options = parse(c.arguments, error);
        ASSERT_EQ(options.has_value(), c.refusal.isEmpty()) << error.toStdString();
        if (options) {
            EXPECT_TRUE(options->isNew);
            EXPECT_EQ(options->create, c.create);
        } else {
            EXPECT_TRUE(error.contains(c.refusal)) << error.toStdString();
        }
    }
    EXPECT_TRUE(QDir(folder.path()).isEmpty()) << "nothing created while reading options";
}

// The package folder chosen last time comes from the settings file in the user's configuration
// folder; one named on the command line wins.
TEST_F(HostOptionsTest, PackageFolderIsReadFromTheSettingsFile) {
    QString error;
    std::optional<HostOptions> options = parse({u"--sqlite"_s, u"x.db"_s, u"--create"_s}, error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_TRUE(options->iniFile.startsWith(config.path())) << options->iniFile.toStdString();
    EXPECT_EQ(options->outDir, QDir::homePath()) << "nothing chosen yet";
    ASSERT_TRUE(writeIniString(options->iniFile, u"option"_s, u"Path"_s, u"/srv/packages 2"_s,
                               options->codePage));
    options = parse({u"--sqlite"_s, u"x.db"_s, u"--create"_s}, error);
    EXPECT_EQ(options->outDir, u"/srv/packages 2"_s);
    options = parse({u"--sqlite"_s, u"x.db"_s, u"--create"_s, u"--out-dir"_s, u"/tmp/o"_s}, error);
    EXPECT_EQ(options->outDir, u"/tmp/o"_s);
}

TEST(HostOptions, DatabaseNamesFileOrServerUserAndSchema) {
    DbSettings pg;
    ASSERT_TRUE(parsePostgresAddress(u"db.example:5433/kvz"_s, pg));
    pg.user = u"console"_s;
    pg.schema = u"site2"_s;
    EXPECT_EQ(databaseName(pg), u"console@db.example:5433/kvz (site2)"_s);
    DbSettings file;
    file.sqlitePath = u"site.db"_s;
    EXPECT_EQ(databaseName(file), QDir::current().absoluteFilePath(u"site.db"_s));
}

// Connections are remembered most recent first, one per name, a password only when asked for
// and then in a file only its owner can read; --profile opens one by name.
TEST_F(HostOptionsTest, SavedConnectionsAndProfiles) {
    ConnectionProfiles profiles;
    const QStringList pg{u"--pg"_s, u"127.0.0.1:5432/kvz"_s, u"--pg-user"_s,
                         u"kvz"_s,  u"--pg-password"_s,      u"s3cret"_s};
    ASSERT_TRUE(profiles.remember({u"main"_s, pg}, false));
    ASSERT_TRUE(profiles.remember({u"file"_s, {u"--sqlite"_s, u"/srv/site.db"_s}}, false));
    EXPECT_EQ(profiles.find(u"main"_s)->arguments, pg.first(4)) << "password dropped";
    ASSERT_TRUE(profiles.remember({u"main"_s, pg}, true));
    EXPECT_EQ(profiles.recent().first().arguments, pg);
    EXPECT_EQ(profiles.recent().size(), 2);
    EXPECT_FALSE(QFile::permissions(ConnectionProfiles::defaultFile()) &
                 (QFileDevice::ReadGroup | QFileDevice::ReadOther))
        << "readable by its owner only";
    for (int i = 0; i < ConnectionProfiles::MaxRecent + 2; ++i)
        profiles.remember({QString::number(i), {u"--sqlite"_s, u"x.db"_s}}, false);
    EXPECT_EQ(profiles.recent().size(), ConnectionProfiles::MaxRecent);

    QString error;
    std::optional<HostOptions> options = parse({u"--profile"_s, u"3"_s, u"--create"_s}, error);
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_TRUE(options->fromProfile);
    EXPECT_TRUE(options->database.sqlitePath.endsWith(u"x.db"_s));
    EXPECT_FALSE(parse({u"--profile"_s, u"main"_s}, error)) << "pushed out of the list";
    EXPECT_FALSE(parse({u"--profile"_s, u"3"_s, u"--sqlite"_s, u"y.db"_s}, error));
}

// A remembered connection chosen in the dialog gives back the options it was saved with.
TEST_F(HostOptionsTest, ConnectionDialogGivesBackAChosenConnection) {
    const QStringList pg{
        u"--pg"_s,  u"db.example:5433/kvz"_s, u"--pg-user"_s, u"console"_s, u"--pg-schema"_s,
        u"site2"_s, u"--pg-password"_s,       u"pw"_s};
    ConnectionDialog dialog({{u"site2"_s, pg}, {u"file"_s, {u"--sqlite"_s, u"/srv/a.db"_s}}});
    EXPECT_EQ(dialog.arguments(), pg);
    EXPECT_TRUE(dialog.keepPassword());
    dialog.ui()->LstRecent->setCurrentRow(1);
    EXPECT_EQ(dialog.arguments(), (QStringList{u"--sqlite"_s, u"/srv/a.db"_s}));
    EXPECT_EQ(dialog.profileName(), u"file"_s);
    dialog.ui()->EdFile->clear();
    EXPECT_FALSE(dialog.ui()->Buttons->button(QDialogButtonBox::Ok)->isEnabled());
}
