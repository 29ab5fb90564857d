#pragma once

#include "DbQuery.h"
#include "DialogSupport.h"

#include <QHash>
#include <QStringList>
#include <memory>

namespace Ui {
class TFrm_ScanClient;
}
class QButtonGroup;
struct ListItem;
class ItemListModel;

// Orders file scans on the computers of chosen users: one TaskScan row per user (a user's
// earlier order is overwritten), a readable description in Users.ScanTime and one operation-log
// row per user. The caller puts the Uids of the users selected in its list into SelectedUids.
class TFrm_ScanClient final : public ModuleDialog {
    Q_OBJECT
public:
    explicit TFrm_ScanClient(QWidget* parent = nullptr);
    ~TFrm_ScanClient() override;

    QStringList SelectedUids;
    // What OK wrote into Users.ScanTime, by Uid; kept when a later user of the order failed.
    QHash<qint32, QString> ScanTimes;
    int SortColumn = 0; // the column both lists were last sorted by

    void FormShow() override;
    void BtLClick();
    void BtRClick();
    void BtLAClick();
    void BtRAClick();
    void ColumnClick(ItemListModel& list, int column);
    void BtnOKClick();

    Ui::TFrm_ScanClient* ui() const { return m_ui.get(); }
    ItemListModel* sel() const { return m_sel; }
    ItemListModel* all() const { return m_all; }
    int scanIndex() const;  // RGScan: 0 encrypt all, 1 decrypt other, 2 decrypt all
    int beginIndex() const; // RGBegin: 0 at once, 1 planned

private:
    ItemListModel* SetupList(class QTreeView* view);
    void LoadUsers();
    QHash<qint32, QString> DepartNames();
    void OrderScan(const ListItem& item, const QString& description);
    QString BeginText() const;
    QString Description() const;
    QString LogPlanText() const;

    std::unique_ptr<Ui::TFrm_ScanClient> m_ui;
    DbQuery m_query;
    ItemListModel* m_sel = nullptr;
    ItemListModel* m_all = nullptr;
    QButtonGroup* m_scan = nullptr;
    QButtonGroup* m_begin = nullptr;
};
