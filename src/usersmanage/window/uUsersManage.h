#pragma once

#include "ModuleExport.h"

#include "ChildFrm.h"
#include "DbQuery.h"

#include <QHash>
#include <QIcon>
#include <QList>
#include <QModelIndex>
#include <QPoint>
#include <QPointer>
#include <QSet>
#include <functional>
#include <memory>
#include <optional>

namespace Ui {
class TFrmUsersManage;
}
class AgentRequest;
struct BulkTarget;
class BulkTargetReader;
class DepartTreeModel;
class TFrmBulkResults;
class InputBlocker;
class LiveRefresh;
class PresenceListener;
class QAction;
class UserListLoader;
class UserListModel;
class TMultilanguage;

// The module's main window: department tree on the left, the selected department's users on
// the right, counters below, commands above.
class KVZ_MODULE_EXPORT TFrmUsersManage : public TChildForm {
    Q_OBJECT
public:
    TFrmUsersManage(QObject* owner, QWidget* parent);
    ~TFrmUsersManage() override;

    // Window and tree.
    void FormShow();
    void SetCompsAuths();
    void SetEnables(bool value);
    void BuildDepartTree(); // throws DbError when UserSort cannot be read
    // Reloads the list for the selected department. False when the load could not start
    // (already reported); the caller then stops.
    bool TreeDepartFresh();
    void Expand(qint32 id);
    void TV_DepartmentChange();
    void TV_DepartmentContextPopup(const QPoint& pos);

    // User list. ShowUsers clears the list, lists the first screenful and leaves the rest to
    // slices run from the event loop; a newer load replaces a running one. A load that cannot
    // start is reported ("ShowUsers failed: ") and gives false.
    bool ShowUsers(const QString& filter);
    bool isLoadingUsers() const;
    // F5: the tree and the list read again, keeping the selected department, the open
    // departments, the list's filter or search, the selected users and the scroll positions
    // (the list's once the load has read that far). The live refresh does the same when other
    // programs changed the database, without a message when the database cannot be read.
    void RereadViews(bool reportFailure = true);
    // The administrator is in the middle of something a refresh would disturb: a dialog, a
    // menu, a drag, a command waiting for agents.
    bool isEditing() const;
    void RefreshStatus();
    void S_AllClick(QAction* clicked);
    void LV_ManClick();
    void LV_ManContextPopup(const QPoint& pos);
    void LV_ManSelectItem();
    void BtSearchClick();
    void ClearFilter(); // the whole department listed again

    // Department editing.
    void MiDAddClick();
    void MiDModifyClick();
    void MiDDeleteClick();
    bool TV_DepartmentDragOver(const QPoint& pos); // true: the drop would be accepted
    void TV_DepartmentDragDrop(const QPoint& pos);
    void ReportChangedElsewhere(); // a change refused because another console changed the tree
    void MiDRoleClick();
    void MiDUserClick();

    // User editing.
    void MiUAddClick();
    void MiUModifyClick();
    void MiUDeleteClick();
    void MiUAuthClick();
    void MiOfflineClick();
    void MiExportClick(); // the list as shown, saved as CSV
    void N6Click();
    void LV_ManDblClick();
    void PMUserPopup();

    // Client presence and remote commands. The refresh and the commands wait for the agents
    // without taking input (isWaitingForAgents); the window stays painted meanwhile.
    void UDPSevUDPRead(const QByteArray& datagram);
    void UpdateOnline(qint32 userId, bool online);
    void BtnRefreshClick();
    bool isWaitingForAgents() const;
    TFrmBulkResults* lastBulkResults() const; // the latest command to many agents, while open
    int RefreshSettleMs = 3000;               // the agents' time to announce themselves
    std::function<QString()> IPWatch;         // the computer's local address
    // The steps of BtnRefreshClick that reach the agents: the targets and their datagrams.
    // Gives the number of targets not sent to: not a plain dotted quad, or refused by the
    // network.
    QStringList RefreshTargets();
    int SendRefreshDatagrams(const QStringList& targets);

