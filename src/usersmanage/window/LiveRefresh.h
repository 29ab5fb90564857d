#pragma once

#include "ModuleExport.h"

#include "DbChangeWatcher.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

// Keeps the window current with what other consoles and the server side write: a change the
// watcher reports becomes one refresh, at most one every RefreshIntervalMs, put off while the
// administrator is in the middle of something (busy).
class KVZ_MODULE_EXPORT LiveRefresh : public QObject {
    Q_OBJECT
public:
    static constexpr int RefreshIntervalMs = 2000;
    static constexpr int BusyRetryMs = 250;

    LiveRefresh(DbConnection& connection, std::function<bool()> busy, std::function<void()> refresh,
                QObject* parent = nullptr);

    // The views are read again from the database as it is now: earlier changes are in them.
    void catchUp() { m_watcher.catchUp(); }
    bool isDue() const { return m_due.isActive(); }

private:
    void changed();
    void fire();

    DbChangeWatcher m_watcher;
    std::function<bool()> m_busy;
    std::function<void()> m_refresh;
    QTimer m_due;
    QElapsedTimer m_sinceRefresh;
};
