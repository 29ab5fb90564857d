#pragma once

#include "ModuleExport.h"

#include "DbQuery.h"
#include "DialogSupport.h"
#include "IdMap.h"

#include <QHash>
#include <QStringList>
#include <memory>

namespace Ui {
class TFrm_ScanClient;
}
class QButtonGroup;
class SlicedRead;
class UserChoices;
class UserChoiceModel;

// Orders file scans on the computers of chosen users: one TaskScan row per user (a user's
// earlier order is overwritten), a readable description in Users.ScanTime and one operation-log
// row per user. The caller puts the Uids of the users selected in its list into SelectedUids.
// The lists fill in slices after the dialog shows; OK waits for the rest of them.
class KVZ_MODULE_EXPORT TFrm_ScanClient final : public ModuleDialog {
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
    void ColumnClick(UserChoiceModel& list, int column);
    void BtnOKClick();

    Ui::TFrm_ScanClient* ui() const { return m_ui.get(); }
    UserChoiceModel* sel() const { return m_sel; }
    UserChoiceModel* all() const { return m_all; }
    SlicedRead* reading() const { return m_read; }
    int scanIndex() const;  // RGScan: 0 encrypt all, 1 decrypt other, 2 decrypt all
    int beginIndex() const; // RGBegin: 0 at once, 1 planned

private:
    UserChoiceModel* SetupList(class QTableView* view);
    void LoadDepartNames();
    void LoadUsers();
    void OrderScan(int row, const QString& description);
    QString BeginText() const;
    QString Description() const;
    QString LogPlanText() const;

    std::unique_ptr<Ui::TFrm_ScanClient> m_ui;
    DbQuery m_query;
    std::shared_ptr<UserChoices> m_choices;
    IdMap m_departOf;       // by id, the numbers of the named departments
    quint32 m_rootName = 0; // for users outside them
    IdMap m_selected;       // the Uids chosen before, each to 0
    bool m_readingDeparts = false;
    UserChoiceModel* m_sel = nullptr;
    UserChoiceModel* m_all = nullptr;
    SlicedRead* m_read = nullptr;
    QButtonGroup* m_scan = nullptr;
    QButtonGroup* m_begin = nullptr;
};
