#include "AgentOptions.h"

#include "CommandLine.h"

#include <QCommandLineParser>
#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace {

const QList<QPair<QString, AgentMode>> modeNames{
    {u"ok"_s, AgentMode::Ok},
    {u"refuse"_s, AgentMode::Refuse},
    {u"lower"_s, AgentMode::Lower},
    {u"crlf"_s, AgentMode::Crlf},
    {u"garbage"_s, AgentMode::Garbage},
    {u"stall"_s, AgentMode::Stall},
    {u"close"_s, AgentMode::Close},
    {u"slow"_s, AgentMode::Slow},
    {u"redirect"_s, AgentMode::Redirect},
    {u"trickle"_s, AgentMode::Trickle},
    {u"flood"_s, AgentMode::Flood},
};

// A whole number within [low, high].
std::optional<int> boundedNumber(const QString& text, int low, int high) {
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value >= low && value <= high ? std::optional<int>(value) : std::nullopt;
}

std::optional<AgentMode> modeNamed(const QString& name) {
    for (const auto& [text, mode] : modeNames) {
        if (text == name)
            return mode;
    }
    return std::nullopt;
}

bool applyField(const QString& key, const QString& value, AgentSetup& setup) {
    if (key == u"uid") {
        bool ok = false;
        setup.userId = value.toInt(&ok);
        return ok && setup.userId > 0;
    }
    if (key == u"mode") {
        const auto mode = modeNamed(value);
        setup.mode = mode.value_or(AgentMode::Ok);
        return mode.has_value();
    }
    if (key == u"delay") {
        setup.delayMs = boundedNumber(value, 0, 3600000).value_or(-1);
        return setup.delayMs >= 0;
    }
    if (key == u"to") {
        setup.redirectTo = parseLoopbackEndpoint(value);
        return setup.redirectTo.has_value();
    }
    if (key == u"name")
        setup.computerName = value;
    else if (key == u"ver")
        setup.cliVer = value;
    else
        return false;
    return true;
}

const QString helpText =
    u"Plays client agents on loopback addresses.\n\n"
    u"--agent ADDR:PORT[,uid=N][,mode=MODE][,delay=MS][,to=ADDR:PORT][,name=TEXT][,ver=TEXT]\n"
    u"  one agent: HTTP and the UDP refresh on ADDR:PORT (127.0.0.0/8);\n"
    u"  uid: the user it announces (none: it never announces);\n"
    u"  mode: ok (default), refuse, lower, crlf, garbage, stall, close, slow (OK after the\n"
    u"  delay, 2000 ms by default), redirect (302 to the same path at to=, by default\n"
    u"  127.0.0.1 on the same port), trickle (OK, a byte every delay), flood (768 MiB);\n"
    u"  name, ver: computer name and client version it announces.\n"
    u"--many FIRST:PORT,COUNT[,slow=PCT][,refuse=PCT][,silent=PCT][,delay=MS]\n"
    u"  COUNT agents on consecutive addresses from FIRST (skipping .0 and .255), of every\n"
    u"  hundred the first slow% slow, the next refuse% refusing, the next silent% stalling.\n"
    u"Prints \"ready\" once every agent listens."_s;

// The share of a hundred one kind of agent takes.
std::optional<int> percent(const QString& value) {
    bool ok = false;
    const int share = value.toInt(&ok);
    return ok && share >= 0 && share <= 100 ? std::optional<int>(share) : std::nullopt;
}

// The agents of one --many value.
std::optional<QList<AgentSetup>> parseMany(const QString& text, QString& error) {
    const QStringList fields = text.split(u',');
    const auto first = parseLoopbackEndpoint(fields.value(0));
    bool ok = false;
    const int count = fields.value(1).toInt(&ok);
    if (!first || !ok || count < 1 || count > 100000 ||
        first->address.protocol() != QAbstractSocket::IPv4Protocol) {
        error = u"--many expects FIRST:PORT,COUNT with an IPv4 loopback address"_s;
        return std::nullopt;
    }
    int shares[3] = {0, 0, 0}; // slow, refuse, silent
    int delayMs = 2000;
    for (qsizetype i = 2; i < fields.size(); ++i) {
        const QString key = fields[i].section(u'=', 0, 0);
        const QString value = fields[i].section(u'=', 1);
        const qsizetype kind = QStringList{u"slow"_s, u"refuse"_s, u"silent"_s}.indexOf(key);
        const auto share = kind >= 0 ? percent(value) : std::nullopt;
        if (share)
            shares[kind] = *share;
        else if (key == u"delay" && value.toInt(&ok) >= 0 && ok)
            delayMs = value.toInt();
        else {
            error = u"--many: bad field \""_s + fields[i] + u'"';
            return std::nullopt;
        }
    }
    QList<AgentSetup> agents;
    quint32 address = first->address.toIPv4Address();
    for (int i = 0; i < count; ++address) {
        if ((address & 0xff) == 0 || (address & 0xff) == 0xff)
            continue;
        if ((address >> 24) != 127) {
            error = u"--many runs out of 127.0.0.0/8"_s;
            return std::nullopt;
        }
        AgentSetup setup;
        setup.endpoint = {QHostAddress(address), first->port};
        const int place = i % 100;
        setup.mode = place < shares[0]                           ? AgentMode::Slow
                     : place < shares[0] + shares[1]             ? AgentMode::Refuse
                     : place < shares[0] + shares[1] + shares[2] ? AgentMode::Stall
                                                                 : AgentMode::Ok;
        setup.delayMs = delayMs;
        setup.computerName = u"PC-%1"_s.arg(i);
        agents.append(setup);
        ++i;
    }
    return agents;
}

} // namespace

