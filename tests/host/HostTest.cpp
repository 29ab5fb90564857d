#include "TestDatabase.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

struct ConsoleRun {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QStringList errorLines;
};

// Runs the console with arguments and waits for it; stderr split into its non-empty lines.
// Without a display the console gets no window system at all, as on a bare server.
ConsoleRun runConsole(const QStringList& arguments,
                      const QString& program = QStringLiteral(KVZCONSOLE_PATH),
                      bool display = true) {
    QTemporaryDir runtime;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    if (!display) {
        for (const QString& name : {u"QT_QPA_PLATFORM"_s, u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s})
            env.remove(name);
    }
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
    env.insert(u"XDG_CONFIG_HOME"_s, runtime.path());
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ConsoleRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        ADD_FAILURE() << "kvzconsole did not finish";
        return run;
    }
    run.exitCode = process.exitCode();
    run.status = process.exitStatus();
    run.errorLines =
        QString::fromLocal8Bit(process.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
    return run;
}

void expectOneLineFailure(const ConsoleRun& run, const QString& mentions) {
    EXPECT_EQ(run.status, QProcess::NormalExit) << "no crash";
    EXPECT_NE(run.exitCode, 0);
    ASSERT_EQ(run.errorLines.size(), 1) << run.errorLines.join(u" | "_s).toStdString();
    EXPECT_TRUE(run.errorLines.first().startsWith(u"kvzconsole: "_s));
    EXPECT_TRUE(run.errorLines.first().contains(mentions)) << run.errorLines.first().toStdString();
}

// Opens the site and saves a screenshot of the window.
void expectScreenshot(const QStringList& site, bool display = true) {
    QTemporaryDir folder;
    const QString shot = folder.filePath(u"shot.png"_s);
    const ConsoleRun run = runConsole(site + QStringList{u"--screenshot"_s, shot},
                                      QStringLiteral(KVZCONSOLE_PATH), display);
    EXPECT_EQ(run.status, QProcess::NormalExit);
    ASSERT_EQ(run.exitCode, 0) << run.errorLines.join(u" | "_s).toStdString();
    const QImage image(shot);
    EXPECT_GE(image.width(), 400);
    EXPECT_GE(image.height(), 300);
}

} // namespace

TEST(Host, MissingModuleIsOneLineAndAFailure) {
    QTemporaryDir folder;
    const QString copy = folder.filePath(u"kvzconsole"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(KVZCONSOLE_PATH), copy));
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner);
    expectOneLineFailure(
        runConsole({u"--sqlite"_s, folder.filePath(u"site.db"_s), u"--create"_s}, copy),
        u"module"_s);
    EXPECT_FALSE(QFile::exists(folder.filePath(u"site.db"_s))) << "nothing opened before";
}

// An unreachable server, a file that is no database, a folder where a file stands, and bad
// option values.
TEST(Host, UnusableSitesAndBadOptionsAreOneLineAndAFailure) {
    QTemporaryDir folder;
    QFile garbage(folder.filePath(u"garbage.db"_s));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, '\x5a'));
    garbage.close();
    const QString below = garbage.fileName() + u"/site.db"_s;
    for (const auto& [arguments, mentions] :
         {std::pair{QStringList{u"--pg"_s, u"127.0.0.1:1/kvz"_s, u"--pg-user"_s, u"kvz"_s},
                    u"127.0.0.1:1/kvz"_s},
          {{u"--sqlite"_s, garbage.fileName()}, garbage.fileName()},
          {{u"--sqlite"_s, below}, below},
          {{u"--sqlite"_s, QString()}, u"--sqlite"_s}, // a temporary database, lost at exit
          {{u"--sqlite"_s, folder.filePath(u"typo.db"_s)}, u"typo.db"_s},
          {{u"--sqlite"_s, u"  "_s}, u"--sqlite"_s},
          {{u"--sqlite"_s, below + u"x"_s, u"--demo"_s}, u"folder"_s},
          {{u"--sqlite"_s, u"x.db"_s, u"--create"_s, u"--demo"_s}, u"--create"_s},
          {{u"--sqlite"_s, folder.filePath(u"none.db"_s), u"--read-only"_s}, u"none.db"_s},
          {{u"--pg"_s, u"127.0.0.1:1/kvz"_s, u"--pg-sslmode"_s, u"on"_s}, u"--pg-sslmode"_s},
          {{u"--lang"_s, u"fr"_s}, u"--lang"_s},
          {{u"--auths"_s, u"lots"_s}, u"--auths"_s},
          {{u"--command-timeout"_s, u"15000"_s}, u"--command-timeout"_s},
          {{u"--command-timeout"_s, u"0,15000"_s}, u"--command-timeout"_s}}) {
        expectOneLineFailure(runConsole(arguments), mentions);
    }
    EXPECT_FALSE(QFile::exists(folder.filePath(u"typo.db"_s))) << "only created when asked";
}

// A new demo site is created when asked, then opened again, also read-only. On a machine without a
// display, help and screenshots work as they are; showing the window is refused in one line
// that says how to run.
TEST(Host, ScreenshotsOfANewDemoSiteWithAndWithoutADisplay) {
    QTemporaryDir folder;
    const QString program = QStringLiteral(KVZCONSOLE_PATH);
    const ConsoleRun help = runConsole({u"--help"_s}, program, false);
    EXPECT_EQ(help.status, QProcess::NormalExit);
    EXPECT_EQ(help.exitCode, 0) << help.errorLines.join(u" | "_s).toStdString();
    for (const bool display : {false, true}) {
        const QString database = folder.filePath(display ? u"shown.db"_s : u"bare.db"_s);
        for (int start = 0; start < 2; ++start) { // creates the site, then opens it again
            expectScreenshot({u"--sqlite"_s, database, u"--demo"_s}, display);
            EXPECT_TRUE(QFile::exists(database));
        }
        expectScreenshot({u"--sqlite"_s, database, u"--read-only"_s}, display);
    }
    expectOneLineFailure(runConsole({u"--sqlite"_s, folder.filePath(u"bare.db"_s)}, program, false),
                         u"--screenshot"_s);
}

// Without a database option the console asks for one; without a display the dialog is
// rendered into the picture, in either language.
TEST(Host, ScreenshotOfTheConnectionDialog) {
    QTemporaryDir folder;
    for (const QString& language : {u"chs"_s, u"eng"_s}) {
        const QString shot = folder.filePath(language + u".png"_s);
        const ConsoleRun run = runConsole({u"--lang"_s, language, u"--screenshot"_s, shot});
        ASSERT_EQ(run.exitCode, 0) << run.errorLines.join(u" | "_s).toStdString();
        EXPECT_GE(QImage(shot).width(), 300);
    }
}

TEST(Host, OpensAPostgresSite) {
    TestDatabase db(DbBackend::PostgreSQL);
    const DbSettings& pg = db.settings();
    const QStringList site = {u"--pg"_s,
                              pg.host + u':' + QString::number(pg.port) + u'/' + pg.database,
                              u"--pg-user"_s, pg.user};
    expectScreenshot(site + QStringList{u"--pg-schema"_s, pg.schema});
    expectOneLineFailure(
        runConsole(site +
                   QStringList{u"--pg-schema"_s, u"\"public\"; create table pwned(x int); --\""_s}),
        u"schema"_s);
    EXPECT_EQ(db.scalar(u"select count(*) from pg_tables where tablename = 'pwned'"_s).toInt(), 0);
}
