#pragma once

#include <QString>
#include <stdexcept>

class QSqlError;

// A statement the database rejected, or a connection that failed. The message is the
// database's own text, so the user sees what the server said.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// The message of a statement on a connection that is closed.
inline const QString ConnectionNotOpen = QStringLiteral("The database connection is not open");

// The message of a statement that gave up waiting for another session's lock (both backends).
inline const QString DatabaseLocked =
    QStringLiteral("database is locked: another program is writing to the database; nothing "
                   "was changed");

// The DbError for a failure Qt's drivers report; a lock waited for in vain reads as
// DatabaseLocked on both backends.
DbError sqlError(const QSqlError& error);
