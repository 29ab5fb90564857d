#include "HostWindow.h"

#include "Multilanguage.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QVBoxLayout>

using namespace Qt::Literals::StringLiterals;

HostWindow::HostWindow() {
    setWindowTitle(u"KVZ Console"_s);
    auto* central = new QWidget(this); // owned by the window
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_note = new QLabel(central);
    m_note->setObjectName(u"ReadOnlyNote"_s);
    m_note->setMargin(6);
    m_note->setStyleSheet(u"background: #fff3c4; color: #5c4400;"_s);
    m_note->hide();
    layout->addWidget(m_note);
    m_panel = new QWidget(central);
    m_panel->setObjectName(u"ParentPanel"_s);
    layout->addWidget(m_panel, 1);
    m_database = new QLabel(central);
    m_database->setObjectName(u"DatabaseName"_s);
    m_database->setMargin(3);
    m_database->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_database->hide();
    layout->addWidget(m_database);
    setCentralWidget(central);
    resize(1100, 640);
    // The keyboard closes the console too (Ctrl+Q), window manager or not.
    auto* quit = new QAction(this); // owned by the window
    quit->setShortcut(QKeySequence::Quit);
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
}

HostWindow::~HostWindow() {
    closeModule();
}

bool HostWindow::loadModule(QString& error) {
    m_library.setFileName(
        QDir(QCoreApplication::applicationDirPath()).filePath(u"PgUsersManage"_s));
    if (!m_library.load()) {
        error = u"cannot load the users-management module: "_s + m_library.errorString();
        return false;
    }
    m_openForm = reinterpret_cast<OpenFormFn>(m_library.resolve("OpenFormWithLogonInfo"));
    m_closeForm = reinterpret_cast<CloseFormFn>(m_library.resolve("CloseBplForm"));
    if (!m_openForm || !m_closeForm) {
        error = u"the users-management module lacks its entry points: "_s + m_library.errorString();
        return false;
    }
    return true;
}

bool HostWindow::openModule(TLogonInfo& logonInfo, QString& error) {
    logonInfo.ParentPanel = m_panel;
    if (!m_openForm(&logonInfo)) {
        error = u"the users-management module did not open its window"_s;
        return false;
    }
    m_formOpen = true;
    return true;
}

void HostWindow::closeModule() {
    if (m_formOpen && m_closeForm)
        m_closeForm();
    m_formOpen = false;
}

void HostWindow::showReadOnlyNote() {
    m_note->setText(GetString(u"DbReadOnly"_s));
    m_note->show();
}

void HostWindow::showDatabase(const QString& description) {
    setWindowTitle(u"KVZ Console - "_s + description);
    m_database->setText(GetString(u"HostDatabase"_s) + description);
    m_database->setAccessibleName(m_database->text());
    m_database->show();
}

void HostWindow::closeEvent(QCloseEvent* event) {
    closeModule();
    QMainWindow::closeEvent(event);
}
