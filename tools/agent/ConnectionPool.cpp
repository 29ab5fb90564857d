#include "ConnectionPool.h"

#include "HttpConnection.h"

void ConnectionPool::admit(HttpConnection* connection) {
    m_open.removeIf([](const QPointer<HttpConnection>& open) { return open.isNull(); });
    while (m_open.size() >= m_max) {
        if (HttpConnection* oldest = m_open.takeFirst())
            oldest->expire();
    }
    m_open.append(connection);
}
