#include "DbError.h"

#include <QSqlError>

namespace {
// SQLSTATE of PostgreSQL's lock_not_available and query_canceled (a statement time-out).
constexpr QLatin1StringView LockNotAvailable("55P03");
constexpr QLatin1StringView QueryCanceled("57014");
} // namespace

DbError sqlError(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    if (code == LockNotAvailable) {
        return DbError(QStringLiteral("database is locked"));
    }
    if (code == QueryCanceled) {
        return DbError(QStringLiteral("database is busy: the statement took too long and was "
                                      "cancelled"));
    }
    return DbError(error.text());
}
