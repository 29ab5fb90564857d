#include "StandIn.h"
#include "TestDatabase.h"

#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

QStringList databaseArguments(const DbSettings& db) {
    if (db.backend == DbBackend::SQLite)
        return {u"--sqlite"_s, db.sqlitePath};
    const QString address = u"%1:%2/%3"_s.arg(db.host).arg(db.port).arg(db.database);
    return QStringList{u"--pg"_s, address, u"--pg-user"_s, db.user}
           << u"--pg-password"_s << db.password << u"--pg-schema"_s << db.schema;
}

// The console's side of presence: the datagrams arriving at the server port + 1.
struct PresenceListener {
    PresenceListener() {
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 << 20);
    }
    quint16 serverPort() const { return quint16(socket.localPort() - 1); }
    QUdpSocket socket;
};

class ServerTest : public ::testing::TestWithParam<DbBackend> {};

TEST_P(ServerTest, AnnouncedAgentsReachTheDatabaseAndTheConsole) {
    TestDatabase database(GetParam());
    database.exec(u"update Users set Onlined = 0, Ip = '' where Uid = 5"_s);
    PresenceListener console;
    const QString serverPort = QString::number(console.serverPort());
    StandIn server(QStringLiteral(KVZSERVER_PATH), databaseArguments(database.settings())
                                                       << u"--server-port"_s << serverPort);
    ASSERT_TRUE(server.isReady()) << server.errorText().toStdString();

    QTemporaryDir folder;
    const QString log = folder.filePath(u"agents.log"_s);
    const quint16 agentPort = freeTcpPort();
    const QString agent = u"127.0.8.1:%1"_s.arg(agentPort);
    StandIn agents(QStringLiteral(KVZAGENT_PATH),
                   {u"--agent"_s, u"127.0.8.2:%1,uid=999"_s.arg(agentPort), u"--agent"_s,
                    agent + u",uid=5,name=测试机,ver=9.9.9"_s, u"--server"_s,
                    u"127.0.0.1:"_s + serverPort, u"--log"_s, log, u"--announce"_s});
    ASSERT_TRUE(agents.isReady()) << agents.errorText().toStdString();
    EXPECT_EQ(nextDatagram(console.socket), "Sign=KVZCLIENTIN\r\nUserId=5")
        << "started agents announce themselves; user 999 does not exist";
    const auto row = [&] {
        return database
            .scalar(u"select Ip || '|' || ComputerName || '|' || CliVer || '|' || HardNo || '|' "
                    u"|| Onlined from Users where Uid = 5"_s)
            .toString();
    };
    EXPECT_EQ(row(), u"127.0.8.1|测试机|9.9.9|HD00000005|-1"_s);

    database.exec(u"update Users set Onlined = 0 where Uid = 5"_s);
    QUdpSocket refresh;
    refresh.writeDatagram("Sign=KVZSEVIN", QHostAddress(u"127.0.8.1"_s), agentPort);
    EXPECT_EQ(nextDatagram(console.socket), "Sign=KVZCLIENTIN\r\nUserId=5");
    EXPECT_TRUE(row().endsWith(u"|-1"_s));
    const QList<QJsonObject> entries = readAgentLog(log, 1);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0][u"kind"_s].toString(), u"refresh"_s);
    EXPECT_EQ(entries[0][u"agent"_s].toString(), agent);
    EXPECT_TRUE(entries[0][u"answer"_s].toString().startsWith(u"Sign=KVZAGENTUP\r\nUserId=5"_s));

    // Any local program can announce: an Ip that is not a plain dotted quad is not stored,
    // the sender's address is.
    QUdpSocket forger;
    forger.bind(QHostAddress(u"127.0.0.1"_s), 0);
    for (const auto& [ip, stored] : {std::pair{"127.0.4.1:42232/x?", "127.0.0.1"},
                                     {"pc.example", "127.0.0.1"},
                                     {"127.0.0.01", "127.0.0.1"},
                                     {"127.0.9.9", "127.0.9.9"}}) {
        SCOPED_TRACE(ip);
        forger.writeDatagram(QByteArray("Sign=KVZAGENTUP\r\nUserId=5\r\nIp=") + ip,
                             QHostAddress(QHostAddress::LocalHost), console.serverPort());
        EXPECT_EQ(nextDatagram(console.socket), "Sign=KVZCLIENTIN\r\nUserId=5");
        EXPECT_EQ(database.scalar(u"select Ip from Users where Uid = 5"_s).toString(),
                  QString::fromLatin1(stored));
    }
    database.exec(u"update Users set Ip = '127.0.8.1', ComputerName = '测试机', CliVer = '9.9.9', "
                  u"HardNo = 'HD00000005' where Uid = 5"_s);

    agents.terminate();
    EXPECT_EQ(nextDatagram(console.socket), "Sign=KVZCLIENTOUT\r\nUserId=5");
    EXPECT_EQ(row(), u"127.0.8.1|测试机|9.9.9|HD00000005|0"_s) << "going down keeps the rest";
    EXPECT_TRUE(nextDatagram(console.socket, 200).isEmpty());
}

