#pragma once

#include <QByteArray>

// One HTTP/1.x request line read from an accepted connection; valid is false for a request
// that is not "METHOD TARGET HTTP/x" or whose head grows beyond a limit.
struct HttpRequest {
    QByteArray method;
    QByteArray target;
    bool valid = false;
};

// The request line of a complete request head (up to its first CR LF).
HttpRequest parseRequestLine(const QByteArray& head);
