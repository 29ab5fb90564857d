#pragma once

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

// How a request to an agent ended.
enum class AgentOutcome {
    Answered,  // a whole HTTP answer arrived
    NoAnswer,  // refused, closed or reset before the whole answer
    TimedOut,  // a deadline passed
    NoAddress, // the address is not a plain dotted quad: nothing was sent
    Cancelled, // the administrator gave up waiting
};

struct AgentReply {
    AgentOutcome outcome = AgentOutcome::NoAnswer;
    int status = 0;         // HTTP status of an answer
    QByteArray body;        // its first bytes, at most MaxBodyBytes
    bool truncated = false; // the answer was longer, and was not read on
    QString host;           // the host addressed
    qint64 elapsedMs = 0;

    static constexpr qsizetype MaxBodyBytes = 4096;

    // A whole answer of status 2xx: a redirect, an error status or an overlong answer is a
    // failed command.
    bool completed() const;
    // A completed answer of exactly "OK".
    bool confirmed() const;
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

    bool isSent() const { return m_sent; }

signals:
    void sent(); // the agent was reached and has the request: only its answer is awaited
    void finished(const AgentReply& reply);

private:
    void onConnected();
    void onReadyRead();
    void onClosed();
    bool parseHead();
    void end(AgentOutcome outcome);

    QTcpSocket m_socket;
    QTimer m_deadline;
    QElapsedTimer m_clock;
    AgentBounds m_bounds;
    QByteArray m_request;
    QByteArray m_received;
    qsizetype m_bodyStart = -1;  // where the body begins once the head is whole
    qint64 m_contentLength = -1; // as the head announces it; -1: until the agent closes
    AgentReply m_result;
    bool m_sent = false;
    bool m_ended = false;
};
