#pragma once

#include <QString>

// The address of a command to a client agent: "http://" address ":" port "/" and the query
// enciphered under the command key, in the program's narrow code page.
QString ClientCommandUrl(const QString& address, qint32 port, const QString& query);

// The bound of a command's wait: connecting and answering together.
constexpr int CommandTimeoutMs = 3000;
