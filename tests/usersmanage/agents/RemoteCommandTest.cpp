// Remote commands sent to the client agents' stand-in over real HTTP on loopback.
#include "MainWindowFixture.h"

#include "AgentRequest.h"
#include "BulkCommand.h"
#include "Multilanguage.h"
#include "StandIn.h"
#include "UserListModel.h"
#include "ui_uUsersManage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace {

// Agents on 127.0.1.x, one per way of answering; 127.0.1.99 has none (refused). The slow one
// answers later than the old flat bound of 3 s; the redirect points at the first agent, which
// would confirm the command if the redirect were followed.
const char* const Modes[] = {"ok",    "lower",           "crlf",     "garbage",           "close",
                             "stall", "slow,delay=3200", "redirect", "trickle,delay=300", "flood"};
constexpr int ConnectMs = 1000, AnswerMs = 4000;

// The peak memory of this process, in bytes.
qint64 peakMemory() {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

class RemoteCommandTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        logon.ClientPort = freeTcpPort();
        logon.CommandConnectMs = ConnectMs;
        logon.CommandAnswerMs = AnswerMs;
        const QString port = QString::number(logon.ClientPort);
        QStringList arguments{u"--log"_s, m_folder.filePath(u"agents.log"_s)};
        for (int i = 0; i < int(std::size(Modes)); ++i)
            arguments << u"--agent"_s
                      << agentAddress(i) + u':' + port + u",mode="_s +
                             QString::fromLatin1(Modes[i]) + u",to="_s + agentAddress(0) + u':' +
                             port;
        m_agents = std::make_unique<StandIn>(
            QCoreApplication::applicationDirPath() + u"/kvzagent"_s, arguments);
        ASSERT_TRUE(m_agents->isReady()) << m_agents->errorText().toStdString();
    }

    static QString agentAddress(int mode) { return u"127.0.1."_s + QString::number(mode + 1); }

    // Gives alice the address and lists her, selected.
    void aliceAt(const QString& ip) {
        db->exec(u"update Users set Ip = '"_s + ip + u"' where Uid = 1"_s);
        window().ShowUsers(QString());
        waitForList();
        selectUsers({Org::Alice});
    }

    // Triggers the command and waits for its answer box; returns its text.
    QString send(QAction* command) {
        const qsizetype before = script.messages().size();
        script.answerMessage(QMessageBox::Ok);
        command->trigger();
        QElapsedTimer timer;
        timer.start();
        while ((window().isWaitingForAgents() || script.messages().size() == before) &&
               timer.elapsed() < ConnectMs + AnswerMs + 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return script.messages().size() > before ? script.messages().last() : QString();
    }

    // The requests the agents logged: agent address and deciphered command, in order.
    QStringList logged() const {
        QStringList requests;
        for (const QJsonObject& entry : readAgentLog(m_folder.filePath(u"agents.log"_s), 0)) {
            if (entry.value(u"kind"_s).toString() == u"http")
                requests << entry.value(u"agent"_s).toString().section(u':', 0, 0) + u' ' +
                                entry.value(u"command"_s).toString();
        }
        return requests;
    }

    static QString failure(const char16_t* key) {
        return GetString(QString::fromUtf16(key)) + u',' + GetString(u"NetCheck"_s);
    }

    QTemporaryDir m_folder;
    std::unique_ptr<StandIn> m_agents;
};

// Only a whole answer of exactly "OK" confirms, however long it takes within the answer's
// bound; every other answer, a redirect, an overlong or trickling answer and every network
// failure end in the failure text, each within the bounds and without reading the whole of a
// huge answer. A redirect is not followed.
TEST_P(RemoteCommandTest, OnlyAnExactOkConfirms) {
    open();
    const auto* ui = window().ui();
    const qint64 memoryBefore = peakMemory();
    for (int mode = 0; mode < int(std::size(Modes)) + 1; ++mode) {
        const bool agent = mode < int(std::size(Modes)); // past the last: no agent there
        const QString address = agent ? agentAddress(mode) : u"127.0.1.99"_s;
        const QByteArrayView name = agent ? QByteArrayView(Modes[mode]) : "refused";
        const bool confirms = name == "ok" || name.startsWith("slow");
        SCOPED_TRACE(name.toByteArray().toStdString());
        aliceAt(address);
        QElapsedTimer timer;
        timer.start();
        EXPECT_EQ(send(ui->L1),
                  confirms ? GetString(u"PlyUpdateSended"_s) : failure(u"PlyUpdateFailed"));
        EXPECT_LT(timer.elapsed(), ConnectMs + AnswerMs + 1000);
        EXPECT_FALSE(window().isWaitingForAgents());
    }
    EXPECT_LT(peakMemory() - memoryBefore, 64 << 20) << "the huge answer was read whole";
    EXPECT_EQ(logged().count(agentAddress(0) + u" aFlag=UpdatePly"_s), 1)
        << "only the ok agent's own command reached it, not the redirected one";
}

