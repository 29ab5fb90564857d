#pragma once

#include <QObject>

// While it lives, the application takes no mouse or keyboard input and shows the busy cursor,
// but goes on painting and handling datagrams and timers: for waits on the network that the
// administrator must not interleave with other commands.
class InputBlocker : public QObject {
    Q_OBJECT
public:
    InputBlocker();
    ~InputBlocker() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
