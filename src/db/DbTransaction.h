#pragma once

#include "DbConnection.h"

// A transaction on a connection that rolls back unless committed: bulk writers, schema changes
// and the module's actions of several statements, which happen whole or not at all.
class DbTransaction {
public:
    explicit DbTransaction(DbConnection& connection); // throws DbError
    ~DbTransaction();
    DbTransaction(const DbTransaction&) = delete;
    DbTransaction& operator=(const DbTransaction&) = delete;

    void commit(); // throws DbError

private:
    DbConnection& m_connection;
    bool m_open = true;
};
