#pragma once

#include <QString>
#include <QUrl>
#include <optional>

// The address of a command to a client agent: "http://" address ":" port "/" and the query
// enciphered under the command key, in the program's narrow code page. Nothing when the
// address is not a plain dotted quad (blanks around it aside): such a text never reaches the
// network.
std::optional<QUrl> ClientCommandUrl(const QString& address, qint32 port, const QString& query);

// The agent's address as a request host: trimmed, and only when it is a plain dotted quad.
std::optional<QString> AgentHost(const QString& address);

// The same with the query already in the narrow code page.
std::optional<QUrl> NarrowCommandUrl(const QString& address, qint32 port, const QByteArray& query);

// The GET of a command's address, on a connection closed after the answer.
QByteArray ClientCommandRequest(const QUrl& url);
