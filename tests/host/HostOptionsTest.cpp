#include "HostOptions.h"
#include "AccessibilityWalk.h"
#include "ConnectionDialog.h"
#include "ConnectionProfiles.h"
#include "IniFile.h"
#include "Multilanguage.h"
#include "ui_ConnectionDialog.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

// Options read with the user's configuration folder in a scratch folder.
class HostOptionsTest : public ::testing::Test {
protected:
    void SetUp() override { qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit()); }
    void TearDown() override { qunsetenv("XDG_CONFIG_HOME"); }
    std::optional<HostOptions> parse(const QStringList& arguments) {
        return parseHostOptions(QStringList{u"kvzconsole"_s, u"--create"_s} + arguments, error);
    }
    QTemporaryDir config;
    QString error;
};

} // namespace

// The package folder chosen last time comes from the settings file in the user's configuration
// folder; one named on the command line wins.
TEST_F(HostOptionsTest, PackageFolderIsReadFromTheSettingsFile) {
    const QStringList site{u"--sqlite"_s, u"x.db"_s};
    const QString iniFile = parse(site)->iniFile;
    EXPECT_TRUE(iniFile.startsWith(config.path())) << iniFile.toStdString();
    EXPECT_EQ(parse(site)->outDir, QDir::homePath()) << "nothing chosen yet";
    ASSERT_TRUE(writeIniString(iniFile, u"option"_s, u"Path"_s, u"/srv/pkg 2"_s, "GBK"));
    EXPECT_EQ(parse(site)->outDir, u"/srv/pkg 2"_s);
    EXPECT_EQ(parse(site + QStringList{u"--out-dir"_s, u"/o"_s})->outDir, u"/o"_s);
}

// Connections are remembered most recent first, one per name, a password only when asked for
// and then in a file only its owner can read; --profile opens one by name.
TEST_F(HostOptionsTest, SavedConnectionsAndProfiles) {
    ConnectionProfiles profiles;
    const QStringList pg{u"--pg"_s, u"127.0.0.1:5432/kvz"_s, u"--pg-user"_s,
                         u"kvz"_s,  u"--pg-password"_s,      u"s3cret"_s};
    ASSERT_TRUE(profiles.remember({u"main"_s, pg}, false));
    EXPECT_EQ(profiles.find(u"main"_s)->arguments, pg.first(4)) << "password dropped";
    ASSERT_TRUE(profiles.remember({u"main"_s, pg}, true));
    EXPECT_EQ(profiles.recent(), (QList<ConnectionProfile>{{u"main"_s, pg}}));
    EXPECT_FALSE(QFile::permissions(ConnectionProfiles::defaultFile()) &
                 (QFileDevice::ReadGroup | QFileDevice::ReadOther));
    for (int i = 0; i < ConnectionProfiles::MaxRecent; ++i)
        profiles.remember({QString::number(i), {u"--sqlite"_s, u"x.db"_s}}, false);
    EXPECT_EQ(profiles.recent().size(), ConnectionProfiles::MaxRecent);

    const std::optional<HostOptions> options = parse({u"--profile"_s, u"3"_s});
    ASSERT_TRUE(options) << error.toStdString();
    EXPECT_TRUE(options->database.sqlitePath.endsWith(u"x.db"_s));
    EXPECT_FALSE(parse({u"--profile"_s, u"main"_s})) << "pushed out of the list";
    EXPECT_FALSE(parse({u"--profile"_s, u"3"_s, u"--sqlite"_s, u"y.db"_s}));
}

// A remembered connection chosen in the dialog gives back the options it was saved with.
TEST_F(HostOptionsTest, ConnectionDialogGivesBackAChosenConnection) {
    const QStringList pg{u"--pg"_s,          u"db.example:5433/kvz"_s,
                         u"--pg-user"_s,     u"console"_s,
                         u"--pg-schema"_s,   u"site2"_s,
                         u"--pg-sslmode"_s,  u"verify-full"_s,
                         u"--pg-password"_s, u"pw"_s};
    ConnectionDialog dialog({{u"site2"_s, pg}, {u"file"_s, {u"--sqlite"_s, u"/srv/a.db"_s}}});
    EXPECT_EQ(dialog.arguments(), pg);
    EXPECT_TRUE(dialog.keepPassword());
    dialog.ui()->LstRecent->setCurrentRow(1);
    EXPECT_EQ(dialog.arguments(), (QStringList{u"--sqlite"_s, u"/srv/a.db"_s}));
    EXPECT_EQ(dialog.profileName(), u"file"_s);
    dialog.ui()->EdFile->clear();
    EXPECT_FALSE(dialog.ui()->Buttons->button(QDialogButtonBox::Ok)->isEnabled());
}

// In either language and with the fields of either kind of database, every control of the
// connection dialog has a name and the keyboard reaches them in reading order.
TEST_F(HostOptionsTest, ConnectionDialogIsReachedByKeyboardInReadingOrder) {
    for (const QString& language : {u"eng"_s, u"chs"_s}) {
        SetLanguage(language);
        ConnectionDialog dialog({{u"file"_s, {u"--sqlite"_s, u"/srv/a.db"_s}}});
        dialog.show();
        for (const int kind : {0, 1}) {
            dialog.ui()->CbKind->setCurrentIndex(kind);
            QCoreApplication::processEvents();
            const QStringList faults = inaccessibleControls(dialog) + backwardTabSteps(dialog);
            EXPECT_TRUE(faults.isEmpty()) << language.toStdString() << ' ' << kind << ": "
                                          << faults.join(u", "_s).toStdString();
        }
    }
}
