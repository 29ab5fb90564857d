// Department commands of the main window: add, rename, delete, and moving departments or
// users by dragging them onto the tree. While a question is open the host may close the
// window: each command checks it is still there, and finds its nodes again by id.
#include "uUsersManage.h"

#include "DbQuery.h"
#include "DbTransaction.h"
#include "DepartTreeModel.h"
#include "DialogSupport.h"
#include "FlagSets.h"
#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "ModalHook.h"
#include "Multilanguage.h"
#include "TreeHelpers.h"
#include "UserListModel.h"
#include "uDepartRole.h"
#include "uUserChose.h"
#include "ui_uUsersManage.h"

#include <QPointer>
#include <exception>
#include <optional>

using namespace Qt::StringLiterals;

namespace {
// The characters a department name may not hold, as the refusal lists them.
const QString ForbiddenNameChars = u"\\ / : * ? \" < > |"_s;

// Asks for a department name; nullopt when cancelled or refused (the refusal is shown).
std::optional<QString> inputDepartName(const QString& title, QString value) {
    if (!MyInputQuery(title, GetString(u"DepartNameInput"_s), value))
        return std::nullopt;
    if (value.trimmed().isEmpty()) {
        warn(GetString(u"Depart"_s) + GetString(u"NameNullError"_s));
        return std::nullopt;
    }
    if (!StrCheckValid(value)) {
        warn(GetString(u"InvalidExt"_s) + u" "_s + ForbiddenNameChars);
        return std::nullopt;
    }
    if (const QString invalid = InvalidCharOf(value); !invalid.isEmpty()) {
        warn(GetString(u"InvalidExt"_s) + u" "_s + invalid);
        return std::nullopt;
    }
    return value;
}

// A department name as names are compared: blanks around it ignored, in one Unicode normal
// form (a letter with its accent typed as one character or as two reads the same), letter case
// folded.
QString nameKey(const QString& name) {
    return name.trimmed().normalized(QString::NormalizationForm_C).toCaseFolded();
}

// True when another department (any but exceptId) has the name as nameKey compares names, so
// that the tree never shows two alike. The stored names may be in any normal form, so the
// database cannot narrow them down: every name is read.
bool departNameTaken(DbConnection* connection, const QString& name,
                     std::optional<qint32> exceptId) {
    const QString key = nameKey(name);
    DbQuery query(connection);
    query.setSql(u"select id, name from usersort"_s);
    for (query.open(); !query.eof(); query.next()) {
        if (exceptId && query.asInteger(u"id"_s) == *exceptId)
            continue;
        if (nameKey(query.asString(u"name"_s)) == key)
            return true;
    }
    return false;
}

// A change refused because the database no longer matches the tree on screen: another console
// deleted or moved a department meanwhile.
struct ChangedElsewhere {};
// A name refused as a duplicate; thrown so that the transaction ends before the message shows.
struct NameTaken {};

// Moves the users uids into department departId; their role becomes the department's default
// role unless the settings ask first and the administrator says no.
void moveUsers(DbConnection* connection, const QList<qint32>& uids, qint32 departId) {
    DbQuery query(connection);
    query.setSql(u"select * from other"_s);
    query.open();
    const bool ask = !query.isEmpty() && BT(query.asInteger(u"Ctrl"_s), Sc_USERDC);
    query.setSql(u"select * from UserSort where id = "_s + QString::number(departId));
    query.open();
    const qint32 role = query.isEmpty() ? 0 : query.asInteger(u"DRole"_s);
    const bool changeRole =
        !ask || MyMessageBox(0, GetString(u"RoleChangeOfDepartToUser"_s), GetString(u"idinf"_s),
                             MB_QUESTION_YESNO) == ID_YES;
    DbTransaction whole(*connection); // every user moves, or none
    if (!departExists(connection, departId))
        throw ChangedElsewhere();
    query.setSql(u"select * from  users"_s);
    query.open();
    for (const qint32 uid : uids) {
        if (!query.locate(u"uid"_s, uid))
            continue;
        query.edit();
        if (changeRole)
            query.setValue(u"RoleId"_s, role);
        query.setValue(u"pid"_s, departId);
        query.post();
    }
    whole.commit();
}

QList<qint32> uidsOf(const UserListModel& users, const QList<int>& rows) {
    QList<qint32> uids;
    uids.reserve(rows.size());
    for (const int row : rows)
        uids.append(users.row(row).Item.Id);
    return uids;
}

// Moves the department under parentId in one statement that checks the database as it is: the
// parent exists, and is neither the department nor one of its descendants (its ancestors are
// walked up, a bounded number of steps even if the table already holds a loop).
void moveDepart(DbConnection* connection, qint32 departId, qint32 parentId) {
    DbCommand update(
        connection,
        u"update UserSort set pid=:p where id=:u and (:p = 0 or exists (select 1 from UserSort "
        u"where id = :p)) and not exists (with recursive up(id, pid, n) as (select id, pid, 0 "
        u"from UserSort where id = :p union all select s.id, s.pid, up.n + 1 from UserSort s "
        u"join up on s.id = up.pid where up.n < 100000) select 1 from up where up.id = :u)"_s);
    update.setParam(u"p"_s, parentId);
    update.setParam(u"u"_s, departId);
    if (update.execute() == 0)
        throw ChangedElsewhere();
}
} // namespace

