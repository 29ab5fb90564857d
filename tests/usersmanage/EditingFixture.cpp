#include "EditingFixture.h"

#include "FlagSets.h"
#include "Schema.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QCoreApplication>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace Qt::StringLiterals;

namespace {
const char16_t* const SiteRows[] = {
    u"insert into UserRole (Rid, RName) values (1, 'Staff')",
    u"insert into UserRole (Rid, RName) values (2, 'Manager')",
    u"insert into UserSort (id, pid, name, DRole) values (1, 0, 'Sales', 1)",
    u"insert into UserSort (id, pid, name) values (2, 1, 'North')",
    u"insert into UserSort (id, pid, name) values (3, 1, 'South')",
    u"insert into UserSort (id, pid, name, DRole) values (4, 0, 'Support', 2)",
    u"insert into UserSort (id, pid, name) values (5, 0, 'Finance')",
    u"insert into Users (Uid, Pid, UserName, RoleId, Auths, Onlined) "
    u"values (1, 1, 'alice', 1, 2, -1)",
    u"insert into Users (Uid, Pid, UserName, RoleId, Auths, Onlined) "
    u"values (2, 1, 'bob', 1, 0, -1)",
    u"insert into Users (Uid, Pid, UserName, RoleId, Auths, Onlined) "
    u"values (3, 1, 'carol', 2, 0, 0)",
    u"insert into Users (Uid, Pid, UserName, RoleId) values (4, 2, 'dave', 1)",
    u"insert into Users (Uid, Pid, UserName, RoleId) values (5, 4, 'erin', 2)",
    u"insert into other (id, Ctrl, depart) values (1, 0, 5)",
};

qint32 editingRights() {
    qint32 rights = 0;
    for (const TAdminAuth right : {AA_UserEdepart, AA_UserEuser, AA_UserEauth, AA_UserC})
        AT(rights, right);
    return rights;
}
} // namespace

void SiteDatabaseTest::SetUp() {
    db = std::make_unique<TestDatabase>(GetParam(), Seed::None);
    for (const char16_t* row : SiteRows)
        db->exec(QString::fromUtf16(row));
    syncAutoNumbers(*db->connection());
    previousLogon = LogonInfo;
    logon.Connection = db->connection();
    logon.RootName = u"Company"_s;
    logon.AdminAuths = editingRights();
    LogonInfo = &logon;
}

void SiteDatabaseTest::TearDown() {
    LogonInfo = previousLogon;
    db.reset();
}

qint64 SiteDatabaseTest::count(const QString& sql) {
    return db->scalar(u"select count(*) from "_s + sql).toLongLong();
}

qint64 SiteDatabaseTest::number(const QString& sql) {
    return db->scalar(sql).toLongLong();
}

QString SiteDatabaseTest::text(const QString& sql) {
    return db->scalar(sql).toString();
}

void SiteDatabaseTest::setSettingsCtrl(qint32 ctrl) {
    db->exec(u"update other set Ctrl = "_s + QString::number(ctrl) + u" where id = 1"_s);
}

void WindowTest::SetUp() {
    SiteDatabaseTest::SetUp();
    m_panel = std::make_unique<QWidget>();
    m_panel->resize(1000, 700);
    m_window = new TFrmUsersManage(nullptr, m_panel.get()); // embedded: owned by the panel
    m_panel->show();
    QCoreApplication::processEvents();
}

void WindowTest::TearDown() {
    m_panel.reset();
    script.expectDone();
    SiteDatabaseTest::TearDown();
}

QTreeWidgetItem* WindowTest::node(qint32 departId) {
    for (QTreeWidgetItemIterator it(window().ui()->TV_Department); *it; ++it) {
        if (window().itemOf(*it)->Id == departId)
            return *it;
    }
    return nullptr;
}

void WindowTest::selectDepart(qint32 departId) {
    QTreeWidgetItem* target = node(departId);
    ASSERT_NE(target, nullptr) << "no department " << departId;
    window().ui()->TV_Department->setCurrentItem(target);
}

int WindowTest::rowOf(qint32 uid) const {
    return window().userList()->findById(uid);
}

QList<qint32> WindowTest::listedUids() const {
    QList<qint32> uids;
    const UserListModel& users = *window().userList();
    for (int row = 0; row < users.rowCount(); ++row)
        uids.append(users.row(row).Item.Id);
    std::sort(uids.begin(), uids.end());
    return uids;
}

void WindowTest::selectUsers(const QList<qint32>& uids) {
    QItemSelectionModel* selection = window().ui()->LV_Man->selectionModel();
    selection->clearSelection();
    for (const qint32 uid : uids) {
        const int row = rowOf(uid);
        ASSERT_GE(row, 0) << "user " << uid << " is not listed";
        selection->select(window().userList()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

QPoint WindowTest::pointOf(qint32 departId) {
    QTreeWidgetItem* target = node(departId);
    if (!target)
        return {-1, -1};
    for (QTreeWidgetItem* up = target->parent(); up; up = up->parent())
        up->setExpanded(true);
    window().ui()->TV_Department->scrollToItem(target);
    return window().ui()->TV_Department->visualItemRect(target).center();
}
