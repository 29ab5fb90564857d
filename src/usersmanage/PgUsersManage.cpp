#include "PgUsersManage.h"

#include "LogonInfo.h"
#include "ModuleLanguage.h"
#include "Multilanguage.h"
#include "uUsersManage.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

// The context in force from the library's load until the host hands over its own, so that
// LogonInfo is never empty. At unload LogonInfo is cleared; the host's object is not freed.
struct DefaultLogonContext {
    DefaultLogonContext() { LogonInfo = &context; }
    ~DefaultLogonContext() { LogonInfo = nullptr; }
    DefaultLogonContext(const DefaultLogonContext&) = delete;
    DefaultLogonContext& operator=(const DefaultLogonContext&) = delete;
    TLogonInfo context;
};

DefaultLogonContext defaultLogonContext;

} // namespace

QWidget* OpenFormWithLogonInfo(TLogonInfo* logonInfo) {
    if (!logonInfo)
        return nullptr;
    CloseBplForm(); // a second open replaces the window instead of leaving two in the panel
    LogonInfo = logonInfo;
    // The captions follow the language of the messages.
    if (!UseModuleLanguage(ActiveLanguage()))
        std::fprintf(stderr, "PgUsersManage: the English captions cannot be loaded\n");
    // Owned by the host panel as its child; CloseBplForm frees it.
    FrmUsersManage = new TFrmUsersManage(QCoreApplication::instance(), logonInfo->ParentPanel);
    return FrmUsersManage;
}

void CloseBplForm() {
    delete FrmUsersManage; // the destructor clears FrmUsersManage
    FrmUsersManage = nullptr;
    DropModuleLanguage();
}
