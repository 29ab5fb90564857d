// Presence datagrams and the refresh, over real sockets on loopback.
#include "MainWindowFixture.h"

#include "Multilanguage.h"
#include "UserListModel.h"
#include "ui_uUsersManage.h"

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <map>

using namespace Qt::Literals::StringLiterals;

namespace {

quint16 freeUdpPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}

class PresenceTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        logon.ServerPort = freeUdpPort() - 1;
        logon.ClientPort = freeUdpPort();
    }

    void send(const QByteArray& datagram) {
        m_sender.writeDatagram(datagram, QHostAddress::LocalHost, quint16(logon.ServerPort + 1));
    }

    bool online(qint32 uid) const { return window().userList()->row(rowOf(uid)).online(); }
    int rowOf(qint32 uid) const { return window().userList()->findById(uid); }

    // Sends datagram, then one that brings frank online, and waits for frank: whatever the
    // first one did has been done by then. Frank goes offline again afterwards.
    void sendAndSettle(const QByteArray& datagram) {
        send(datagram);
        send("Sign=KVZCLIENTIN\r\nUserId=6");
        ASSERT_TRUE(QTest::qWaitFor([this] { return online(Org::Frank); }));
        window().UpdateOnline(Org::Frank, false);
    }

    QUdpSocket m_sender;
};

TEST_P(PresenceTest, DatagramsTurnListedRowsOnlineOrOffline) {
    open();
    struct Case {
        QByteArray datagram;
        std::map<qint32, bool> states; // afterwards
        int onlineCount;
    };
    const QByteArray longJunk(65000, 'x');
    const QByteArray manyLines = "UserId=4\n" + QByteArray(3000, '\n') + "Sign=KVZCLIENTIN";
    const Case cases[] = {
        {"sign=kvzclientin\r\nuserid=2", {{Org::Bob, true}}, 4},
        {"Sign=KVZCLIENTIN\r\nUserId=2", {{Org::Bob, true}}, 4}, // repeated: no count
        {"Sign=KVZCLIENTOUT\nUserId=1\nVer=3", {{Org::Alice, false}}, 3},
        {"Sign=KVZCLIENTOUT\rUserId=99", {{Org::Carol, true}}, 3},
        {"\r\n Sign=KVZCLIENTIN\r\nUserId=4\r\n", {{Org::Dave, true}}, 4},
        {QByteArray("Sign=KVZCLIENTOUT\nUserId=4\0\nUserId=3", 36), {{Org::Dave, false}}, 3},
        {"UserId=3\nUserId=4\nSign=KVZCLIENTOUT", {{Org::Carol, false}}, 2},
        {"Sign=KVZCLIENTBOTH\nUserId=5", {{Org::Erin, true}}, 2},
        {"Sign=KVZCLIENTOUT\nUserId=-5", {{Org::Erin, true}}, 2},
        {longJunk, {{Org::Erin, true}}, 2},
        {manyLines, {{Org::Dave, false}}, 2}, // the sign lies past the cut
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.datagram.left(40).toStdString());
        sendAndSettle(c.datagram);
        for (const auto& [uid, state] : c.states)
            EXPECT_EQ(online(uid), state) << "user " << uid;
        EXPECT_EQ(window().OnlineCount(), c.onlineCount);
    }
    EXPECT_TRUE(QTest::qWaitFor([this] { return statusTexts() == expectedStatus(2, 4, 6, 3, 0); }));
    EXPECT_TRUE(script.messages().isEmpty());

    // Presence follows the list through a reload and a filter.
    selectDepart(Org::Zeta);
    send("Sign=KVZCLIENTOUT\nUserId=1");
    EXPECT_TRUE(QTest::qWaitFor([this] { return !online(Org::Alice); }));
    window().ui()->S_NotOn->trigger();
    EXPECT_EQ(rowOf(Org::Alice), -1);
    send("Sign=KVZCLIENTIN\nUserId=2");
    EXPECT_TRUE(QTest::qWaitFor([this] { return online(Org::Bob); }));
}

TEST_P(PresenceTest, DatagramsWithoutAUserShowOneBoxAtATime) {
    open();
    for (const QByteArray& noUser :
         {QByteArray("Sign=KVZCLIENTIN"), QByteArray("Sign=KVZCLIENTOUT\nUserId=abc"),
          QByteArray("Sign=KVZCLIENTIN\nUserId=99999999999999")}) {
        SCOPED_TRACE(noUser.toStdString());
        script.answer([this](QDialog& box) {
            // More of them while the box is open are counted, not shown.
            for (int i = 0; i < 3; ++i)
                send("Sign=KVZCLIENTIN");
            QTest::qWait(100);
            box.reject();
            return int(QMessageBox::Ok);
        });
        const qsizetype before = script.messages().size();
        send(noUser);
        ASSERT_TRUE(QTest::qWaitFor([&] { return script.messages().size() == before + 1; }));
        QTest::qWait(100);
        ASSERT_EQ(script.messages().size(), before + 1) << "a box stacked on another";
        EXPECT_EQ(script.messages().last(), u"UpdateOnline: UserId = 0"_s);
    }
}

// The refresh sends one datagram per plain dotted quad, duplicates included, and counts the
// addresses it could not send to in the status line; a presence port that another program
// holds is said there from the start.
TEST_P(PresenceTest, RefreshCountsWhatItCouldNotReachAndABusyPortIsShown) {
    QUdpSocket busy;
    ASSERT_TRUE(busy.bind(QHostAddress::LocalHost, quint16(logon.ServerPort + 1)));
    open();
    const QString portBusy =
        GetString(u"PresencePortBusy"_s) + QString::number(logon.ServerPort + 1);
    EXPECT_EQ(window().ui()->LblAgents->text(), portBusy);

    QUdpSocket agent;
    ASSERT_TRUE(agent.bind(QHostAddress(u"127.0.5.1"_s), quint16(logon.ClientPort)));
    db->exec(u"update Users set Ip = ''"_s);
    db->exec(u"update Users set Ip = '127.0.5.1' where Uid in (1, 2)"_s);
    db->exec(u"update Users set Ip = 'pc.example' where Uid = 3"_s);
    db->exec(u"update Users set Ip = '127.0.5.1:80/x' where Uid = 4"_s);
    window().IPWatch = [] { return u"192.0.2.7"_s; }; // a network address: every user's
    window().RefreshSettleMs = 50;
    window().BtnRefreshClick();
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window().isWaitingForAgents(); }));
    EXPECT_EQ(window().ui()->LblAgents->text(),
              portBusy + u"  "_s + GetString(u"RefreshNotSent"_s) + u'2');
    int datagrams = 0;
    while (agent.waitForReadyRead(200)) {
        while (agent.hasPendingDatagrams()) {
            EXPECT_EQ(agent.receiveDatagram().data(), "Sign=KVZSEVIN");
            ++datagrams;
        }
    }
    EXPECT_EQ(datagrams, 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, PresenceTest, ::testing::ValuesIn(testBackends()), backendName);

} // namespace
