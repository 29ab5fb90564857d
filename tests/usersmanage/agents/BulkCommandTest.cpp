// Commands to many agents over real HTTP on loopback: every agent's outcome, cancel, retry,
// export and the operation log.
#include "MainWindowFixture.h"

#include "BulkResultsModel.h"
#include "Multilanguage.h"
#include "StandIn.h"
#include "uBulkResults.h"
#include "ui_uBulkResults.h"
#include "ui_uUsersManage.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonObject>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// Each user's agent and what the run must make of it.
const struct {
    const char* ip;
    const char* agent; // kvzagent mode; none: nobody listens
    BulkOutcome outcome;
    const char* logged; // Lresult
} Agents[] = {
    {"127.0.2.1", "ok", BulkOutcome::Confirmed, "confirmed"},
    {"127.0.2.2", "lower", BulkOutcome::Refused, "refused ok"},
    {"127.0.2.3", "stall", BulkOutcome::TimedOut, "time-out"},
    {"127.0.2.4", "slow,delay=300", BulkOutcome::Confirmed, "confirmed"},
    {"127.0.2.5", "close", BulkOutcome::NoAnswer, "no-answer"},
    {"127.0.2.6", "redirect", BulkOutcome::Refused, "refused 302"},
    {"127.0.2.7", nullptr, BulkOutcome::NoAnswer, "no-answer"},
    {"127.0.2.8:1/x", nullptr, BulkOutcome::NoAddress, "no-address"},
};

class BulkCommandTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        logon.ClientPort = freeTcpPort();
        logon.CommandConnectMs = 1000;
        logon.CommandAnswerMs = 1500;
        logon.AdminName = u"root"_s;
        const QString port = QString::number(logon.ClientPort);
        QStringList arguments{u"--log"_s, m_folder.filePath(u"agents.log"_s)};
        for (const auto& agent : Agents) {
            if (agent.agent)
                arguments << u"--agent"_s
                          << QString::fromLatin1(agent.ip) + u':' + port + u",mode="_s +
                                 QString::fromLatin1(agent.agent);
        }
        m_agents = std::make_unique<StandIn>(
            QCoreApplication::applicationDirPath() + u"/kvzagent"_s, arguments);
        ASSERT_TRUE(m_agents->isReady()) << m_agents->errorText().toStdString();
        // Users 1 to 6 of the organisation and two more, one agent each, in uid order.
        addUsers(Org::Alpha, 2, false);
        db->exec(u"update Users set Ip = ''"_s);
        for (int i = 0; i < int(std::size(Agents)); ++i)
            db->exec(u"update Users set Ip = '"_s + QString::fromLatin1(Agents[i].ip) +
                     u"' where Uid = "_s + QString::number(i + 1));
    }

    // The command item of the bulk submenu (0: selected users, 1: whole department).
    QAction* bulkItem(int scope, const QString& word) const {
        QList<QMenu*> menus;
        for (QAction* action : window().ui()->PMCom->actions()) {
            if (action->menu())
                menus << action->menu();
        }
        for (QAction* item : menus.at(menus.size() - 2 + scope)->actions()) {
            if (item->data().toString() == word)
                return item;
        }
        return nullptr;
    }

    TFrmBulkResults& waitForRun(TFrmBulkResults* results) {
        EXPECT_TRUE(results);
        EXPECT_FALSE(window().isWaitingForAgents()) << "the window takes input meanwhile";
        EXPECT_TRUE(QTest::qWaitFor([&] { return !results->command().isRunning(); }, 8000));
        return *results;
    }

    // The agent's address of each request that reached the agents.
    QStringList reached() const {
        QStringList agents;
        for (const QJsonObject& entry : readAgentLog(m_folder.filePath(u"agents.log"_s), 0))
            agents << entry.value(u"agent"_s).toString().section(u':', 0, 0);
        agents.sort();
        return agents;
    }

    QTemporaryDir m_folder;
    std::unique_ptr<StandIn> m_agents;
};

