#include "MainWindowFixture.h"

#include "DbConnection.h"
#include "DialogSupport.h"
#include "FlagSets.h"
#include "Multilanguage.h"
#include "PgUsersManage.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

QList<qint32> childIds(const TFrmUsersManage& form, const QModelIndex& parent) {
    QList<qint32> ids;
    for (int i = 0; i < form.departs()->rowCount(parent); ++i)
        ids.append(form.departs()->departId(form.departs()->index(i, 0, parent)));
    return ids;
}

QImage imageOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}

QImage imageOf(const QModelIndex& node) {
    return imageOf(node.data(Qt::DecorationRole).value<QIcon>());
}

} // namespace

using DepartTreeTest = MainWindowTest;

TEST_P(DepartTreeTest, ChildrenFollowAscendingIdUnderTheirParent) {
    open();
    const QModelIndex root = window().departs()->index(0, 0);
    ASSERT_TRUE(root.isValid());
    EXPECT_EQ(root.data().toString(), u"Org"_s);
    EXPECT_EQ(window().departs()->departId(root), 0);
    EXPECT_TRUE(tree().isExpanded(root));
    EXPECT_EQ(childIds(window(), root), (QList<qint32>{Org::Zeta, Org::Alpha}));
    EXPECT_EQ(childIds(window(), node(Org::Zeta)), (QList<qint32>{Org::Omega, Org::Beta}));
    EXPECT_EQ(nodeCount(), 5) << "departments without a reachable parent are absent";
}

TEST_P(DepartTreeTest, IconsFollowTheControlFlags) {
    open();
    const QImage plain = imageOf(node(Org::Alpha));
    const QImage controlled = imageOf(node(Org::Zeta));
    const QImage inUse = imageOf(node(Org::Beta));
    EXPECT_EQ(imageOf(node(Org::Omega)), plain) << "used without ctrl is plain";
    EXPECT_NE(plain, controlled);
    EXPECT_NE(controlled, inUse);
    EXPECT_NE(imageOf(node(0)), plain);
    // The list shares the images: online users show image 2, offline ones image 3.
    const UserListModel& users = *window().userList();
    const auto rowImage = [&](qint32 uid) {
        return imageOf(
            users.data(users.index(users.findById(uid), 0), Qt::DecorationRole).value<QIcon>());
    };
    EXPECT_EQ(rowImage(Org::Alice), controlled);
    EXPECT_EQ(rowImage(Org::Bob), inUse);
}

// A deleted last department falls back to the root; a row with id 0, or an id stored twice (a
// table without its key), even as its own child, cannot loop the tree: each id is placed once,
// nearest the root, and the status line names the ids stored twice. An empty table gives the
// root alone, listing everyone.
TEST_P(DepartTreeTest, DamagedTablesStillGiveTheRoot) {
    db->exec(u"create table UserSortCopy as select * from UserSort"_s);
    db->exec(u"drop table UserSort"_s);
    db->exec(u"alter table UserSortCopy rename to UserSort"_s);
    db->exec(u"insert into UserSort (id, pid, name) values (0, 0, 'Zero'), (3, 3, 'Loop'), "
             u"(5, 4, 'Again'), (5, 3, 'Twice')"_s);
    db->exec(u"delete from UserSort where id = 7"_s);
    logon.CurDepartId = Org::Beta;
    open();
    EXPECT_EQ(nodeCount(), 4);
    EXPECT_EQ(treeParentOf(Org::Alpha), 0);
    EXPECT_EQ(window().ui()->LblNote->text(), GetString(u"DepartIdTwice"_s) + u"3, 5"_s);
    EXPECT_EQ(selectedDepart(), 0);
    EXPECT_EQ(logon.CurDepartId, 0);
    EXPECT_EQ(window().ui()->LbDepart->text(), GetString(u"Depart"_s) + u" >> Org"_s);

    CloseBplForm();
    db->exec(u"delete from UserSort"_s);
    logon.CurDepartId = Org::Zeta;
    open();
    EXPECT_EQ(nodeCount(), 1);
    EXPECT_EQ(selectedDepart(), 0);
    EXPECT_EQ(listedUids().size(), Org::UserCount);
    EXPECT_TRUE(window().ui()->LblNote->text().isEmpty());
}

