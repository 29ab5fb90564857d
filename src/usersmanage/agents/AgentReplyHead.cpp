#include "AgentReplyHead.h"

#include <QByteArray>
#include <QList>

std::optional<AgentReplyHead> parseReplyHead(QByteArrayView head) {
    const QList<QByteArray> lines = head.toByteArray().split('\n');
    const QList<QByteArray> status = lines.constFirst().trimmed().split(' ');
    bool number = false;
    AgentReplyHead result;
    result.status = status.value(1).toInt(&number);
    if (!status.constFirst().startsWith("HTTP/1.") || !number || result.status < 100 ||
        result.status > 999)
        return std::nullopt;
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 ||
            line.left(colon).trimmed().compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        result.contentLength = line.mid(colon + 1).trimmed().toLongLong(&number);
        if (!number || result.contentLength < 0)
            result.contentLength = -1;
    }
    return result;
}
