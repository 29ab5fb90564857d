#pragma once

#include "ModuleExport.h"

#include "DbCursor.h"
#include "DialogSupport.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <optional>

class UserListModel;

// Fills the user list from one statement stepped in slices: the first screenful before start()
// returns, then one slice after another from the event loop, so the window stays responsive
// and paints the first rows at once; a sorted list orders each slice as it comes. The rows read are
// shown each time they have doubled (a view lays out all its rows when rows arrive) and at the end.
// A newer start() or cancel() ends the running load.
class KVZ_MODULE_EXPORT UserListLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int FirstSliceRows = 128;
    static constexpr int SliceMs = 8;

    // The users statement: the list's columns and the ids it needs, users joined with their
    // role and department, then the where clause (a condition may follow it).
    static QString statement(const QString& where);

    UserListLoader(UserListModel& model, DbConnection* connection, QObject* parent);
    ~UserListLoader() override;

    // Clears the list and starts loading the users statement. Throws DbError when it cannot
    // be opened (the list is then empty and nothing runs).
    void start(const QString& statement);
    void cancel();
    bool isLoading() const { return m_cursor.isOpen(); }

    // Slice sizes, for tests that stop a load at every point: rows per slice, 0 for time-boxed.
    void setRowsPerSlice(int rows) { m_rowsPerSlice = rows; }

signals:
    void progressed();                   // a slice was read (the last one too)
    void failed(const QString& message); // a slice failed; the rows read so far stay listed

private:
    struct Fields {
        int uid, pid, roleId, userName, dName, ip, computerName, rName, auths, cliVer, scanTime,
            hardNo, onlined;
    };
    Fields resolveFields() const;
    void runSlice();
    bool readSlice(bool first);
    bool readRows(int maxRows, bool timeBoxed);
    void appendCurrent();
    void end();

    UserListModel& m_model;
    DbCursor m_cursor;
    Fields m_fields{};
    QTimer m_nextSlice;
    int m_rowsPerSlice = 0;
    std::optional<BusyCursor> m_waitCursor;
};
