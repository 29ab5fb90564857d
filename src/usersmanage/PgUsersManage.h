#pragma once

#include <QtGlobal>

class QWidget;
class TLogonInfo;

// The module's entry points, looked up by name by the host.
extern "C" {
// Makes logonInfo the context in force and creates the main window embedded in its
// ParentPanel, hidden; the host shows it. Returns the window (nullptr without a context).
Q_DECL_EXPORT QWidget* OpenFormWithLogonInfo(TLogonInfo* logonInfo);
// Frees the main window if one is open; the logon context is left alone.
Q_DECL_EXPORT void CloseBplForm();
}