// An address that is not a plain dotted quad is reported like an empty one and never reaches
// the network; Esc gives up waiting for a silent agent, reported as not confirmed.
TEST_P(RemoteCommandTest, UnusableAddressesAndEscNeverConfirm) {
    open();
    const auto* ui = window().ui();
    const QString port = QString::number(logon.ClientPort);
    for (const QString& ip : {QString(agentAddress(0) + u':' + port + u"/x?"_s), u"localhost"_s,
                              u"   "_s, u"127.0.1.01"_s, u"garbage"_s, u"::1"_s}) {
        SCOPED_TRACE(ip.toStdString());
        aliceAt(ip);
        EXPECT_EQ(send(ui->L1), GetString(u"IPNull"_s));
    }
    EXPECT_TRUE(logged().isEmpty());

    aliceAt(agentAddress(5)); // stalls
    const qsizetype before = script.messages().size();
    script.answerMessage(QMessageBox::Ok);
    ui->L1->trigger();
    QTest::qWait(200);
    QElapsedTimer timer;
    timer.start();
    QTest::keyClick(window().ui()->LV_Man, Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([&] { return script.messages().size() > before; }, 2000));
    EXPECT_LT(timer.elapsed(), 1000);
    EXPECT_EQ(script.messages().value(before), failure(u"PlyUpdateFailed"));
    EXPECT_FALSE(window().isWaitingForAgents());
}

// Each item sends its own word to the first selected user's agent only; the uninstall asks
// first; a user without an address gets "IPNull" and nothing is sent.
TEST_P(RemoteCommandTest, EachItemSendsItsWordToTheFirstSelectedAgent) {
    open();
    aliceAt(agentAddress(0));
    db->exec(u"update Users set Ip = '"_s + agentAddress(1) + u"' where Uid in (2, 3)"_s);
    window().ShowUsers(QString());
    waitForList();
    selectUsers({Org::Alice, Org::Bob, Org::Carol});
    const auto* ui = window().ui();
    const struct {
        QAction* item;
        const char16_t* word;
        const char16_t* success;
    } commands[] = {
        {ui->L1, u"UpdatePly", u"PlyUpdateSended"},
        {ui->N4, u"ShowCli", u"IconShowSended"},
        {ui->N5, u"HideCli", u"IconhideSended"},
        {ui->S1, u"ShowIcon", u"EnIconShowSended"},
        {ui->H1, u"HideIcon", u"EnIconHideSended"},
        {ui->P1, u"StopCli", u"ClientAutoEnPauseSended"},
        {ui->S2, u"StartCli", u"ClientAutoEnSended"},
        {ui->N7, u"UpdateCli", u"ClientAutoUpdateSended"},
    };
    QStringList expected;
    for (const auto& command : commands) {
        EXPECT_EQ(send(command.item), GetString(QString::fromUtf16(command.success)));
        expected << agentAddress(0) + u" aFlag="_s + QString::fromUtf16(command.word);
    }
    script.answerMessage(QMessageBox::No);
    ui->MenuItem3->trigger();
    script.answerMessage(QMessageBox::Yes);
    EXPECT_EQ(send(ui->MenuItem3), GetString(u"ClientUnInstallSended"_s));
    EXPECT_EQ(script.messages().at(script.messages().size() - 2),
              GetString(u"ClientUnInstallConfirm"_s));
    expected << agentAddress(0) + u" aFlag=UninstCli"_s;

    selectUsers({Org::Dave}); // no address
    EXPECT_EQ(send(ui->L1), GetString(u"IPNull"_s));
    EXPECT_EQ(logged(), expected);
}

// A command to many agents ends each request as the single request to the same agent ends,
// whatever the agent's way of answering.
TEST_P(RemoteCommandTest, ManyAgentsEndAsOneDoes) {
    LogonInfo = &logon;
    QList<BulkTarget> targets;
    for (int mode = 0; mode <= int(std::size(Modes)); ++mode) // past the last: no agent there
        targets.append({mode, {}, {}, agentAddress(mode)});
    targets.append({-1, {}, {}, agentAddress(0) + u":1/x"_s});
    const AgentBounds bounds{ConnectMs, AnswerMs};
    QList<std::optional<BulkResult>> single(targets.size());
    std::vector<std::unique_ptr<AgentRequest>> requests;
    for (qsizetype row = 0; row < targets.size(); ++row) {
        requests.push_back(std::make_unique<AgentRequest>());
        QObject::connect(
            requests.back().get(), &AgentRequest::finished,
            [&single, row](const AgentReply& reply) { single[row] = bulkResultOf(reply); });
        requests.back()->start(targets[row].address, logon.ClientPort, u"aFlag=UpdatePly"_s,
                               bounds);
    }
    BulkCommand many(targets, u"UpdatePly"_s, logon.ClientPort, bounds, 2);
    many.run();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return !many.isRunning() && std::ranges::all_of(single, [](const auto& result) {
                return result.has_value();
            });
        },
        ConnectMs + AnswerMs + 3000));
    for (qsizetype row = 0; row < targets.size(); ++row)
        EXPECT_EQ(many.results()[row].outcome, single[row].value_or(BulkResult{}).outcome)
            << targets[row].address.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, RemoteCommandTest, ::testing::ValuesIn(testBackends()),
                         backendName);

} // namespace
