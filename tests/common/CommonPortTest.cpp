// The driver control unit against the port stand-in kvzfltd: what it receives, and the results
// following its replies, its silence, a hang-up and a refused connection.

#include "DriverPort.h"
#include "common.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#endif

#include <functional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;
using namespace kvzflt;

namespace {

struct Request {
    TMessage message{};
    std::uint32_t replySize = 0;
};

class CommonPortTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
#ifdef _WIN32
        port_ = u"kvz-%1-KVZ6InPort"_s.arg(QCoreApplication::applicationPid()); // a pipe
#else
        port_ = dir_.filePath(u"KVZ6InPort"_s);
#endif
        qputenv("KVZFLT_SOCKET", port_.toUtf8());
    }
    void TearDown() override {
        stopStandIn();
    }

    void stopStandIn() {
        standIn_.kill();
        standIn_.waitForFinished();
    }
    void startStandIn(QStringList arguments = {}) {
        stopStandIn();
        arguments << u"--record"_s << recordPath();
        standIn_.start(QString::fromUtf8(KVZFLTD_PATH), arguments);
        ASSERT_TRUE(standIn_.waitForReadyRead(5000)) << "kvzfltd did not start";
    }

    QString recordPath() const {
        return dir_.filePath(u"record.bin"_s);
    }
    std::string existingFile() const {
        const QString path = dir_.filePath(u"doc.txt"_s);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return path.toStdString();
    }

    std::vector<Request> takeRecords() {
        QFile file(recordPath());
        std::vector<Request> records;
        if (!file.open(QIODevice::ReadOnly))
            return records;
        const QByteArray bytes = file.readAll();
        qsizetype at = consumed_;
        for (; at + qsizetype(RequestSize) <= bytes.size(); at += RequestSize) {
            Request request;
            std::copy_n(bytes.constData() + at, MessageSize, request.message.begin());
            request.replySize = GetLE32(
                reinterpret_cast<const std::uint8_t*>(bytes.constData() + at + MessageSize));
            records.push_back(request);
        }
        consumed_ = at;
        return records;
    }

    QTemporaryDir dir_;
    QString port_; // where the stand-in listens
    QProcess standIn_;
    qsizetype consumed_ = 0; // record bytes taken so far
};

// "c=hex" reply options for a few codes.
const QStringList Replies = {u"--reply"_s, u"2=07"_s,
                             u"--reply"_s, u"14=0102030405060708"_s,
                             u"--reply"_s, u"30=1112131415161718"_s,
                             u"--reply"_s, u"15=01"_s,
                             u"--reply"_s, u"13=01"_s,
                             u"--reply"_s, u"21=202053 4e 2d 3432 2020 00 5858"_s.remove(u' ')};