TEST_P(DepartTreeTest, RebuildKeepsSelectionWithoutDuplicates) {
    open();
    selectDepart(Org::Omega);
    db->exec(u"insert into UserSort (id, pid, name) values (30, 4, '  New  ')"_s);
    window().BuildDepartTree();
    EXPECT_EQ(nodeCount(), 6);
    EXPECT_EQ(node(30).data().toString(), u"New"_s) << "captions are trimmed";
    EXPECT_EQ(selectedDepart(), Org::Omega);
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Carol});
}

// Changes another console makes between rereads: the open and the selected departments are
// kept by id wherever their rows now sit (Omega stays open under a collapsed Alpha).
TEST_P(DepartTreeTest, RereadKeepsOpenAndSelectedDepartmentsWhereverTheyMoved) {
    db->exec(u"insert into UserSort (id, pid, name) values (20, 4, 'East')"_s);
    open();
    tree().expand(node(Org::Omega));
    selectDepart(Org::Beta);
    const struct {
        QString change;
        qint32 omegaParent, omegaRow, betaParent;
    } cases[] = {
        {u"update UserSort set pid = 5 where id = 4"_s, Org::Alpha, 0, Org::Zeta},
        {u"insert into UserSort (id, pid, name) values (2, 5, 'Aleph')"_s, Org::Alpha, 1,
         Org::Zeta},
        {u"update UserSort set pid = 0 where id = 7"_s, Org::Alpha, 1, 0},
    };
    for (const auto& c : cases) {
        db->exec(c.change);
        window().RereadViews();
        EXPECT_EQ(treeParentOf(Org::Omega), c.omegaParent) << c.change.toStdString();
        EXPECT_EQ(node(Org::Omega).row(), c.omegaRow);
        EXPECT_TRUE(tree().isExpanded(node(Org::Omega)));
        EXPECT_FALSE(tree().isExpanded(node(Org::Alpha)));
        EXPECT_EQ(treeParentOf(Org::Beta), c.betaParent);
        EXPECT_EQ(selectedDepart(), Org::Beta);
    }
}

// A large tree, department i under i / 2: a walk down from the root meets each probed
// department at its row, with its caption; every node names its parent (nodeCount).
TEST_P(DepartTreeTest, LargeTreeShowsEveryDepartmentUnderItsParentAtAnyDepth) {
    constexpr qint32 Count = 100000;
    db->exec(u"delete from UserSort"_s);
    db->exec(u"insert into UserSort (id, pid, name) with recursive n(i) as (select 1 union all "
             u"select i + 1 from n where i < %1) select i, i / 2, 'D' || i from n"_s.arg(Count));
    open();
    EXPECT_EQ(nodeCount(), Count + 1);
    const DepartTreeModel& model = *window().departs();
    for (const qint32 id : {1, 2, 3, 4097, 65535, Count}) {
        QList<qint32> path;
        for (qint32 up = id; up > 0; up /= 2)
            path.prepend(up);
        QModelIndex at = model.index(0, 0);
        for (const qint32 step : path)
            at = model.index(step > 1 ? step % 2 : 0, 0, at);
        EXPECT_EQ(model.departId(at), id);
        EXPECT_EQ(at.data().toString(), u"D"_s + QString::number(id));
        EXPECT_EQ(model.rowCount(at), id > Count / 2 ? 0 : 2);
    }
    window().Expand(Count);
    EXPECT_EQ(selectedDepart(), Count);
    EXPECT_TRUE(tree().isExpanded(node(1)));
}

TEST_P(DepartTreeTest, RightClickSelectsTheNodeAndSetsTheMenu) {
    open();
    const auto* ui = window().ui();
    // The items a node governs: all enabled, all disabled, or mixed (-1).
    const auto governed = [&](const QPoint& at) {
        window().TV_DepartmentContextPopup(at);
        int on = 0;
        for (QAction* item : {ui->MiDModify, ui->MiDDelete, ui->MiDRole, ui->MiDUser})
            on += item->isEnabled();
        return on == 4 ? 1 : on == 0 ? 0 : -1;
    };
    EXPECT_EQ(governed(tree().visualRect(node(Org::Alpha)).center()), 1);
    EXPECT_EQ(selectedDepart(), Org::Alpha);
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Erin});
    EXPECT_EQ(governed(QPoint(5, tree().viewport()->height() - 3)), 0) << "empty space";
    EXPECT_EQ(selectedDepart(), Org::Alpha);
    EXPECT_TRUE(ui->MiDAdd->isEnabled());
    EXPECT_EQ(governed(tree().visualRect(node(0)).center()), 0) << "the root";
    EXPECT_EQ(selectedDepart(), 0);
}

