#include "UserListLoader.h"

#include "DbError.h"
#include "FlagSets.h"
#include "UserListModel.h"

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
    : QObject(parent), m_model(model), m_read(connection), m_publishSoon(this, [this] {
          if (m_model.rowCount() < m_model.store().size())
              publish();
      }) {
    connect(&m_read, &SlicedRead::sliceRead, this, &UserListLoader::sliceRead);
    connect(&m_read, &SlicedRead::failed, this, [this](const QString& message) {
        m_model.publish();
        emit failed(message);
    });
}

void UserListLoader::start(const QString& statement) {
    m_read.cancel();
    m_model.clear();
    try {
        // The first slice fails like the opening: to the caller, the rows read kept.
        m_read.start(statement, [this](const DbCursor& cursor) { return bind(cursor); });
    } catch (const DbError&) {
        m_model.publish();
        throw;
    }
}

void UserListLoader::setRowsPerSlice(int rows) {
    m_fixedSlices = rows > 0;
    m_read.setRowsPerSlice(rows);
}

// What takes each record: the row appended to the store, keyed by a sorted list in runs.
SlicedRead::Record UserListLoader::bind(const DbCursor& cursor) {
    const auto field = [&cursor](const QString& name) { return SlicedRead::field(cursor, name); };
    const int uid = field(u"Uid"_s), pid = field(u"Pid"_s), roleId = field(u"RoleID"_s),
              userName = field(u"UserName"_s), dName = field(u"DName"_s), ip = field(u"Ip"_s),
              computerName = field(u"ComputerName"_s), rName = field(u"RName"_s),
              auths = field(u"Auths"_s), cliVer = field(u"CliVer"_s),
              scanTime = field(u"ScanTime"_s), hardNo = field(u"HardNo"_s),
              onlined = field(u"Onlined"_s);
    int read = 0;
    return [=, this](const DbCursor& c) mutable {
        UserListStore& store = m_model.store();
        UserListStore::Fields row;
        row.uid = qint32(c.integer(uid));
        row.online = c.integer(onlined) != 0;
        row.decrypts = BT(qint32(c.integer(auths)), UA_DECRYP);
        row.departName =
            store.departName(c.isNull(pid) ? NoKey : c.integer(pid), [&] { return c.text(dName); });
        row.roleName = store.roleName(c.isNull(roleId) ? NoKey : c.integer(roleId),
                                      [&] { return c.text(rName); });
        row.userName = c.text(userName);
        row.ip = c.text(ip);
        row.computerName = c.text(computerName);
        row.cliVer = c.text(cliVer);
        row.scanTime = c.text(scanTime);
        row.hardNo = c.text(hardNo);
        store.append(row);
        if (++read % 64 == 0) // a sorted list keys its rows within the slice's time
            m_model.keyNewRows();
    };
}

// Shows the rows read when they are due, and says so.
void UserListLoader::sliceRead(bool last) {
    m_model.arrange();
    const bool due = m_model.store().size() >= 2 * m_model.rowCount() &&
                     (m_model.rowCount() == 0 || m_sincePublished.hasExpired(PublishEveryMs));
    if (last || m_fixedSlices || (due && m_model.rowCount() == 0)) {
        publish();
    } else if (due) {
        m_publishSoon.post();
    }
}

void UserListLoader::publish() {
    m_model.publish();
    m_sincePublished.start();
    emit progressed();
}
