#pragma once

#include "ModuleExport.h"

#include <QWidget>

// Base form that turns an ordinary form into a borderless child filling a host panel.
// Create(owner) gives a top-level 435x300 form centred on the screen; Create(owner, parent)
// embeds the form in parent.
class KVZ_MODULE_EXPORT TChildForm : public QWidget {
    Q_OBJECT
public:
    explicit TChildForm(QObject* owner);         // top-level form
    TChildForm(QObject* owner, QWidget* parent); // embedded in parent
    ~TChildForm() override;

    bool Embedded = false;
    QWidget* HostParent = nullptr;

    virtual bool CanChange() { return true; }

protected:
    // Runs once the derived form has built its widgets (call from the derived constructor's end).
    virtual void Loaded();
    // Window-creation flags: a child window when embedded.
    virtual void CreateParams();

private:
    void applyFormResource(QObject* owner);
    void fillHostParent();
};