// A database opened read-only: every command that would write is disabled, nothing can be
// dragged, and a refusal that still comes from the database reads in the user's language.
TEST_P(DepartTreeTest, ReadOnlyDatabaseDisablesEveryChange) {
    DbSettings settings = db->settings();
    settings.readOnly = true;
    const std::unique_ptr<DbConnection> readOnly = DbConnection::open(settings);
    logon.Connection = readOnly.get();
    open();
    const auto* ui = window().ui();
    window().TV_DepartmentContextPopup(pointOf(Org::Alpha));
    selectUsers({Org::Erin});
    window().PMUserPopup();
    for (const QAction* item :
         {ui->MiDAdd, ui->MiDModify, ui->MiDDelete, ui->MiDRole, ui->MiDUser, ui->MiUAdd,
          ui->MiUModify, ui->MiUDelete, ui->MiUAuth, ui->MiOffline, ui->N6})
        EXPECT_FALSE(item->isEnabled()) << item->objectName().toStdString();
    EXPECT_TRUE(ui->MiExport->isEnabled());
    EXPECT_FALSE(ui->LV_Man->dragEnabled());
    EXPECT_FALSE(ui->TV_Department->dragEnabled());
    EXPECT_FALSE(window().TV_DepartmentDragOver(pointOf(Org::Zeta)));
    EXPECT_EQ(errorText(DbError(ReadOnlyRefused)), GetString(u"DbReadOnly"_s));
    CloseBplForm(); // before its connection closes
}

// A view filter or a search shows in the path line with a button that lists the whole
// department again; changing the department ends it.
TEST_P(DepartTreeTest, ActiveFilterIsShownAndClearedInOneClick) {
    open();
    selectDepart(Org::Zeta);
    const auto* ui = window().ui();
    EXPECT_FALSE(ui->BtClearFilter->isVisibleTo(&window()));
    window().S_AllClick(ui->S_Online);
    waitForList();
    window().RereadViews(); // F5 keeps the filter and says so
    waitForList();
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Alice});
    EXPECT_TRUE(ui->LbDepart->text().endsWith(u"("_s + GetString(u"FilterActive"_s) +
                                              plainCaption(ui->S_Online->text()) + u')'))
        << ui->LbDepart->text().toStdString();
    EXPECT_TRUE(ui->BtClearFilter->isVisibleTo(&window()));
    ui->BtClearFilter->click();
    waitForList();
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Bob}));
    EXPECT_EQ(ui->LbDepart->text(), GetString(u"Depart"_s) + u" >> Zeta"_s);
    EXPECT_FALSE(ui->BtClearFilter->isVisibleTo(&window()));
}

// Sends a drag event of the given type over the tree at the department's node; true when the
// tree takes it. A drop always copies, so the dragging view never removes what it dragged.
class TreeDropTest : public MainWindowTest {
protected:
    template <class Event> bool send(qint32 departId, const QMimeData& mime) {
        Event event(pointOf(departId), Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton,
                    Qt::NoModifier);
        QCoreApplication::sendEvent(window().ui()->TV_Department->viewport(), &event);
        QCoreApplication::processEvents(); // a move runs once the drag has ended
        if (event.isAccepted()) {
            EXPECT_EQ(event.dropAction(), Qt::CopyAction);
        }
        return event.isAccepted();
    }
};

