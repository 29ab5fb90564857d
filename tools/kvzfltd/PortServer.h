#pragma once

#include <QByteArray>
#include <QFile>
#include <QLocalServer>
#include <QMap>
#include <QObject>
#include <QString>

class QLocalSocket;

// What the stand-in answers.
struct PortSettings {
    QString socketPath;
    QString recordPath;            // every request appended here (none when empty)
    QMap<int, QByteArray> replies; // command code -> reply bytes
    bool silent = false;           // answer every command with no reply bytes
    bool hangUp = false;           // close every connection without an answer
};

// Serves the driver port on a Unix-domain socket: one request and one answer per connection,
// any number of connections at once up to MaxConnections. A client that has not sent its whole
// request within RequestTimeoutMs is cut off, so a slow or stuck one holds up nobody.
class PortServer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxConnections = 64;
    static constexpr int RequestTimeoutMs = 2000;

    explicit PortServer(PortSettings settings, QObject* parent = nullptr);
    // Takes the socket path (removing a stale socket left there, nothing else) and listens;
    // false with the reason when it cannot.
    bool listen(QString& error);

private:
    void accept();
    void drop(QLocalSocket* client); // closes at once, without an answer
    void read(QLocalSocket* client);
    void answer(QLocalSocket* client, const QByteArray& request);

    PortSettings m_settings;
    QLocalServer m_server;
    QFile m_record;
    int m_connections = 0;
};

// Frees path for a new socket: nothing there, or a socket nobody listens on (removed). Any
// other file, a link, or a socket with a live server is left alone: false with the reason.
bool claimSocketPath(const QString& path, QString& error);
