#include "OfflineFixture.h"

#include "Multilanguage.h"
#include "OfflinePackage.h"
#include "OfflinePolicy.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtEndian>
#include <csignal>
#ifndef _WIN32
#include <sys/resource.h>
#endif

using namespace Qt::StringLiterals;

namespace {
QString outMain() {
    return QCoreApplication::applicationDirPath() + u"/OutMain.exe"_s;
}

QList<quint32> trailerOf(const QByteArray& bytes, int count) {
    QList<quint32> values;
    for (int i = count; i > 0; --i)
        values.append(qFromLittleEndian<quint32>(bytes.constData() + bytes.size() - 4 * i));
    return values;
}

struct Ran {
    int status;
    QStringList out;
};

Ran run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return {
        process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        QString::fromLocal8Bit(process.readAllStandardOutput())
            .remove(u'\r') // Windows ends lines with CR LF
            .split(u'\n', Qt::SkipEmptyParts)};
}
} // namespace

class OfflinePackageTest : public OfflineTest {
protected:
    OfflineOrder order(const QString& userName) {
        OfflineOrder o;
        o.connection = db->connection();
        o.uid = Org::Alice;
        o.userName = userName;
        o.folder = folder.filePath(u"out/deep"_s);
        o.program = outMain();
        o.authorization = {u"HW1"_s, u"2026-12-6"_s, u"2026-12-13"_s, 48, u"pw  "_s};
        return o;
    }
    QTemporaryDir folder;
};

TEST(OfflineDateTest, DateTextHasNoLeadingZeros) {
    EXPECT_EQ(dateText(QDate(2026, 3, 7)), u"2026-3-7"_s);
    EXPECT_EQ(dateText(QDate(2026, 12, 31)), u"2026-12-31"_s);
}

TEST(OfflineNameTest, PackageNameStaysInItsFolder) {
    const std::pair<QString, QString> cases[] = {
        {u" 张三 "_s, u"张三"_s},
        {u"../../x"_s, u"___.._x"_s},
        {u"a\\b:c*?\"<>|"_s, u"a_b_c______"_s},
        {u".."_s, u"__"_s},
        {u""_s, u"_"_s},
        {u"t\tab"_s, u"t_ab"_s},
        {u"a.b."_s, u"a.b."_s},
    };
    for (const auto& [user, stem] : cases)
        EXPECT_EQ(packageFileName(user), stem + u"_OutYXP.exe"_s) << user.toStdString();
}

