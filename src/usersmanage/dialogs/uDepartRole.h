#pragma once

#include "ModuleExport.h"

#include "DbQuery.h"
#include "DialogSupport.h"

#include <memory>

namespace Ui {
class TFrmDepartRole;
}

// The default role of one department (UserSort.DRole), optionally given at once to the users
// placed directly in it. Set DepartId, show modally.
class KVZ_MODULE_EXPORT TFrmDepartRole final : public ModuleDialog {
    Q_OBJECT
public:
    explicit TFrmDepartRole(QWidget* parent = nullptr);
    ~TFrmDepartRole() override;

    qint32 DepartId = 0;
    bool DepartGone = false; // another console deleted the department; nothing was saved

    void FormShow() override;
    void BtnOKClick();

    Ui::TFrmDepartRole* ui() const { return m_ui.get(); }

private:
    void LoadRoles();
    void SelectCurrentRole();
    bool SaveRole();

    std::unique_ptr<Ui::TFrmDepartRole> m_ui;
    DbQuery m_query;
    NameIdList m_roleList;
};
