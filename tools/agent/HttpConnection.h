#pragma once

#include "HttpRequest.h"

#include <QByteArray>
#include <QObject>

class QTcpSocket;

// One accepted connection: reads the request head, hands it on once, then answers (and
// closes), closes without an answer, or does nothing until the peer goes away. Deletes itself
// when the connection ends.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    HttpConnection(QTcpSocket* socket, QObject* parent); // takes the socket

    void respond(int status, const QByteArray& body);
    void drop();

signals:
    void requestReceived(const HttpRequest& request);

private:
    void onReadyRead();

    QTcpSocket* m_socket;
    QByteArray m_head;
    bool m_received = false;
};
