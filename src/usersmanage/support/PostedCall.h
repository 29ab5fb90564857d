#pragma once

#include <QObject>
#include <functional>

// Runs work from the event loop after post(), once however often post() was called before it
// ran, and never after context is gone: work too long to share an event with its cause.
class PostedCall {
public:
    PostedCall(QObject* context, std::function<void()> work);
    void post();

private:
    QObject* m_context;
    std::function<void()> m_work;
    bool m_posted = false;
};
