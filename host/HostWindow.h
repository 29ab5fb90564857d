#pragma once

#include "LogonInfo.h"

#include <QLabel>
#include <QLibrary>
#include <QMainWindow>

// The console's main window: one panel into which the users-management module embeds its
// window. The module is loaded at run time from the program's folder.
class HostWindow : public QMainWindow {
    Q_OBJECT
public:
    HostWindow();
    ~HostWindow() override;

    // Loads the module and finds both entry points; false and a one-line error otherwise.
    bool loadModule(QString& error);
    // Completes the logon context with the connection and the panel and opens the module's
    // window in the panel. The context must outlive the window.
    bool openModule(TLogonInfo& logonInfo, QString& error);
    // Frees the module's window (CloseBplForm); harmless when none is open.
    void closeModule();

    QWidget* panel() const { return m_panel; }
    // Shows a line above the panel saying that the database is read-only.
    void showReadOnlyNote();
    // Names the open database in the title and in the line under the panel.
    void showDatabase(const QString& description);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    using OpenFormFn = QWidget* (*)(TLogonInfo*);
    using CloseFormFn = void (*)();

    QLibrary m_library;
    OpenFormFn m_openForm = nullptr;
    CloseFormFn m_closeForm = nullptr;
    QWidget* m_panel = nullptr;
    QLabel* m_note = nullptr;
    QLabel* m_database = nullptr;
    bool m_formOpen = false;
};
