#pragma once

#include "ModuleExport.h"

#include "PresenceDatagram.h"

#include <QByteArray>
#include <QObject>
#include <QUdpSocket>

// UDPSev: presence datagrams on 127.0.0.1 only. A flood is read whole at every wake-up into a
// large receive buffer, so that none is lost while the window is busy.
class KVZ_MODULE_EXPORT PresenceListener : public QObject {
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
