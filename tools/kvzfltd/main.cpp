// kvzfltd: stands in for the filter driver's command port. Listens on a Unix-domain socket,
// takes the 1032-byte command messages as the driver would, appends each request to a record
// file, and answers with the replies configured per command code.

#include "DriverPort.h"
#include "PortServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

// Parses CODE=HEX; false when malformed.
bool addReply(const QString& option, QMap<int, QByteArray>& replies) {
    const qsizetype equals = option.indexOf(u'=');
    bool ok = false;
    const int code = option.left(equals).toInt(&ok);
    const QByteArray hex = option.mid(equals + 1).toLatin1();
    const QByteArray bytes = QByteArray::fromHex(hex);
    if (equals < 0 || !ok || code < 0 || code > 255 || bytes.size() * 2 != hex.size()) {
        return false;
    }
    replies.insert(code, bytes);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        u"Stand-in for the filter driver's command port on a Unix-domain socket (Windows: a "
        u"named pipe)."_s);
    parser.addHelpOption();
    const QCommandLineOption socketOption{
        u"socket"_s,
        u"Socket to listen on (default $KVZFLT_SOCKET or /run/kvzflt/KVZ6InPort; Windows: "
        u"$KVZFLT_SOCKET or KVZ6InPort, a pipe name). A stale socket there is replaced; any "
        u"other file, or a server already listening, is left alone and the start fails."_s,
        u"PATH"_s};
    const QCommandLineOption recordOption{
        u"record"_s, u"Append every request (message and reply size) to FILE."_s, u"FILE"_s};
    const QCommandLineOption replyOption{
        u"reply"_s, u"Reply bytes (hexadecimal) for a command code, e.g. 2=01. Repeatable."_s,
        u"CODE=HEX"_s};
    const QCommandLineOption silentOption{u"silent"_s, u"Answer with no reply bytes."_s};
    const QCommandLineOption hangUpOption{u"hang-up"_s, u"Close without answering."_s};
    parser.addOptions({socketOption, recordOption, replyOption, silentOption, hangUpOption});
    parser.process(app);

    PortSettings settings;
    settings.socketPath = parser.isSet(socketOption)
                              ? parser.value(socketOption)
                              : QString::fromStdString(kvzflt::DriverSocketPath());
    if (settings.socketPath.isEmpty())
        settings.socketPath = u"KVZ6InPort"_s; // Windows without $KVZFLT_SOCKET
    settings.recordPath = parser.value(recordOption);
    settings.silent = parser.isSet(silentOption);
    settings.hangUp = parser.isSet(hangUpOption);
    for (const QString& reply : parser.values(replyOption)) {
        if (!addReply(reply, settings.replies)) {
            std::fprintf(stderr, "kvzfltd: bad --reply %s\n", qPrintable(reply));
            return 2;
        }
    }

    PortServer server(settings);
    QString error;
    if (!server.listen(error)) {
        std::fprintf(stderr, "kvzfltd: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("kvzfltd: listening on %s\n", qPrintable(settings.socketPath));
    std::fflush(stdout);
    return QCoreApplication::exec();
}
