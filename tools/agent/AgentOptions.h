#pragma once

#include "Endpoint.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

// How one agent treats command requests.
enum class AgentMode {
    Ok,       // "OK" to every known command
    Refuse,   // no HTTP listener: connections are refused
    Lower,    // "ok"
    Crlf,     // "OK\r\n"
    Garbage,  // random printable junk
    Stall,    // reads the request, never answers
    Close,    // reads the request, closes without an answer
    Slow,     // "OK" after the delay
    Redirect, // 302 to the same path on another address
    Trickle,  // "OK", one byte of the answer every delay
    Flood,    // a 200 answer of 768 MiB
};

struct AgentSetup {
    Endpoint endpoint;
    int userId = 0; // 0: the agent does not announce itself
    AgentMode mode = AgentMode::Ok;
    QString computerName; // empty: "PC-" and the user id
    QString cliVer = QStringLiteral("3.5.9");
    int delayMs = 2000;                 // slow and trickle
    std::optional<Endpoint> redirectTo; // redirect: default 127.0.0.1 on the agent's port
};

struct AgentOptions {
    QList<AgentSetup> agents;
    Endpoint server{QHostAddress(QHostAddress::LocalHost), 2228};
    QString logFile; // empty: no log
    QByteArray codePage = QByteArrayLiteral("GBK");
    bool announce = false;    // announce up at start and down at exit
    int idleMs = 60000;       // a connection idle this long is closed
    int maxConnections = 512; // beyond, the oldest connection makes room for a new one
};

// Parses the arguments (program name first). On a mistake returns nothing and sets error to
// one line; --help prints and exits.
std::optional<AgentOptions> parseAgentOptions(const QStringList& arguments, QString& error);

// Reads one --agent value "ADDR:PORT[,uid=N][,mode=MODE][,name=TEXT][,ver=TEXT]".
std::optional<AgentSetup> parseAgentSetup(const QString& text, QString& error);
