#include "BatchInsert.h"

#include "DbError.h"

#include <QSqlDriver>
#include <QSqlError>

BatchInsert::BatchInsert(DbConnection& connection, const QString& table, const QStringList& columns,
                         int rowsPerStatement)
    : m_connection(connection), m_table(table), m_columns(columns),
      m_rowsPerStatement(rowsPerStatement) {}

void BatchInsert::add(const QVariantList& row) {
    if (row.size() != m_columns.size()) {
        throw DbError(QStringLiteral("%1 values given for %2 columns of %3")
                          .arg(row.size())
                          .arg(m_columns.size())
                          .arg(m_table));
    }
    m_pending += row;
    if (m_pending.size() == m_rowsPerStatement * m_columns.size()) {
        if (!m_fullStatement) {
            m_fullStatement = prepare(m_rowsPerStatement);
        }
        send(*m_fullStatement, m_rowsPerStatement);
    }
}

void BatchInsert::flush() {
    const int rowCount = int(m_pending.size() / m_columns.size());
    if (rowCount == 0) {
        return;
    }
    QSqlQuery query = prepare(rowCount);
    send(query, rowCount);
}

namespace {

// Quoted column names: the keyword columns Group and Level stay legal. PostgreSQL keeps quoted
// names as written, and its catalog holds them in lower case.
QStringList quotedColumns(DbConnection& connection, const QStringList& columns) {
    const QSqlDriver* driver = connection.database().driver();
    QStringList quoted;
    for (const QString& column : columns) {
        const QString name =
            connection.backend() == DbBackend::PostgreSQL ? column.toLower() : column;
        quoted << driver->escapeIdentifier(name, QSqlDriver::FieldName);
    }
    return quoted;
}

} // namespace

QSqlQuery BatchInsert::prepare(int rowCount) const {
    const QString marks =
        u'(' + QStringList(m_columns.size(), QStringLiteral("?")).join(u',') + u')';
    const QString statement = QStringLiteral("insert into ") + m_table + QStringLiteral(" (") +
                              quotedColumns(m_connection, m_columns).join(u',') +
                              QStringLiteral(") values ") + QStringList(rowCount, marks).join(u',');
    QSqlQuery query(m_connection.database());
    if (!query.prepare(statement)) {
        throw sqlError(query.lastError());
    }
    return query;
}

void BatchInsert::send(QSqlQuery& query, int rowCount) {
    for (qsizetype i = 0; i < m_pending.size(); ++i) {
        query.bindValue(int(i), m_pending.at(i));
    }
    if (!query.exec()) {
        throw sqlError(query.lastError());
    }
    m_pending.clear();
    m_rowsWritten += rowCount;
}
