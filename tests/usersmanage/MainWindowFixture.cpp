#include "MainWindowFixture.h"

#include "FlagSets.h"
#include "Multilanguage.h"
#include "PgUsersManage.h"
#include "Schema.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <functional>
#include <stdexcept>

using namespace Qt::Literals::StringLiterals;

namespace {
const char16_t* const OrgRows[] = {
    u"insert into UserRole (Rid, RName) values (1, 'Staff'), (2, 'Manager')",
    u"insert into UserSort (id, pid, name, ctrl, used, DRole) values (5, 0, 'Alpha', 0, 0, 2), "
    u"(3, 0, 'Zeta', -1, 0, 1), (7, 3, 'Beta', -1, -1, null), (4, 3, 'Omega', 0, -1, null), "
    u"(9, 42, 'Lost', 0, 0, null), (10, 9, 'LostChild', 0, 0, null)",
    u"insert into Users (Uid, Pid, UserName, RoleId, Auths, Onlined, Ip, ComputerName, CliVer, "
    u"ScanTime, HardNo) values (1, 3, 'alice', 1, 2, -1, '127.0.3.1', 'PC-1', '3.5', 'daily', "
    u"'HW1')",
    u"insert into Users (Uid, Pid, UserName, RoleId, Auths, Onlined) values (2, 3, 'bob', 2, 1, "
    u"0), "
    u"(3, 4, 'carol', 1, 3, -1), (4, 99, 'dave', 1, 0, 0), (5, 5, 'erin', 77, 2, -1), "
    u"(6, 0, 'frank', 1, 0, 0)",
    u"insert into other (id, Ctrl, depart) values (1, 0, 7)",
};
} // namespace

qint32 allRights() {
    qint32 rights = 0;
    for (const TAdminAuth right : {AA_UserEdepart, AA_UserEuser, AA_UserEauth, AA_UserC})
        AT(rights, right);
    return rights;
}

QStringList expectedStatus(int online, int offline, int total, int decrypt, int chosen) {
    return {GetString(u"idonline"_s) + QString::number(online),
            GetString(u"idoffline"_s) + QString::number(offline),
            GetString(u"idAuser"_s) + QString::number(total),
            GetString(u"idLDe"_s) + QString::number(decrypt),
            GetString(u"Chosen"_s) + u"："_s + QString::number(chosen)};
}

void MainWindowTest::SetUp() {
    db = std::make_unique<TestDatabase>(GetParam(), Seed::None);
    for (const char16_t* row : OrgRows)
        db->exec(QString::fromUtf16(row));
    syncAutoNumbers(*db->connection());
    m_previousLogon = LogonInfo;
    panel = std::make_unique<QWidget>();
    panel->resize(1000, 600);
    logon.Connection = db->connection();
    logon.ParentPanel = panel.get();
    logon.RootName = u"Org"_s;
    logon.AdminAuths = allRights();
    logon.ClientPort = 2230;
    logon.ServerPort = 2228;
}

void MainWindowTest::TearDown() {
    CloseBplForm();
    panel.reset();
    script.expectDone();
    LogonInfo = m_previousLogon;
    db.reset();
}

TFrmUsersManage& MainWindowTest::open() {
    OpenFormWithLogonInfo(&logon);
    panel->show();
    // The window fills itself just after its first show.
    for (int i = 0; i < 50 && window().departs()->rowCount() == 0; ++i)
        QCoreApplication::processEvents();
    waitForList();
    return window();
}

void MainWindowTest::waitForList() {
    while (FrmUsersManage && FrmUsersManage->isLoadingUsers())
        QCoreApplication::processEvents();
}

QTreeView& MainWindowTest::tree() const {
    return *window().ui()->TV_Department;
}

QModelIndexList MainWindowTest::treeNodes() const {
    const QAbstractItemModel& model = *tree().model();
    QModelIndexList nodes;
    const std::function<void(const QModelIndex&)> visit = [&](const QModelIndex& parent) {
        for (int row = 0; row < model.rowCount(parent); ++row) {
            const QModelIndex child = model.index(row, 0, parent);
            EXPECT_EQ(child.parent(), parent);
            nodes.append(child);
            visit(child);
        }
    };
    visit(QModelIndex());
    return nodes;
}

