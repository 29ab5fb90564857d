#include "Endpoint.h"

QString Endpoint::toString() const {
    return address.toString() + u':' + QString::number(port);
}

std::optional<Endpoint> parseLoopbackEndpoint(const QString& text) {
    const qsizetype colon = text.lastIndexOf(u':');
    if (colon <= 0)
        return std::nullopt;
    bool ok = false;
    const uint port = text.mid(colon + 1).toUInt(&ok);
    const QHostAddress address(text.left(colon));
    if (!ok || port == 0 || port > 65535 || address.protocol() != QHostAddress::IPv4Protocol ||
        !address.isLoopback())
        return std::nullopt;
    return Endpoint{address, quint16(port)};
}
