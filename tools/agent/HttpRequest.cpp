#include "HttpRequest.h"

#include <QList>

HttpRequest parseRequestLine(const QByteArray& head) {
    const QList<QByteArray> parts = head.left(head.indexOf("\r\n")).split(' ');
    HttpRequest request;
    request.valid = parts.size() == 3 && !parts[0].isEmpty() && parts[1].startsWith('/') &&
                    parts[2].startsWith("HTTP/");
    if (request.valid) {
        request.method = parts[0];
        request.target = parts[1];
    }
    return request;
}