void TFrmUsersManage::MiDAddClick() {
    const std::optional<qint32> parent = selectedDepart();
    if (!parent)
        return;
    const qint32 parentId = *parent;
    const QPointer<TFrmUsersManage> self(this);
    const std::optional<QString> name = inputDepartName(GetString(u"newdepart"_s), {});
    if (!name || !self)
        return;
    try {
        // The name is checked and the department written under one lock; the parent must
        // still exist as it is written.
        DbTransaction whole(*ADOQuery1.connection());
        if (departNameTaken(ADOQuery1.connection(), *name, std::nullopt))
            throw NameTaken();
        DbCommand insert(ADOQuery1.connection(),
                         u"Insert Into usersort (pid,name) select cast(:p as integer), :n where "
                         u":p = 0 or exists (select 1 from UserSort where id = :p)"_s);
        insert.setParam(u"p"_s, parentId);
        insert.setParam(u"n"_s, *name);
        if (insert.execute() == 0)
            throw ChangedElsewhere();
        whole.commit();
    } catch (const NameTaken&) {
        warn(GetString(u"DepartExist"_s));
        return;
    } catch (const ChangedElsewhere&) {
        ReportChangedElsewhere();
        return;
    } catch (const std::exception& e) {
        warn(u"Depart New Error:"_s + errorText(e));
        return;
    }
    // The department exists now; a failing rebuild is a failure of the rebuild alone.
    try {
        BuildDepartTree();
    } catch (const std::exception& e) {
        warn(u"BuildDepartTree failed: "_s + errorText(e));
    }
}

void TFrmUsersManage::MiDModifyClick() {
    const std::optional<qint32> depart = selectedDepart();
    if (!depart || *depart == 0)
        return;
    const qint32 id = *depart;
    const QPointer<TFrmUsersManage> self(this);
    const std::optional<QString> name =
        inputDepartName(GetString(u"DepartModify"_s), selectedNode().data().toString());
    if (!name || !self)
        return;
    try {
        DbTransaction whole(*ADOQuery1.connection());
        if (departNameTaken(ADOQuery1.connection(), *name, id))
            throw NameTaken();
        DbCommand update(ADOQuery1.connection(), u"update usersort set name = :n where id = :i"_s);
        update.setParam(u"n"_s, *name);
        update.setParam(u"i"_s, id);
        if (update.execute() == 0)
            throw ChangedElsewhere(); // deleted meanwhile
        whole.commit();
    } catch (const NameTaken&) {
        warn(GetString(u"DepartExist"_s));
        return;
    } catch (const ChangedElsewhere&) {
        if (self)
            ReportChangedElsewhere();
        return;
    } catch (const std::exception& e) {
        warn(u"Depart Modify Error:"_s + errorText(e));
        return;
    }
    if (const QModelIndex renamed = m_departs->indexOf(id); renamed.isValid())
        m_departs->setCaption(renamed, *name);
}

