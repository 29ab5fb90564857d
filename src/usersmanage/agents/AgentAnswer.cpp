#include "AgentAnswer.h"

#include "AgentReplyHead.h"

bool AgentReply::completed() const {
    return outcome == AgentOutcome::Answered && status >= 200 && status < 300 && !truncated;
}

bool AgentReply::confirmed() const {
    return completed() && body == "OK";
}

std::optional<AgentOutcome> AgentAnswer::add(QByteArrayView bytes) {
    m_received += bytes;
    if (m_bodyStart < 0) {
        if (const std::optional<AgentOutcome> broken = readHead())
            return broken;
        if (m_bodyStart < 0)
            return std::nullopt;
    }
    const qint64 body = m_received.size() - m_bodyStart;
    if (body > AgentReply::MaxBodyBytes || m_contentLength > AgentReply::MaxBodyBytes) {
        m_truncated = true;
        return AgentOutcome::Answered;
    }
    if (m_contentLength >= 0 && body >= m_contentLength)
        return AgentOutcome::Answered;
    return std::nullopt;
}

// The status line and the announced length, once the head is whole.
std::optional<AgentOutcome> AgentAnswer::readHead() {
    const qsizetype headEnd = m_received.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return m_received.size() > MaxHeadBytes ? std::optional(AgentOutcome::NoAnswer)
                                                : std::nullopt;
    const std::optional<AgentReplyHead> head =
        parseReplyHead(QByteArrayView(m_received).first(headEnd));
    if (!head)
        return AgentOutcome::NoAnswer;
    m_status = head->status;
    m_contentLength = head->contentLength;
    m_bodyStart = headEnd + 4;
    return std::nullopt;
}

AgentOutcome AgentAnswer::closed() const {
    const bool whole = m_bodyStart >= 0 &&
                       (m_contentLength < 0 || m_received.size() - m_bodyStart >= m_contentLength);
    return whole ? AgentOutcome::Answered : AgentOutcome::NoAnswer;
}

void AgentAnswer::fill(AgentReply& reply) const {
    reply.status = m_status;
    reply.truncated = m_truncated;
    if (m_bodyStart >= 0)
        reply.body = m_received.mid(
            m_bodyStart, m_contentLength >= 0 ? qMin(m_contentLength, AgentReply::MaxBodyBytes)
                                              : AgentReply::MaxBodyBytes);
}
