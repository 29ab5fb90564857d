#pragma once

#include <QByteArray>
#include <QtGlobal>

// The console's presence listener: 127.0.0.1, the server port + 1.
inline quint16 presencePort(quint16 serverPort) {
    return quint16(serverPort + 1);
}

// "Sign=KVZCLIENTIN" (or KVZCLIENTOUT), CR LF, "UserId=" and the id in decimal.
QByteArray presenceDatagram(bool online, int userId);
