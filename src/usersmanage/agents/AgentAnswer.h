#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

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

// An agent's answer as its bytes arrive. Only a short answer matters: a longer one is a
// refusal, and is not read on; an overlong or malformed head is no answer.
class AgentAnswer {
public:
    // How many more bytes are worth reading.
    qsizetype room() const {
        return MaxHeadBytes + AgentReply::MaxBodyBytes + 1 - m_received.size();
    }
    // Takes the bytes read; the outcome once they decide it.
    std::optional<AgentOutcome> add(QByteArrayView bytes);
    // The agent closed: a whole answer when the head arrived and the body is as long as
    // announced (or no length was announced); otherwise the connection broke.
    AgentOutcome closed() const;
    // The status, the body and whether it was cut, as far as they arrived.
    void fill(AgentReply& reply) const;

private:
    static constexpr qsizetype MaxHeadBytes = 8 * 1024;

    std::optional<AgentOutcome> readHead();

    QByteArray m_received;
    qsizetype m_bodyStart = -1;  // where the body begins once the head is whole
    qint64 m_contentLength = -1; // as the head announces it; -1: until the agent closes
    int m_status = 0;
    bool m_truncated = false;
};
