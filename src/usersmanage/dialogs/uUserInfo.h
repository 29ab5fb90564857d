#pragma once

#include "ModuleExport.h"

#include "DbQuery.h"
#include "DialogSupport.h"

#include <QString>
#include <memory>

namespace Ui {
class TFrmUserInfo;
}

// Properties of one client user: name, department, role, password and USB key number.
// Uid 0 creates a user in DepartId; any other Uid edits that user. On OK the Users row has
// been written; on Cancel nothing has. A user another console deleted meanwhile is not
// written again as a new one: the dialog closes with Cancel and UserGone set.
class KVZ_MODULE_EXPORT TFrmUserInfo final : public ModuleDialog {
    Q_OBJECT
public:
    explicit TFrmUserInfo(QWidget* parent = nullptr);
    ~TFrmUserInfo() override;

    qint32 Uid = 0;
    qint32 DepartId = 0;
    bool UserGone = false;

    void FormShow() override;
    void BtOkClick();

    Ui::TFrmUserInfo* ui() const { return m_ui.get(); }

private:
    void SelectDepartAndRole(qint32 departId, qint32 roleId);
    void LoadUser();
    void PresetDepart();
    bool CheckInput();
    void UpdateOfUsers();

    std::unique_ptr<Ui::TFrmUserInfo> m_ui;
    DbQuery m_query;
    NameIdList m_departList;
    NameIdList m_roleList;
};
