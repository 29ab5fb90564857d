#pragma once

#include <QByteArray>
#include <QStringList>

// The console's command key of agent requests.
inline constexpr char commandKey[] = "qmtrb";

// A request path "/" + En cipher text, deciphered: its key=value lines, the first "aFlag=...".
struct AgentCommand {
    QStringList lines;
    bool known = false; // one of the nine command words or the offline push
};

AgentCommand decipherCommand(const QByteArray& target, const QByteArray& codePage);
