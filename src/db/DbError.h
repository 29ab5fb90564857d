#pragma once

#include <QString>
#include <stdexcept>

// A statement the database rejected, or a connection that failed. The message is the
// database's own text, so the user sees what the server said.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};
