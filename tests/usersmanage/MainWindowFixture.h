#pragma once

#include "DepartTreeModel.h"
#include "LogonInfo.h"
#include "ModalScript.h"
#include "PgUsersManage.h"
#include "TestDatabase.h"
#include "uUsersManage.h"

#include <QList>
#include <QModelIndex>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

class QTreeView;

// The organisation every test starts from. Ids and names are chosen so that id order and name
// order differ.
//   Org (root)                                frank (no department: Pid 0)
//   ├─ Zeta (3, controlled, role Staff)       alice (online, decrypts), bob (Manager)
//   │  ├─ Omega (4)                           carol (online, decrypts)
//   │  └─ Beta (7, controlled, in use, named in the settings row: cannot be deleted)
//   └─ Alpha (5, role Manager)                erin (online, decrypts, role 77 missing)
//   Lost (9, parent 42 missing) > LostChild (10): never shown
//   dave: department 99 does not exist
namespace Org {
constexpr qint32 Zeta = 3, Omega = 4, Alpha = 5, Beta = 7, Lost = 9, LostChild = 10;
constexpr qint32 Alice = 1, Bob = 2, Carol = 3, Dave = 4, Erin = 5, Frank = 6;
constexpr qint32 Staff = 1, Manager = 2;
constexpr int UserCount = 6, DepartCount = 6; // departments: in the table, not in the tree
} // namespace Org

// A fresh database of that organisation on one backend, a logon context on it, and a host
// panel to embed the window in. The window is opened through the module's entry point.
class MainWindowTest : public ::testing::TestWithParam<DbBackend> {
protected:
    void SetUp() override;
    void TearDown() override;

    // OpenFormWithLogonInfo, then the host shows its panel (which shows the window).
    TFrmUsersManage& open();
    void waitForList(); // lets the list's load run to its end
    TFrmUsersManage& window() const {
        return FrmUsersManage ? *FrmUsersManage : throw std::logic_error("the window is not open");
    }
    QTreeView& tree() const;
    // Every node of the tree in display order, walked through the model, each checked to name
    // its parent.
    QModelIndexList treeNodes() const;
    QModelIndex node(qint32 departId) const; // invalid when the department is not shown
    int nodeCount() const { return int(treeNodes().size()); }
    qint32 treeParentOf(qint32 departId) const; // -1 when not in the tree
    qint32 selectedDepart() const;              // -1 without a selection
    void selectDepart(qint32 departId);
    QPoint pointOf(qint32 departId);  // where the department's node is drawn, its path opened
    QList<qint32> listedUids() const; // sorted
    void selectUsers(const QList<qint32>& uids);
    QString cell(qint32 uid, int column) const;
    QStringList statusTexts() const; // the five labels, left to right
    // The counters and the status line after a change (nothing chosen).
    void expectCounters(int total, int online, int decrypting) const;
    // Exactly one message, the prefix followed by the database's reason.
    void expectFailure(const QString& prefix, int index = 0) const;
    QList<qint32> uidsInListOrder() const;
    // The list as kept row by row is the list sorted afresh as its header says.
    void expectInOrder() const;

    qint64 number(const QString& sql) const { return db->scalar(sql).toLongLong(); }
    qint64 count(const QString& from) const { return number(u"select count(*) from " + from); }
    qint64 userField(qint32 uid, const QString& field) const { // Pid, RoleId
        return number(u"select " + field + u" from Users where Uid = " + QString::number(uid));
    }
    void addUsers(qint32 departId, int count, bool online);
    void setSettingsCtrl(qint32 ctrl) {
        db->exec(u"update other set Ctrl = " + QString::number(ctrl) + u" where id = 1");
    }

    std::unique_ptr<TestDatabase> db;
    TLogonInfo logon;
    std::unique_ptr<QWidget> panel;
    ModalScript script;

private:
    TLogonInfo* m_previousLogon = nullptr;
};

qint32 allRights();
QStringList expectedStatus(int online, int offline, int total, int decrypt, int chosen);
