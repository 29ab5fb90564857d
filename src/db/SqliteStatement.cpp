#include "SqliteStatement.h"

#include "DbError.h"
#include "JetDialect.h"

#include <QSqlDriver>

namespace {

bool onlySpaceLeft(const char* tail, const char* end) {
    return QByteArrayView(tail, end - tail).trimmed().isEmpty();
}

// Null strings and byte arrays bind as NULL, as Qt's drivers bind them.
bool isNullValue(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().isNull();
    case QMetaType::QByteArray:
        return value.toByteArray().isNull();
    default:
        return value.isNull();
    }
}

// Numbers bind as numbers, byte arrays as blobs and everything else as text.
int bindValue(sqlite3_stmt* statement, int index, const QVariant& value) {
    if (isNullValue(value)) {
        return sqlite3_bind_null(statement, index);
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return sqlite3_bind_int64(statement, index, value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return sqlite3_bind_double(statement, index, value.toDouble());
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        return sqlite3_bind_blob64(statement, index, bytes.constData(),
                                   sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT);
    }
    default: {
        const QByteArray utf8 = value.toString().toUtf8();
        return sqlite3_bind_text64(statement, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                   SQLITE_TRANSIENT, SQLITE_UTF8);
    }
    }
}

const QVariant* findParam(const StatementParams& params, const char* placeholder) {
    if (!placeholder || placeholder[0] != ':') {
        return nullptr;
    }
    const QString name = QString::fromUtf8(placeholder + 1);
    for (const auto& [key, value] : params) {
        if (key.compare(name, Qt::CaseInsensitive) == 0) {
            return &value;
        }
    }
    return nullptr;
}

} // namespace

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        throw DbError(ConnectionNotOpen);
    }
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection) {
        throw DbError(ConnectionNotOpen);
    }
    return connection;
}

[[noreturn]] void failWith(sqlite3* connection) {
    const int code = sqlite3_errcode(connection);
    if (code == SQLITE_BUSY || code == SQLITE_LOCKED) {
        throw DbError(DatabaseLocked);
    }
    throw DbError(QString::fromUtf8(sqlite3_errmsg(connection)));
}

SqliteStatementPtr prepareSqlite(sqlite3* connection, const QByteArray& text) {
    sqlite3_stmt* prepared = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &prepared, &tail) !=
        SQLITE_OK) {
        failWith(connection);
    }
    SqliteStatementPtr statement(prepared);
    if (statement && !onlySpaceLeft(tail, text.constData() + text.size())) {
        throw DbError(MultipleStatementsRefused);
    }
    return statement;
}

// Placeholders without a value stay NULL.
void bindParams(sqlite3* connection, sqlite3_stmt* statement, const StatementParams& params) {
    const int count = sqlite3_bind_parameter_count(statement);
    for (int index = 1; index <= count; ++index) {
        const QVariant* value = findParam(params, sqlite3_bind_parameter_name(statement, index));
        if (value && bindValue(statement, index, *value) != SQLITE_OK) {
            failWith(connection);
        }
    }
}

// Column names as Qt's driver reports them: without double quotes.
QStringList columnNames(sqlite3_stmt* statement) {
    QStringList names;
    const int count = sqlite3_column_count(statement);
    for (int column = 0; column < count; ++column) {
        names << QString::fromUtf8(sqlite3_column_name(statement, column)).remove(u'"');
    }
    return names;
}
