#include "DbTransaction.h"

#include "DbError.h"

#include <QSqlError>

DbTransaction::DbTransaction(DbConnection& connection) : m_connection(connection) {
    QSqlDatabase db = m_connection.database();
    if (!db.transaction()) {
        throw DbError(db.lastError().text());
    }
}

DbTransaction::~DbTransaction() {
    if (m_open) {
        m_connection.database().rollback();
    }
}

void DbTransaction::commit() {
    QSqlDatabase db = m_connection.database();
    if (!db.commit()) {
        throw DbError(db.lastError().text());
    }
    m_open = false;
}