    // Read access for callers and tests.
    Ui::TFrmUsersManage* ui() const { return m_ui.get(); }
    UserListModel* userList() const { return m_users; }
    DepartTreeModel* departs() const { return m_departs; }
    QModelIndex selectedNode() const;             // the tree's selected node, or invalid
    std::optional<qint32> selectedDepart() const; // its department (0: the root)
    QList<int> selectedRows() const;              // selected list rows, in list order
    UserListLoader* userLoader() const { return m_loader.get(); }
    // The counters of the rows read into the list (while a load runs, some wait to be shown).
    qint32 TotalCount() const;
    qint32 OnlineCount() const;
    qint32 DecryptCount() const;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void SetLanguages();
    void SetupViews();
    void FitColumnWidths();
    void ShowDepartCaption(); // the selected department above the list
    void ConnectHandlers();
    void ConnectDepartmentHandlers();
    void ConnectUserHandlers();
    void ShowPopup(class QMenu* menu, QWidget* view, const QPoint& pos);
    bool TreeDragEvent(QEvent* event);
    enum class DragKind { Users, Department, Foreign };
    DragKind DragKindOf(const class QMimeData* mime) const;
    bool LoadUsers(const QString& where);
    void SelectNode(const QModelIndex& node); // without reloading the list
    void OpenPresenceListener();
    void ScheduleStatusRefresh();
    void ApplyPendingPresence();
    void ReportUserIdZero();
    void ShowAgentNotice();
    void ConnectCommandHandlers();
    void SendClientCommand(const QString& word, const QString& successKey,
                           const QString& failureKey, bool confirm);
    void ConnectBulkCommands();
    void RetranslateBulkCommands();
    QList<BulkTarget> SelectedTargets() const;
    std::unique_ptr<BulkTargetReader> DepartmentTargets();
    void SendBulkCommand(const QString& word, const QByteArray& caption, bool department);
    void ReportShowUsersFailure(const QString& message);
    void RewriteUserRow(int row, DbQuery& user, const QString& decryptMark);

    std::unique_ptr<Ui::TFrmUsersManage> m_ui;
    UserListModel* m_users = nullptr;
    DepartTreeModel* m_departs = nullptr;
    bool m_treeQuiet = false; // the tree's selection moves without reloading the list
    QList<QIcon> ImageUserPly;
    TMultilanguage* Multilanguage1 = nullptr;
    DbQuery ADOQuery1;
    DbQuery ADOQuery2;
    bool Shown = false;
    bool m_showPending = false;  // FormShow is queued
    bool m_userMenuPops = false; // PMUser opens on right-click (AA_UserEuser)
    bool m_canWrite = true;      // the database takes changes (not opened read-only)
    qint32 ClientPort = 0;
    std::unique_ptr<UserListLoader> m_loader;
    QString m_listWhere;                // the condition of the list's latest load
    QList<qint32> m_departsStoredTwice; // department ids of several rows, shown once
    QString m_filterCaption; // the view filter or search narrowing the list, empty when none
    struct ListPlace {
        QList<qint32> selectedUids;
        int topRow = 0; // the row at the top of the list
    };
    std::optional<ListPlace> m_placeToRestore; // after RereadViews, until the load gets there
    void RestoreListPlace();
    QSet<qint32> ExpandedDeparts() const; // the departments whose nodes are open
    std::unique_ptr<PresenceListener> UDPSev;
    QHash<qint32, bool> m_pendingPresence; // datagrams for users a running load has not read
    bool m_statusRefreshDue = false;
    bool m_userIdBoxOpen = false;
    int m_droppedUserIdBoxes = 0;
    quint16 m_presenceDownPort = 0;          // the presence port another program holds
    int m_refreshMissed = 0;                 // targets the last refresh could not send to
    std::unique_ptr<AgentRequest> m_command; // the command waiting for its agent
    class QMenu* m_bulkSelected = nullptr;   // commands to every selected user
    class QMenu* m_bulkDepartment = nullptr; // to every user of the department
    QPointer<TFrmBulkResults> m_bulkResults;
    std::unique_ptr<InputBlocker> m_waiting; // a command or the refresh waits for agents
    std::unique_ptr<LiveRefresh> m_live;
};

// The main window while it is open, or nullptr.
extern TFrmUsersManage* FrmUsersManage;