// The package is the program, the marker, both files, their names and the seven integers; the
// stand-in, run as the package itself, reads the texts back.
TEST_P(OfflinePackageTest, PackageCarriesBothPolicies) {
    insert(u"PlyMailSort (id, pid, name, Comm)"_s, u"(12, 0, '销售', -1)"_s);
    insert(u"PlyMail (id, name, mail)"_s, u"(1, 'Agent', 'a@x')"_s);
    insert(u"PlyMailGroup (sid, mid)"_s, u"(12, 1)"_s);
    const QString path = SetOutLine(order(u"alice"_s));
    EXPECT_EQ(path, folder.filePath(u"out/deep/alice_OutYXP.exe"_s));
    EXPECT_EQ(QDir(folder.filePath(u"out/deep"_s)).entryList(QDir::Files),
              QStringList{u"alice_OutYXP.exe"_s});
    QFile package(path);
    ASSERT_TRUE(package.open(QIODevice::ReadOnly));
    const QByteArray bytes = package.readAll();
    const QList<quint32> trailer = trailerOf(bytes, 7);
    const qint64 programSize = QFileInfo(outMain()).size();
    EXPECT_EQ(trailer[0], programSize);
    EXPECT_EQ(trailer.mid(1), (QList<quint32>{6, trailer[2], trailer[3], 9, 8, 7}));
    EXPECT_EQ(bytes.mid(programSize, 6), "Client");
    EXPECT_EQ(bytes.size(), programSize + 6 + trailer[2] + trailer[3] + 17 + 28);
    EXPECT_EQ(bytes.mid(bytes.size() - 28 - 17, 17), "Exply.datMail.dat");
    EXPECT_TRUE(bytes.mid(programSize + 6, trailer[2]).endsWith("\r\n"));

    QStringList policy;
    GetPly(db->connection(), Org::Alice, policy);
    policy += authorizationLines(order({}).authorization);
    policy.last() = u"OutPW=pw"_s; // trailing blanks of the last line are trimmed
    const QStringList expected =
        QStringList{u"[Exply.dat]"_s} + policy +
        QStringList{u"[Mail.dat]"_s, u"ply=12|0|销售"_s, u"mil=12|Agent|a@x"_s,
                    u"authorized until 2026-12-13"_s};
    const Ran self = run(path, {u"--show"_s, u"--today=2026-12-13"_s, u"--hardno=HW1"_s});
    EXPECT_EQ(self.status, 0);
    EXPECT_EQ(self.out, expected);
    EXPECT_EQ(run(path, {u"--show"_s, u"--hardno=HW2"_s, u"--today=2026-12-1"_s}).status, 3);
    // A date that cannot be checked authorizes nothing.
    for (const auto& [today, status] : {std::pair{u"2026-12-14"_s, 4},
                                        {u"garbage"_s, 1},
                                        {u"2026-2-30"_s, 1},
                                        {u"2026-12-1x"_s, 1},
                                        {QString(), 1}})
        EXPECT_EQ(run(path, {u"--show"_s, u"--today="_s + today}).status, status)
            << today.toStdString();
}

TEST_P(OfflinePackageTest, DamagedPackagesAreRefused) {
    const QString path = SetOutLine(order(u"alice"_s));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray good = file.readAll();
    file.close();
    const auto withLast = [&good](quint32 value) {
        QByteArray bytes = good;
        qToLittleEndian(value, bytes.data() + bytes.size() - 4);
        return bytes;
    };
    const QByteArray cases[] = {good.left(good.size() - 1),
                                good.left(3),
                                withLast(6),
                                withLast(1u << 30),
                                good.left(good.size() - 28) + QByteArray(28, 0),
                                good.mid(1)};
    const QString damaged = folder.filePath(u"damaged"_s);
    for (const QByteArray& bytes : cases) {
        QFile out(damaged);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        EXPECT_EQ(run(outMain(), {u"--show"_s, u"--package"_s, damaged}).status, 2);
    }
    EXPECT_EQ(run(outMain(), {u"--show"_s}).status, 2); // the bare program carries no package
}

#ifndef _WIN32 // symbolic links and the file-size limit
// A shared folder with links and names planted: nothing is written through a link or under the
// policy files' names, a link at the package's name is replaced, and a package that cannot be
// finished (a folder in its place, no program, the file-size limit hit as at a full disk) leaves
// nothing behind and the previous package whole.
TEST_P(OfflinePackageTest, SharedFolderIsNeverWrittenThroughNorLeftHalfWritten) {
    const QDir out(order({}).folder);
    const auto entries = [&out] {
        return out.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    };
    QFile victim(folder.filePath(u"victim"_s));
    ASSERT_TRUE(victim.open(QIODevice::WriteOnly) && victim.write("#!/bin/sh\n") == 10);
    victim.close();
    ASSERT_TRUE(victim.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
    const QFile::Permissions victimMode = victim.permissions();
    ASSERT_TRUE(out.mkpath(u"Mail.dat"_s) && out.mkpath(u"bob_OutYXP.exe"_s));
    for (const QString& name : {u"Exply.dat"_s, u"alice_OutYXP.exe"_s})
        ASSERT_TRUE(victim.link(out.filePath(name)));
    const QStringList planted = entries();

    const QString path = SetOutLine(order(u"alice"_s));
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(QFileInfo(path).permissions(), QFileInfo(outMain()).permissions());
    EXPECT_THROW(SetOutLine(order(u"bob"_s)), EPackageError);
    OfflineOrder missing = order(u"carol"_s);
    missing.program = folder.filePath(u"none/OutMain.exe"_s);
    EXPECT_THROW(SetOutLine(missing), EPackageError);
    EXPECT_THROW(CompressExs({}, outMain(), out.path(), u"x"_s), EPackageError);
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{rlim_t(QFileInfo(outMain()).size() / 2), limit.rlim_max};
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString full;
    try {
        SetOutLine(order(u"alice"_s));
    } catch (const EPackageError& e) {
        full = QString::fromStdString(e.what());
    }
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, handler);
    EXPECT_EQ(full, GetString(u"OutNoSpace"_s) + path);
    EXPECT_EQ(run(path, {u"--show"_s}).status, 0);
    ASSERT_TRUE(victim.open(QIODevice::ReadOnly));
    EXPECT_EQ(victim.readAll(), "#!/bin/sh\n");
    EXPECT_EQ(victim.permissions(), victimMode);
    EXPECT_TRUE(QFileInfo(out.filePath(u"Exply.dat"_s)).isSymLink());
    EXPECT_EQ(entries(), planted);
}
#endif

