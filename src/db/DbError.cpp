#include "DbError.h"

#include <QSqlError>

namespace {
// SQLSTATE of PostgreSQL's lock_not_available and query_canceled (a statement time-out).
constexpr QLatin1StringView LockNotAvailable("55P03");
constexpr QLatin1StringView QueryCanceled("57014");

// SQLite's SQLITE_BUSY or SQLITE_LOCKED, extended codes included. SQLite's codes have at most
// four digits, PostgreSQL's SQLSTATEs always five characters.
bool isSqliteLockCode(const QString& code) {
    constexpr int Busy = 5, Locked = 6;
    bool number = false;
    const int primary = code.toInt(&number) & 0xff;
    return number && code.size() < 5 && (primary == Busy || primary == Locked);
}
} // namespace

DbError databaseError(const QString& code, const QString& text) {
    if (code == LockNotAvailable || isSqliteLockCode(code)) {
        return DbError(DatabaseLocked);
    }
    if (code == QueryCanceled) {
        return DbError(QStringLiteral("database is busy: the statement took too long and was "
                                      "cancelled"));
    }
    return DbError(text);
}

DbError sqlError(const QSqlError& error) {
    return databaseError(error.nativeErrorCode(), error.text());
}
