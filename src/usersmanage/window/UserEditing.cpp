// User commands of the main window: add, change and delete users through the user
// properties dialog, keeping the list and its counters in step without a full reload. While a
// dialog or question is open the list may load on, and the host may close the window: what
// the commands act on afterwards is found again by Uid.
#include "uUsersManage.h"

#include "DbQuery.h"
#include "DialogSupport.h"
#include "FlagSets.h"
#include "MessageDialogs.h"
#include "ModalHook.h"
#include "Multilanguage.h"
#include "U_ScanClient.h"
#include "U_UserOut.h"
#include "UserListExport.h"
#include "UserListModel.h"
#include "uUserAuth.h"
#include "uUserInfo.h"
#include "uUsersSearchDlg.h"
#include "ui_uUsersManage.h"

#include <QDir>
#include <QFileDialog>
#include <QPointer>
#include <QSaveFile>
#include <exception>

using namespace Qt::StringLiterals;

namespace {
// One user with its department and role names; completed by a where or order clause.
const QString UserWithNames =
    u"SELECT US.Name as DName,* FROM (Users AS U left JOIN UserRole AS UR ON U.RoleID=UR.Rid) "
    u"left join UserSort US on U.Pid = US.id "_s;

// Makes row the only selected row of the list and brings it into view.
void selectOnly(QAbstractItemView* list, int row) {
    const QModelIndex index = list->model()->index(row, 0);
    list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
    list->scrollTo(index);
}

// The sub-items of a user re-read with its department and role names, in column order.
QStringList subItemsOf(const DbQuery& user, const QString& decryptMark, const QString& scanTime) {
    return {user.asString(u"DName"_s),
            user.asString(u"Ip"_s),
            user.asString(u"ComputerName"_s),
            user.asString(u"RName"_s),
            decryptMark,
            user.asString(u"CliVer"_s),
            scanTime};
}

// The list row of a user who has just been created: offline, no scan task yet.
UserRow newUserRow(const DbQuery& user) {
    UserRow row;
    row.ImageIndex = UserRow::OfflineImage;
    row.Caption = user.asString(u"UserName"_s);
    row.SubItems = subItemsOf(user, UserRow::decryptMark(false), QString());
    row.Item.Id = user.asInteger(u"uid"_s);
    row.Item.HardNo = user.asString(u"HardNo"_s);
    row.Item.IsDepart = false;
    return row;
}

// Shows in the scan column of the listed users what a scan order wrote for them.
void showScanTimes(UserListModel& users, const QHash<qint32, QString>& scanTimes) {
    for (auto scanTime = scanTimes.cbegin(); scanTime != scanTimes.cend(); ++scanTime) {
        const int index = users.findById(scanTime.key());
        if (index < 0)
            continue;
        UserRow row = users.row(index);
        row.SubItems[UserListModel::SubItemCount - 1] = scanTime.value();
        users.setRow(index, row);
    }
}
} // namespace

void TFrmUsersManage::MiUAddClick() {
    const std::optional<qint32> depart = selectedDepart();
    if (!depart) {
        warn(GetString(u"DepartChose"_s));
        return;
    }
    const qint32 departId = *depart;
    try {
        TFrmUserInfo dialog;
        dialog.Uid = 0;
        dialog.DepartId = departId;
        const QPointer<TFrmUsersManage> self(this);
        if (execModal(dialog) != QDialog::Accepted || !self)
            return;
    } catch (const std::exception& e) {
        warn(u"User New Error:"_s + errorText(e));
        return;
    }
    // The user exists now: a failure from here on only keeps him from the list, so the list is
    // loaded again rather than have the administrator add him twice.
    try {
        if (selectedDepart() != departId) {
            TreeDepartFresh(); // another department was chosen meanwhile
            return;
        }
        ADOQuery1.setSql(UserWithNames + u"order by Uid desc "_s);
        ADOQuery1.open();
        if (ADOQuery1.isEmpty())
            return;
        selectOnly(m_ui->LV_Man, m_users->appendRow(newUserRow(ADOQuery1)));
        RefreshStatus();
    } catch (const std::exception& e) {
        const QPointer<TFrmUsersManage> self(this);
        warn(u"User New Error:"_s + errorText(e) + u"\n"_s + GetString(u"UserCreatedReload"_s));
        if (self)
            TreeDepartFresh();
    }
}

void TFrmUsersManage::MiUModifyClick() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const qint32 uid = m_users->row(rows.first()).Item.Id;
    try {
        TFrmUserInfo dialog;
        dialog.Uid = uid;
        const QPointer<TFrmUsersManage> self(this);
        const int result = execModal(dialog);
        if (self && dialog.UserGone) {
            warn(GetString(u"UserChanged"_s));
            if (self)
                TreeDepartFresh();
            return;
        }
        if (result != QDialog::Accepted || !self)
            return;
        ADOQuery1.setSql(UserWithNames + u"where Uid = "_s + QString::number(uid));
        ADOQuery1.open();
        const QModelIndex node = selectedNode();
        const int row = m_users->findById(uid);
        // The user may now belong elsewhere (or the root lists everyone), or the list was
        // reloaded without him meanwhile: reload.
        if (ADOQuery1.isEmpty() || !node.isValid() || row < 0 ||
            node.data().toString() != ADOQuery1.asString(u"DName"_s).trimmed()) {
            TreeDepartFresh();
            return;
        }
        const bool decrypt = BT(ADOQuery1.asInteger(u"Auths"_s), UA_DECRYP);
        RewriteUserRow(row, ADOQuery1, UserRow::decryptMark(decrypt));
    } catch (const std::exception& e) {
        warn(u"User Modify Error:"_s + errorText(e));
    }
}

