#include "UserListLoader.h"

#include "DbError.h"
#include "FlagSets.h"
#include "UserListModel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <limits>

using namespace Qt::Literals::StringLiterals;

namespace {
// A NULL Pid or RoleId names no department or role, unlike any number.
constexpr qint64 NoKey = std::numeric_limits<qint64>::min();
} // namespace

QString UserListLoader::statement(const QString& where) {
    return u"SELECT US.Name as DName,U.Uid,U.Pid,U.RoleID,U.UserName,U.Ip,U.ComputerName,"
           u"U.Auths,U.CliVer,U.ScanTime,U.HardNo,U.OnLined,UR.RName FROM (Users AS U left JOIN "
           u"UserRole AS UR ON U.RoleID=UR.Rid) left join UserSort US on U.Pid = US.id "_s +
           where;
}

UserListLoader::WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(Qt::BusyCursor);
}

UserListLoader::WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

UserListLoader::UserListLoader(UserListModel& model, DbConnection* connection, QObject* parent)
    : QObject(parent), m_model(model), m_cursor(connection) {
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, [this] { runSlice(false); });
}

UserListLoader::~UserListLoader() {
    cancel();
}

void UserListLoader::start(const QString& statement) {
    cancel();
    m_model.clear();
    m_cursor.open(statement);
    try {
        m_fields = resolveFields();
    } catch (const DbError&) {
        m_cursor.close();
        throw;
    }
    m_waitCursor.emplace();
    runSlice(true);
}

void UserListLoader::cancel() {
    m_nextSlice.stop();
    m_cursor.close();
    m_waitCursor.reset();
}

UserListLoader::Fields UserListLoader::resolveFields() const {
    const auto field = [this](const QString& name) {
        const int index = m_cursor.fieldIndex(name);
        if (index < 0)
            throw DbError(u"Field '"_s + name + u"' not found"_s);
        return index;
    };
    return {field(u"Uid"_s),    field(u"Pid"_s),    field(u"RoleID"_s),       field(u"UserName"_s),
            field(u"DName"_s),  field(u"Ip"_s),     field(u"ComputerName"_s), field(u"RName"_s),
            field(u"Auths"_s),  field(u"CliVer"_s), field(u"ScanTime"_s),     field(u"HardNo"_s),
            field(u"Onlined"_s)};
}

// Reads one slice, publishes it, and either schedules the next slice or ends the load. A
// failure ends the load too; the rows read before it stay listed.
void UserListLoader::runSlice(bool first) {
    bool more = false;
    try {
        if (m_rowsPerSlice > 0)
            more = readRows(m_rowsPerSlice, false);
        else
            more = readRows(first ? FirstSliceRows : std::numeric_limits<int>::max(), !first);
    } catch (const DbError& error) {
        m_model.publish();
        cancel();
        emit failed(error.message());
        return;
    }
    if (!more || m_model.store().size() >= 2 * m_model.rowCount() || m_rowsPerSlice > 0) {
        m_model.publish();
        emit progressed();
    }
    if (more)
        m_nextSlice.start();
    else
        end();
}

// False when the result is exhausted.
bool UserListLoader::readRows(int maxRows, bool timeBoxed) {
    QElapsedTimer clock;
    clock.start();
    for (int n = 1; n <= maxRows; ++n) {
        if (!m_cursor.next())
            return false;
        appendCurrent();
        if (timeBoxed && n % 64 == 0 && clock.elapsed() >= SliceMs)
            break;
    }
    return true;
}

void UserListLoader::appendCurrent() {
    const DbCursor& c = m_cursor;
    const Fields& f = m_fields;
    UserListStore::Fields row;
    row.uid = qint32(c.integer(f.uid));
    row.online = c.integer(f.onlined) != 0;
    row.decrypts = BT(qint32(c.integer(f.auths)), UA_DECRYP);
    UserListStore& store = m_model.store();
    row.departName = store.departName(c.isNull(f.pid) ? NoKey : c.integer(f.pid),
                                      [&] { return c.text(f.dName); });
    row.roleName = store.roleName(c.isNull(f.roleId) ? NoKey : c.integer(f.roleId),
                                  [&] { return c.text(f.rName); });
    row.userName = c.text(f.userName);
    row.ip = c.text(f.ip);
    row.computerName = c.text(f.computerName);
    row.cliVer = c.text(f.cliVer);
    row.scanTime = c.text(f.scanTime);
    row.hardNo = c.text(f.hardNo);
    store.append(row);
}

void UserListLoader::end() {
    m_cursor.close();
    m_waitCursor.reset();
}
