#pragma once

#include "ModuleExport.h"
#include "PostedCall.h"
#include "SlicedRead.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class UserListModel;

// Fills the user list from one statement read in slices (SlicedRead): the first screenful
// before start() returns, then one slice after another from the event loop, so the window
// stays responsive and paints the first rows at once; a sorted list orders each slice as it
// comes. The rows read are shown each time they have doubled (a view lays out all its rows
// when rows arrive), at most every PublishEveryMs after the first screenful (every showing
// repaints the view), and at the end. Between the first screenful and the end, the rows show
// in an event of their own after the slice's: showing half a million rows takes as long as a
// slice. A newer start() or cancel() ends the running load.
class KVZ_MODULE_EXPORT UserListLoader : public QObject {
    Q_OBJECT
public:
    // The users statement: the list's columns and the ids it needs, users joined with their
    // role and department, then the where clause (a condition may follow it).
    static QString statement(const QString& where);

    UserListLoader(UserListModel& model, DbConnection* connection, QObject* parent);

    // Clears the list and starts loading the users statement. Throws DbError when it cannot
    // be opened (the list is then empty and nothing runs).
    void start(const QString& statement);
    void cancel() { m_read.cancel(); }
    bool isLoading() const { return m_read.isRunning(); }

    // Slice sizes, for tests that stop a load at every point: rows per slice, 0 for time-boxed.
    void setRowsPerSlice(int rows);

signals:
    void progressed();                   // the rows read were shown (at the last slice too)
    void failed(const QString& message); // a slice failed; the rows read so far stay listed

private:
    SlicedRead::Record bind(const DbCursor& cursor);
    void sliceRead(bool last);
    void publish();

    UserListModel& m_model;
    SlicedRead m_read;
    static constexpr qint64 PublishEveryMs = 100;
    bool m_fixedSlices = false;
    PostedCall m_publishSoon; // the showings between the first screenful and the end
    QElapsedTimer m_sincePublished;
};
