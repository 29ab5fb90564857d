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
ConsoleRun runConsole(const QString& program, const QStringList& arguments) {
    QTemporaryDir runtime;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
    env.insert(u"XDG_RUNTIME_DIR"_s, runtime.path());
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

ConsoleRun runConsole(const QStringList& arguments) {
    return runConsole(QStringLiteral(KVZCONSOLE_PATH), arguments);
}

void expectOneLineFailure(const ConsoleRun& run, const QString& mentions) {
    EXPECT_EQ(run.status, QProcess::NormalExit) << "no crash";
    EXPECT_NE(run.exitCode, 0);
    ASSERT_EQ(run.errorLines.size(), 1) << run.errorLines.join(u" | "_s).toStdString();
    EXPECT_TRUE(run.errorLines.first().startsWith(u"kvzconsole: "_s));
    EXPECT_TRUE(run.errorLines.first().contains(mentions)) << run.errorLines.first().toStdString();
}

} // namespace

TEST(Host, MissingModuleIsOneLineAndAFailure) {
    QTemporaryDir folder;
    const QString copy = folder.filePath(u"kvzconsole"_s);
    ASSERT_TRUE(QFile::copy(QStringLiteral(KVZCONSOLE_PATH), copy));
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner);
    expectOneLineFailure(runConsole(copy, {u"--sqlite"_s, folder.filePath(u"site.db"_s)}),
                         u"module"_s);
    EXPECT_FALSE(QFile::exists(folder.filePath(u"site.db"_s))) << "nothing opened before";
}

TEST(Host, UnreachablePostgresIsOneLineAndAFailure) {
    expectOneLineFailure(runConsole({u"--pg"_s, u"127.0.0.1:1/kvz"_s, u"--pg-user"_s, u"kvz"_s}),
                         u"127.0.0.1:1/kvz"_s);
}

TEST(Host, UnopenableDatabaseFileIsOneLineAndAFailure) {
    QTemporaryDir folder;
    QFile garbage(folder.filePath(u"garbage.db"_s));
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, '\x5a'));
    garbage.close();
    expectOneLineFailure(runConsole({u"--sqlite"_s, garbage.fileName()}), garbage.fileName());

    // A folder where a file stands: the database cannot be created.
    const QString below = garbage.fileName() + u"/site.db"_s;
    expectOneLineFailure(runConsole({u"--sqlite"_s, below}), below);
}

TEST(Host, BadOptionIsOneLineAndAFailure) {
    expectOneLineFailure(runConsole({u"--lang"_s, u"fr"_s}), u"--lang"_s);
    expectOneLineFailure(runConsole({u"--auths"_s, u"lots"_s}), u"--auths"_s);
}

TEST(Host, ScreenshotOfANewDemoSite) {
    QTemporaryDir folder;
    const QString database = folder.filePath(u"demo.db"_s);
    const QString shot = folder.filePath(u"shot.png"_s);
    for (int start = 0; start < 2; ++start) { // creates the site, then opens it again
        const ConsoleRun run = runConsole({u"--sqlite"_s, database, u"--screenshot"_s, shot});
        EXPECT_EQ(run.status, QProcess::NormalExit);
        ASSERT_EQ(run.exitCode, 0) << run.errorLines.join(u" | "_s).toStdString();
        const QImage image(shot);
        ASSERT_FALSE(image.isNull());
        EXPECT_GE(image.width(), 400);
        EXPECT_GE(image.height(), 300);
        EXPECT_TRUE(QFile::exists(database));
        QFile::remove(shot);
    }
}

TEST(Host, OpensAPostgresSite) {
    const TestDatabase db(DbBackend::PostgreSQL);
    const DbSettings& pg = db.settings();
    QTemporaryDir folder;
    const QString shot = folder.filePath(u"shot.png"_s);
    QStringList arguments{
        u"--pg"_s,         pg.host + u':' + QString::number(pg.port) + u'/' + pg.database,
        u"--pg-user"_s,    pg.user,
        u"--pg-schema"_s,  pg.schema,
        u"--screenshot"_s, shot};
    const ConsoleRun run = runConsole(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.errorLines.join(u" | "_s).toStdString();
    EXPECT_FALSE(QImage(shot).isNull());
}
