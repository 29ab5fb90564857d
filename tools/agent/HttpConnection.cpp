#include "HttpConnection.h"

#include <QTcpSocket>

namespace {

constexpr qsizetype maxHeadSize = 16 * 1024;
constexpr qint64 floodChunk = 64 * 1024;

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return QByteArrayLiteral("OK");
    case 302:
        return QByteArrayLiteral("Found");
    default:
        return QByteArrayLiteral("Bad Request");
    }
}

QByteArray head(int status, qint64 length, const QByteArray& headers) {
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
           "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(length) +
           "\r\n" + headers + "Connection: close\r\n\r\n";
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, int idleMs, QObject* parent)
    : QObject(parent), m_socket(socket) {
    m_socket->setParent(this);
    m_idle.setSingleShot(true);
    m_idle.setInterval(idleMs);
    connect(&m_idle, &QTimer::timeout, this, &HttpConnection::expire);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::onBytesWritten);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    m_idle.start();
}

void HttpConnection::onReadyRead() {
    m_idle.start();
    const QByteArray data = m_socket->readAll();
    if (m_received)
        return; // one request per connection; what follows is not read
    m_head += data;
    const bool complete = m_head.contains("\r\n\r\n");
    if (!complete && m_head.size() <= maxHeadSize)
        return;
    m_received = true;
    emit requestReceived(complete ? parseRequestLine(m_head) : HttpRequest{});
}

void HttpConnection::onBytesWritten() {
    m_idle.start();
    if (m_floodLeft <= 0 || m_socket->bytesToWrite() > floodChunk)
        return;
    const qint64 chunk = qMin(m_floodLeft, floodChunk);
    m_floodLeft -= chunk;
    m_socket->write(QByteArray(chunk, 'x'));
}

void HttpConnection::respond(int status, const QByteArray& body, const QByteArray& headers) {
    m_socket->write(head(status, body.size(), headers) + body);
    m_socket->disconnectFromHost();
}

void HttpConnection::trickle(int status, const QByteArray& body, int intervalMs) {
    const QByteArray answer = head(status, body.size(), {}) + body;
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this, timer, answer, sent = qsizetype(0)]() mutable {
        m_socket->write(answer.mid(sent++, 1));
        if (sent < answer.size())
            return;
        timer->stop();
        m_socket->disconnectFromHost();
    });
    timer->start(intervalMs);
}

void HttpConnection::flood(qint64 size) {
    m_floodLeft = size;
    m_socket->write(head(200, size, {}));
}

void HttpConnection::drop() {
    m_socket->disconnectFromHost();
}

void HttpConnection::expire() {
    m_idle.stop();
    m_socket->abort();
    deleteLater();
}
