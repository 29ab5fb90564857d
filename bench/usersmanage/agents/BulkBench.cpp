// Prints how a command to every agent of a large site goes: 10,000 agents on loopback played by
// kvzagent, 10% of them answering after 2 s and 5% never answering; the command goes to the
// whole organisation from the main window. Reports the run's length against the slowest
// deadline, each outcome against what the agent was made to do, the longest time the window's
// event loop was held, and the memory the run took. Then one command to one agent, the way the
// window sends it, against Qt's HTTP client.
//
//   BulkBench [--users 10000] [--concurrency 256] [--answer-ms 15000]
//             [--lang chs|eng] [--screenshot FILE]
//
// --screenshot saves the results view once the run has ended.
// kvzagent is taken from this program's folder.
#include "AgentRequest.h"
#include "BenchSupport.h"
#include "BulkCommand.h"
#include "BulkResultsModel.h"
#include "ClientCommand.h"
#include "DbConnection.h"
#include "DbError.h"
#include "DbQuery.h"
#include "DbTransaction.h"
#include "DepartTreeModel.h"
#include "LargeSite.h"
#include "LogonInfo.h"
#include "Multilanguage.h"
#include "PgUsersManage.h"
#include "Schema.h"
#include "uBulkResults.h"
#include "uUsersManage.h"
#include "ui_uBulkResults.h"
#include "ui_uUsersManage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <sched.h>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr int AgentsPerProcess = 100; // a process polls all its sockets at every turn
constexpr int SlowShare = 10, SilentShare = 5, SlowMs = 2000;

quint16 freeTcpPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// A line of /proc/self/status in bytes: VmRSS now, VmHWM the peak since resetPeakMemory().
qint64 statusBytes(const QByteArray& key) {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(QByteArray(key + ':')))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

