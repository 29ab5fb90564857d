#include "StandIn.h"
#include "StringCipher.h"
#include "TestDatabase.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QProcess>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Reply {
    bool refused = false;
    int status = 0; // 0: no HTTP answer
    qint64 ms = 0;
};

// One GET of "/" + the cipher text of `query` under the console's command key, read until the
// agent closes the connection or `waitMs` pass.
Reply get(const QString& address, quint16 port, const QString& query, int waitMs = 3000,
          const QByteArray& key = "qmtrb") {
    QTcpSocket socket;
    QElapsedTimer timer;
    timer.start();
    socket.connectToHost(address, port);
    Reply reply;
    if (!socket.waitForConnected(2000)) {
        reply.refused = socket.error() == QAbstractSocket::ConnectionRefusedError;
        return reply;
    }
    const QByteArray cipher = En(QStringEncoder("GBK").encode(query), key, true);
    socket.write("GET /" + cipher + " HTTP/1.1\r\nHost: " + address.toLatin1() + "\r\n\r\n");
    QByteArray bytes;
    while (timer.elapsed() < waitMs && socket.waitForReadyRead(int(waitMs - timer.elapsed())))
        bytes += socket.readAll();
    bytes += socket.readAll();
    reply.ms = timer.elapsed();
    if (bytes.startsWith("HTTP/1.1 ") && bytes.contains("\r\n\r\n"))
        reply.status = bytes.mid(9, 3).toInt();
    return reply;
}

class AgentTest : public ::testing::Test {
protected:
    void SetUp() override {
        logPath = folder.filePath(u"agents.log"_s);
        QStringList arguments{u"--log"_s, logPath};
        for (const char* mode : {"ok", "lower", "crlf", "garbage", "stall", "close", "refuse",
                                 "slow", "redirect", "trickle"}) {
            const QString address = u"127.0.7.%1"_s.arg(addresses.size() + 1);
            addresses[QString::fromLatin1(mode)] = address;
            arguments << u"--agent"_s
                      << address + u':' + QString::number(port) + u",mode="_s +
                             QString::fromLatin1(mode) +
                             (qstrcmp(mode, "trickle") == 0 ? u",delay=10"_s : u",delay=150"_s) +
                             u",to=127.0.7.1:"_s + QString::number(port);
        }
        agents = std::make_unique<StandIn>(QStringLiteral(KVZAGENT_PATH), arguments);
        ASSERT_TRUE(agents->isReady()) << agents->errorText().toStdString();
    }

    QTemporaryDir folder;
    QString logPath;
    quint16 port = freeTcpPort();
    QHash<QString, QString> addresses; // mode -> agent address
    std::unique_ptr<StandIn> agents;
};

// kvzcommand to the agents of every mode: one line per user with the outcome the console makes
// of that answer (a redirect not followed), each in the operation log, and a failing exit when
// any agent did not confirm; to the confirming agent alone it exits 0.
TEST_F(AgentTest, CommandLineSenderReportsEveryAgent) {
    const std::pair<const char*, const char*> cases[] = {
        {"ok", "confirmed"},      {"lower", "refused ok"}, {"crlf", "refused OK"},
        {"garbage", "refused "},  {"stall", "time-out"},   {"close", "no-answer"},
        {"refuse", "no-answer"},  {"slow", "confirmed"},   {"redirect", "refused 302"},
        {"trickle", "confirmed"}, {"none", "no-address"}};
    const int users = int(std::size(cases));
    TestDatabase database(DbBackend::SQLite);
    database.exec(u"delete from Users where Uid > "_s + QString::number(users));
    for (int uid = 1; uid <= users; ++uid)
        database.exec(u"update Users set Ip = '%1' where Uid = %2"_s
                          .arg(addresses.value(QString::fromLatin1(cases[uid - 1].first),
                                               u"127.0.7.99:1/x"_s))
                          .arg(uid));
    const auto send = [&](const QString& whom, const QString& id) {
        QProcess command;
        command.start(QStringLiteral(KVZCOMMAND_PATH),
                      {u"--sqlite"_s, database.settings().sqlitePath, whom, id, u"--command"_s,
                       u"UpdatePly"_s, u"--port"_s, QString::number(port), u"--command-timeout"_s,
                       u"1000,2000"_s});
        command.waitForFinished(10000);
        return std::pair(command.exitCode(), command.readAllStandardOutput());
    };
    const auto [exitCode, output] = send(u"--depart"_s, u"0"_s);
    EXPECT_EQ(exitCode, 1);
    const QList<QByteArray> lines = output.trimmed().split('\n');
    ASSERT_EQ(lines.size(), users) << output.constData();
    for (const QByteArray& line : lines) { // uid, name, address, outcome, milliseconds
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        const char* outcome = cases[qBound(1, fields[0].toInt(), users) - 1].second;
        EXPECT_TRUE(fields.value(3).startsWith(QLatin1StringView(outcome))) << line.constData();
    }
    EXPECT_EQ(database.scalar(u"select count(*) from LogAct where Lhow = 'UpdatePly'"_s).toInt(),
              users);
    EXPECT_EQ(send(u"--uid"_s, u"1"_s).first, 0);
}

