#include "AgentOptions.h"

#include "CommandLine.h"

#include <QCommandLineParser>
#include <QSet>

using namespace Qt::Literals::StringLiterals;

namespace {

const QList<QPair<QString, AgentMode>> modeNames{
    {u"ok"_s, AgentMode::Ok},           {u"refuse"_s, AgentMode::Refuse},
    {u"lower"_s, AgentMode::Lower},     {u"crlf"_s, AgentMode::Crlf},
    {u"garbage"_s, AgentMode::Garbage}, {u"stall"_s, AgentMode::Stall},
    {u"close"_s, AgentMode::Close},     {u"slow"_s, AgentMode::Slow},
};

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
    u"--agent ADDR:PORT[,uid=N][,mode=MODE][,name=TEXT][,ver=TEXT]\n"
    u"  one agent: HTTP and the UDP refresh on ADDR:PORT (127.0.0.0/8);\n"
    u"  uid: the user it announces (none: it never announces);\n"
    u"  mode: ok (default), refuse, lower, crlf, garbage, stall, close, slow;\n"
    u"  name, ver: computer name and client version it announces.\n"
    u"Prints \"ready\" once every agent listens."_s;

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
    QCommandLineParser parser;
    parser.setApplicationDescription(helpText);
    parser.addOptions({agent, server, log, announce});
    AgentOptions options;
    if (!parseStandInCommandLine(parser, arguments, options.codePage, error))
        return std::nullopt;
    QSet<QString> seen;
    for (const QString& text : parser.values(agent)) {
        const auto setup = parseAgentSetup(text, error);
        if (!setup)
            return std::nullopt;
        if (seen.contains(setup->endpoint.toString())) {
            error = u"two agents on "_s + setup->endpoint.toString();
            return std::nullopt;
        }
        seen.insert(setup->endpoint.toString());
        options.agents << *setup;
    }
    const auto serverEndpoint = parseLoopbackEndpoint(parser.value(server));
    error = options.agents.isEmpty() ? u"give at least one --agent"_s
            : !serverEndpoint        ? u"--server expects a loopback ADDR:PORT"_s
                                     : QString();
    if (!error.isEmpty())
        return std::nullopt;
    options.server = *serverEndpoint;
    options.logFile = parser.value(log);
    options.announce = parser.isSet(announce);
    return options;
}
