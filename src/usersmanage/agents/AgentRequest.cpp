#include "AgentRequest.h"

#include "AgentReplyHead.h"
#include "ClientCommand.h"
#include "LogonInfo.h"

#include <QNetworkProxy>

using namespace Qt::Literals::StringLiterals;

namespace {

constexpr qsizetype MaxHeadBytes = 8 * 1024;

} // namespace

AgentBounds AgentBounds::fromLogonInfo() {
    return {LogonInfo->CommandConnectMs, LogonInfo->CommandAnswerMs};
}

bool AgentReply::completed() const {
    return outcome == AgentOutcome::Answered && status >= 200 && status < 300 && !truncated;
}

bool AgentReply::confirmed() const {
    return completed() && body == "OK";
}

AgentRequest::AgentRequest(QObject* parent) : QObject(parent) {
    m_socket.setProxy(QNetworkProxy::NoProxy); // agents are reached directly
    m_deadline.setSingleShot(true);
    m_deadline.setTimerType(Qt::PreciseTimer); // a coarse timer may end a request 5% early
    connect(&m_deadline, &QTimer::timeout, this, [this] { end(AgentOutcome::TimedOut); });
    connect(&m_socket, &QTcpSocket::connected, this, &AgentRequest::onConnected);
    connect(&m_socket, &QTcpSocket::readyRead, this, &AgentRequest::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &AgentRequest::onClosed);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &AgentRequest::onClosed);
}

// The socket signals its closing while it is destroyed, after the timer is gone: those last
// signals must not reach this request.
AgentRequest::~AgentRequest() {
    m_socket.disconnect(this);
}

void AgentRequest::start(const QString& address, qint32 port, const QString& query,
                         const AgentBounds& bounds) {
    m_clock.start();
    m_bounds = bounds;
    const std::optional<QUrl> url = ClientCommandUrl(address, port, query);
    if (!url) {
        QTimer::singleShot(0, this, [this] { end(AgentOutcome::NoAddress); });
        return;
    }
    m_result.host = url->host();
    m_request = "GET " + url->path(QUrl::FullyEncoded).toLatin1() +
                " HTTP/1.1\r\nHost: " + url->authority(QUrl::FullyEncoded).toLatin1() +
                "\r\nConnection: close\r\n\r\n";
    // Reaching the agent has its own short bound; once the request is out, the answer's.
    m_deadline.start(bounds.connectMs);
    m_socket.connectToHost(m_result.host, quint16(port));
}

void AgentRequest::cancel() {
    end(AgentOutcome::Cancelled);
}

void AgentRequest::onConnected() {
    m_deadline.start(m_bounds.answerMs);
    m_socket.write(m_request);
    m_sent = true;
    emit sent();
}

// Only a short answer matters: a longer one is a refusal, and is not read on.
void AgentRequest::onReadyRead() {
    m_received += m_socket.read(MaxHeadBytes + AgentReply::MaxBodyBytes + 1 - m_received.size());
    if (m_bodyStart < 0 && !parseHead())
        return;
    const qint64 body = m_received.size() - m_bodyStart;
    if (body > AgentReply::MaxBodyBytes || (m_contentLength > AgentReply::MaxBodyBytes)) {
        m_result.truncated = true;
        end(AgentOutcome::Answered);
    } else if (m_contentLength >= 0 && body >= m_contentLength) {
        end(AgentOutcome::Answered);
    }
}

// The status line and the announced length, once the head is whole; an overlong or
// malformed head ends the request as no answer.
bool AgentRequest::parseHead() {
    const qsizetype headEnd = m_received.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (m_received.size() > MaxHeadBytes)
            end(AgentOutcome::NoAnswer);
        return false;
    }
    const std::optional<AgentReplyHead> head =
        parseReplyHead(QByteArrayView(m_received).first(headEnd));
    if (!head) {
        end(AgentOutcome::NoAnswer);
        return false;
    }
    m_result.status = head->status;
    m_contentLength = head->contentLength;
    m_bodyStart = headEnd + 4;
    return true;
}

// The agent closed: a whole answer when the head arrived and the body is as long as
// announced (or no length was announced); otherwise the connection broke.
void AgentRequest::onClosed() {
    if (m_ended)
        return;
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();
    if (m_ended)
        return;
    const bool whole = m_bodyStart >= 0 &&
                       (m_contentLength < 0 || m_received.size() - m_bodyStart >= m_contentLength);
    end(whole ? AgentOutcome::Answered : AgentOutcome::NoAnswer);
}

void AgentRequest::end(AgentOutcome outcome) {
    if (m_ended)
        return;
    m_ended = true;
    m_deadline.stop();
    m_socket.disconnect(this);
    m_socket.abort();
    if (m_bodyStart >= 0)
        m_result.body = m_received.mid(
            m_bodyStart, m_contentLength >= 0 ? qMin(m_contentLength, AgentReply::MaxBodyBytes)
                                              : AgentReply::MaxBodyBytes);
    m_result.outcome = outcome;
    m_result.elapsedMs = m_clock.elapsed();
    emit finished(m_result);
}
