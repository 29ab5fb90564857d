#pragma once

#include "DbConnection.h"

#include <QSqlQuery>
#include <QStringList>
#include <QVariantList>
#include <optional>

// Inserts many rows into one table with multi-row prepared statements: rows are collected and
// sent `rowsPerStatement` at a time; flush() sends the rest. Meant to run inside a transaction.
class BatchInsert {
public:
    BatchInsert(DbConnection& connection, const QString& table, const QStringList& columns,
                int rowsPerStatement = 200);

    void add(const QVariantList& row); // throws DbError
    void flush();                      // throws DbError
    int rowsWritten() const { return m_rowsWritten; }

private:
    QSqlQuery prepare(int rowCount) const;
    void send(QSqlQuery& query, int rowCount);

    DbConnection& m_connection;
    QString m_table;
    QStringList m_columns;
    int m_rowsPerStatement;
    QVariantList m_pending;
    std::optional<QSqlQuery> m_fullStatement;
    int m_rowsWritten = 0;
};
