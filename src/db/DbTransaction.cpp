#include "DbTransaction.h"

#include "DbError.h"

#include <QSqlError>

DbTransaction::DbTransaction(DbConnection& connection) : m_connection(connection) {
    QSqlDatabase db = m_connection.database();
    if (!db.transaction()) {
        throw sqlError(db.lastError());
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
        throw sqlError(db.lastError());
    }
    m_open = false;
}