void TFrmUsersManage::RewriteUserRow(int row, DbQuery& user, const QString& decryptMark) {
    UserRow updated = m_users->row(row);
    updated.Caption = user.asString(u"UserName"_s);
    updated.SubItems = subItemsOf(user, decryptMark, user.asString(u"ScanTime"_s));
    m_users->setRow(row, std::move(updated));
}

void TFrmUsersManage::MiUDeleteClick() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const QString question = GetString(u"DelNoConfirm1"_s) + QString::number(rows.size()) +
                             GetString(u"DelNoConfirm2"_s) + GetString(u"User"_s);
    QList<qint32> uids;
    QStringList ids;
    for (const int row : rows) {
        uids.append(m_users->row(row).Item.Id);
        ids.append(QString::number(uids.last()));
    }
    const QPointer<TFrmUsersManage> self(this);
    if (MyMessageBox(0, question, GetString(u"idinf"_s), MB_QUESTION_YESNO) != ID_YES || !self)
        return;
    try {
        DbCommand remove(ADOQuery1.connection(),
                         u"delete * from users where Uid in ("_s + ids.join(u',') + u")"_s);
        remove.execute();
    } catch (const std::exception& e) {
        // Nothing was removed: rows and counters stay as they were.
        warn(u"User Delete Error:"_s + errorText(e));
        return;
    }
    QList<int> listed;
    for (const qint32 uid : uids) {
        if (const int row = m_users->findById(uid); row >= 0)
            listed.append(row);
    }
    m_users->removeRowsAt(listed);
    SetEnables(false);
    RefreshStatus();
}

// After OK the row follows only a change of the decrypt right (mark and counter).
void TFrmUsersManage::MiUAuthClick() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    const qint32 uid = m_users->row(rows.first()).Item.Id;
    TFrmUserAuth dialog;
    dialog.Uid = uid;
    const QPointer<TFrmUsersManage> self(this);
    if (execModal(dialog) != QDialog::Accepted || !self)
        return;
    try {
        ADOQuery1.setSql(UserWithNames + u"where Uid = "_s + QString::number(uid));
        ADOQuery1.open();
        const int row = m_users->findById(uid); // the list may have reloaded meanwhile
        if (ADOQuery1.isEmpty() || row < 0)
            return;
        const bool decrypts = BT(ADOQuery1.asInteger(u"Auths"_s), UA_DECRYP);
        if (decrypts == m_users->row(row).decrypts())
            return;
        RewriteUserRow(row, ADOQuery1, UserRow::decryptMark(decrypts));
        RefreshStatus();
    } catch (const std::exception& e) {
        warn(errorText(e));
    }
}

void TFrmUsersManage::MiOfflineClick() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    TFrm_UserOut dialog;
    dialog.Uid = m_users->row(rows.first()).Item.Id;
    execModal(dialog);
}

// The scan column of the listed users follows what the dialog wrote, even when a later user
// of the order failed.
void TFrmUsersManage::N6Click() {
    const QList<int> rows = selectedRows();
    if (rows.isEmpty())
        return;
    TFrm_ScanClient dialog;
    for (const int row : rows)
        dialog.SelectedUids.append(QString::number(m_users->row(row).Item.Id));
    const QPointer<TFrmUsersManage> self(this);
    execModal(dialog);
    if (self)
        showScanTimes(*m_users, dialog.ScanTimes);
}

void TFrmUsersManage::BtSearchClick() {
    TFrmUsersSearchDlg dialog;
    const QPointer<TFrmUsersManage> self(this);
    if (execModal(dialog) != QDialog::Accepted || !self)
        return;
    m_filterCaption = plainCaption(m_ui->BtSearch->text());
    ShowUsers(dialog.Condition);
}

void TFrmUsersManage::LV_ManDblClick() {
    if (!m_ui->MBtAuth->isHidden() && m_canWrite)
        MiUAuthClick();
}

void TFrmUsersManage::MiExportClick() {
    QFileDialog dialog(this, GetString(u"ExportList"_s), QDir::home().filePath(u"users.csv"_s),
                       u"CSV (*.csv)"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(u"csv"_s);
    const QPointer<TFrmUsersManage> self(this);
    if (execModal(dialog) != QDialog::Accepted || !self || dialog.selectedFiles().isEmpty())
        return;
    const BusyCursor busy;
    QSaveFile file(dialog.selectedFiles().constFirst());
    if (!file.open(QIODevice::WriteOnly) || !writeUserListCsv(*m_users, file) || !file.commit())
        warn(u"Export failed: "_s + file.errorString());
}

void TFrmUsersManage::PMUserPopup() {
    const qsizetype selected = selectedRows().size();
    m_ui->MiUAdd->setEnabled(m_canWrite);
    m_ui->MiUModify->setEnabled(m_canWrite && selected == 1);
    m_ui->MiUDelete->setEnabled(m_canWrite && selected >= 1);
}
