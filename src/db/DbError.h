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

// The DbError for a failure Qt's drivers report. Both backends give up waiting for a lock after
// a while; PostgreSQL's lock time-out then reads as SQLite's "database is locked".
DbError sqlError(const QSqlError& error);
