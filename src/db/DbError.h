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

// Added to the message of a statement that found the PostgreSQL session dropped.
inline const QString ConnectionLostNote =
    QStringLiteral(" (the connection to the database was lost; it is opened again for the next "
                   "action)");

// The DbError for a failure a database reports with its code (SQLite's number or PostgreSQL's
// SQLSTATE) and text; a lock waited for in vain reads as DatabaseLocked on both backends.
DbError databaseError(const QString& code, const QString& text);
// The same for a failure Qt's drivers report.
DbError sqlError(const QSqlError& error);
