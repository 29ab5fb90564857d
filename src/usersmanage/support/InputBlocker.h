#pragma once

#include "ModuleExport.h"

#include <QObject>
#include <functional>

// While it lives, the application takes no mouse or keyboard input and shows the busy cursor,
// but goes on painting and handling datagrams and timers: for waits on the network that the
// administrator must not interleave with other commands. Esc calls onEscape, when given, once,
// from the event loop (it may outlive the blocker): the administrator gives up waiting.
class KVZ_MODULE_EXPORT InputBlocker : public QObject {
    Q_OBJECT
public:
    explicit InputBlocker(std::function<void()> onEscape = {});
    ~InputBlocker() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_onEscape;
};
