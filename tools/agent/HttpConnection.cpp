#include "HttpConnection.h"

#include <QTcpSocket>

namespace {

constexpr qsizetype maxHeadSize = 16 * 1024;

QByteArray reasonPhrase(int status) {
    return status == 200 ? QByteArrayLiteral("OK") : QByteArrayLiteral("Bad Request");
}

} // namespace

HttpConnection::HttpConnection(QTcpSocket* socket, QObject* parent)
    : QObject(parent), m_socket(socket) {
    m_socket->setParent(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
}

void HttpConnection::onReadyRead() {
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

void HttpConnection::respond(int status, const QByteArray& body) {
    QByteArray reply =
        "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
        "\r\nContent-Type: text/plain\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\nConnection: close\r\n\r\n" + body;
    m_socket->write(reply);
    m_socket->disconnectFromHost();
}

void HttpConnection::drop() {
    m_socket->disconnectFromHost();
}
