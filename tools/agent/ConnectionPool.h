#pragma once

#include <QList>
#include <QPointer>

class HttpConnection;

// The connections every agent of the process holds, oldest first, up to a bound: a new one
// beyond it closes the oldest, so a flood of connections that never send anything cannot use
// up the process's descriptors and new requests are still served.
class ConnectionPool {
public:
    explicit ConnectionPool(int maxConnections) : m_max(maxConnections) {}

    void admit(HttpConnection* connection);
    int size() const { return int(m_open.size()); }

private:
    int m_max;
    QList<QPointer<HttpConnection>> m_open;
};
