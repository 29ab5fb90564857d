// kvzserver: the server side on loopback.
//
//   kvzserver (--sqlite FILE | --pg HOST:PORT/DB --pg-user U [--pg-password P] [--pg-schema S])
//             --server-port P
//   kvzserver --server-port P --storm N [--down] [--rate R] [--first-uid U]
//
// Normal mode prints "ready" once it listens and runs until stopped; storm mode prints
// "sent N in X ms" and exits.
#include "DbConnection.h"
#include "DbError.h"
#include "Presence.h"
#include "PresenceServer.h"
#include "QuitOnSignal.h"
#include "Storm.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

int storm(const ServerOptions& options) {
    QString error;
    const std::optional<qint64> elapsed =
        runStorm(*options.storm, presencePort(options.serverPort), error);
    if (!elapsed) {
        QTextStream(stderr) << "kvzserver: storm failed: " << error << '\n';
        return 1;
    }
    QTextStream(stdout) << "sent " << options.storm->count << " in " << *elapsed << " ms\n";
    return 0;
}

int serve(QCoreApplication& app, const ServerOptions& options) {
    std::unique_ptr<DbConnection> connection;
    try {
        connection = DbConnection::open(*options.database);
    } catch (const DbError& error) {
        QTextStream(stderr) << "kvzserver: " << error.message() << '\n';
        return 1;
    }
    PresenceServer server(connection.get(), options.serverPort, options.codePage);
    QString error;
    if (!server.listen(error)) {
        QTextStream(stderr) << "kvzserver: " << error << '\n';
        return 1;
    }
    quitOnTerminationSignals();
    QTextStream(stdout) << "ready" << Qt::endl;
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kvzserver"));
    QString error;
    const std::optional<ServerOptions> options = parseServerOptions(app.arguments(), error);
    if (!options) {
        QTextStream(stderr) << "kvzserver: " << error << '\n';
        return 2;
    }
    return options->storm ? storm(*options) : serve(app, *options);
}
