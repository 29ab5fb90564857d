#pragma once

#include <QByteArrayView>
#include <QtGlobal>
#include <optional>

// The head of an agent's HTTP answer: its status and the body length it announces.
struct AgentReplyHead {
    int status = 0;
    qint64 contentLength = -1; // -1: the body runs until the agent closes
};

// Reads a whole head, the bytes before its blank line: a status line "HTTP/1.x NNN ..." with a
// status from 100 to 999, then header lines, of which only Content-Length counts (the last
// one; one that is no plain number leaves the length open). Nothing for any other head.
std::optional<AgentReplyHead> parseReplyHead(QByteArrayView head);
