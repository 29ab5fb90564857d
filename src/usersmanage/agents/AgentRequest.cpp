#include "AgentRequest.h"

#include "ClientCommand.h"
#include "LogonInfo.h"

#include <QNetworkProxy>

using namespace Qt::Literals::StringLiterals;

AgentBounds AgentBounds::fromLogonInfo() {
    return {LogonInfo->CommandConnectMs, LogonInfo->CommandAnswerMs};
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
    m_request = ClientCommandRequest(*url);
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
}

void AgentRequest::onReadyRead() {
    if (const std::optional<AgentOutcome> outcome = m_answer.add(m_socket.read(m_answer.room())))
        end(*outcome);
}

void AgentRequest::onClosed() {
    if (m_ended)
        return;
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();
    if (!m_ended)
        end(m_answer.closed());
}

void AgentRequest::end(AgentOutcome outcome) {
    if (m_ended)
        return;
    m_ended = true;
    m_deadline.stop();
    m_socket.disconnect(this);
    m_socket.abort();
    m_answer.fill(m_result);
    m_result.outcome = outcome;
    m_result.elapsedMs = m_clock.elapsed();
    emit finished(m_result);
}
