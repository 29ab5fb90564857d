#include "ChildFrm.h"

#include <QLayout>
#include <QScreen>
#include <QVBoxLayout>

TChildForm::TChildForm(QObject* owner) {
    applyFormResource(owner);
}

TChildForm::TChildForm(QObject* owner, QWidget* parent) : Embedded(true), HostParent(parent) {
    applyFormResource(owner);
}

TChildForm::~TChildForm() = default;

// The form's own settings: a 435x300 top-level window centred on the screen. An owner that is a
// widget keeps the window (it goes away with its owner); any other owner leaves it to the caller.
void TChildForm::applyFormResource(QObject* owner) {
    if (auto* ownerWidget = qobject_cast<QWidget*>(owner))
        setParent(ownerWidget, Qt::Window);
    resize(435, 300);
    if (const QScreen* screen = this->screen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void TChildForm::Loaded() {
    if (!Embedded)
        return;
    resize(180, 100);
    fillHostParent();
    CreateParams();
}

void TChildForm::CreateParams() {
    if (Embedded)
        setWindowFlags(Qt::Widget); // a borderless child, not a window of its own
}

// Makes the form the host panel's only content, filling its client area.
void TChildForm::fillHostParent() {
    if (!HostParent)
        return;
    setParent(HostParent);
    QLayout* layout = HostParent->layout();
    if (!layout) {
        layout = new QVBoxLayout(HostParent); // owned by the panel
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
    }
    layout->addWidget(this);
}
