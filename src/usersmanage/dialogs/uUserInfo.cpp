#include "uUserInfo.h"

#include "FlagSets.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "Multilanguage.h"
#include "ui_uUserInfo.h"

#include <QAbstractItemView>
#include <QComboBox>

using namespace Qt::StringLiterals;

TFrmUserInfo::TFrmUserInfo(QWidget* parent)
    : ModuleDialog(parent), m_ui(std::make_unique<Ui::TFrmUserInfo>()),
      m_query(LogonInfo->Connection) {
    m_ui->setupUi(this);
    // Long names do not widen the dialog: the boxes keep their width and the lists elide.
    for (QComboBox* box : {m_ui->CBDepart, m_ui->CBRole})
        box->view()->setTextElideMode(Qt::ElideRight);
    connect(m_ui->BtOk, &QPushButton::clicked, this, &TFrmUserInfo::BtOkClick);
    connect(m_ui->BtCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TFrmUserInfo::~TFrmUserInfo() = default;

void TFrmUserInfo::FormShow() {
    m_ui->CBDepart->clear();
    m_ui->CBRole->clear();
    m_departList.clear();
    m_roleList.clear();
    m_ui->EdUserName->clear();
    m_ui->EdPW->clear();
    m_ui->EdUKey->clear();
    try {
        loadChoices(m_query, u"select * from UserSort"_s, u"Name"_s, u"id"_s, *m_ui->CBDepart,
                    m_departList);
        m_ui->CBDepart->setCurrentIndex(0);
        loadChoices(m_query, u"select * from UserRole"_s, u"RName"_s, u"Rid"_s, *m_ui->CBRole,
                    m_roleList);
        m_ui->CBRole->setCurrentIndex(-1);
        if (Uid != 0) {
            setWindowTitle(GetString(u"Modify"_s) + GetString(u"User"_s));
            LoadUser();
        } else {
            setWindowTitle(GetString(u"New"_s) + GetString(u"User"_s));
            PresetDepart();
        }
    } catch (const std::exception& e) {
        warn(u"FormShow failed: "_s + errorText(e));
    }
}

// Selects the department and the role by id (none when not listed): names may repeat.
void TFrmUserInfo::SelectDepartAndRole(qint32 departId, qint32 roleId) {
    m_ui->CBDepart->setCurrentIndex(m_departList.indexOfValue(departId));
    m_ui->CBRole->setCurrentIndex(m_roleList.indexOfValue(roleId));
}

void TFrmUserInfo::LoadUser() {
    m_query.setSql(u" select * from (Users U left join  UserRole UR on U.RoleID = UR.Rid)  left "
                   u"join UserSort US on U.pid = US.id where uid = "_s +
                   QString::number(Uid));
    m_query.open();
    if (m_query.isEmpty())
        return;
    m_ui->EdUserName->setText(m_query.asString(u"UserName"_s).trimmed());
    SelectDepartAndRole(m_query.asInteger(u"Pid"_s), m_query.asInteger(u"RoleId"_s));
    m_ui->EdPW->setText(m_query.asString(u"password"_s).trimmed());
    m_ui->EdUKey->setText(m_query.asString(u"uKeyNo"_s).trimmed());
}

void TFrmUserInfo::PresetDepart() {
    m_query.setSql(u" select * from UserSort US left join  UserRole UR on UR.Rid = US.DRole  "
                   u"where id = "_s +
                   QString::number(DepartId));
    m_query.open();
    if (m_query.isEmpty())
        return;
    SelectDepartAndRole(DepartId, m_query.asInteger(u"DRole"_s));
}

void TFrmUserInfo::BtOkClick() {
    if (!CheckInput())
        return;
    try {
        UpdateOfUsers();
    } catch (const std::exception& e) {
        warn(u"UpdateOfUsers failed: "_s + errorText(e));
        return;
    }
    if (UserGone)
        reject();
    else
        accept();
}

bool TFrmUserInfo::CheckInput() {
    if (m_ui->EdUserName->text().trimmed().isEmpty()) {
        warn(GetString(u"User"_s) + GetString(u"NameNullError"_s));
        return false;
    }
    for (const QLineEdit* box : {m_ui->EdUserName, m_ui->EdPW, m_ui->EdUKey}) {
        if (const QString invalid = InvalidCharOf(box->text().trimmed()); !invalid.isEmpty()) {
            warn(GetString(u"InvalidExt"_s) + u" "_s + invalid);
            return false;
        }
    }
    if (m_ui->CBRole->currentText().trimmed().isEmpty()) {
        warn(GetString(u"RoleNull"_s));
        return false;
    }
    return true;
}

void TFrmUserInfo::UpdateOfUsers() {
    const qint32 departId = m_departList.valueAt(m_ui->CBDepart->currentIndex());
    const qint32 roleId = m_roleList.valueAt(m_ui->CBRole->currentIndex());
    m_query.setSql(u"select * from Users where Uid = "_s + QString::number(Uid));
    m_query.open();
    if (m_query.isEmpty() && Uid != 0) {
        UserGone = true;
        return;
    }
    if (m_query.isEmpty())
        m_query.append();
    else
        m_query.edit();
    m_query.setValue(u"Pid"_s, departId);
    m_query.setValue(u"UserName"_s, m_ui->EdUserName->text().trimmed());
    m_query.setValue(u"Password"_s, m_ui->EdPW->text().trimmed());
    m_query.setValue(u"RoleId"_s, roleId);
    m_query.setValue(u"uKeyNo"_s, m_ui->EdUKey->text().trimmed());
    m_query.post();
}
