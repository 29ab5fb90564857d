#include "QtResultSet.h"

#include <QSqlRecord>

QtResultSet::QtResultSet(QSqlQuery query, DbConnection& connection)
    : m_query(std::move(query)), m_rows(m_query.size()) {
    const QSqlRecord record = m_query.record();
    for (int i = 0; i < record.count(); ++i) {
        m_names << record.fieldName(i);
    }
    m_closing = QObject::connect(&connection, &DbConnection::closing, [this] { detach(); });
}

QtResultSet::~QtResultSet() {
    QObject::disconnect(m_closing);
}

QVariant QtResultSet::value(int row, int column) const {
    if (m_detached) {
        return m_copy[size_t(row) * size_t(m_names.size()) + size_t(column)];
    }
    if (row != m_current) {
        m_query.seek(row);
        m_current = row;
    }
    return m_query.value(column);
}

void QtResultSet::detach() {
    m_copy.reserve(size_t(m_rows) * size_t(m_names.size()));
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 0; column < m_names.size(); ++column) {
            m_copy.push_back(value(row, column));
        }
    }
    m_query = QSqlQuery();
    m_detached = true;
    QObject::disconnect(m_closing);
}
