#pragma once

#include <QByteArray>
#include <QObject>
#include <QUdpSocket>

// A presence datagram of the server side: a client agent came up or went down.
struct PresenceDatagram {
    static constexpr int MaxBytes = 2031; // what is read of one datagram

    enum class Sign { Unknown, ClientIn, ClientOut };
    Sign sign = Sign::Unknown;
    qint32 userId = 0; // 0 when missing or not a number

    // Lines key=value (CR LF, CR or LF), up to the first zero byte, trimmed of blanks and
    // control characters; keys without letter case, the first line of a key wins. Read as
    // bytes: keys and values that count are ASCII, and in the narrow code page no byte of a
    // two-byte character is a blank, a line break or "=".
    static PresenceDatagram parse(QByteArrayView bytes);
};

// UDPSev: presence datagrams on 127.0.0.1 only. A flood is read whole at every wake-up into a
// large receive buffer, so that none is lost while the window is busy.
class PresenceListener : public QObject {
    Q_OBJECT
public:
    explicit PresenceListener(QObject* parent = nullptr);
    bool open(quint16 port); // false: see errorString()
    QString errorString() const { return m_socket.errorString(); }

signals:
    void received(const QList<QByteArray>& datagrams); // everything pending, in arrival order

private:
    void readPending();
    void enlargeReceiveBuffer();
    QUdpSocket m_socket;
};
