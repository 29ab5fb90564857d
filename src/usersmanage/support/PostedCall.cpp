#include "PostedCall.h"

#include <utility>

PostedCall::PostedCall(QObject* context, std::function<void()> work)
    : m_context(context), m_work(std::move(work)) {}

void PostedCall::post() {
    if (std::exchange(m_posted, true))
        return;
    QMetaObject::invokeMethod(
        m_context,
        [this] {
            m_posted = false;
            m_work();
        },
        Qt::QueuedConnection);
}
