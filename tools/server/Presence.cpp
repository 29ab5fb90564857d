#include "Presence.h"

QByteArray presenceDatagram(bool online, int userId) {
    QByteArray datagram = online ? QByteArrayLiteral("Sign=KVZCLIENTIN\r\nUserId=")
                                 : QByteArrayLiteral("Sign=KVZCLIENTOUT\r\nUserId=");
    return datagram.append(QByteArray::number(userId));
}
