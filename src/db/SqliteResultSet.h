#pragma once

#include "BlockStorage.h"
#include "ResultSet.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <memory>

struct sqlite3_value;

// A select run straight on the SQLite handle of a QSQLITE connection. Every row is kept in
// compact form (a kind and a 64-bit slot per field, text and blob bytes in byte blocks, all in
// fixed-size blocks) and turned into a QVariant only when a field is read.
class SqliteResultSet final : public ResultSet {
public:
    // Runs statement with params bound by name (":name", letter case ignored; parameters the
    // statement does not use are ignored). Returns nullptr, without running it, when the
    // statement yields no columns. Throws DbError with SQLite's message.
    static std::unique_ptr<SqliteResultSet> select(const QSqlDatabase& db, const QString& statement,
                                                   const StatementParams& params);

    int rows() const override { return m_rows; }
    QStringList names() const override { return m_names; }
    QVariant value(int row, int column) const override;

private:
    enum class Kind : unsigned char { Null, Integer, Real, Text, Blob };

    SqliteResultSet() = default;
    void appendField(sqlite3_value* field);
    void appendBytes(Kind kind, const void* bytes, int size);
    QByteArrayView stored(qint64 slot) const; // the arena bytes a text or blob slot names

    QStringList m_names;
    int m_columns = 0;
    int m_rows = 0;
    BlockArray<Kind> m_kinds;   // one per field, row after row
    BlockArray<qint64> m_slots; // integer, bits of a real, or block << 32 | offset in m_bytes
    ByteBlocks m_bytes;         // text (UTF-8) and blob bytes, each after its 32-bit size
};