// kvzdb generate shows its progress on a terminal (here the one script(1) gives it) and keeps
// quiet on a pipe.
TEST(ToolProgressTest, ShownOnATerminalOnly) {
    QTemporaryDir folder;
    const QString kvzdb = QStringLiteral(KVZDB_PATH) + u" --sqlite "_s + folder.path();
    const struct {
        QString program;
        QStringList arguments;
        bool shown;
    } cases[] = {
        {u"sh"_s, {u"-c"_s, kvzdb + u"/a.db generate --users 3000 --departments 30 2>&1"_s}, false},
        {u"script"_s,
         {u"-qec"_s, kvzdb + u"/b.db generate --users 3000 --departments 30"_s, u"/dev/null"_s},
         true},
    };
    for (const auto& c : cases) {
        QProcess tool;
        tool.start(c.program, c.arguments);
        ASSERT_TRUE(tool.waitForFinished(60000)) << c.program.toStdString();
        const QByteArray output = tool.readAllStandardOutput();
        EXPECT_EQ(tool.exitCode(), 0) << output.constData();
        EXPECT_EQ(output.contains("\rgenerating: "), c.shown) << output.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, ServerTest, ::testing::ValuesIn(testBackends()), backendName);

TEST(ServerStormTest, SendsEveryUserExactlyOnce) {
    const struct {
        const char* arguments;
        QByteArray sign;
        int firstUid, count;
        qint64 minMs;
    } cases[] = {
        {"--storm 300", "KVZCLIENTIN", 1, 300, 0},
        {"--storm 200 --down --first-uid 40", "KVZCLIENTOUT", 40, 200, 0},
        {"--storm 500 --rate 5000", "KVZCLIENTIN", 1, 500, 95},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        PresenceListener console;
        QProcess storm;
        storm.start(QStringLiteral(KVZSERVER_PATH),
                    QStringList{u"--server-port"_s, QString::number(console.serverPort())} +
                        QString::fromLatin1(c.arguments).split(u' '));
        QSet<QByteArray> received;
        int datagrams = 0;
        while (storm.state() != QProcess::NotRunning || console.socket.hasPendingDatagrams()) {
            const QByteArray datagram = nextDatagram(console.socket, 200);
            if (!datagram.isEmpty()) {
                received.insert(datagram);
                ++datagrams;
            }
            storm.waitForFinished(0);
        }
        EXPECT_EQ(storm.exitCode(), 0);
        const QByteArray output = storm.readAllStandardOutput();
        const QByteArray sent = "sent " + QByteArray::number(c.count) + " in ";
        EXPECT_TRUE(output.startsWith(sent)) << output.constData();
        EXPECT_GE(output.split(' ').value(3).toLongLong(), c.minMs);
        EXPECT_EQ(datagrams, c.count);
        for (int uid = c.firstUid; uid < c.firstUid + c.count; ++uid)
            EXPECT_TRUE(received.contains(
                QByteArray("Sign=" + c.sign + "\r\nUserId=" + QByteArray::number(uid))))
                << uid;
    }
}

} // namespace