TEST_F(AgentTest, OnlyKnownCommandsDecipheredUnderTheCommandKeyAreAccepted) {
    const QString pushed = u"aFlag=SetOutFile\r\nOutHardNo=硬盘A1\r\nSetTime=2026-12-6\r\n"
                           u"OutTime=2027-1-31\r\nOutCtrl=16\r\nOutPass=pass\r\n"_s;
    const struct {
        QString query;
        QByteArray key;
        int status;
    } cases[] = {
        {u"aFlag=UninstCli"_s, "qmtrb", 200}, {pushed, "qmtrb", 200},
        {u"aFlag=uninstcli"_s, "qmtrb", 400}, {u"aFlag=Format"_s, "qmtrb", 400},
        {u"aFlag=UpdatePly"_s, "wrong", 400},
    };
    for (const auto& c : cases)
        EXPECT_EQ(get(addresses[u"ok"_s], port, c.query, 3000, c.key).status, c.status)
            << c.query.toStdString();
    const QList<QJsonObject> log = readAgentLog(logPath, 5);
    ASSERT_EQ(log.size(), 5);
    EXPECT_EQ(log[1][u"command"_s].toString(), u"aFlag=SetOutFile"_s);
    EXPECT_EQ(log[1][u"lines"_s].toArray().size(), 6);
    EXPECT_EQ(log[1][u"lines"_s].toArray()[1].toString(), u"OutHardNo=硬盘A1"_s)
        << "the lines travel in the narrow code page";
    EXPECT_EQ(log[3][u"status"_s].toInt(), 400);
}

// Connections that never send a request are closed once idle, and beyond the bound the oldest
// makes room: a flood of them neither exhausts the agent nor keeps it from answering.
TEST(AgentConnectionsTest, IdleConnectionsAreClosedAndNewOnesServed) {
    const quint16 port = freeTcpPort();
    StandIn agent(QStringLiteral(KVZAGENT_PATH),
                  {u"--agent"_s, u"127.0.7.20:%1"_s.arg(port), u"--idle-timeout"_s, u"400"_s,
                   u"--max-connections"_s, u"64"_s});
    ASSERT_TRUE(agent.isReady()) << agent.errorText().toStdString();
    std::vector<std::unique_ptr<QTcpSocket>> idle;
    for (int i = 0; i < 400; ++i) {
        idle.push_back(std::make_unique<QTcpSocket>());
        idle.back()->connectToHost(u"127.0.7.20"_s, port);
        ASSERT_TRUE(idle.back()->waitForConnected(2000)) << i;
    }
    const Reply reply = get(u"127.0.7.20"_s, port, u"aFlag=ShowCli"_s, 2000);
    EXPECT_EQ(reply.status, 200);
    EXPECT_LT(reply.ms, 1000);
    QElapsedTimer timer;
    timer.start();
    for (const auto& socket : idle) {
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->waitForDisconnected(int(qMax<qint64>(1, 3000 - timer.elapsed())));
        EXPECT_EQ(socket->state(), QAbstractSocket::UnconnectedState);
    }
    EXPECT_LT(timer.elapsed(), 3000);
}

} // namespace
