#pragma once

#include "LogonInfo.h"
#include "ModalScript.h"
#include "TestDatabase.h"

#include <QList>
#include <QPoint>
#include <QString>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

class QTreeWidgetItem;
class TFrmUsersManage;

// Ids of the small site every editing test starts from.
//   Company (root)
//   ├─ Sales (1, default role Staff)     alice (online, decrypts), bob (online), carol
//   │  ├─ North (2)                      dave
//   │  └─ South (3)
//   ├─ Support (4, default role Manager) erin
//   └─ Finance (5, named in the settings row, so it cannot be deleted)
namespace Site {
constexpr qint32 Sales = 1, North = 2, South = 3, Support = 4, Finance = 5;
constexpr qint32 Alice = 1, Bob = 2, Carol = 3, Dave = 4, Erin = 5;
constexpr qint32 Staff = 1, Manager = 2;
} // namespace Site

// A fresh database of the small site on one backend and a logon context pointing at it.
class SiteDatabaseTest : public ::testing::TestWithParam<DbBackend> {
protected:
    void SetUp() override;
    void TearDown() override;

    qint64 count(const QString& sql);
    qint64 number(const QString& sql);
    QString text(const QString& sql);
    void setSettingsCtrl(qint32 ctrl);

    std::unique_ptr<TestDatabase> db;
    TLogonInfo logon;
    TLogonInfo* previousLogon = nullptr;
};

// The main window on the small site, embedded in a shown host panel.
class WindowTest : public SiteDatabaseTest {
protected:
    void SetUp() override;
    void TearDown() override;

    TFrmUsersManage& window() const { return *m_window; }
    QTreeWidgetItem* node(qint32 departId);
    void selectDepart(qint32 departId);
    int rowOf(qint32 uid) const; // -1 when not listed
    QList<qint32> listedUids() const;
    void selectUsers(const QList<qint32>& uids);
    QPoint pointOf(qint32 departId); // where the department's node is drawn in the tree

    ModalScript script;

private:
    std::unique_ptr<QWidget> m_panel;
    TFrmUsersManage* m_window = nullptr; // owned by the panel
};
