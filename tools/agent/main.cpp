// kvzagent: plays client agents on loopback addresses, for tests and demos.
//
//   kvzagent --agent ADDR:PORT[,uid=N][,mode=MODE][,name=TEXT][,ver=TEXT] [--agent ...]
//            [--server 127.0.0.1:PORT] [--log FILE] [--codepage GBK] [--announce]
//
// Prints "ready" once every agent listens.
#include "Agent.h"
#include "AgentLog.h"
#include "QuitOnSignal.h"

#include <QCoreApplication>
#include <QTextStream>
#include <memory>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvzagent"));
    QTextStream err(stderr);
    QString error;
    const std::optional<AgentOptions> options = parseAgentOptions(app.arguments(), error);
    AgentLog log;
    if (!options || !log.open(options->logFile, error)) {
        err << "kvzagent: " << error << '\n';
        return 2;
    }
    std::vector<std::unique_ptr<Agent>> agents;
    for (const AgentSetup& setup : options->agents) {
        agents.push_back(
            std::make_unique<Agent>(setup, AgentContext{&log, options->server, options->codePage}));
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