TEST_F(CommonPortTest, EveryCommandArrivesAsBuiltWithItsReplySize) {
    startStandIn(Replies);
    using C = CommandType;
    const auto path = [](C code, const std::string& text) {
        return PathMessage(code, text).value();
    };
    const File_Auth auth{0x04030201, 0x08070605};
    const std::string file = existingFile();
    const std::string full(1024, 'a');
    const auto cmd = [](C code) { return CommandMessage(code); };
    File_Auth got;
    const struct {
        std::function<long long()> call;
        long long result;
        TMessage expected;
        std::uint32_t replySize;
    } cases[] = {
        {[] { return KVZFltSetCheckIfEncrypted("C:\\a"); }, 1, path(C::SetCheckIfEn, "C:\\a"), 1},
        {[&] { return KVZFltActCheckIfEncrypted("C:\\a", got) && got == auth; }, 1,
         path(C::ActCheckIfEn, "C:\\a"), 8},
        {[] { return KVZFltFreeCheckIfEncrypted("C:\\a"); }, 1, path(C::FreCheckIfEn, "C:\\a"), 1},
        {[&] { return SendDoEncryptFile(full); }, 1, path(C::DoEnFile, full), 0},
        {[] { return SendDoDecryptFile("C:\\d"); }, 1, path(C::DoDeFile, "C:\\d"), 0},
        {[] { return ClearDoEncryptFile("C:\\e"), 0; }, 0, path(C::ClrDoEnFile, "C:\\e"), 0},
        {[] { return ClearDoDecryptFile("C:\\d"), 0; }, 0, path(C::ClrDoDeFile, "C:\\d"), 0},
        {[] { return KVZFltKillProcess(1234); }, 1, cmd(C::KillProcess), 0},
        {[] { return KVZFltGetDiskSerialNumber() == "SN-42"; }, 1, cmd(C::GetDiskNo), 40},
        {[] { return KVZFltSetDbgProcess(), 0; }, 0, cmd(C::SetDbgExe), 0},
        {[] { return KVZFltClrDbgProcess(), 0; }, 0, cmd(C::ClrDbgExe), 0},
        {[] { return SendWordCloseEnWindow(), 0; }, 0, cmd(C::DocCloseEnWnd), 0},
        {[] { return SendWordCloseDeWindow(), 0; }, 0, cmd(C::DocCloseDeWnd), 0},
        {[] { return SendDelEncryptProcess(0x0A0B0C0D), 0; }, 0,
         ProcessMessage(C::DelProcess, 0x0A0B0C0D), 0},
        {[] { return SendRealEncryptProcess("C:\\w.exe"), 0; }, 0,
         path(C::RealProcess, "C:\\w.exe"), 0},
        {[&] {
             return QLMGetFileAuth(file, got) && got == File_Auth{0x14131211, 0x18171615};
         },
         1, path(C::GetFileAuth, file), 8},
        {[&] { return QLMSetFileAuth(file, auth), 0; }, 0,
         AuthPathMessage(C::SetFileAuth, auth, file).value(), 0},
        {[&] { return KVZSetEnFileAuth(auth); }, 1, AuthMessage(C::SetEnFileAuth, auth), 0},
        {[] { return KVZFltCheckKeyStatus(); }, 7, cmd(C::CheckKeyStatus), 1},
        {[] { return KVZFltSendKeyCommand(C::KeyPlug); }, 1, cmd(C::KeyPlug), 0},
        {[] { return KVZFltSetPlyPath(), 0; }, 0,
         path(C::SetPlyPath,
              PlyPathPayload(QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + u'/')
                                 .toStdString())),
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.expected[0]));
        EXPECT_EQ(c.call(), c.result);
        const auto records = takeRecords();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].message, c.expected);
        EXPECT_EQ(records[0].replySize, c.replySize);
    }
    EXPECT_FALSE(SendDoEncryptFile(full + 'a'));
    EXPECT_FALSE(KVZFltSetCheckIfEncrypted(full + 'a'));
    EXPECT_TRUE(takeRecords().empty()) << "paths past the payload are not sent";
}

TEST_F(CommonPortTest, SilenceHangUpAndRefusalGiveTheFailureValues) {
    const File_Auth untouched{9, 9};
    const auto failures = [&](const char* what, bool reached, bool taken) {
        File_Auth auth = untouched;
        EXPECT_EQ(KVZFltSetCheckIfEncrypted("C:\\a"), taken) << what;
        EXPECT_FALSE(KVZFltActCheckIfEncrypted("C:\\a", auth)) << what;
        EXPECT_EQ(auth, untouched) << what;
        EXPECT_EQ(KVZFltFreeCheckIfEncrypted("C:\\a"), 0) << what;
        EXPECT_EQ(SendDoEncryptFile("C:\\a"), taken) << what;
        EXPECT_EQ(KVZFltKillProcess(1), reached) << what;
        EXPECT_EQ(KVZFltGetDiskSerialNumber(), "") << what;
        EXPECT_EQ(KVZFltCheckKeyStatus(), 0) << what;
        EXPECT_EQ(KVZSetEnFileAuth(untouched), taken) << what;
    };
    failures("refused", false, false);
    startStandIn({u"--silent"_s});
    failures("silent", true, true);
    startStandIn({u"--hang-up"_s});
    failures("hang-up", true, false);
}

TEST_F(CommonPortTest, EncryptionCheckStepsFollowTheFile) {
    startStandIn(Replies);
    const std::string file = existingFile();
    const std::string missing = file + ".gone";
    const auto codes = [&] {
        std::vector<int> sent;
        for (const auto& r : takeRecords())
            sent.push_back(r.message[0]);
        return sent;
    };
    File_Auth auth;
    EXPECT_TRUE(KVZFltCheckIfEncrypted(file, auth));
    EXPECT_EQ(auth, (File_Auth{0x04030201, 0x08070605}));
    EXPECT_EQ(codes(), (std::vector<int>{13, 14}));
    EXPECT_FALSE(KVZFltCheckIfEncrypted(missing, auth));
    EXPECT_EQ(codes(), (std::vector<int>{13, 15}));
    EXPECT_FALSE(KVZFltCheckIfEncrypted("C:\\", auth));
    EXPECT_FALSE(KVZFltCheckIfEncryptedW(L"C:\\", auth));
    EXPECT_FALSE(KVZFltCheckIfEncryptedW(L"/tmp/Start.LNK", auth));
    EXPECT_EQ(codes(), std::vector<int>{});
    EXPECT_TRUE(KVZFltCheckIfEncryptedW(std::wstring(file.begin(), file.end()), auth));
    EXPECT_EQ(codes(), (std::vector<int>{13, 14}));
    EXPECT_FALSE(QLMGetFileAuth(missing, auth));
    QLMSetFileAuth(missing, auth);
    EXPECT_EQ(codes(), std::vector<int>{});
}