// Packages for a whole department from the command line, recorded as the dialog records them;
// bad options and missing users end with their own status.
TEST_P(OfflinePackageTest, PackagesInBulkFromTheCommandLine) {
    const DbSettings& settings = db->settings();
    QStringList database{u"--sqlite"_s, settings.sqlitePath};
    if (settings.backend == DbBackend::PostgreSQL)
        database =
            QStringList{u"--pg"_s,
                        u"%1:%2/%3"_s.arg(settings.host).arg(settings.port).arg(settings.database)}
            << u"--pg-user"_s << settings.user << u"--pg-password"_s << settings.password
            << u"--schema"_s << settings.schema; // the old spelling is kept as an alias
    database << u"--out"_s << folder.filePath(u"bulk"_s);
    const QString expiry = QDate::currentDate().addDays(30).toString(Qt::ISODate);
    const struct {
        QStringList arguments;
        int status;
        qsizetype lines;
    } cases[] = {
        {{u"--uid"_s, u"99"_s}, 3, 0},
        {{u"--uid"_s, u"1"_s, u"--sqlite"_s, folder.filePath(u"typo.db"_s)}, 2, 0},
        {{u"--uid"_s, u"1"_s, u"--ctrl"_s, u"5"_s}, 2, 0},
        {{u"--uid"_s, u"1"_s, u"--expiry"_s, u"2000-01-01"_s}, 2, 0},
        {{u"--uid"_s, u"1"_s, u"--depart"_s, u"3"_s}, 2, 0},
        {{u"--depart"_s, u"3"_s, u"--ctrl"_s, u"48"_s, u"--auth-password"_s, u"p w "_s,
          u"--expiry"_s, expiry},
         0,
         2},
    };
    const QString tool = QCoreApplication::applicationDirPath() + u"/kvzoffline"_s;
    for (const auto& c : cases) {
        const Ran ran = run(tool, database + c.arguments);
        EXPECT_EQ(ran.status, c.status) << c.arguments.join(u' ').toStdString();
        EXPECT_EQ(ran.out.size(), c.lines);
    }
    EXPECT_FALSE(QFile::exists(folder.filePath(u"typo.db"_s))) << "a missing file is not created";
    const QString granted = u"48/"_s + today(30) + u"/p w "_s;
    EXPECT_EQ(userOut(Org::Alice), granted);
    EXPECT_EQ(userOut(Org::Bob), granted);
    const Ran bob = run(folder.filePath(u"bulk/bob_OutYXP.exe"_s), {u"--show"_s});
    EXPECT_EQ(bob.status, 0);
    EXPECT_TRUE(bob.out.contains(u"MyName=bob"_s));
}

INSTANTIATE_TEST_SUITE_P(Backends, OfflinePackageTest, ::testing::ValuesIn(testBackends()),
                         backendName);
