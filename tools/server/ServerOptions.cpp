#include "ServerOptions.h"

#include "CommandLine.h"
#include "ToolDatabase.h"

#include <QCommandLineParser>

using namespace Qt::Literals::StringLiterals;

namespace {

struct OptionSet {
    QCommandLineOption serverPort{u"server-port"_s,
                                  u"UDP port for agent announcements on 127.0.0.1; presence "
                                  u"datagrams go to the next port."_s,
                                  u"PORT"_s, u"2228"_s};
    QCommandLineOption storm{u"storm"_s,
                             u"Send N presence datagrams, print the time taken and exit; the "
                             u"database is not used."_s,
                             u"N"_s};
    QCommandLineOption down{u"down"_s, u"Storm: users going down (KVZCLIENTOUT)."_s};
    QCommandLineOption rate{u"rate"_s, u"Storm: datagrams a second (default: all at once)."_s,
                            u"R"_s};
    QCommandLineOption firstUid{u"first-uid"_s, u"Storm: user id of the first datagram (1)."_s,
                                u"U"_s, u"1"_s};

    QList<QCommandLineOption> all() const { return {serverPort, storm, down, rate, firstUid}; }
};

std::optional<StormOptions> readStorm(const QCommandLineParser& parser, const OptionSet& o,
                                      QString& error) {
    StormOptions storm;
    bool countOk = false;
    bool rateOk = true;
    bool uidOk = false;
    storm.count = parser.value(o.storm).toInt(&countOk);
    storm.down = parser.isSet(o.down);
    if (parser.isSet(o.rate))
        storm.rate = parser.value(o.rate).toDouble(&rateOk);
    storm.firstUid = parser.value(o.firstUid).toInt(&uidOk);
    if (!countOk || storm.count < 0 || !rateOk || storm.rate < 0 || !uidOk || storm.firstUid < 1 ||
        qint64(storm.firstUid) + storm.count - 1 > INT_MAX) {
        error = u"--storm, --rate and --first-uid take non-negative numbers (--first-uid at "
                u"least 1)"_s;
        return std::nullopt;
    }
    return storm;
}

} // namespace

std::optional<ServerOptions> parseServerOptions(const QStringList& arguments, QString& error) {
    const OptionSet o;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Server side on loopback: keeps agent state in the management database and sends "
        u"presence datagrams to the console. Prints \"ready\" once it listens."_s);
    addToolDatabaseOptions(parser);
    parser.addOptions(o.all());
    ServerOptions options;
    if (!parseStandInCommandLine(parser, arguments, options.codePage, error))
        return std::nullopt;
    bool portOk = false;
    const uint port = parser.value(o.serverPort).toUInt(&portOk);
    if (!portOk || port == 0 || port > 65534) {
        error = u"--server-port expects a port below 65535"_s;
        return std::nullopt;
    }
    options.serverPort = quint16(port);
    if (parser.isSet(o.storm)) {
        options.storm = readStorm(parser, o, error);
        return options.storm ? std::optional(options) : std::nullopt;
    }
    DbSettings database;
    if (const auto wrong = readToolDatabase(parser, SqliteFile::MustExist, database)) {
        error = *wrong;
        return std::nullopt;
    }
    options.database = database;
    return options;
}
