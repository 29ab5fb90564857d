#include "UserListLoader.h"

#include "DbError.h"
#include "FlagSets.h"
#include "UserListModel.h"

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

UserListLoader::UserListLoader(UserListModel& model, DbConnection* connection, QObject* parent)
    : QObject(parent), m_model(model), m_cursor(connection) {
    m_nextSlice.setSingleShot(true);
    m_nextSlice.setInterval(0);
    connect(&m_nextSlice, &QTimer::timeout, this, [this] { runSlice(); });
}

UserListLoader::~UserListLoader() {
    cancel();
}

void UserListLoader::start(const QString& statement) {
    cancel();
    m_model.clear();
    try {
        m_cursor.open(statement);
        m_fields = resolveFields();
        m_waitCursor.emplace();
        // The first slice fails like the opening: to the caller, the rows read kept.
        if (!readSlice(true))
            return;
    } catch (const DbError&) {
        m_model.publish();
        cancel();
        throw;
    }
    m_nextSlice.start();
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

// A slice run from the event loop; a failure ends the load, the rows read before it listed.
void UserListLoader::runSlice() {
    try {
        if (!readSlice(false))
            return;
    } catch (const DbError& error) {
        m_model.publish();
        cancel();
        emit failed(error.message());
        return;
    }
    m_nextSlice.start();
}

// Reads one slice and shows its rows when they are due; false when the load ended with it.
bool UserListLoader::readSlice(bool first) {
    bool more = false;
    if (m_rowsPerSlice > 0)
        more = readRows(m_rowsPerSlice, false);
    else
        more = readRows(first ? FirstSliceRows : std::numeric_limits<int>::max(), !first);
    if (!more)
        end();
    m_model.arrange();
    if (!more || m_model.store().size() >= 2 * m_model.rowCount() || m_rowsPerSlice > 0)
        m_model.publish();
    emit progressed();
    return more;
}

// False when the result is exhausted.
bool UserListLoader::readRows(int maxRows, bool timeBoxed) {
    QElapsedTimer clock;
    clock.start();
    for (int n = 1; n <= maxRows; ++n) {
        if (!m_cursor.next())
            return false;
        appendCurrent();
        if (n % 64 == 0) {
            m_model.keyNewRows();
            if (timeBoxed && clock.elapsed() >= SliceMs)
                break;
        }
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
