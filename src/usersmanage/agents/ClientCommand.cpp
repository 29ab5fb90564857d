#include "ClientCommand.h"

#include "CommandAddress.h"
#include "LogonInfo.h"
#include "NarrowText.h"
#include "SystemHelpers.h"

std::optional<QString> AgentHost(const QString& address) {
    const QString host = address.trimmed();
    if (!IsDottedQuad(host))
        return std::nullopt;
    return host;
}

std::optional<QUrl> ClientCommandUrl(const QString& address, qint32 port, const QString& query) {
    return NarrowCommandUrl(address, port, toNarrow(query, LogonInfo->CodePage));
}

std::optional<QUrl> NarrowCommandUrl(const QString& address, qint32 port, const QByteArray& query) {
    const std::optional<QString> host = AgentHost(address);
    if (!host)
        return std::nullopt;
    const std::optional<std::string> text =
        CommandAddress(host->toStdString(), port, query.toStdString());
    if (!text)
        return std::nullopt;
    return QUrl::fromEncoded(QByteArray::fromStdString(*text), QUrl::StrictMode);
}

QByteArray ClientCommandRequest(const QUrl& url) {
    return "GET " + url.path(QUrl::FullyEncoded).toLatin1() +
           " HTTP/1.1\r\nHost: " + url.authority(QUrl::FullyEncoded).toLatin1() +
           "\r\nConnection: close\r\n\r\n";
}