std::optional<AgentSetup> parseAgentSetup(const QString& text, QString& error) {
    const QStringList fields = text.split(u',');
    AgentSetup setup;
    const auto endpoint = parseLoopbackEndpoint(fields.constFirst());
    if (!endpoint) {
        error = u"--agent expects a loopback ADDR:PORT, got \""_s + fields.constFirst() + u'"';
        return std::nullopt;
    }
    setup.endpoint = *endpoint;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const qsizetype equals = fields[i].indexOf(u'=');
        if (equals <= 0 || !applyField(fields[i].left(equals), fields[i].mid(equals + 1), setup)) {
            error = u"--agent: bad field \""_s + fields[i] + u'"';
            return std::nullopt;
        }
    }
    if (setup.computerName.isEmpty())
        setup.computerName = u"PC-%1"_s.arg(setup.userId, 3, 10, QChar(u'0'));
    return setup;
}

std::optional<AgentOptions> parseAgentOptions(const QStringList& arguments, QString& error) {
    const QCommandLineOption agent{u"agent"_s, u"One agent (see above); repeat for more."_s,
                                   u"AGENT"_s};
    const QCommandLineOption server{u"server"_s,
                                    u"Server side that takes announcements (127.0.0.1:2228)."_s,
                                    u"ADDR:PORT"_s, u"127.0.0.1:2228"_s};
    const QCommandLineOption log{u"log"_s, u"Append one JSON line per request to FILE."_s,
                                 u"FILE"_s};
    const QCommandLineOption announce{
        u"announce"_s, u"Announce every agent with a uid at start, and its going down at exit."_s};
    const QCommandLineOption idle{u"idle-timeout"_s,
                                  u"Close a connection idle for MS milliseconds (60000)."_s,
                                  u"MS"_s, u"60000"_s};
    const QCommandLineOption maxConnections{
        u"max-connections"_s,
        u"Connections held at once (512); the oldest is closed to make room for a new one."_s,
        u"N"_s, u"512"_s};
    const QCommandLineOption many{u"many"_s, u"Many agents on one port (see above)."_s,
                                  u"FIRST:PORT,COUNT[,...]"_s};
    QCommandLineParser parser;
    parser.setApplicationDescription(helpText);
    parser.addOptions({agent, many, server, log, announce, idle, maxConnections});
    AgentOptions options;
    if (!parseStandInCommandLine(parser, arguments, options.codePage, error))
        return std::nullopt;
    for (const QString& text : parser.values(agent)) {
        const auto setup = parseAgentSetup(text, error);
        if (!setup)
            return std::nullopt;
        options.agents << *setup;
    }
    for (const QString& text : parser.values(many)) {
        const auto setups = parseMany(text, error);
        if (!setups)
            return std::nullopt;
        options.agents << *setups;
    }
    QSet<QString> seen;
    for (const AgentSetup& setup : std::as_const(options.agents)) {
        if (seen.contains(setup.endpoint.toString())) {
            error = u"two agents on "_s + setup.endpoint.toString();
            return std::nullopt;
        }
        seen.insert(setup.endpoint.toString());
    }
    const auto serverEndpoint = parseLoopbackEndpoint(parser.value(server));
    const auto idleMs = boundedNumber(parser.value(idle), 1, 3600000);
    const auto connections = boundedNumber(parser.value(maxConnections), 1, 1000000);
    error = options.agents.isEmpty() ? u"give at least one --agent"_s
            : !serverEndpoint        ? u"--server expects a loopback ADDR:PORT"_s
            : !idleMs                ? u"--idle-timeout expects milliseconds"_s
            : !connections           ? u"--max-connections expects a positive number"_s
                                     : QString();
    if (!error.isEmpty())
        return std::nullopt;
    options.server = *serverEndpoint;
    options.logFile = parser.value(log);
    options.announce = parser.isSet(announce);
    options.idleMs = *idleMs;
    options.maxConnections = *connections;
    return options;
}
