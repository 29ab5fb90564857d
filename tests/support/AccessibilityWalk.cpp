#include "AccessibilityWalk.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QHeaderView>
#include <QLineEdit>

namespace {

bool isControl(const QWidget* w) {
    return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QComboBox*>(w) ||
           qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractItemView*>(w) ||
           qobject_cast<const QAbstractSpinBox*>(w);
}

// The editor inside a combo box or spin box, or a list's header: parts of another control.
bool isPart(const QWidget* w) {
    return qobject_cast<const QComboBox*>(w->parentWidget()) ||
           qobject_cast<const QAbstractSpinBox*>(w->parentWidget()) ||
           qobject_cast<const QHeaderView*>(w);
}

} // namespace

QStringList inaccessibleControls(const QWidget& form) {
    QStringList found;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (isControl(w) && !isPart(w) && w->isVisibleTo(&form) &&
            (!(w->focusPolicy() & Qt::TabFocus) ||
             QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name).trimmed().isEmpty()))
            found.append(w->objectName());
    }
    return found;
}

QStringList backwardTabSteps(const QWidget& form) {
    QStringList steps;
    const QWidget* before = nullptr;
    QRect last;
    for (QWidget* w = form.nextInFocusChain(); w && w != &form; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&form) || !w->isEnabled() ||
            isPart(w) || w->window() != &form)
            continue;
        const QRect at(w->mapTo(&form, QPoint(0, 0)), w->size());
        const bool above = at.bottom() < last.top();
        const bool level = at.top() <= last.bottom() && at.bottom() >= last.top();
        if (before && (above || (level && at.right() < last.left())))
            steps.append(before->objectName() + u" -> " + w->objectName());
        before = w;
        last = at;
    }
    return steps;
}
