#pragma once

#include "HttpRequest.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QTcpSocket;

// One accepted connection: reads the request head, hands it on once, then answers (and
// closes), closes without an answer, or does nothing until the peer goes away or the
// connection has been idle (nothing read or written) for idleMs. Deletes itself when the
// connection ends.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    HttpConnection(QTcpSocket* socket, int idleMs, QObject* parent); // takes the socket

    void respond(int status, const QByteArray& body, const QByteArray& headers = {});
    // The whole answer, head included, one byte every intervalMs.
    void trickle(int status, const QByteArray& body, int intervalMs);
    // A 200 answer announcing `size` bytes of body, written as fast as the peer reads them.
    void flood(qint64 size);
    void drop();   // closes without an answer
    void expire(); // closes at once: idle too long, or room needed for newer connections

signals:
    void requestReceived(const HttpRequest& request);

private:
    void onReadyRead();
    void onBytesWritten();

    QTcpSocket* m_socket;
    QByteArray m_head;
    bool m_received = false;
    QTimer m_idle;
    qint64 m_floodLeft = 0;
};
