#pragma once

#include "DbConnection.h"

#include <QString>
#include <QVariant>
#include <memory>

// A data set on a connection, in the manner of the console's query objects: set the statement
// text, open a select and walk it, or execute an action statement. Fields are found by name
// without regard to letter case. A single-table select can be edited: edit() or append(),
// setValue(), post(). Every failure throws DbError carrying the database's message.
class DbQuery {
public:
    explicit DbQuery(DbConnection* connection = nullptr);
    ~DbQuery();
    DbQuery(const DbQuery&) = delete;
    DbQuery& operator=(const DbQuery&) = delete;

    void setConnection(DbConnection* connection);
    DbConnection* connection() const;

    void setSql(const QString& statement); // closes the data set
    QString sql() const;
    void setParam(const QString& name, const QVariant& value); // ":name" in the statement

    void open(); // runs a select; positioned on the first record
    void close();
    bool isActive() const;
    int execSql(); // runs an action statement; returns the number of rows affected

    // Navigation over the opened result.
    int recordCount() const;
    bool isEmpty() const;
    bool eof() const;
    bool bof() const;
    void first();
    void next();
    void prior();
    void last();
    int recNo() const; // 0-based position

    // Moves to the first record whose field equals value (text compared without letter case);
    // false and position unchanged when there is none.
    bool locate(const QString& field, const QVariant& value);

    int fieldCount() const;
    QString fieldName(int index) const;
    int fieldIndex(const QString& name) const; // -1 when absent
    QVariant value(int index) const;
    QVariant value(const QString& name) const;   // throws DbError for an unknown field
    QString asString(const QString& name) const; // null gives the empty text
    int asInteger(const QString& name) const;    // null or non-number gives 0
    bool asBoolean(const QString& name) const;   // nonzero is true

    // Record editing of a single-table select.
    void edit();
    void append();
    void setValue(const QString& name, const QVariant& value);
    void post();
    void cancel();

private:
    void postPending(); // moving away from an edited record posts it
    struct Private;
    std::unique_ptr<Private> d;
};

// A one-shot statement with named parameters.
class DbCommand {
public:
    explicit DbCommand(DbConnection* connection, const QString& statement = {});
    ~DbCommand();
    void setSql(const QString& statement);
    void setParam(const QString& name, const QVariant& value);
    int execute();     // rows affected; throws DbError
    QVariant scalar(); // runs a select and returns the first field of the first record

private:
    DbQuery m_query;
};
