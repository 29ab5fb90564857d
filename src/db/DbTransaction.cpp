#include "DbTransaction.h"

#include "DbError.h"

#include <QSqlError>
#include <QSqlQuery>

// On SQLite the write lock is taken at the start, so that a transaction never fails halfway for
// want of it.
DbTransaction::DbTransaction(DbConnection& connection) : m_connection(connection) {
    m_connection.requireOpen();
    QSqlDatabase db = m_connection.database();
    if (m_connection.backend() == DbBackend::SQLite) {
        QSqlQuery begin(db);
        if (!begin.exec(QStringLiteral("begin immediate"))) {
            throw sqlError(begin.lastError());
        }
        return;
    }
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
