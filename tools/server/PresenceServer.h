#pragma once

#include <QObject>
#include <QUdpSocket>

class DbConnection;
struct Announcement;

// Takes agent announcements on UDP 127.0.0.1, the server port; writes the agent's state into
// the user's row and tells the console by a presence datagram to the next port.
class PresenceServer : public QObject {
    Q_OBJECT
public:
    PresenceServer(DbConnection* connection, quint16 serverPort, QByteArray codePage,
                   QObject* parent = nullptr);

    bool listen(QString& error);

private:
    void onDatagrams();
    void handle(const Announcement& announcement);
    // False when no user has that id.
    bool record(const Announcement& announcement);

    DbConnection* m_connection;
    quint16 m_serverPort;
    QByteArray m_codePage;
    QUdpSocket m_socket;
};
