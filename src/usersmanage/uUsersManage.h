#pragma once

#include "ChildFrm.h"
#include "DbQuery.h"
#include "Item.h"

#include <QIcon>
#include <QList>
#include <QPoint>
#include <memory>

namespace Ui {
class TFrmUsersManage;
}
class QAction;
class QTreeWidgetItem;
class UserListModel;
class TMultilanguage;

// The module's main window: department tree on the left, the selected department's users on
// the right, counters below, commands above.
class TFrmUsersManage : public TChildForm {
    Q_OBJECT
public:
    TFrmUsersManage(QObject* owner, QWidget* parent);
    ~TFrmUsersManage() override;

    // Window and tree.
    void FormShow();
    void SetCompsAuths();
    void SetEnables(bool value);
    void BuildDepartTree(); // throws DbError when UserSort cannot be read
    // Reloads the list for the selected department. False when the load failed (already
    // reported) or was overtaken; the caller then stops, as after a failure.
    bool TreeDepartFresh();
    void Expand(qint32 id);
    void TV_DepartmentChange();
    void TV_DepartmentContextPopup(const QPoint& pos);

    // User list. ShowUsers reports a failure itself ("ShowUsers failed: ") and returns false;
    // it also returns false when a newer load took over while it was running.
    bool ShowUsers(const QString& filter);
    void RefreshStatus();
    void S_AllClick(QAction* clicked);
    void LV_ManClick();
    void LV_ManContextPopup(const QPoint& pos);
    void LV_ManSelectItem();
    void BtSearchClick();

    // Department editing.
    void MiDAddClick();
    void MiDModifyClick();
    void MiDDeleteClick();
    bool TV_DepartmentDragOver(const QPoint& pos); // true: the drop would be accepted
    void TV_DepartmentDragDrop(const QPoint& pos);
    void MiDRoleClick();
    void MiDUserClick();

    // User editing.
    void MiUAddClick();
    void MiUModifyClick();
    void MiUDeleteClick();
    void MiUAuthClick();
    void MiOfflineClick();
    void N6Click();
    void LV_ManDblClick();
    void PMUserPopup();

    // Read access for callers and tests.
    Ui::TFrmUsersManage* ui() const { return m_ui.get(); }
    UserListModel* userList() const { return m_users; }
    const TItem* itemOf(QTreeWidgetItem* node) const; // nullptr for a null node
    QTreeWidgetItem* selectedNode() const;            // the tree's selected node, or nullptr
    QList<int> selectedRows() const;                  // selected list rows, in list order
    qint32 TotalCount = 0;
    qint32 OnlineCount = 0;
    qint32 DecryptCount = 0;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void SetLanguages();
    void SetupViews();
    void ConnectHandlers();
    void ConnectDepartmentHandlers();
    void ConnectUserHandlers();
    void ShowPopup(class QMenu* menu, QWidget* view, const QPoint& pos);
    bool TreeDragEvent(QEvent* event);
    enum class DragKind { Users, Department, Foreign };
    DragKind DragKindOf(const class QMimeData* mime) const;
    bool LoadUsers(const QString& where);
    void ReportShowUsersFailure(const QString& message);
    void RewriteUserRow(int row, DbQuery& user, const QString& decryptMark);

    std::unique_ptr<Ui::TFrmUsersManage> m_ui;
    UserListModel* m_users = nullptr;
    QList<QIcon> ImageUserPly;
    TMultilanguage* Multilanguage1 = nullptr;
    DbQuery ADOQuery1;
    DbQuery ADOQuery2;
    bool Shown = false;
    bool m_showPending = false;  // FormShow is queued
    bool m_userMenuPops = false; // PMUser opens on right-click (AA_UserEuser)
    qint32 ClientPort = 0;
    quint64 m_loadGeneration = 0; // a newer ShowUsers abandons an older one still running
};

// The main window while it is open, or nullptr.
extern TFrmUsersManage* FrmUsersManage;
