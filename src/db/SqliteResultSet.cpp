#include "SqliteResultSet.h"

#include "DbError.h"
#include "SqliteStatement.h"

#include <bit>
#include <cstring>

std::unique_ptr<SqliteResultSet> SqliteResultSet::select(const QSqlDatabase& db,
                                                         const QString& statement,
                                                         const StatementParams& params) {
    sqlite3* connection = sqliteHandle(db);
    const SqliteStatementPtr prepared = prepareSqlite(connection, statement.toUtf8());
    if (!prepared || sqlite3_column_count(prepared.get()) == 0) {
        return nullptr;
    }
    bindParams(connection, prepared.get(), params);
    std::unique_ptr<SqliteResultSet> result(new SqliteResultSet);
    result->m_names = columnNames(prepared.get());
    result->m_columns = int(result->m_names.size());
    const SqliteConnectionLock lock(connection);
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(prepared.get())) == SQLITE_ROW) {
        for (int column = 0; column < result->m_columns; ++column) {
            result->appendField(sqlite3_column_value(prepared.get(), column));
        }
        ++result->m_rows;
    }
    if (step != SQLITE_DONE) {
        failWith(connection);
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
    const quint32 length = quint32(size);
    const ByteBlocks::Position position = m_bytes.reserve(sizeof length + length);
    char* target = m_bytes.at(position);
    std::memcpy(target, &length, sizeof length);
    if (length > 0) {
        std::memcpy(target + sizeof length, bytes, length);
    }
    m_kinds.push_back(kind);
    m_slots.push_back(qint64(quint64(position.block) << 32 | position.offset));
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
    const char* start = m_bytes.at({quint32(quint64(slot) >> 32), quint32(slot)});
    quint32 length = 0;
    std::memcpy(&length, start, sizeof length);
    return QByteArrayView(start + sizeof length, qsizetype(length));
}
