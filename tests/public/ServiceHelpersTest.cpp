// Service helpers against a private D-Bus daemon serving a small stand-in for systemd's
// manager: units are loaded, started and stopped as systemd would answer.

#include "ServiceHelpers.h"
#include "ModalScript.h"
#include "Multilanguage.h"
#include "common.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

class FakeUnit : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Unit")
    Q_PROPERTY(QString LoadState MEMBER load)
    Q_PROPERTY(QString ActiveState MEMBER active)
public:
    QString load = u"loaded"_s;
    QString active = u"inactive"_s;
};

class FakeManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Manager")
public:
    // Units by name; every other name loads as "not-found".
    QMap<QString, FakeUnit*> units;
    FakeUnit missing;

    static QString pathOf(const QString& name) {
        return u"/org/freedesktop/systemd1/unit/"_s + QString(name).replace(u'.', u'_');
    }

public Q_SLOTS:
    QDBusObjectPath LoadUnit(const QString& name) {
        return QDBusObjectPath(units.contains(name) ? pathOf(name) : pathOf(u"missing"_s));
    }
    QDBusObjectPath StartUnit(const QString& name, const QString&) {
        return setState(name, u"active"_s);
    }
    QDBusObjectPath StopUnit(const QString& name, const QString&) {
        return setState(name, u"inactive"_s);
    }

private:
    QDBusObjectPath setState(const QString& name, const QString& state) {
        if (!units.contains(name)) {
            sendErrorReply(u"org.freedesktop.systemd1.NoSuchUnit"_s, u"Unit not found."_s);
            return {};
        }
        units[name]->active = state;
        return QDBusObjectPath(u"/org/freedesktop/systemd1/job/1"_s);
    }
};

// The bus daemon, and the fake manager on a thread of its own so that the helpers' blocking
// calls from the test thread are answered.
class ServiceHelpersTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        bus_ = new QProcess;
        bus_->start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s,
                                       u"--address=unix:path="_s + dir_.filePath(u"bus"_s)});
        ASSERT_TRUE(bus_->waitForReadyRead(10000)) << "dbus-daemon did not start";
        const QByteArray address = bus_->readLine().trimmed();
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address);

        thread_ = new QThread;
        thread_->start();
        manager_ = new FakeManager;
        for (const char* name : {"run.service", "stop.service", "KVZFlt.service"}) {
            manager_->units.insert(QString::fromLatin1(name), new FakeUnit);
        }
        QDBusConnection connection =
            QDBusConnection::connectToBus(QString::fromLatin1(address), u"fake-systemd"_s);
        ASSERT_TRUE(connection.registerService(u"org.freedesktop.systemd1"_s));
        const auto exports = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties;
        connection.registerObject(u"/org/freedesktop/systemd1"_s, manager_, exports);
        connection.registerObject(FakeManager::pathOf(u"missing"_s), &manager_->missing, exports);
        manager_->missing.load = u"not-found"_s;
        for (auto unit = manager_->units.cbegin(); unit != manager_->units.cend(); ++unit) {
            connection.registerObject(FakeManager::pathOf(unit.key()), unit.value(), exports);
            unit.value()->moveToThread(thread_);
        }
        manager_->missing.moveToThread(thread_);
        manager_->moveToThread(thread_);
    }

    static void TearDownTestSuite() {
        QDBusConnection::disconnectFromBus(u"fake-systemd"_s);
        QDBusConnection::disconnectFromBus(u"kvz-systemd"_s);
        thread_->quit();
        thread_->wait();
        for (FakeUnit* unit : std::as_const(manager_->units)) {
            delete unit;
        }
        delete manager_;
        delete thread_;
        bus_->kill();
        bus_->waitForFinished();
        delete bus_;
    }

    void setActive(const QString& unit, const QString& state) {
        manager_->units[unit + u".service"_s]->active = state;
    }
    QString active(const QString& unit) { return manager_->units[unit + u".service"_s]->active; }

    static inline QTemporaryDir dir_;
    static inline QProcess* bus_ = nullptr;
    static inline QThread* thread_ = nullptr;
    static inline FakeManager* manager_ = nullptr;
};

TEST_F(ServiceHelpersTest, StartStopAndQueryFollowTheUnits) {
    const QString notice = GetString(u"SevNam"_s) + u" service has stopped."_s;
    const struct {
        const char* what;
        QString unit;
        QString before;
        bool (*call)(const QString&);
        bool result;
        QString after;
        QStringList messages;
    } cases[] = {
        {"query running", u"run"_s, u"active"_s, ServiceHasRun, true, u"active"_s, {}},
        {"query stopped", u"stop"_s, u"inactive"_s, ServiceHasRun, false, u"inactive"_s, {}},
        {"query missing", u"gone"_s, {}, ServiceHasRun, false, {}, {}},
        {"start running", u"run"_s, u"active"_s, StartServices, true, u"active"_s, {}},
        {"start stopped", u"stop"_s, u"inactive"_s, StartServices, true, u"active"_s, {}},
        {"start missing", u"gone"_s, {}, StartServices, false, {}, {}},
        {"stop running", u"run"_s, u"active"_s, StopServices, true, u"inactive"_s, {}},
        {"stop stopped", u"stop"_s, u"inactive"_s, StopServices, true, u"inactive"_s, {notice}},
        {"stop missing", u"gone"_s, {}, StopServices, false, {}, {}},
    };
    for (const auto& c : cases) {
        if (!c.before.isEmpty()) {
            setActive(c.unit, c.before);
        }
        ModalScript script;
        if (!c.messages.isEmpty()) {
            script.answerMessage(QMessageBox::Ok);
        }
        EXPECT_EQ(c.call(c.unit), c.result) << c.what;
        script.expectDone();
        EXPECT_EQ(script.messages(), c.messages) << c.what;
        if (!c.messages.isEmpty()) {
            EXPECT_EQ(script.messageTitles(), QStringList{u"Information"_s}) << c.what;
        }
        if (!c.after.isEmpty()) {
            EXPECT_EQ(active(c.unit), c.after) << c.what;
        }
    }
}

TEST_F(ServiceHelpersTest, DriverServiceChecks) {
    setActive(u"KVZFlt"_s, u"inactive"_s);
    EXPECT_TRUE(ServiceExists());
    EXPECT_FALSE(ServiceRunning());
    setActive(u"KVZFlt"_s, u"active"_s);
    EXPECT_TRUE(ServiceRunning());
    EXPECT_TRUE(InstallDriver("/nowhere/")) << "an existing service counts as installed";
}

} // namespace

#include "ServiceHelpersTest.moc"
