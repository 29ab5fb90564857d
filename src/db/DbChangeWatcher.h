#pragma once

#include "DbExport.h"

#include "DbConnection.h"

#include <QObject>
#include <QPointer>
#include <QSqlDriver>
#include <QTimer>

// The change signals of the management database: triggers on the departments, the users and
// the roles bump the serial of ChangeSerialTable (SQLite) or notify ChangeChannel (PostgreSQL).
// The agent-state columns of Users, which the server side rewrites all the time, are left out.
inline const QString ChangeSerialTable = QStringLiteral("DataChange");
inline const QString ChangeChannel = QStringLiteral("kvz_change");
inline const QStringList AgentStateColumns = {QStringLiteral("Onlined"), QStringLiteral("Ip"),
                                              QStringLiteral("ComputerName"),
                                              QStringLiteral("CliVer"), QStringLiteral("HardNo")};

// Tells when another program changed what the change signals cover. On SQLite the file's
// data_version is polled, and the serial is read only when that moved; on PostgreSQL the
// session listens on the channel for its own schema, and again after it was reopened.
class KVZDB_EXPORT DbChangeWatcher : public QObject {
    Q_OBJECT
public:
    static constexpr int PollMs = 500;

    explicit DbChangeWatcher(DbConnection& connection, QObject* parent = nullptr);
    ~DbChangeWatcher() override;

    // Takes the database as it is now as seen: the reads that follow show it.
    void catchUp();

signals:
    void changed();

private:
    void poll();
    void listen();
    void notified(const QString& name, QSqlDriver::NotificationSource source,
                  const QVariant& schema);
    qint64 sqliteValue(const QString& statement) const; // -1 when it cannot be read

    QPointer<DbConnection> m_connection;
    QTimer m_poll;
    qint64 m_dataVersion = -1;
    qint64 m_serial = -1;
    QString m_schema; // PostgreSQL: the schema whose tables are watched
};