// The whole organisation gets the command; each user's outcome matches what the agent did
// (and what it logged), each is in the operation log, and the export holds every row.
TEST_P(BulkCommandTest, EveryAgentsOutcomeIsRecorded) {
    open();
    bulkItem(1, u"UpdatePly"_s)->trigger();
    TFrmBulkResults& results = waitForRun(window().lastBulkResults());
    const BulkCommand& command = results.command();
    ASSERT_EQ(command.targets().size(), qsizetype(std::size(Agents)));
    for (qsizetype row = 0; row < command.targets().size(); ++row) {
        const int index = command.targets()[row].uid - 1;
        SCOPED_TRACE(Agents[index].ip);
        EXPECT_EQ(command.results()[row].outcome, Agents[index].outcome);
    }
    EXPECT_EQ(reached(), (QStringList{u"127.0.2.1"_s, u"127.0.2.2"_s, u"127.0.2.3"_s,
                                      u"127.0.2.4"_s, u"127.0.2.5"_s, u"127.0.2.6"_s}))
        << "one request per agent listening, the redirect not followed";
    const BulkCommand::Counts counts = command.counts();
    EXPECT_EQ(counts.confirmed, 2);
    EXPECT_EQ(counts.failed, 6);
    EXPECT_EQ(counts.pending, 0);
    EXPECT_EQ(results.ui()->PbProgress->value(), 8);

    delete &results; // the rest of the log is written as it closes
    for (int i = 0; i < int(std::size(Agents)); ++i) {
        const QString where = QString::fromLatin1(Agents[i].ip);
        EXPECT_EQ(db->scalar(u"select Lwho || '|' || Lhow || '|' || Lresult from LogAct where "
                             u"Lwhere = '"_s +
                             where + u"'"_s)
                      .toString(),
                  u"root|UpdatePly|"_s + QString::fromLatin1(Agents[i].logged))
            << Agents[i].ip;
    }
    EXPECT_EQ(count(u"LogAct"_s), qint64(std::size(Agents)));
}

// A request sent holds no place of the in-flight bound while it waits for its answer. Cancel
// ends every request at once, each cancelled; a retry sends the failed ones again; the export
// writes the rows as shown. The uninstall asks once, naming the count.
TEST_P(BulkCommandTest, CancelRetryAndExport) {
    logon.CommandConcurrency = 1;
    db->exec(u"update Users set Ip = '127.0.2.3'"_s); // every agent stalls
    open();
    selectDepart(0);
    waitForList();
    selectUsers({Org::Alice, Org::Bob, Org::Carol});
    script.answerMessage(QMessageBox::Yes);
    bulkItem(0, u"UninstCli"_s)->trigger();
    EXPECT_EQ(script.messages().last(), GetString(u"ClientUnInstallConfirm"_s) + u" 3"_s);
    TFrmBulkResults* results = window().lastBulkResults();
    ASSERT_TRUE(results);
    QTest::qWait(200);
    EXPECT_EQ(results->command().counts().sent, 3);
    QElapsedTimer timer;
    timer.start();
    results->ui()->BtnCancel->click();
    waitForRun(results);
    EXPECT_LT(timer.elapsed(), 500);
    for (const BulkResult& result : results->command().results())
        EXPECT_EQ(result.outcome, BulkOutcome::Cancelled);
    EXPECT_TRUE(results->ui()->BtnRetry->isEnabled());

    db->exec(u"update Users set Ip = '127.0.2.1'"_s); // the view keeps the addresses it had
    results->BtnRetryClick();
    waitForRun(results);
    EXPECT_EQ(results->command().counts().pending, 0);
    EXPECT_EQ(results->command().counts().failed, 3) << "time-outs this time";

    results->ui()->LV_Results->sortByColumn(BulkResultsModel::Name, Qt::DescendingOrder);
    const QString path = m_folder.filePath(u"results.csv"_s);
    ASSERT_TRUE(results->exportCsv(path));
    QFile csv(path);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = csv.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[1].startsWith("carol,")) << lines[1].constData();
    EXPECT_TRUE(lines[3].startsWith("alice,")) << lines[3].constData();
}

INSTANTIATE_TEST_SUITE_P(Backends, BulkCommandTest, ::testing::ValuesIn(testBackends()),
                         backendName);

} // namespace
