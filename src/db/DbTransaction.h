#pragma once

#include "DbConnection.h"

// A transaction on a connection that rolls back unless committed: bulk writers and schema
// changes use it; the module's own statements run without one.
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
