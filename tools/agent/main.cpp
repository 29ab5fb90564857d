// kvzagent: plays client agents on loopback addresses, for tests and demos.
//
//   kvzagent --agent ADDR:PORT[,uid=N][,mode=MODE][,name=TEXT][,ver=TEXT] [--agent ...]
//            [--server 127.0.0.1:PORT] [--log FILE] [--codepage GBK] [--announce]
//            [--idle-timeout MS] [--max-connections N]
//
// Prints "ready" once every agent listens.
#include "Agent.h"
#include "AgentLog.h"
#include "ConnectionPool.h"
#include "QuitOnSignal.h"

#include <QCoreApplication>
#include <QTextStream>
#include <memory>
#include <vector>
#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

namespace {

// Every agent holds two descriptors (HTTP and UDP), every connection one: the soft limit goes
// up to the hard one, and the agents and connections must fit in it with room to spare.
// Windows has no such limit on sockets.
bool descriptorsSuffice(const AgentOptions& options, QString& error) {
#ifdef Q_OS_WIN
    Q_UNUSED(options);
    Q_UNUSED(error);
    return true;
#else
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return true;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlim_t needed = rlim_t(options.agents.size()) * 2 + rlim_t(options.maxConnections) + 64;
    if (limit.rlim_cur != RLIM_INFINITY && needed > limit.rlim_cur) {
        error = QStringLiteral("%1 agents and %2 connections need %3 descriptors, the limit is %4")
                    .arg(options.agents.size())
                    .arg(options.maxConnections)
                    .arg(quint64(needed))
                    .arg(quint64(limit.rlim_cur));
        return false;
    }
    return true;
#endif
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvzagent"));
    QTextStream err(stderr);
    QString error;
    const std::optional<AgentOptions> options = parseAgentOptions(app.arguments(), error);
    AgentLog log;
    if (!options || !descriptorsSuffice(*options, error) || !log.open(options->logFile, error)) {
        err << "kvzagent: " << error << '\n';
        return 2;
    }
    ConnectionPool pool(options->maxConnections);
    const AgentContext context{&log, options->server, options->codePage, &pool, options->idleMs};
    std::vector<std::unique_ptr<Agent>> agents;
    for (const AgentSetup& setup : options->agents) {
        agents.push_back(std::make_unique<Agent>(setup, context));
        if (!agents.back()->listen(error)) {
            err << "kvzagent: " << error << '\n';
            return 1;
        }
    }
    if (options->announce) {
        for (const auto& agent : agents)
            agent->announce(true);
        QObject::connect(&app, &QCoreApplication::aboutToQuit, [&agents] {
            for (const auto& agent : agents)
                agent->announce(false);
        });
    }
    quitOnTerminationSignals();
    QTextStream(stdout) << "ready" << Qt::endl;
    return app.exec();
}
