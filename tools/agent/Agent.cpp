#include "Agent.h"

#include "AgentCommand.h"
#include "AgentLog.h"
#include "Announcement.h"
#include "ConnectionPool.h"
#include "HttpConnection.h"
#include "KeyValueLines.h"

#include <QNetworkDatagram>
#include <QRandomGenerator>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qint64 floodBytes = 768LL * 1024 * 1024;
constexpr int acceptPauseMs = 100;

// 8 to 40 printable characters: never the two letters of a good answer.
QByteArray garbage() {
    QRandomGenerator* random = QRandomGenerator::global();
    QByteArray junk(8 + int(random->bounded(33)), Qt::Uninitialized);
    for (char& c : junk)
        c = char(0x21 + random->bounded(0x7e - 0x21));
    return junk;
}

std::optional<QString> textOrNothing(const QString& text) {
    return text.isEmpty() ? std::nullopt : std::optional<QString>(text);
}

} // namespace

Agent::Agent(const AgentSetup& setup, const AgentContext& context, QObject* parent)
    : QObject(parent), m_setup(setup), m_context(context) {
    connect(&m_http, &QTcpServer::newConnection, this, &Agent::onNewConnection);
    // Out of descriptors all the same: stop accepting for a moment instead of spinning.
    connect(&m_http, &QTcpServer::acceptError, this, [this] {
        m_http.pauseAccepting();
        QTimer::singleShot(acceptPauseMs, this, [this] { m_http.resumeAccepting(); });
    });
    connect(&m_udp, &QUdpSocket::readyRead, this, &Agent::onDatagrams);
}

bool Agent::listen(QString& error) {
    const Endpoint& at = m_setup.endpoint;
    if (m_setup.mode != AgentMode::Refuse && !m_http.listen(at.address, at.port)) {
        error = u"HTTP on "_s + at.toString() + u": "_s + m_http.errorString();
        return false;
    }
    if (!m_udp.bind(at.address, at.port)) {
        error = u"UDP on "_s + at.toString() + u": "_s + m_udp.errorString();
        return false;
    }
    return true;
}

QByteArray Agent::announce(bool up) {
    if (m_setup.userId <= 0)
        return {};
    const Announcement announcement{up,
                                    m_setup.userId,
                                    m_setup.endpoint.address.toString(),
                                    m_setup.computerName,
                                    m_setup.cliVer,
                                    u"HD%1"_s.arg(m_setup.userId, 8, 16, QChar(u'0'))};
    const QByteArray datagram = encodeAnnouncement(announcement, m_context.codePage);
    m_udp.writeDatagram(datagram, m_context.server.address, m_context.server.port);
    return datagram;
}

void Agent::onNewConnection() {
    while (QTcpSocket* socket = m_http.nextPendingConnection()) {
        auto* connection = new HttpConnection(socket, m_context.idleMs, this);
        m_context.pool->admit(connection);
        connect(connection, &HttpConnection::requestReceived, this,
                [this, connection](const HttpRequest& request) { onRequest(connection, request); });
    }
}

void Agent::onRequest(HttpConnection* connection, const HttpRequest& request) {
    const AgentCommand command = request.valid && request.method == "GET"
                                     ? decipherCommand(request.target, m_context.codePage)
                                     : AgentCommand{};
    AgentLogEntry entry{m_setup.endpoint.toString(),
                        u"http"_s,
                        textOrNothing(command.lines.value(0)),
                        command.lines,
                        std::nullopt,
                        std::nullopt};
    if (m_setup.mode == AgentMode::Stall || m_setup.mode == AgentMode::Close) {
        m_context.log->write(entry);
        if (m_setup.mode == AgentMode::Close)
            connection->drop();
        return;
    }
    const QByteArray body = command.known ? modeAnswer() : QByteArrayLiteral("unknown command\n");
    const AgentMode mode = command.known ? m_setup.mode : AgentMode::Ok;
    entry.status = !command.known ? 400 : mode == AgentMode::Redirect ? 302 : 200;
    entry.answer = mode == AgentMode::Flood ? u"768 MiB"_s : QString::fromLatin1(body);
    m_context.log->write(entry);
    answer(connection, mode, entry.status.value(), body, request.target);
}

void Agent::answer(HttpConnection* connection, AgentMode mode, int status, const QByteArray& body,
                   const QByteArray& target) const {
    switch (mode) {
    case AgentMode::Slow:
        QTimer::singleShot(m_setup.delayMs, connection,
                           [connection, body] { connection->respond(200, body); });
        break;
    case AgentMode::Trickle:
        connection->trickle(status, body, m_setup.delayMs);
        break;
    case AgentMode::Flood:
        connection->flood(floodBytes);
        break;
    case AgentMode::Redirect: {
        // The same request at another address: followed, it reaches another agent.
        const Endpoint to = m_setup.redirectTo.value_or(
            Endpoint{QHostAddress(QHostAddress::LocalHost), m_setup.endpoint.port});
        connection->respond(status, body,
                            "Location: http://" + to.toString().toLatin1() + target + "\r\n");
        break;
    }
    default:
        connection->respond(status, body);
    }
}

QByteArray Agent::modeAnswer() const {
    switch (m_setup.mode) {
    case AgentMode::Lower:
        return QByteArrayLiteral("ok");
    case AgentMode::Crlf:
        return QByteArrayLiteral("OK\r\n");
    case AgentMode::Garbage:
        return garbage();
    default:
        return QByteArrayLiteral("OK");
    }
}

void Agent::onDatagrams() {
    while (m_udp.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udp.receiveDatagram();
        const QStringList lines = splitLines(fromCodePage(datagram.data(), m_context.codePage));
        const bool refresh =
            lineValue(lines, u"Sign"_s).compare(u"KVZSEVIN"_s, Qt::CaseInsensitive) == 0;
        const QByteArray announced = refresh ? announce(true) : QByteArray();
        m_context.log->write({m_setup.endpoint.toString(), u"refresh"_s, std::nullopt, lines,
                              textOrNothing(fromCodePage(announced, m_context.codePage)),
                              std::nullopt});
    }
}
