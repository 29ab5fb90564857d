#include "DbChangeWatcher.h"

#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

DbChangeWatcher::DbChangeWatcher(DbConnection& connection, QObject* parent)
    : QObject(parent), m_connection(&connection) {
    if (connection.backend() == DbBackend::SQLite) {
        catchUp();
        connect(&m_poll, &QTimer::timeout, this, &DbChangeWatcher::poll);
        m_poll.start(PollMs);
        return;
    }
    connect(connection.database().driver(), &QSqlDriver::notification, this,
            &DbChangeWatcher::notified);
    listen();
    connect(&connection, &DbConnection::reopened, this, [this] {
        listen();
        emit changed(); // what happened while the session was gone was not heard
    });
}

DbChangeWatcher::~DbChangeWatcher() {
    if (m_connection && m_connection->backend() == DbBackend::PostgreSQL && m_connection->isOpen())
        m_connection->database().driver()->unsubscribeFromNotification(ChangeChannel);
}

void DbChangeWatcher::catchUp() {
    if (!m_connection || m_connection->backend() != DbBackend::SQLite)
        return;
    m_dataVersion = sqliteValue(QStringLiteral("pragma data_version"));
    m_serial = sqliteValue(QStringLiteral("select max(Serial) from ") + ChangeSerialTable);
}

// data_version moves with every commit of another connection, agent states included; the
// serial only with the changes the triggers cover. A database without the serial table (an
// older one opened read-only) follows data_version alone.
void DbChangeWatcher::poll() {
    const qint64 dataVersion = sqliteValue(QStringLiteral("pragma data_version"));
    if (dataVersion < 0 || dataVersion == m_dataVersion)
        return;
    m_dataVersion = dataVersion;
    const qint64 serial =
        sqliteValue(QStringLiteral("select max(Serial) from ") + ChangeSerialTable);
    if (serial >= 0 && serial == m_serial)
        return;
    m_serial = serial;
    emit changed();
}

// A reopened session listens on nothing, whatever the driver still lists.
void DbChangeWatcher::listen() {
    QSqlQuery schema(m_connection->database());
    if (schema.exec(QStringLiteral("select current_schema()")) && schema.next())
        m_schema = schema.value(0).toString();
    QSqlDriver* driver = m_connection->database().driver();
    if (driver->subscribedToNotifications().contains(ChangeChannel))
        driver->unsubscribeFromNotification(ChangeChannel);
    driver->subscribeToNotification(ChangeChannel);
}

// This session's own writes are followed by the window that made them; other schemas are
// other databases as far as the console is concerned.
void DbChangeWatcher::notified(const QString& name, QSqlDriver::NotificationSource source,
                               const QVariant& schema) {
    if (name == ChangeChannel && source == QSqlDriver::OtherSource && schema.toString() == m_schema)
        emit changed();
}

qint64 DbChangeWatcher::sqliteValue(const QString& statement) const {
    if (!m_connection || !m_connection->isOpen())
        return -1;
    QSqlQuery query(m_connection->database());
    if (!query.exec(statement) || !query.next())
        return -1;
    return query.value(0).toLongLong();
}
