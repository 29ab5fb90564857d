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
    using QObject::QObject;
    QString load = u"loaded"_s;
    QString active = u"inactive"_s;
};

// The units are its children, by name; every other name loads as the "not-found" one.
class FakeManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.systemd1.Manager")
public:
    static QString pathOf(const QString& name) {
        return u"/org/freedesktop/systemd1/unit/"_s + QString(name).replace(u'.', u'_');
    }
    FakeUnit* unit(const QString& name) const {
        return findChild<FakeUnit*>(name, Qt::FindDirectChildrenOnly);
    }

public Q_SLOTS:
    QDBusObjectPath LoadUnit(const QString& name) {
        return QDBusObjectPath(pathOf(unit(name) ? name : u"missing"_s));
    }
    QDBusObjectPath StartUnit(const QString& name, const QString&) {
        return setState(name, u"active"_s);
    }
    QDBusObjectPath StopUnit(const QString& name, const QString&) {
        return setState(name, u"inactive"_s);
    }

private:
    QDBusObjectPath setState(const QString& name, const QString& state) {
        if (!unit(name) || name == u"missing") {
            sendErrorReply(u"org.freedesktop.systemd1.NoSuchUnit"_s, u"Unit not found."_s);
            return {};
        }
        unit(name)->active = state;
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

        QDBusConnection connection =
            QDBusConnection::connectToBus(QString::fromLatin1(address), u"fake-systemd"_s);
        ASSERT_TRUE(connection.registerService(u"org.freedesktop.systemd1"_s));
        const auto exports = QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties;
        manager_ = new FakeManager;
        connection.registerObject(u"/org/freedesktop/systemd1"_s, manager_, exports);
        for (const char* name : {"run.service", "KVZFlt.service", "missing"}) {
            auto* unit = new FakeUnit(manager_);
            unit->setObjectName(QString::fromLatin1(name));
            connection.registerObject(FakeManager::pathOf(unit->objectName()), unit, exports);
        }
        manager_->unit(u"missing"_s)->load = u"not-found"_s;
        thread_ = new QThread;
        thread_->start();
        manager_->moveToThread(thread_);
    }

    static void TearDownTestSuite() {
        QDBusConnection::disconnectFromBus(u"fake-systemd"_s);
        QDBusConnection::disconnectFromBus(u"kvz-systemd"_s);
        thread_->quit();
        thread_->wait();
        delete manager_;
        delete thread_;
        bus_->kill();
        bus_->waitForFinished();
        delete bus_;
    }

    static QString& active(const QString& unit) {
        return manager_->unit(unit + u".service"_s)->active;
    }

    static inline QTemporaryDir dir_;
    static inline QProcess* bus_ = nullptr;
    static inline QThread* thread_ = nullptr;
    static inline FakeManager* manager_ = nullptr;
};

TEST_F(ServiceHelpersTest, StartStopAndQueryFollowTheUnits) {
    // Each call on a running unit, a stopped one and one that systemd does not know ("gone").
    for (const QString& before : {u"active"_s, u"inactive"_s, QString()}) {
        SCOPED_TRACE(before.toStdString());
        const bool known = !before.isEmpty();
        const bool stopped = before == u"inactive";
        const QString unit = known ? u"run"_s : u"gone"_s;
        const auto afterwards = [&](const QString& state) {
            if (known) {
                EXPECT_EQ(active(unit), state);
                active(unit) = before;
            }
        };
        if (known)
            active(unit) = before;
        ModalScript script;
        if (stopped)
            script.answerMessage(QMessageBox::Ok);
        EXPECT_EQ(ServiceHasRun(unit), before == u"active");
        afterwards(before);
        EXPECT_EQ(StartServices(unit), known);
        afterwards(u"active"_s);
        EXPECT_EQ(StopServices(unit), known);
        afterwards(u"inactive"_s);
        script.expectDone();
        EXPECT_EQ(script.messages(),
                  stopped ? QStringList{GetString(u"SevNam"_s) + u" service has stopped."_s}
                          : QStringList());
        EXPECT_EQ(script.messageTitles(), stopped ? QStringList{u"Information"_s} : QStringList());
    }
}

TEST_F(ServiceHelpersTest, DriverServiceChecks) {
    active(u"KVZFlt"_s) = u"inactive"_s;
    EXPECT_TRUE(ServiceExists());
    EXPECT_FALSE(ServiceRunning());
    active(u"KVZFlt"_s) = u"active"_s;
    EXPECT_TRUE(ServiceRunning());
    EXPECT_TRUE(InstallDriver("/nowhere/")) << "an existing service counts as installed";
}

} // namespace

#include "ServiceHelpersTest.moc"
