#include "StandIn.h"
#include "StringCipher.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

struct Reply {
    bool refused = false;
    int status = 0; // 0: no HTTP answer
    QByteArray head;
    QByteArray body;
    bool closed = false; // the agent closed the connection
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
    reply.closed = socket.state() == QAbstractSocket::UnconnectedState;
    reply.ms = timer.elapsed();
    const qsizetype headEnd = bytes.indexOf("\r\n\r\n");
    if (bytes.startsWith("HTTP/1.1 ") && headEnd > 0) {
        reply.status = bytes.mid(9, 3).toInt();
        reply.head = bytes.left(headEnd + 2);
        reply.body = bytes.mid(headEnd + 4);
    }
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

TEST_F(AgentTest, EveryModeAnswersAsToldAndLogsWhatArrived) {
    const struct {
        const char* mode;
        int status;
        QByteArray body; // garbage: checked below
        bool closed;
    } cases[] = {
        {"ok", 200, "OK", true},      {"lower", 200, "ok", true}, {"crlf", 200, "OK\r\n", true},
        {"garbage", 200, {}, true},   {"stall", 0, {}, false},    {"close", 0, {}, true},
        {"refuse", 0, {}, false},     {"slow", 200, "OK", true},  {"redirect", 302, "OK", true},
        {"trickle", 200, "OK", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const QString mode = QString::fromLatin1(c.mode);
        const Reply reply = get(addresses[mode], port, u"aFlag=HideIcon"_s,
                                mode == u"stall"     ? 300
                                : mode == u"trickle" ? 30000
                                                     : 3000);
        EXPECT_EQ(reply.refused, mode == u"refuse");
        EXPECT_EQ(reply.status, c.status);
        EXPECT_EQ(reply.closed, c.closed);
        if (mode == u"garbage") {
            EXPECT_TRUE(reply.body.size() >= 8 && reply.body != "OK") << reply.body.constData();
        } else {
            EXPECT_EQ(reply.body, c.body);
        }
        if (mode == u"slow" || mode == u"trickle") {
            EXPECT_GE(reply.ms, mode == u"slow" ? 140 : 80 * 10);
        }
        if (mode == u"redirect") {
            const QByteArray location =
                "\r\nLocation: http://127.0.7.1:" + QByteArray::number(port);
            EXPECT_TRUE(reply.head.contains(QByteArray(location + '/')));
        }
    }
    const QList<QJsonObject> log = readAgentLog(logPath, 9);
    ASSERT_EQ(log.size(), 9) << "every agent but the refusing one logs the request";
    for (const QJsonObject& entry : log) {
        const QString mode = addresses.key(entry[u"agent"_s].toString().section(u':', 0, 0));
        SCOPED_TRACE(mode.toStdString());
        EXPECT_EQ(entry[u"agent"_s].toString(), addresses[mode] + u':' + QString::number(port));
        EXPECT_EQ(entry[u"kind"_s].toString(), u"http"_s);
        EXPECT_EQ(entry[u"command"_s].toString(), u"aFlag=HideIcon"_s);
        EXPECT_EQ(entry[u"lines"_s].toArray(), QJsonArray{u"aFlag=HideIcon"_s});
        EXPECT_EQ(entry[u"answer"_s].isNull(), mode == u"stall" || mode == u"close");
        EXPECT_FALSE(entry[u"time"_s].toString().isEmpty());
    }
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
