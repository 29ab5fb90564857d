#include "uDepartRole.h"

#include "DbTransaction.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "ui_uDepartRole.h"

using namespace Qt::StringLiterals;

TFrmDepartRole::TFrmDepartRole(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrmDepartRole>()) {
    m_ui->setupUi(this);
    connect(m_ui->BtnOK, &QPushButton::clicked, this, &TFrmDepartRole::BtnOKClick);
    connect(m_ui->BtCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmDepartRole::~TFrmDepartRole() = default;

void TFrmDepartRole::FormShow() {
    m_query.setConnection(LogonInfo->Connection);
    m_ui->CkBURUpNow->setChecked(false);
    try {
        LoadRoles();
        SelectCurrentRole();
    } catch (const std::exception& e) {
        warn(u"FormShow:"_s + errorText(e));
    }
}

void TFrmDepartRole::LoadRoles() {
    m_ui->CBRole->clear();
    m_roleList.clear();
    loadChoices(m_query, u"select Rid,RName from UserRole order by RName"_s, u"RName"_s, u"Rid"_s,
                *m_ui->CBRole, m_roleList);
    m_ui->CBRole->setCurrentIndex(-1);
}

// The department's current default role, when it has one that is listed.
void TFrmDepartRole::SelectCurrentRole() {
    m_query.setSql(u" select * from UserSort US left join  UserRole UR on UR.Rid = US.DRole  "
                   u"where id = "_s +
                   QString::number(DepartId));
    m_query.open();
    if (!m_query.isEmpty())
        m_ui->CBRole->setCurrentIndex(m_roleList.indexOfValue(m_query.asInteger(u"DRole"_s)));
}

void TFrmDepartRole::BtnOKClick() {
    if (m_ui->CBRole->currentIndex() < 0) {
        warn(GetString(u"RoleChose"_s));
        m_ui->CBRole->setFocus();
        return;
    }
    try {
        DepartGone = !SaveRole();
    } catch (const std::exception& e) {
        warn(errorText(e));
        return;
    }
    if (DepartGone)
        reject();
    else
        accept();
}

// Only the users placed directly in the department take the role, not those of its
// sub-departments. Both updates happen or neither; false when the department is gone.
bool TFrmDepartRole::SaveRole() {
    const QString roleId = QString::number(m_roleList.valueAt(m_ui->CBRole->currentIndex()));
    const QString departId = QString::number(DepartId);
    DbTransaction whole(*m_query.connection());
    DbCommand command(m_query.connection(),
                      u"update UserSort set DRole = "_s + roleId + u" where id = "_s + departId);
    if (command.execute() == 0)
        return false;
    if (m_ui->CkBURUpNow->isChecked()) {
        command.setSql(u"update Users set RoleId = "_s + roleId + u" where Pid = "_s + departId);
        command.execute();
    }
    whole.commit();
    return true;
}
