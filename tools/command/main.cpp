// kvzcommand: sends a one-word command to the client agent of one user or of every user of a
// department and its sub-departments, as the console's commands to many agents send it, and
// records each user's outcome in the operation log.
//
//   kvzcommand --sqlite FILE (--uid N | --depart N) --command WORD [--port 2230]
//              [--command-timeout CONNECT,ANSWER] [--concurrency 256] [--admin NAME]
//   kvzcommand --pg HOST:PORT/DB --pg-user U [--pg-password P] [--pg-schema S]
//              [--pg-sslmode M] ...
//   (--user, --password and --schema are accepted too)
//
// Prints one line per user: uid, user name, address, outcome and milliseconds, tab-separated.
// Exits 0 when every agent confirmed, 1 when any did not.
#include "BulkAudit.h"
#include "BulkCommand.h"
#include "DbConnection.h"
#include "DbQuery.h"
#include "LogonInfo.h"
#include "ToolDatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHash>
#include <QSet>
#include <QTextStream>

#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

enum Exit { Ok = 0, Failed = 1, BadOptions = 2, NoUsers = 3 };

const QStringList Words{u"UpdatePly"_s, u"ShowCli"_s,  u"HideCli"_s,   u"ShowIcon"_s, u"HideIcon"_s,
                        u"StopCli"_s,   u"StartCli"_s, u"UpdateCli"_s, u"UninstCli"_s};

struct Options {
    DbSettings settings;
    std::optional<qint32> uid;
    qint32 depart = 0;
    QString word;
    qint32 port = 2230;
    AgentBounds bounds;
    int concurrency = 256;
    QString admin;
    QByteArray codePage;
};

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

std::optional<int> numberOf(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

std::optional<QString> parseCommand(const QCommandLineParser& parser, Options& options) {
    if (parser.isSet(u"uid"_s) == parser.isSet(u"depart"_s))
        return u"give either --uid N or --depart N"_s;
    const auto id = numberOf(parser.value(parser.isSet(u"uid"_s) ? u"uid"_s : u"depart"_s), 0,
                             std::numeric_limits<int>::max());
    if (!id)
        return u"--uid and --depart take a number"_s;
    if (parser.isSet(u"uid"_s))
        options.uid = *id;
    else
        options.depart = *id;
    options.word = parser.value(u"command"_s);
    if (!Words.contains(options.word))
        return u"--command takes one of "_s + Words.join(u", "_s);
    const auto port = numberOf(parser.value(u"port"_s), 1, 65535);
    const QStringList bounds = parser.value(u"command-timeout"_s).split(u',');
    const auto connectMs = numberOf(bounds.value(0), 100, 600000);
    const auto answerMs = numberOf(bounds.value(1), 100, 600000);
    const auto concurrency = numberOf(parser.value(u"concurrency"_s), 1, 1024);
    if (!port || !connectMs || !answerMs || bounds.size() != 2 || !concurrency)
        return u"--port, --command-timeout CONNECT,ANSWER or --concurrency out of range"_s;
    options.port = *port;
    options.bounds = {*connectMs, *answerMs};
    options.concurrency = *concurrency;
    options.admin = parser.value(u"admin"_s);
    options.codePage = parser.value(u"code-page"_s).toLatin1();
    return std::nullopt;
}

std::optional<Options> parseOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(u"Sends a one-word command to the agents of many users."_s);
    parser.addHelpOption();
    addToolDatabaseOptions(parser);
    parser.addOptions({
        {u"uid"_s, u"The user whose agent gets the command."_s, u"n"_s},
        {u"depart"_s, u"Every user of this department and those below it (0: all)."_s, u"n"_s},
        {u"command"_s, u"The command word: "_s + Words.join(u", "_s) + u'.', u"word"_s},
        {u"port"_s, u"Port of the client agents (2230)."_s, u"port"_s, u"2230"_s},
        {u"command-timeout"_s, u"Bounds in milliseconds: reaching an agent, its answer."_s,
         u"connect,answer"_s, u"3000,15000"_s},
        {u"concurrency"_s, u"Requests reaching their agents at once (256)."_s, u"n"_s, u"256"_s},
        {u"admin"_s, u"Administrator named in the operation log."_s, u"name"_s, u"kvzcommand"_s},
        {u"code-page"_s, u"Narrow code page of the texts (GBK)."_s, u"name"_s, u"GBK"_s},
    });
    parser.process(app);
    Options options;
    std::optional<QString> error =
        readToolDatabase(parser, SqliteFile::MustExist, options.settings);
    if (!error)
        error = parseCommand(parser, options);
    if (error) {
        err() << "kvzcommand: " << *error << "\n";
        return std::nullopt;
    }
    return options;
}

