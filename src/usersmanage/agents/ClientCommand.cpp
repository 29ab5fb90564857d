#include "ClientCommand.h"

#include "LogonInfo.h"
#include "NarrowText.h"
#include "StringCipher.h"
#include "SystemHelpers.h"

using namespace Qt::Literals::StringLiterals;

namespace {

const QByteArray CommandKey = QByteArrayLiteral("qmtrb");

} // namespace

std::optional<QString> AgentHost(const QString& address) {
    const QString host = address.trimmed();
    if (!IsDottedQuad(host))
        return std::nullopt;
    return host;
}

std::optional<QUrl> ClientCommandUrl(const QString& address, qint32 port, const QString& query) {
    const std::optional<QString> host = AgentHost(address);
    if (!host || port <= 0 || port > 65535)
        return std::nullopt;
    const QByteArray cipher = En(toNarrow(query, LogonInfo->CodePage), CommandKey, true);
    QUrl url;
    url.setScheme(u"http"_s);
    url.setHost(*host);
    url.setPort(port);
    url.setPath(u'/' + QString::fromLatin1(cipher));
    return url;
}
