#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

class QUdpSocket;

// A stand-in program started for one test: waits for its "ready" line, stops it at the end.
class StandIn {
public:
    StandIn(const QString& program, const QStringList& arguments);
    ~StandIn();
    StandIn(const StandIn&) = delete;
    StandIn& operator=(const StandIn&) = delete;

    bool isReady() const { return m_ready; }
    QString errorText(); // what it wrote to stderr so far
    void terminate();    // SIGTERM, then waits for the end

private:
    QProcess m_process;
    bool m_ready = false;
};

// A TCP port on 127.0.0.1 that is free now.
quint16 freeTcpPort();

// The log lines of kvzagent, waiting up to 5 s until there are at least `count`.
QList<QJsonObject> readAgentLog(const QString& path, qsizetype count);

// One datagram arriving at `socket` within `waitMs`; empty when none came.
QByteArray nextDatagram(QUdpSocket& socket, int waitMs = 5000);