QModelIndex MainWindowTest::node(qint32 departId) const {
    for (const QModelIndex& node : treeNodes()) {
        if (window().departs()->departId(node) == departId)
            return node;
    }
    return {};
}

qint32 MainWindowTest::treeParentOf(qint32 departId) const {
    const QModelIndex parent = node(departId).parent();
    return parent.isValid() ? window().departs()->departId(parent) : -1;
}

qint32 MainWindowTest::selectedDepart() const {
    return window().selectedDepart().value_or(-1);
}

void MainWindowTest::selectDepart(qint32 departId) {
    const QModelIndex target = node(departId);
    ASSERT_TRUE(target.isValid()) << "no department " << departId;
    tree().setCurrentIndex(target);
}

QPoint MainWindowTest::pointOf(qint32 departId) {
    const QModelIndex target = node(departId);
    if (!target.isValid())
        return {-1, -1};
    for (QModelIndex up = target.parent(); up.isValid(); up = up.parent())
        tree().expand(up);
    tree().scrollTo(target);
    return tree().visualRect(target).center();
}

QList<qint32> MainWindowTest::uidsInListOrder() const {
    QList<qint32> uids;
    for (int row = 0; row < window().userList()->rowCount(); ++row)
        uids.append(window().userList()->row(row).Item.Id);
    return uids;
}

void MainWindowTest::expectInOrder() const {
    const QList<qint32> kept = uidsInListOrder();
    const QHeaderView& header = *window().ui()->LV_Man->horizontalHeader();
    window().userList()->sort(header.sortIndicatorSection(), header.sortIndicatorOrder());
    EXPECT_EQ(uidsInListOrder(), kept);
}

QList<qint32> MainWindowTest::listedUids() const {
    QList<qint32> uids;
    const UserListModel& users = *window().userList();
    for (int row = 0; row < users.rowCount(); ++row)
        uids.append(users.row(row).Item.Id);
    std::sort(uids.begin(), uids.end());
    return uids;
}

void MainWindowTest::selectUsers(const QList<qint32>& uids) {
    QItemSelectionModel* selection = window().ui()->LV_Man->selectionModel();
    selection->clearSelection();
    for (const qint32 uid : uids) {
        const int row = window().userList()->findById(uid);
        ASSERT_GE(row, 0) << "user " << uid << " is not listed";
        selection->select(window().userList()->index(row, 0),
                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
}

QString MainWindowTest::cell(qint32 uid, int column) const {
    const UserListModel& users = *window().userList();
    const int row = users.findById(uid);
    if (row < 0)
        return u"<not listed>"_s;
    return users.data(users.index(row, column), Qt::DisplayRole).toString();
}

QStringList MainWindowTest::statusTexts() const {
    const auto* ui = window().ui();
    return {ui->LblOnle->text(), ui->LblOffLine->text(), ui->LblTotal->text(), ui->LblLde->text(),
            ui->LblChose->text()};
}

void MainWindowTest::expectCounters(int total, int online, int decrypting) const {
    EXPECT_EQ(window().TotalCount(), total);
    EXPECT_EQ(window().OnlineCount(), online);
    EXPECT_EQ(window().DecryptCount(), decrypting);
    EXPECT_EQ(statusTexts().mid(0, 4),
              expectedStatus(online, total - online, total, decrypting, 0).mid(0, 4));
}

void MainWindowTest::expectFailure(const QString& prefix, int index) const {
    ASSERT_EQ(script.messages().size(), index + 1);
    const QString& message = script.messages().at(index);
    EXPECT_TRUE(message.startsWith(prefix)) << message.toStdString();
    EXPECT_GT(message.size(), prefix.size()) << "no database reason";
}

void MainWindowTest::addUsers(qint32 departId, int count, bool online) {
    QStringList rows;
    for (int i = 0; i < count; ++i)
        rows.append(u"("_s + QString::number(departId) + u", 'extra"_s + QString::number(i) +
                    u"', 1, 0, "_s + (online ? u"-1"_s : u"0"_s) + u')');
    db->exec(u"insert into Users (Pid, UserName, RoleId, Auths, Onlined) values "_s +
             rows.join(u','));
}