void TFrmUsersManage::MiDDeleteClick() {
    const std::optional<qint32> depart = selectedDepart();
    if (!depart || *depart == 0)
        return;
    const qint32 departId = *depart;
    const QString id = QString::number(departId);
    const QPointer<TFrmUsersManage> self(this);
    try {
        DbQuery query(ADOQuery1.connection());
        query.setSql(u"select * from other where depart="_s + id);
        query.open();
        if (!query.isEmpty()) {
            warn(GetString(u"DepartDeleteError"_s));
            return;
        }
        if (MyMessageBox(0,
                         GetString(u"DeleteConfirm"_s) + u" "_s + selectedNode().data().toString(),
                         GetString(u"idinf"_s), MB_QUESTION_YESNO) != ID_YES ||
            !self)
            return;
        // The re-parenting and the delete happen together or not at all.
        DbTransaction whole(*ADOQuery1.connection());
        DbCommand command(ADOQuery1.connection(), u"select pid from UserSort where id="_s + id);
        const QString parentId = QString::number(command.scalar().toInt());
        command.setSql(u"update UserSort set pid=:p where pid=:i"_s);
        command.setParam(u"p"_s, parentId.toInt());
        command.setParam(u"i"_s, id.toInt());
        command.execute();
        command.setSql(u"Update users set pid="_s + parentId + u" where pid="_s + id);
        command.execute();
        command.setSql(u"delete * from usersort where id ="_s + id);
        command.execute();
        whole.commit();
        const QModelIndex node = m_departs->indexOf(departId);
        if (!node.isValid() || m_departs->rowCount(node) > 0)
            BuildDepartTree();
        else
            m_departs->removeLeaf(node); // the tree selects another node and the list follows it
    } catch (const std::exception& e) {
        warn(u"Depart Delete Error:"_s + errorText(e));
    }
}

bool TFrmUsersManage::TV_DepartmentDragOver(const QPoint& pos) {
    QTreeView* tree = m_ui->TV_Department;
    const QModelIndex target = tree->indexAt(pos);
    if (!target.isValid())
        return false;
    if (!tree->isExpanded(target))
        tree->expand(target); // hovering opens a department
    if (!m_canWrite)
        return false;
    const QList<int> rows = selectedRows();
    if (!rows.isEmpty()) {
        // Users move, for an administrator who may edit users; not onto the root, nor where
        // the first of them already is.
        const UserRow& first = m_users->row(rows.first());
        return m_userMenuPops && first.Item.Id != 0 && m_departs->departId(target) != 0 &&
               first.SubItems.value(0) != target.data().toString();
    }
    // A department moves; not onto itself, its parent or one of its descendants.
    const QModelIndex source = selectedNode();
    return source.isValid() && target != source && target != source.parent() &&
           !IsParented(source, target);
}

void TFrmUsersManage::TV_DepartmentDragDrop(const QPoint& pos) {
    const QModelIndex target = m_ui->TV_Department->indexAt(pos);
    if (!target.isValid() || !m_canWrite)
        return;
    const qint32 departId = m_departs->departId(target);
    const QPointer<TFrmUsersManage> self(this);
    try {
        const QList<int> rows = selectedRows();
        if (!rows.isEmpty()) {
            if (!m_userMenuPops)
                return; // moving users is editing them
            moveUsers(ADOQuery1.connection(), uidsOf(*m_users, rows), departId);
            if (!self)
                return;                               // closed while the role question was open
            SelectNode(m_departs->indexOf(departId)); // one reload below, not two
        } else {
            const std::optional<qint32> source = selectedDepart();
            if (!source)
                return;
            moveDepart(ADOQuery1.connection(), *source, departId);
            BuildDepartTree();
            if (!self)
                return; // closed while a failed reload was reported
            Expand(departId);
        }
        TreeDepartFresh();
    } catch (const ChangedElsewhere&) {
        if (self)
            ReportChangedElsewhere();
    } catch (const std::exception& e) {
        warn(u"TV_ManDragDrop:"_s + errorText(e));
    }
}

void TFrmUsersManage::MiDRoleClick() {
    const std::optional<qint32> depart = selectedDepart();
    if (!depart || *depart == 0) // the root is no department
        return;
    TFrmDepartRole dialog;
    dialog.DepartId = *depart;
    execModal(dialog);
    if (dialog.DepartGone)
        ReportChangedElsewhere();
    else
        TreeDepartFresh();
}

void TFrmUsersManage::MiDUserClick() {
    const std::optional<qint32> depart = selectedDepart();
    if (!depart || *depart == 0) // the root is no department
        return;
    TFrm_UserChose dialog;
    dialog.DepartId = *depart;
    if (execModal(dialog) == QDialog::Accepted)
        TreeDepartFresh();
    else if (dialog.DepartGone)
        ReportChangedElsewhere();
}

// The refusal, then the tree as the database has it now.
void TFrmUsersManage::ReportChangedElsewhere() {
    const QPointer<TFrmUsersManage> self(this);
    warn(GetString(u"DepartChanged"_s));
    if (!self)
        return;
    try {
        BuildDepartTree();
    } catch (const std::exception& e) {
        warn(u"BuildDepartTree failed: "_s + errorText(e));
    }
}