// Dragged users move to the department under the drop, never to the root; without the right to
// edit users, their menu does not pop up and they cannot be moved.
TEST_P(TreeDropTest, DraggedUsersMoveOnlyWithTheUserEditingRight) {
    for (const bool withRight : {false, true}) {
        logon.AdminAuths = withRight ? allRights() : allRights() & ~(1 << AA_UserEuser);
        open();
        selectDepart(Org::Zeta);
        selectUsers({Org::Bob});
        QMimeData mime;
        mime.setData(UserListModel::mimeType(), "2");
        send<QDragEnterEvent>(0, mime);
        EXPECT_FALSE(send<QDragMoveEvent>(0, mime)) << "users cannot go to the root";
        EXPECT_EQ(send<QDragMoveEvent>(Org::Alpha, mime), withRight);
        send<QDropEvent>(Org::Alpha, mime); // moves only with the right, as checked next
        EXPECT_EQ(userField(Org::Bob, u"Pid"_s), withRight ? Org::Alpha : Org::Zeta);
        EXPECT_EQ(listedUids(), (withRight ? QList<qint32>{Org::Bob, Org::Erin}
                                           : QList<qint32>{Org::Alice, Org::Bob}));
        QTableView* list = window().ui()->LV_Man;
        emit list->customContextMenuRequested(
            list->visualRect(window().userList()->index(0, 0)).center());
        EXPECT_EQ(window().ui()->PMUser->isVisible(), withRight);
        window().ui()->PMUser->hide();
        CloseBplForm();
    }
}

// Something dragged in from another program (files, text) is never taken by the tree.
TEST_P(TreeDropTest, ForeignDragsAreRefused) {
    open();
    selectDepart(Org::Zeta);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(u"/tmp/report.doc"_s)});
    EXPECT_FALSE(send<QDragEnterEvent>(Org::Alpha, mime));
    EXPECT_FALSE(send<QDropEvent>(Org::Alpha, mime));
    EXPECT_EQ(number(u"select pid from UserSort where id = 3"_s), 0);
}

// Dragging a department while users are still selected in the list moves the department.
TEST_P(TreeDropTest, DepartmentDragClearsTheUserSelection) {
    open();
    selectDepart(Org::Zeta);
    window().ui()->LV_Man->selectAll();
    ASSERT_FALSE(window().selectedRows().isEmpty());
    QMimeData mime;
    mime.setData(window().ui()->TV_Department->model()->mimeTypes().first(), QByteArray());
    EXPECT_TRUE(send<QDragEnterEvent>(0, mime));
    EXPECT_TRUE(window().selectedRows().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Backends, DepartTreeTest, ::testing::ValuesIn(testBackends()),
                         backendName);
INSTANTIATE_TEST_SUITE_P(Backends, TreeDropTest, ::testing::ValuesIn(testBackends()), backendName);

// Rights: each of the four hides exactly its own controls.
TEST(Rights, EachRightGovernsItsOwnControls) {
    const TAdminAuth rights[] = {AA_UserEdepart, AA_UserEuser, AA_UserEauth, AA_UserC};
    TLogonInfo* const previous = LogonInfo;
    for (const TAdminAuth withheld : rights) {
        SCOPED_TRACE(withheld);
        TLogonInfo logon;
        QWidget panel;
        logon.ParentPanel = &panel;
        for (const TAdminAuth right : rights)
            if (right != withheld)
                AT(logon.AdminAuths, right);
        LogonInfo = &logon;
        TFrmUsersManage form(nullptr, &panel);
        form.SetCompsAuths();
        const auto* ui = form.ui();
        const bool departItems = ui->MiDAdd->isVisible();
        for (const QAction* item : {ui->MiDModify, ui->MiDDelete, ui->MiDRole})
            EXPECT_EQ(item->isVisible(), departItems) << item->objectName().toStdString();
        EXPECT_TRUE(ui->MiDUser->isVisible()) << "no right governs MiDUser";
        for (const QWidget* always :
             std::initializer_list<const QWidget*>{ui->BtSearch, ui->BtnRefresh, ui->MBtShow})
            EXPECT_TRUE(always->isVisibleTo(&form)) << always->objectName().toStdString();
        const std::array<bool, 4> shown{departItems, ui->LV_Man->dragEnabled(),
                                        ui->MBtAuth->isVisibleTo(&form),
                                        ui->MbtCom->isVisibleTo(&form)};
        for (size_t i = 0; i < shown.size(); ++i)
            EXPECT_EQ(shown[i], rights[i] != withheld) << "control of right " << rights[i];
    }
    LogonInfo = previous;
}
