// kvzfltd: stands in for the filter driver's command port. Listens on a Unix-domain socket,
// takes the 1032-byte command messages as the driver would, appends each request to a record
// file, and answers with the replies configured per command code.

#include "DriverPort.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMap>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace Qt::StringLiterals;
using namespace kvzflt;

namespace {

struct Settings {
    std::string socketPath;
    std::string recordPath;
    QMap<int, QByteArray> replies; // command code -> reply bytes
    bool silent = false;           // answer every command with no reply bytes
    bool hangUp = false;           // close every connection without an answer
};

// One connection: one request, one answer.
void serve(int fd, const Settings& settings, std::ofstream& record) {
    std::uint8_t request[RequestSize];
    if (!ReceiveAll(fd, request, RequestSize)) {
        return;
    }
    if (record.is_open()) {
        record.write(reinterpret_cast<const char*>(request), RequestSize);
        record.flush();
    }
    if (settings.hangUp) {
        return;
    }
    const std::uint32_t capacity = GetLE32(request + MessageSize);
    QByteArray reply = settings.silent ? QByteArray() : settings.replies.value(request[0]);
    reply.truncate(capacity);
    QByteArray answer(4, '\0');
    PutLE32(reinterpret_cast<std::uint8_t*>(answer.data()),
            static_cast<std::uint32_t>(reply.size()));
    answer += reply;
    if (::send(fd, answer.constData(), static_cast<std::size_t>(answer.size()), MSG_NOSIGNAL) < 0) {
        std::perror("kvzfltd: send");
    }
}

int listenOn(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        std::fprintf(stderr, "kvzfltd: socket path too long: %s\n", path.c_str());
        return -1;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    std::error_code ignored; // a folder that cannot be made shows up as a failed bind
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
    ::unlink(path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, 16) != 0) {
        std::perror("kvzfltd: listen");
        return -1;
    }
    return fd;
}

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
        u"Stand-in for the filter driver's command port on a Unix-domain socket."_s);
    parser.addHelpOption();
    const QCommandLineOption socketOption{
        u"socket"_s, u"Socket to listen on (default $KVZFLT_SOCKET or /run/kvzflt/KVZ6InPort)."_s,
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

    Settings settings;
    settings.socketPath =
        parser.isSet(socketOption) ? parser.value(socketOption).toStdString() : DriverSocketPath();
    settings.recordPath = parser.value(recordOption).toStdString();
    settings.silent = parser.isSet(silentOption);
    settings.hangUp = parser.isSet(hangUpOption);
    for (const QString& reply : parser.values(replyOption)) {
        if (!addReply(reply, settings.replies)) {
            std::fprintf(stderr, "kvzfltd: bad --reply %s\n", qPrintable(reply));
            return 2;
        }
    }

    std::ofstream record;
    if (!settings.recordPath.empty()) {
        record.open(settings.recordPath, std::ios::binary | std::ios::app);
    }
    const int server = listenOn(settings.socketPath);
    if (server < 0) {
        return 1;
    }
    std::printf("kvzfltd: listening on %s\n", settings.socketPath.c_str());
    std::fflush(stdout);
    for (;;) {
        const int client = ::accept4(server, nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            serve(client, settings, record);
            ::close(client);
        }
    }
}