// The kernel keeps the peak itself, so nothing polls while the run is timed.
void resetPeakMemory() {
    QFile clear(u"/proc/self/clear_refs"_s);
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

// The address of agent i, as kvzagent --many counts them from 127.1.0.1.
QString agentAddress(int i) {
    quint32 address = (127u << 24) | (1u << 16) | 1u;
    for (int n = 0;; ++address) {
        if ((address & 0xff) == 0 || (address & 0xff) == 0xff)
            continue;
        if (n++ == i)
            return QHostAddress(address).toString();
    }
}

BulkOutcome expectedOutcome(int i) {
    return i % 100 < SlowShare + SilentShare && i % 100 >= SlowShare ? BulkOutcome::TimedOut
                                                                     : BulkOutcome::Confirmed;
}

// kvzagent processes playing count agents on port, ready when they say so.
std::vector<std::unique_ptr<QProcess>> startAgents(int count, quint16 port) {
    std::vector<std::unique_ptr<QProcess>> agents;
    for (int first = 0; first < count; first += AgentsPerProcess) {
        auto process = std::make_unique<QProcess>();
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        // On a site the agents run on other machines; here they share the cores with the
        // window, so they run only when the window's threads leave a core idle.
        process->setChildProcessModifier([] {
            const sched_param idle{};
            sched_setscheduler(0, SCHED_IDLE, &idle);
        });
        process->start(QDir(QCoreApplication::applicationDirPath()).filePath(u"kvzagent"_s),
                       {u"--many"_s,
                        u"%1:%2,%3,slow=%4,silent=%5,delay=%6"_s.arg(agentAddress(first))
                            .arg(port)
                            .arg(qMin(AgentsPerProcess, count - first))
                            .arg(SlowShare)
                            .arg(SilentShare)
                            .arg(SlowMs),
                        u"--max-connections"_s, u"2048"_s});
        if (!process->waitForReadyRead(60000))
            throw DbError(u"kvzagent did not start"_s);
        agents.push_back(std::move(process));
    }
    return agents;
}

// Every user gets the address of one agent, in uid order.
QHash<qint32, int> giveAddresses(DbConnection& connection) {
    DbQuery users(&connection);
    users.setSql(u"select Uid from Users order by Uid"_s);
    users.open();
    QList<qint32> uids;
    for (; !users.eof(); users.next())
        uids.append(users.asInteger(u"Uid"_s));
    users.close();
    QHash<qint32, int> agentOf;
    DbTransaction transaction(connection);
    DbCommand update(&connection, u"update Users set Ip = :i where Uid = :u"_s);
    for (int i = 0; i < uids.size(); ++i) {
        update.setParam(u"i"_s, agentAddress(i));
        update.setParam(u"u"_s, uids[i]);
        update.execute();
        agentOf.insert(uids[i], i);
    }
    transaction.commit();
    return agentOf;
}

QAction* wholeDepartmentItem(TFrmUsersManage& form, const QString& word) {
    QList<QMenu*> menus;
    for (QAction* action : form.ui()->PMCom->actions()) {
        if (action->menu())
            menus << action->menu();
    }
    for (QAction* item : menus.constLast()->actions()) {
        if (item->data().toString() == word)
            return item;
    }
    return nullptr;
}

// One command to one agent, n times: through the window's request, and through Qt's client.
void oneCommand(const QString& address, quint16 port, int n) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < n; ++i) {
        AgentRequest request;
        bool done = false;
        QObject::connect(&request, &AgentRequest::finished,
                         [&done](const AgentReply&) { done = true; });
        request.start(address, port, u"aFlag=UpdatePly"_s, AgentBounds{});
        while (!done)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double ours = double(timer.nsecsElapsed()) / 1e6 / n;
    QNetworkAccessManager http;
    http.setProxy(QNetworkProxy::NoProxy);
    timer.restart();
    for (int i = 0; i < n; ++i) {
        std::unique_ptr<QNetworkReply> reply(
            http.get(QNetworkRequest(*ClientCommandUrl(address, port, u"aFlag=UpdatePly"_s))));
        while (!reply->isFinished())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double qt = double(timer.nsecsElapsed()) / 1e6 / n;
    std::printf("one command to one agent, mean of %d: %.3f ms (Qt's HTTP client: %.3f ms)\n", n,
                ours, qt);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    bench::TimedApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addOptions({{u"users"_s, u"Users and agents."_s, u"n"_s, u"10000"_s},
                       {u"concurrency"_s, u"Requests reaching agents at once."_s, u"n"_s, u"256"_s},
                       {u"answer-ms"_s, u"Bound of an answer."_s, u"ms"_s, u"15000"_s},
                       {u"lang"_s, u"Language of the window."_s, u"lang"_s, u"chs"_s},
                       {u"screenshot"_s, u"Save the results view as PNG."_s, u"file"_s}});
    parser.process(app);
    SetLanguage(parser.value(u"lang"_s));
    const int users = parser.value(u"users"_s).toInt();
    try {
        QTemporaryDir folder;
        DbSettings settings;
        settings.sqlitePath = folder.filePath(u"site.db"_s);
        auto connection = DbConnection::open(settings);
        std::printf("generating %d users...\n", users);
        createSchema(*connection);
        generateLargeSite(*connection, users, users / 50, 20240601);
        const QHash<qint32, int> agentOf = giveAddresses(*connection);
        const quint16 port = freeTcpPort();
        std::printf("starting %d agents on port %u...\n", users, unsigned(port));
        const auto agents = startAgents(users, port);

        QWidget panel;
        panel.resize(1200, 800);
        TLogonInfo logon;
        logon.Connection = connection.get();
        logon.ParentPanel = &panel;
        logon.RootName = u"Org"_s;
        logon.AdminName = u"bench"_s;
        logon.AdminAuths = -1;
        logon.ServerPort = freeTcpPort() - 1;
        logon.ClientPort = port;
        logon.CommandAnswerMs = parser.value(u"answer-ms"_s).toInt();
        logon.CommandConcurrency = parser.value(u"concurrency"_s).toInt();
        OpenFormWithLogonInfo(&logon);
        panel.show();
        while (FrmUsersManage->departs()->rowCount() == 0 || FrmUsersManage->isLoadingUsers())
            QCoreApplication::processEvents();
        TFrmUsersManage& form = *FrmUsersManage;

        const qint64 before = statusBytes("VmRSS");
        resetPeakMemory();
        QElapsedTimer run;
        run.start();
        const double cpuBefore = bench::clockMs(CLOCK_PROCESS_CPUTIME_ID);
        // The menu item as a click triggers it: from the event loop, timed as one event.
        app.resetLongest();
        QTimer::singleShot(0, wholeDepartmentItem(form, u"UpdatePly"_s), &QAction::trigger);
        while (!form.lastBulkResults())
            QCoreApplication::processEvents();
        QCoreApplication::processEvents(); // the results view appears
        const double opening = double(run.nsecsElapsed()) / 1e6;
        const double openingLongest = app.longestMs, openingLongestCpu = app.longestCpuMs;
        app.resetLongest();
        TFrmBulkResults* results = form.lastBulkResults();
        while (results->command().isRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = double(run.nsecsElapsed()) / 1e6;
        const double cpuMs = bench::clockMs(CLOCK_PROCESS_CPUTIME_ID) - cpuBefore;
        const qint64 after = statusBytes("VmRSS"), peak = statusBytes("VmHWM");

        const BulkCommand& command = results->command();
        int wrong = 0, slowest = 0;
        QHash<BulkOutcome, int> outcomes;
        for (qsizetype row = 0; row < command.targets().size(); ++row) {
            const BulkOutcome outcome = command.results()[row].outcome;
            ++outcomes[outcome];
            wrong += outcome != expectedOutcome(agentOf.value(command.targets()[row].uid));
            slowest = qMax(slowest, int(command.results()[row].elapsedMs));
        }
        std::printf("command to the whole site: %lld agents, %d reaching at once, answer bound "
                    "%d ms\n",
                    qlonglong(command.targets().size()), logon.CommandConcurrency,
                    logon.CommandAnswerMs);
        std::printf("  run: %.0f ms; slowest request %d ms (run - slowest: %.0f ms); the window's "
                    "CPU time %.0f ms\n",
                    ms, slowest, ms - slowest, cpuMs);
        std::printf("  confirmed %d, time-out %d, other %d; outcomes not as the agent was made: "
                    "%d\n",
                    outcomes.value(BulkOutcome::Confirmed), outcomes.value(BulkOutcome::TimedOut),
                    int(command.targets().size()) - outcomes.value(BulkOutcome::Confirmed) -
                        outcomes.value(BulkOutcome::TimedOut),
                    wrong);
        std::printf("  opening the results view: %.0f ms, its longest event %.1f ms (CPU time "
                    "%.1f ms)\n",
                    opening, openingLongest, openingLongestCpu);
        std::printf("  longest event while it ran: %.1f ms (%s); in CPU time %.1f ms; less the "
                    "waits for a CPU %.1f ms\n",
                    app.longestMs, app.longestWhat.constData(), app.longestCpuMs, app.longestOwnMs);
        std::printf("  memory: %.1f MB before, %.1f MB peak, %.1f MB after\n", before / 1e6,
                    peak / 1e6, after / 1e6);
        if (parser.isSet(u"screenshot"_s)) {
            results->ui()->LV_Results->sortByColumn(BulkResultsModel::Outcome, Qt::DescendingOrder);
            results->grab().save(parser.value(u"screenshot"_s));
        }
        delete results; // writes the last operation-log rows
        std::printf("  operation-log rows: %d\n",
                    DbCommand(connection.get(), u"select count(*) from LogAct"_s).scalar().toInt());

        oneCommand(agentAddress(20), port, 200); // an agent that answers at once
        for (const auto& agent : agents) {
            agent->terminate();
            agent->waitForFinished();
        }
        CloseBplForm();
    } catch (const DbError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
