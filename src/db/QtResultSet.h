#pragma once

#include "DbConnection.h"
#include "ResultSet.h"

#include <QMetaObject>
#include <QSqlQuery>
#include <vector>

// A select held by a random-access QSqlQuery whose driver keeps the whole result in memory
// (QPSQL); fields are converted when they are read. When the connection closes, the driver's
// result goes with it, so the records are copied out first.
class QtResultSet final : public ResultSet {
public:
    // query: an executed, non-forward-only select on connection.
    QtResultSet(QSqlQuery query, DbConnection& connection);
    ~QtResultSet() override;
    QtResultSet(const QtResultSet&) = delete;
    QtResultSet& operator=(const QtResultSet&) = delete;

    int rows() const override { return m_rows; }
    QStringList names() const override { return m_names; }
    QVariant value(int row, int column) const override;

private:
    void detach();

    // Seeking moves the query's cursor only; the records it reads stay the same.
    mutable QSqlQuery m_query;
    mutable int m_current = -1;
    QStringList m_names;
    int m_rows = 0;
    bool m_detached = false;
    std::vector<QVariant> m_copy; // once detached: every field, row after row
    QMetaObject::Connection m_closing;
};
