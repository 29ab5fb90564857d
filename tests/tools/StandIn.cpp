#include "StandIn.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkDatagram>
#include <QTcpServer>
#include <QThread>
#include <QUdpSocket>

StandIn::StandIn(const QString& program, const QStringList& arguments) {
    constexpr int startMs = 10000;
    m_process.start(program, arguments);
    QElapsedTimer timer;
    timer.start();
    QByteArray output;
    while (!m_ready && timer.elapsed() < startMs &&
           m_process.waitForReadyRead(int(startMs - timer.elapsed()))) {
        output += m_process.readAllStandardOutput();
        m_ready = output.replace('\r', "").split('\n').contains("ready"); // CR LF on Windows
    }
}

StandIn::~StandIn() {
    terminate();
}

QString StandIn::errorText() {
    return QString::fromLocal8Bit(m_process.readAllStandardError());
}

void StandIn::terminate() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(1000);
}

quint16 freeTcpPort() {
    QTcpServer server;
    server.listen(QHostAddress(QHostAddress::LocalHost), 0);
    return server.serverPort();
}

QList<QJsonObject> readAgentLog(const QString& path, qsizetype count) {
    QElapsedTimer timer;
    timer.start();
    QList<QJsonObject> entries;
    do {
        entries.clear();
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (!line.isEmpty())
                    entries << QJsonDocument::fromJson(line).object();
            }
        }
        if (entries.size() < count)
            QThread::msleep(20);
    } while (entries.size() < count && timer.elapsed() < 5000);
    return entries;
}

QByteArray nextDatagram(QUdpSocket& socket, int waitMs) {
    if (!socket.hasPendingDatagrams() && !socket.waitForReadyRead(waitMs))
        return {};
    return socket.receiveDatagram().data();
}
