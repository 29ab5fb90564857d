#pragma once

#include "ModuleExport.h"

#include "BulkCommand.h"
#include "DbCursor.h"

#include <QHash>
#include <QObject>
#include <QTimer>

// The users a command to a department addresses, read in slices from the event loop: the
// results view opens at once and the first requests go out while the rest is read. Every
// user of the site, or those of the given departments; departments names each user's one.
class KVZ_MODULE_EXPORT BulkTargetReader : public QObject {
    Q_OBJECT
public:
    BulkTargetReader(DbConnection* connection, QHash<qint32, QString> departments, bool everyone,
                     QObject* parent = nullptr);

    void start();                // throws DbError when the users cannot be read
    QList<BulkTarget> readAll(); // at once; throws DbError
    void cancel();
    bool isReading() const { return m_cursor.isOpen(); }

signals:
    void read(const QList<BulkTarget>& targets);
    void ended(const QString& error); // empty: every user was read

private:
    void readSlice();
    bool readRows(QList<BulkTarget>& into, qint64 budgetMs);

    DbCursor m_cursor;
    QHash<qint32, QString> m_departments;
    bool m_everyone;
    QTimer m_nextSlice;
};
