#include "ServiceControl.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QString>

namespace kvzflt {

namespace {

using namespace Qt::StringLiterals;

const QString SystemdService = u"org.freedesktop.systemd1"_s;
const QString ManagerPath = u"/org/freedesktop/systemd1"_s;
const QString ManagerInterface = u"org.freedesktop.systemd1.Manager"_s;
const QString UnitInterface = u"org.freedesktop.systemd1.Unit"_s;

QString unitName(const std::string& name) {
    QString unit = QString::fromStdString(name);
    return unit.contains(u'.') ? unit : unit + u".service"_s;
}

// The system bus; $DBUS_SYSTEM_BUS_ADDRESS names another one (tests run a private bus).
QDBusConnection bus() {
    const QByteArray address = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address.isEmpty()) {
        return QDBusConnection::systemBus();
    }
    return QDBusConnection::connectToBus(QString::fromUtf8(address), u"kvz-systemd"_s);
}

// Calls a manager method taking the unit name and a job mode.
bool callManager(const QString& method, const std::string& name) {
    QDBusInterface manager(SystemdService, ManagerPath, ManagerInterface, bus());
    const QDBusReply<QDBusObjectPath> job = manager.call(method, unitName(name), u"replace"_s);
    return job.isValid();
}

} // namespace

ServiceState QueryServiceState(const std::string& name) {
    QDBusInterface manager(SystemdService, ManagerPath, ManagerInterface, bus());
    const QDBusReply<QDBusObjectPath> path = manager.call(u"LoadUnit"_s, unitName(name));
    if (!path.isValid()) {
        return ServiceState::Unavailable;
    }
    QDBusInterface unit(SystemdService, path.value().path(), UnitInterface, bus());
    const QVariant load = unit.property("LoadState");
    const QVariant active = unit.property("ActiveState");
    if (!load.isValid() || !active.isValid() || load.toString() == u"not-found"_s) {
        return ServiceState::Unavailable;
    }
    return active.toString() == u"active"_s ? ServiceState::Running : ServiceState::NotRunning;
}

bool RequestServiceStart(const std::string& name) {
    return QueryServiceState(name) != ServiceState::Unavailable &&
           callManager(u"StartUnit"_s, name);
}

bool RequestServiceStop(const std::string& name) {
    return QueryServiceState(name) != ServiceState::Unavailable && callManager(u"StopUnit"_s, name);
}

} // namespace kvzflt
