#include "InputBlocker.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTimer>
#include <utility>

InputBlocker::InputBlocker(std::function<void()> onEscape) : m_onEscape(std::move(onEscape)) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    qApp->installEventFilter(this);
}

InputBlocker::~InputBlocker() {
    qApp->removeEventFilter(this);
    QApplication::restoreOverrideCursor();
}

bool InputBlocker::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::KeyPress && m_onEscape &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        // Called from the event loop, outside this object: the callback may well end it.
        QTimer::singleShot(0, qApp, std::exchange(m_onEscape, {}));
        return true;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::Drop:
        return true;
    default:
        return false;
    }
}
