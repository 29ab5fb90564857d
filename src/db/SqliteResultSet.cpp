#include "SqliteResultSet.h"

#include "DbError.h"

#include <QSqlDriver>
#include <bit>
#include <limits>
#include <sqlite3.h>

namespace {

struct Finalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalizer>;

// Holds the connection's mutex (none in single-thread builds) for a whole fetch, so the
// fields can be read as protected values without taking it again for every call.
class ConnectionLock {
public:
    explicit ConnectionLock(sqlite3* connection) : m_mutex(sqlite3_db_mutex(connection)) {
        sqlite3_mutex_enter(m_mutex);
    }
    ~ConnectionLock() { sqlite3_mutex_leave(m_mutex); }
    ConnectionLock(const ConnectionLock&) = delete;
    ConnectionLock& operator=(const ConnectionLock&) = delete;

private:
    sqlite3_mutex* m_mutex;
};

sqlite3* sqliteHandle(const QSqlDatabase& db) {
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        throw DbError(QStringLiteral("The database connection is not open"));
    }
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    if (!connection) {
        throw DbError(QStringLiteral("The database connection is not open"));
    }
    return connection;
}

[[noreturn]] void fail(sqlite3* connection) {
    throw DbError(QString::fromUtf8(sqlite3_errmsg(connection)));
}

bool onlySpaceLeft(const char* tail, const char* end) {
    return QByteArrayView(tail, end - tail).trimmed().isEmpty();
}

Statement prepare(sqlite3* connection, const QByteArray& text) {
    sqlite3_stmt* prepared = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &prepared, &tail) !=
        SQLITE_OK) {
        fail(connection);
    }
    Statement statement(prepared);
    if (statement && !onlySpaceLeft(tail, text.constData() + text.size())) {
        throw DbError(QStringLiteral("Unable to execute multiple statements at a time"));
    }
    return statement;
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

// Placeholders without a value stay NULL.
void bindParams(sqlite3* connection, sqlite3_stmt* statement, const StatementParams& params) {
    const int count = sqlite3_bind_parameter_count(statement);
    for (int index = 1; index <= count; ++index) {
        const QVariant* value = findParam(params, sqlite3_bind_parameter_name(statement, index));
        if (value && bindValue(statement, index, *value) != SQLITE_OK) {
            fail(connection);
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

} // namespace

std::unique_ptr<SqliteResultSet> SqliteResultSet::select(const QSqlDatabase& db,
                                                         const QString& statement,
                                                         const StatementParams& params) {
    sqlite3* connection = sqliteHandle(db);
    const Statement prepared = prepare(connection, statement.toUtf8());
    if (!prepared || sqlite3_column_count(prepared.get()) == 0) {
        return nullptr;
    }
    bindParams(connection, prepared.get(), params);
    std::unique_ptr<SqliteResultSet> result(new SqliteResultSet);
    result->m_names = columnNames(prepared.get());
    result->m_columns = int(result->m_names.size());
    const ConnectionLock lock(connection);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(prepared.get())) == SQLITE_ROW) {
        for (int column = 0; column < result->m_columns; ++column) {
            result->appendField(sqlite3_column_value(prepared.get(), column));
        }
        ++result->m_rows;
    }
    if (step != SQLITE_DONE) {
        fail(connection);
    }
    return result;
}

void SqliteResultSet::appendField(sqlite3_value* field) {
    switch (sqlite3_value_type(field)) {
    case SQLITE_INTEGER:
        m_kinds.push_back(Kind::Integer);
        m_slots.push_back(sqlite3_value_int64(field));
        break;
    case SQLITE_FLOAT:
        m_kinds.push_back(Kind::Real);
        m_slots.push_back(std::bit_cast<qint64>(sqlite3_value_double(field)));
        break;
    case SQLITE_TEXT: {
        const unsigned char* text = sqlite3_value_text(field);
        appendBytes(Kind::Text, text, sqlite3_value_bytes(field));
        break;
    }
    case SQLITE_BLOB: {
        const void* blob = sqlite3_value_blob(field);
        appendBytes(Kind::Blob, blob, sqlite3_value_bytes(field));
        break;
    }
    default:
        m_kinds.push_back(Kind::Null);
        m_slots.push_back(0);
        break;
    }
}

void SqliteResultSet::appendBytes(Kind kind, const void* bytes, int size) {
    const size_t offset = m_arena.size();
    if (offset > std::numeric_limits<quint32>::max()) {
        throw DbError(QStringLiteral("The result is too large to hold in memory"));
    }
    const char* begin = static_cast<const char*>(bytes);
    m_arena.insert(m_arena.end(), begin, begin + size);
    m_kinds.push_back(kind);
    m_slots.push_back(qint64(quint64(offset) << 32 | quint32(size)));
}

QVariant SqliteResultSet::value(int row, int column) const {
    const size_t field = size_t(row) * size_t(m_columns) + size_t(column);
    const qint64 slot = m_slots[field];
    switch (m_kinds[field]) {
    case Kind::Integer:
        return qlonglong(slot);
    case Kind::Real:
        return std::bit_cast<double>(slot);
    case Kind::Text: {
        const QByteArrayView bytes = stored(slot);
        return QString::fromUtf8(bytes.data(), bytes.size());
    }
    case Kind::Blob:
        return stored(slot).toByteArray();
    case Kind::Null:
        break;
    }
    return QVariant();
}

QByteArrayView SqliteResultSet::stored(qint64 slot) const {
    return QByteArrayView(m_arena.data() + (quint64(slot) >> 32), qsizetype(quint32(slot)));
}
