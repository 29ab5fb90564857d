#pragma once

#include "ModuleExport.h"

#include "DbQuery.h"
#include "DialogSupport.h"
#include "IdMap.h"

#include <memory>

namespace Ui {
class TFrm_UserChose;
}
class DbCursor;
class SlicedRead;
class UserChoices;
class UserChoiceModel;

// Gathers users into one department: LVDone lists its users, LVUnDo every other user placed in
// an existing department. OK moves every user of LVDone into DepartId; users moved back to
// LVUnDo keep their department, so the dialog only ever adds users. The lists fill in slices
// after the dialog shows.
class KVZ_MODULE_EXPORT TFrm_UserChose final : public ModuleDialog {
    Q_OBJECT
public:
    explicit TFrm_UserChose(QWidget* parent = nullptr);
    ~TFrm_UserChose() override;

    qint32 DepartId = 0;
    bool DepartGone = false; // another console deleted the department; nothing was saved

    void FormShow() override;
    void BtLClick();
    void BtRClick();
    void BtLAllClick();
    void BtRAllClick();
    void BtUAOKClick();

    Ui::TFrm_UserChose* ui() const { return m_ui.get(); }
    UserChoiceModel* done() const { return m_done; }
    UserChoiceModel* unDo() const { return m_unDo; }
    SlicedRead* reading() const { return m_read; }

private:
    void LoadUsers();
    quint32 departOf(qint64 depart, const DbCursor& c, int pName);
    bool MoveUsers();

    std::unique_ptr<Ui::TFrm_UserChose> m_ui;
    DbQuery m_query;
    std::shared_ptr<UserChoices> m_choices;
    IdMap m_departOf; // by Pid, the numbers of the department names read
    UserChoiceModel* m_done = nullptr;
    UserChoiceModel* m_unDo = nullptr;
    SlicedRead* m_read = nullptr;
};
