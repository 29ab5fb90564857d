#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>

// One thing an agent received and how it answered.
struct AgentLogEntry {
    QString agent;                  // "ADDR:PORT"
    QString kind;                   // "http" or "refresh"
    std::optional<QString> command; // first deciphered line of a request
    QStringList lines;
    std::optional<QString> answer; // nothing when nothing was answered
    std::optional<int> status;     // HTTP status sent
};

// Appends one JSON object per line to a file, flushed at once, so a test can read what arrived
// while the agents run:
//   {"agent":"127.0.1.11:2230","answer":"OK","command":"aFlag=UpdatePly","kind":"http",
//    "lines":["aFlag=UpdatePly"],"status":200,"time":"2026-12-06T15:30:00.123Z"}
class AgentLog {
public:
    // An empty path logs nothing.
    bool open(const QString& path, QString& error);
    void write(const AgentLogEntry& entry);

private:
    QFile m_file;
};
