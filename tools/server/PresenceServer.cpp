#include "PresenceServer.h"

#include "Announcement.h"
#include "DbError.h"
#include "DbQuery.h"
#include "Presence.h"
#include "SystemHelpers.h"

#include <QNetworkDatagram>
#include <QTextStream>

using namespace Qt::Literals::StringLiterals;

namespace {

// Room for the announcements of many agents refreshed at once.
constexpr int receiveBufferBytes = 4 * 1024 * 1024;

// The IPv4 address the datagram came from, as a dotted quad.
QString senderAddress(const QNetworkDatagram& datagram) {
    bool ipv4 = false;
    const quint32 address = datagram.senderAddress().toIPv4Address(&ipv4);
    return ipv4 ? QHostAddress(address).toString() : QString();
}

} // namespace

PresenceServer::PresenceServer(DbConnection* connection, quint16 serverPort, QByteArray codePage,
                               QObject* parent)
    : QObject(parent), m_connection(connection), m_serverPort(serverPort),
      m_codePage(std::move(codePage)) {
    connect(&m_socket, &QUdpSocket::readyRead, this, &PresenceServer::onDatagrams);
}

bool PresenceServer::listen(QString& error) {
    if (!m_socket.bind(QHostAddress(QHostAddress::LocalHost), m_serverPort)) {
        error = u"UDP on 127.0.0.1:"_s + QString::number(m_serverPort) + u": "_s +
                m_socket.errorString();
        return false;
    }
    m_socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, receiveBufferBytes);
    return true;
}

void PresenceServer::onDatagrams() {
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        std::optional<Announcement> announcement = decodeAnnouncement(datagram.data(), m_codePage);
        if (!announcement)
            continue; // not an agent's announcement
        // Any local program can announce: only a plain dotted quad is stored as the address
        // the console will send commands to; anything else counts as no address.
        if (!IsDottedQuad(announcement->ip))
            announcement->ip = senderAddress(datagram);
        handle(*announcement);
    }
}

void PresenceServer::handle(const Announcement& announcement) {
    QTextStream out(stdout);
    try {
        if (!record(announcement)) {
            QTextStream(stderr) << "kvzserver: no user " << announcement.userId << '\n';
            return;
        }
    } catch (const DbError& error) {
        QTextStream(stderr) << "kvzserver: user " << announcement.userId << ": " << error.message()
                            << '\n';
        return;
    }
    const QByteArray presence = presenceDatagram(announcement.up, announcement.userId);
    m_socket.writeDatagram(presence, QHostAddress(QHostAddress::LocalHost),
                           presencePort(m_serverPort));
    out << (announcement.up ? "up " : "down ") << announcement.userId << ' ' << announcement.ip
        << Qt::endl;
}

bool PresenceServer::record(const Announcement& announcement) {
    DbCommand command(m_connection);
    if (announcement.up) {
        command.setSql(u"update Users set Ip = :i, ComputerName = :n, CliVer = :v, HardNo = :h, "
                       u"Onlined = -1 where Uid = :u"_s);
        command.setParam(u"i"_s, announcement.ip);
        command.setParam(u"n"_s, announcement.computerName);
        command.setParam(u"v"_s, announcement.cliVer);
        command.setParam(u"h"_s, announcement.hardNo);
    } else {
        command.setSql(u"update Users set Onlined = 0 where Uid = :u"_s);
    }
    command.setParam(u"u"_s, announcement.userId);
    return command.execute() > 0;
}
