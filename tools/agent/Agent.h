#pragma once

#include "AgentOptions.h"

#include <QObject>
#include <QTcpServer>
#include <QUdpSocket>

class AgentLog;
class ConnectionPool;
class HttpConnection;
struct HttpRequest;

// What every agent of the process shares.
struct AgentContext {
    AgentLog* log = nullptr;
    Endpoint server;
    QByteArray codePage;
    ConnectionPool* pool = nullptr;
    int idleMs = 60000;
};

// One client agent: the HTTP command endpoint and the UDP refresh port on one loopback
// address and port. It answers known commands as its mode says and, when refreshed,
// announces itself to the server side.
class Agent : public QObject {
    Q_OBJECT
public:
    Agent(const AgentSetup& setup, const AgentContext& context, QObject* parent = nullptr);

    bool listen(QString& error);
    // Sends the announcement; nothing for an agent without a user id. Returns what was sent.
    QByteArray announce(bool up);

private:
    void onNewConnection();
    void onDatagrams();
    void onRequest(HttpConnection* connection, const HttpRequest& request);
    void answer(HttpConnection* connection, AgentMode mode, int status, const QByteArray& body,
                const QByteArray& target) const;
    QByteArray modeAnswer() const;

    AgentSetup m_setup;
    AgentContext m_context;
    QTcpServer m_http;
    QUdpSocket m_udp;
};
