#pragma once

#include "LogonInfo.h"
#include "ModalScript.h"
#include "TestDatabase.h"

#include <QList>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

class QTreeWidgetItem;
class TFrmUsersManage;

// The organisation every main-window test starts from. Ids and names are chosen so that id
// order and name order differ.
//   Org (root)                                frank (no department: Pid 0)
//   ├─ Zeta (3, controlled)                   alice (online, decrypts), bob
//   │  ├─ Omega (4)                           carol (online, decrypts)
//   │  └─ Beta (7, controlled and in use)
//   └─ Alpha (5)                              erin (online, decrypts, role 77 missing)
//   Lost (9, parent 42 missing) > LostChild (10): never shown
//   dave: department 99 does not exist
namespace Org {
constexpr qint32 Zeta = 3, Omega = 4, Alpha = 5, Beta = 7, Lost = 9, LostChild = 10;
constexpr qint32 Alice = 1, Bob = 2, Carol = 3, Dave = 4, Erin = 5, Frank = 6;
constexpr int UserCount = 6;
} // namespace Org

// A fresh database of that organisation on one backend, a logon context on it, and a host
// panel to embed the window in. The window is opened through the module's entry point.
class MainWindowTest : public ::testing::TestWithParam<DbBackend> {
protected:
    void SetUp() override;
    void TearDown() override;

    // OpenFormWithLogonInfo, then the host shows its panel (which shows the window).
    TFrmUsersManage& open();
    TFrmUsersManage& window() const;
    QTreeWidgetItem* node(qint32 departId) const;
    qint32 selectedDepart() const; // -1 without a selection
    void selectDepart(qint32 departId);
    QList<qint32> listedUids() const; // sorted
    QString cell(qint32 uid, int column) const;
    QStringList statusTexts() const; // the five labels, left to right
    void addUsers(qint32 departId, int count, bool online);

    std::unique_ptr<TestDatabase> db;
    TLogonInfo logon;
    std::unique_ptr<QWidget> panel;
    ModalScript script;

private:
    TLogonInfo* m_previousLogon = nullptr;
};

qint32 allRights();
