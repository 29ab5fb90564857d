#include "ServiceHelpers.h"

#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "ServiceControl.h"

using namespace Qt::StringLiterals;
using kvzflt::ServiceState;

bool StartServices(const QString& name) {
    switch (kvzflt::QueryServiceState(name.toStdString())) {
    case ServiceState::Running:
        return true;
    case ServiceState::NotRunning:
        return kvzflt::RequestServiceStart(name.toStdString());
    case ServiceState::Unavailable:
        break;
    }
    return false;
}

bool StopServices(const QString& name) {
    switch (kvzflt::QueryServiceState(name.toStdString())) {
    case ServiceState::Running:
        return kvzflt::RequestServiceStop(name.toStdString());
    case ServiceState::NotRunning:
        MyMessageBox(0, GetString(u"SevNam"_s) + u" service has stopped."_s, u"Information"_s,
                     MB_INFORMATION_OK);
        return true;
    case ServiceState::Unavailable:
        break;
    }
    return false;
}

bool ServiceHasRun(const QString& name) {
    return kvzflt::QueryServiceState(name.toStdString()) == ServiceState::Running;
}