// The department and every department below it.
QSet<qint32> departmentsUnder(DbConnection* connection, qint32 top) {
    DbQuery departs(connection);
    departs.setSql(u"select id, pid from UserSort"_s);
    departs.open();
    QMultiHash<qint32, qint32> children;
    for (; !departs.eof(); departs.next())
        children.insert(departs.asInteger(u"pid"_s), departs.asInteger(u"id"_s));
    QSet<qint32> found{top};
    QList<qint32> open{top};
    while (!open.isEmpty()) {
        for (qint32 child : children.values(open.takeLast())) {
            if (!found.contains(child)) {
                found.insert(child);
                open.append(child);
            }
        }
    }
    return found;
}

QList<BulkTarget> targetsOf(DbConnection* connection, const Options& options) {
    const QSet<qint32> departs = options.uid || options.depart == 0
                                     ? QSet<qint32>()
                                     : departmentsUnder(connection, options.depart);
    DbQuery users(connection);
    users.setSql(u"select Uid, Pid, UserName, Ip from Users order by Uid"_s);
    users.open();
    QList<BulkTarget> targets;
    for (; !users.eof(); users.next()) {
        const qint32 uid = users.asInteger(u"Uid"_s);
        const bool chosen =
            options.uid ? uid == *options.uid
                        : options.depart == 0 || departs.contains(users.asInteger(u"Pid"_s));
        if (chosen)
            targets.append({uid,
                            users.asString(u"UserName"_s).trimmed(),
                            {},
                            users.asString(u"Ip"_s).trimmed()});
    }
    return targets;
}

int run(const Options& options) {
    const auto connection = DbConnection::open(options.settings);
    TLogonInfo logon;
    logon.Connection = connection.get();
    logon.CodePage = options.codePage;
    logon.AdminName = options.admin;
    LogonInfo = &logon;
    const QList<BulkTarget> targets = targetsOf(connection.get(), options);
    if (targets.isEmpty()) {
        err() << "kvzcommand: no user to send to\n";
        return NoUsers;
    }
    BulkCommand command(targets, options.word, options.port, options.bounds, options.concurrency);
    BulkAudit audit;
    QTextStream out(stdout);
    QObject::connect(&command, &BulkCommand::progressed, [&](int row) {
        const BulkTarget& target = command.targets().at(row);
        const BulkResult& result = command.results().at(row);
        audit.add(target.address, options.word, target.name, bulkOutcomeWord(result));
        out << target.uid << '\t' << target.name << '\t' << target.address << '\t'
            << bulkOutcomeWord(result) << '\t' << result.elapsedMs << Qt::endl;
    });
    QObject::connect(&command, &BulkCommand::finished, qApp, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    command.run();
    QCoreApplication::exec();
    return command.counts().failed == 0 ? Ok : Failed;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"kvzcommand"_s);
    const std::optional<Options> options = parseOptions(app);
    if (!options)
        return BadOptions;
    try {
        return run(*options);
    } catch (const std::exception& e) {
        err() << "kvzcommand: " << e.what() << "\n";
        return Failed;
    }
}
