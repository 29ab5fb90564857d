#pragma once

#include <QHostAddress>
#include <QString>
#include <optional>

// An address and port on this computer's loopback network (127.0.0.0/8 or ::1): the only
// places the stand-ins listen on and send to.
struct Endpoint {
    QHostAddress address;
    quint16 port = 0;

    QString toString() const;
};

// Reads "ADDR:PORT" (IPv4, port 1..65535); nothing when malformed or not a loopback address.
std::optional<Endpoint> parseLoopbackEndpoint(const QString& text);
