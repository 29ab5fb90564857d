#pragma once

#include "DbConnection.h"

#include <QByteArrayView>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <memory>

// A select read one record at a time, so that a long result can be taken in slices with other
// work in between. It runs on the connection's reader session: from the first record to the
// last it sees one state of the tables, and the main session stays free for writes. On SQLite
// the statement itself is stepped; on PostgreSQL a server-side cursor is fetched in batches
// through libpq, on a session of its own.
// Every failure throws DbError; a cursor whose connection closes fails at its next record.
class DbCursor {
public:
    // Main: on SQLite the statement is stepped on the main session instead, for a read taken
    // in one go that must see the latest commits while another cursor keeps the reader's state
    // of the tables. (On PostgreSQL a cursor sees what was committed when it opened.)
    enum class Session { Reader, Main };
    explicit DbCursor(DbConnection* connection, Session session = Session::Reader);
    ~DbCursor();
    DbCursor(const DbCursor&) = delete;
    DbCursor& operator=(const DbCursor&) = delete;

    void open(const QString& statement); // positioned before the first record
    bool next();                         // false past the last record, which closes the cursor
    void close();
    bool isOpen() const;
    // -1 when next() goes on at once as far as can be told; else the socket whose input it
    // would wait for (on PostgreSQL, a batch the server has not sent yet).
    int waitingSocket() const;

    int fieldIndex(const QString& name) const; // letter case ignored; -1 when absent
    // Fields of the current record. text() is UTF-8, valid until the next call of next().
    bool isNull(int column) const;
    qint64 integer(int column) const;
    QByteArrayView text(int column) const;

    class Source; // the backend's way of reading

private:
    DbConnection* m_connection;
    Session m_session;
    std::unique_ptr<Source> m_source;
    QStringList m_names;
    QMetaObject::Connection m_closing;
    bool m_lost = false; // the connection closed under an open cursor
};
