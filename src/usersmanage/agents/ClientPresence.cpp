#include "ClientPresence.h"

#include <QHostAddress>
#ifdef Q_OS_LINUX
#include <sys/socket.h>
#endif
#include <QVariant>

namespace {

constexpr int ReceiveBufferBytes = 16 * 1024 * 1024;

} // namespace

PresenceListener::PresenceListener(QObject* parent) : QObject(parent) {
    connect(&m_socket, &QUdpSocket::readyRead, this, &PresenceListener::readPending);
}

// Bound exclusively: a port that another program holds, shared or not, is refused rather than
// shared, where the datagrams would go to one of the two.
bool PresenceListener::open(quint16 port) {
    if (!m_socket.bind(QHostAddress::LocalHost, port, QAbstractSocket::DontShareAddress))
        return false;
    enlargeReceiveBuffer();
    return true;
}

// A flood must wait in the socket while the window is busy. Linux caps the size an ordinary
// program may ask for; a program allowed more (CAP_NET_ADMIN) gets it.
void PresenceListener::enlargeReceiveBuffer() {
#ifdef Q_OS_LINUX
    const int bytes = ReceiveBufferBytes;
    if (setsockopt(int(m_socket.socketDescriptor()), SOL_SOCKET, SO_RCVBUFFORCE, &bytes,
                   sizeof bytes) == 0)
        return;
#endif
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption,
                             QVariant(ReceiveBufferBytes));
}

void PresenceListener::readPending() {
    QList<QByteArray> datagrams;
    char buffer[PresenceDatagram::MaxBytes];
    while (m_socket.hasPendingDatagrams()) {
        const qint64 size = m_socket.readDatagram(buffer, sizeof buffer);
        if (size >= 0)
            datagrams.append(QByteArray(buffer, qsizetype(size)));
    }
    if (!datagrams.isEmpty())
        emit received(datagrams);
}
