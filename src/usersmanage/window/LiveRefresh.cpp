#include "LiveRefresh.h"

#include <algorithm>

LiveRefresh::LiveRefresh(DbConnection& connection, std::function<bool()> busy,
                         std::function<void()> refresh, QObject* parent)
    : QObject(parent), m_watcher(connection), m_busy(std::move(busy)),
      m_refresh(std::move(refresh)) {
    m_due.setSingleShot(true);
    connect(&m_watcher, &DbChangeWatcher::changed, this, &LiveRefresh::changed);
    connect(&m_due, &QTimer::timeout, this, &LiveRefresh::fire);
}

// Changes arriving while a refresh is due join it.
void LiveRefresh::changed() {
    if (m_due.isActive())
        return;
    const qint64 since = m_sinceRefresh.isValid() ? m_sinceRefresh.elapsed() : RefreshIntervalMs;
    m_due.start(int(std::max<qint64>(0, RefreshIntervalMs - since)));
}

void LiveRefresh::fire() {
    if (m_busy()) {
        m_due.start(BusyRetryMs);
        return;
    }
    m_sinceRefresh.start();
    m_refresh();
}