#ifndef _WIN32
// Many callers at once each get their reply, while a client that sent part of a request holds
// a connection until the stand-in cuts it off; the stand-in takes its socket path over only
// from a socket nobody listens on (here one left by a stopped server).
TEST_F(CommonPortTest, ManyCallersAndAStuckClientAndOnlyAStaleSocketReplaced) {
    const QString& port = port_;
    sockaddr_un address{AF_UNIX, {}};
    std::strncpy(address.sun_path, qPrintable(port), sizeof address.sun_path - 1);
    const auto* at = reinterpret_cast<const sockaddr*>(&address);
    const int stale = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(stale, at, sizeof address), 0); // the socket file stays when it closes
    ::close(stale);
    startStandIn(Replies);
    const int stuck = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(stuck, at, sizeof address), 0);
    ASSERT_EQ(::send(stuck, "partial", 7, MSG_NOSIGNAL), 7);
    std::vector<int> statuses(8);
    std::vector<std::thread> threads;
    for (auto& status : statuses)
        threads.emplace_back([&status] { status = KVZFltCheckKeyStatus(); });
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(statuses, std::vector<int>(8, 7));
    EXPECT_EQ(takeRecords().size(), 8u);
    const timeval bound{5, 0};
    ::setsockopt(stuck, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    char byte = 0;
    EXPECT_EQ(::recv(stuck, &byte, 1, 0), 0) << "cut off without an answer";
    ::close(stuck);

    QFile notes(dir_.filePath(u"notes.txt"_s));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly) && notes.write("keep") == 4);
    notes.close();
    for (const QString& taken : {port, notes.fileName()}) { // a live socket, a plain file
        QProcess second;
        second.start(QString::fromUtf8(KVZFLTD_PATH), {u"--socket"_s, taken});
        EXPECT_TRUE(second.waitForFinished(3000) && second.exitCode() == 1);
    }
    EXPECT_EQ(KVZFltCheckKeyStatus(), 7);
    ASSERT_TRUE(notes.open(QIODevice::ReadOnly));
    EXPECT_EQ(notes.readAll(), "keep");
}

// The installer gets its folder as one argument, blanks and all, and leaves no zombie behind.
TEST(CommonProcessTest, TheInstallerGetsItsArgumentsAsAListAndIsReaped) {
    QTemporaryDir bin;
    QFile fake(bin.filePath(u"RUNDLL32.EXE"_s));
    ASSERT_TRUE(fake.open(QIODevice::WriteOnly));
    fake.write("#!/bin/sh\nprintf '%s\\n' \"$@\" $$ > \"$0.out\"\n");
    fake.close();
    fake.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (bin.path().toStdString() + ':' + path).c_str(), 1);
    const std::string dir = bin.filePath(u"driver files"_s).toStdString() + '/';
    EXPECT_TRUE(InstallDriver(dir));
    ::setenv("PATH", path.c_str(), 1);
    QFile out(fake.fileName() + u".out"_s);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = out.readAll().trimmed().split('\n');
    EXPECT_EQ(lines.mid(0, 4),
              (QList<QByteArray>{"SETUPAPI.DLL,InstallHinfSection", "DefaultInstall", "132",
                                 QByteArray::fromStdString(dir) + "KVZFlt6.inf"}));
    const pid_t child = lines.value(4).toInt();
    EXPECT_TRUE(QTest::qWaitFor([child] { return ::kill(child, 0) != 0 && errno == ESRCH; }, 5000))
        << "still a zombie";
}

TEST(CommonProcessTest, ExecutableNamesAndDevicePaths) {
    EXPECT_EQ(GetExeNameByPID(static_cast<std::uint32_t>(::getpid())), "common_tests");
    EXPECT_EQ(GetExeNameByPID(0x7FFFFFF0u), "");
    EXPECT_EQ(DeviceNameToDosName("\\Device\\HarddiskVolume1\\a"), "\\Device\\HarddiskVolume1\\a");
    EXPECT_FALSE(UninstallDriver()) << "no INF installer on this system";
}

#endif

} // namespace
