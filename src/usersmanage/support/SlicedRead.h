#pragma once

#include "ModuleExport.h"

#include "DbCursor.h"
#include "DialogSupport.h"

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <functional>
#include <optional>

// Reads a select in slices from the event loop, so that a window fed by a long result opens at
// once and stays responsive: the first records before start() returns, then slices of at most
// SliceMs each. A slice that would wait for the database ends there, and the next one starts
// when the database's answer comes in. The hourglass shows while it reads. cancel(), a newer
// start() or the reader's end stops it; nothing is handed on after that.
class KVZ_MODULE_EXPORT SlicedRead : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstSliceRows = 128;
    static constexpr int SliceMs = 8;
    static constexpr int WaitMs = 50; // the longest wait for an answer the socket did not tell
    using Record = std::function<void(const DbCursor&)>;

    explicit SlicedRead(DbConnection* connection, QObject* parent = nullptr);
    ~SlicedRead() override;

    // Opens statement, lets bind find its fields (it may throw DbError) and returns what takes
    // each record. Throws DbError when the statement cannot be opened or its first slice fails.
    void start(const QString& statement, const std::function<Record(const DbCursor&)>& bind);
    void cancel();
    void finish(); // reads the rest at once, for a caller that needs every record; DbError
    bool isRunning() const { return m_cursor.isOpen(); }
    void setRowsPerSlice(int rows) { m_rowsPerSlice = rows; } // for tests; 0: time-boxed

    // Field index of name in the open statement; DbError when it has no such field.
    static int field(const DbCursor& cursor, const QString& name);

signals:
    void sliceRead(bool last); // after each slice; last: the result has ended
    void failed(const QString& message);

private:
    void runSlice();
    bool readSlice(int maxRows, bool timeBoxed); // false when the result ended
    void nextSliceSoon();
    void stopWaiting();
    void dropAnswer();

    DbCursor m_cursor;
    Record m_record;
    QTimer m_nextSlice;
    QSocketNotifier* m_answer = nullptr; // a child, on the socket the cursor waits for
    int m_rowsPerSlice = 0;
    std::optional<BusyCursor> m_busy;
};
