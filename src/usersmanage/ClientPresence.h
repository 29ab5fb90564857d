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

    // Lines key=value (CR LF, CR or LF) in the narrow code page, up to the first zero byte;
    // keys without letter case, the first line of a key wins.
    static PresenceDatagram parse(const QByteArray& bytes, const QByteArray& codePage);
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
    void received(const QByteArray& datagram);

private:
    void readPending();
    QUdpSocket m_socket;
};
