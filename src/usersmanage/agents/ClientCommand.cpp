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
    const std::optional<QString> host = AgentHost(address);
    if (!host)
        return std::nullopt;
    const std::optional<std::string> text = CommandAddress(
        host->toStdString(), port, toNarrow(query, LogonInfo->CodePage).toStdString());
    if (!text)
        return std::nullopt;
    return QUrl::fromEncoded(QByteArray::fromStdString(*text), QUrl::StrictMode);
}
