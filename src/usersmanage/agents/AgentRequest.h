#pragma once

#include "AgentAnswer.h"
#include "ModuleExport.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// The bounds of one request to a client agent: reaching it (an agent that is not there), then
// its whole answer, each one wall-clock deadline. From the logon context, which the host fills.
struct AgentBounds {
    int connectMs = 3000;
    int answerMs = 15000;
    static AgentBounds fromLogonInfo();
};

// One GET to a client agent with the path of a command address, on a connection of its own:
// sent once (never again on a broken connection), no proxy, no redirect followed, the answer
// read up to a bound and dropped beyond it. Emits finished exactly once (queued for an
// address that is not usable), then may be deleted.
class KVZ_MODULE_EXPORT AgentRequest : public QObject {
    Q_OBJECT
public:
    explicit AgentRequest(QObject* parent = nullptr);
    ~AgentRequest() override;

    void start(const QString& address, qint32 port, const QString& query,
               const AgentBounds& bounds);
    void cancel();

signals:
    void finished(const AgentReply& reply);

private:
    void onConnected();
    void onReadyRead();
    void onClosed();
    void end(AgentOutcome outcome);

    QTcpSocket m_socket;
    QTimer m_deadline;
    QElapsedTimer m_clock;
    AgentBounds m_bounds;
    QByteArray m_request;
    AgentAnswer m_answer;
    AgentReply m_result;
    bool m_ended = false;
};
