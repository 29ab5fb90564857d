#include "MainWindowFixture.h"

#include "FlagSets.h"
#include "Multilanguage.h"
#include "PgUsersManage.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTreeWidgetItemIterator>
#include <QUrl>

using namespace Qt::Literals::StringLiterals;

namespace {

QList<qint32> childIds(const TFrmUsersManage& form, QTreeWidgetItem* parent) {
    QList<qint32> ids;
    for (int i = 0; i < parent->childCount(); ++i)
        ids.append(form.itemOf(parent->child(i))->Id);
    return ids;
}

QImage imageOf(const QIcon& icon) {
    return icon.pixmap(16, 16).toImage();
}

} // namespace

using DepartTreeTest = MainWindowTest;

TEST_P(DepartTreeTest, ChildrenFollowAscendingIdUnderTheirParent) {
    open();
    QTreeWidgetItem* root = window().ui()->TV_Department->topLevelItem(0);
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->text(0), u"Org"_s);
    EXPECT_EQ(window().itemOf(root)->Id, 0);
    EXPECT_TRUE(window().itemOf(root)->IsDepart);
    EXPECT_TRUE(root->isExpanded());
    EXPECT_EQ(childIds(window(), root), (QList<qint32>{Org::Zeta, Org::Alpha}));
    EXPECT_EQ(childIds(window(), node(Org::Zeta)), (QList<qint32>{Org::Omega, Org::Beta}));
    EXPECT_EQ(node(Org::Zeta)->text(0), u"Zeta"_s);
    // Departments without a reachable parent are absent.
    EXPECT_EQ(node(Org::Lost), nullptr);
    EXPECT_EQ(node(Org::LostChild), nullptr);
    EXPECT_EQ(nodeCount(), 5);
}

TEST_P(DepartTreeTest, IconsFollowTheControlFlags) {
    open();
    const QImage plain = imageOf(node(Org::Alpha)->icon(0));
    const QImage controlled = imageOf(node(Org::Zeta)->icon(0));
    const QImage inUse = imageOf(node(Org::Beta)->icon(0));
    EXPECT_EQ(imageOf(node(Org::Omega)->icon(0)), plain) << "used without ctrl is plain";
    EXPECT_NE(plain, controlled);
    EXPECT_NE(controlled, inUse);
    EXPECT_NE(imageOf(node(0)->icon(0)), plain);
    // The list shares the images: online users show image 2, offline ones image 3.
    const UserListModel& users = *window().userList();
    const auto rowImage = [&](qint32 uid) {
        return imageOf(
            users.data(users.index(users.findById(uid), 0), Qt::DecorationRole).value<QIcon>());
    };
    EXPECT_EQ(rowImage(Org::Alice), controlled);
    EXPECT_EQ(rowImage(Org::Bob), inUse);
}

// A deleted last department falls back to the root; a row with id 0 cannot loop the tree; an
// empty table gives the root alone, listing everyone.
TEST_P(DepartTreeTest, DamagedTablesStillGiveTheRoot) {
    db->exec(u"insert into UserSort (id, pid, name) values (0, 0, 'Zero')"_s);
    db->exec(u"delete from UserSort where id = 7"_s);
    logon.CurDepartId = Org::Beta;
    open();
    EXPECT_EQ(nodeCount(), 4);
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
}

TEST_P(DepartTreeTest, RebuildKeepsSelectionWithoutDuplicates) {
    open();
    selectDepart(Org::Omega);
    db->exec(u"insert into UserSort (id, pid, name) values (30, 4, '  New  ')"_s);
    window().BuildDepartTree();
    EXPECT_EQ(nodeCount(), 6);
    EXPECT_EQ(node(30)->text(0), u"New"_s) << "captions are trimmed";
    EXPECT_EQ(selectedDepart(), Org::Omega);
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Carol});
}

TEST_P(DepartTreeTest, ExpandSelectsAndOpensThePath) {
    open();
    node(Org::Zeta)->setExpanded(false);
    window().Expand(Org::Beta);
    EXPECT_EQ(selectedDepart(), Org::Beta);
    EXPECT_TRUE(node(Org::Zeta)->isExpanded());
    window().Expand(12345);
    EXPECT_EQ(selectedDepart(), Org::Beta);
}

TEST_P(DepartTreeTest, RightClickSelectsTheNodeAndSetsTheMenu) {
    open();
    QTreeWidget* tree = window().ui()->TV_Department;
    const auto* ui = window().ui();
    const QList<QAction*> governed{ui->MiDModify, ui->MiDDelete, ui->MiDRole, ui->MiDUser};

    window().TV_DepartmentContextPopup(tree->visualItemRect(node(Org::Alpha)).center());
    EXPECT_EQ(selectedDepart(), Org::Alpha);
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Erin});
    for (QAction* item : governed)
        EXPECT_TRUE(item->isEnabled()) << item->objectName().toStdString();

    // Empty space: the items are disabled and the selection stays.
    window().TV_DepartmentContextPopup(QPoint(5, tree->viewport()->height() - 3));
    EXPECT_EQ(selectedDepart(), Org::Alpha);
    for (QAction* item : governed)
        EXPECT_FALSE(item->isEnabled()) << item->objectName().toStdString();
    EXPECT_TRUE(ui->MiDAdd->isEnabled());

    window().TV_DepartmentContextPopup(tree->visualItemRect(node(0)).center());
    EXPECT_EQ(selectedDepart(), 0);
    EXPECT_EQ(listedUids().size(), Org::UserCount);
    for (QAction* item : governed)
        EXPECT_FALSE(item->isEnabled()) << item->objectName().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Backends, DepartTreeTest, ::testing::ValuesIn(testBackends()),
                         backendName);

// Rights: each of the four shows or hides exactly its own controls.
struct Governed {
    bool departEditing, userEditing, auth, commands;
};

Governed governedState(TFrmUsersManage& form) {
    const auto* ui = form.ui();
    const bool departItems = ui->MiDAdd->isVisible();
    EXPECT_EQ(ui->MiDModify->isVisible(), departItems);
    EXPECT_EQ(ui->MiDDelete->isVisible(), departItems);
    EXPECT_EQ(ui->MiDRole->isVisible(), departItems);
    EXPECT_TRUE(ui->MiDUser->isVisible()) << "no right governs MiDUser";
    EXPECT_TRUE(ui->BtSearch->isVisibleTo(&form));
    EXPECT_TRUE(ui->BtnRefresh->isVisibleTo(&form));
    EXPECT_TRUE(ui->MBtShow->isVisibleTo(&form));
    return {departItems, ui->LV_Man->dragEnabled(), ui->MBtAuth->isVisibleTo(&form),
            ui->MbtCom->isVisibleTo(&form)};
}

TEST(Rights, EachRightGovernsItsOwnControls) {
    struct Case {
        TAdminAuth withheld;
        Governed expected;
    };
    const Case cases[] = {
        {AA_UserEdepart, {false, true, true, true}},
        {AA_UserEuser, {true, false, true, true}},
        {AA_UserEauth, {true, true, false, true}},
        {AA_UserC, {true, true, true, false}},
    };
    TLogonInfo* const previous = LogonInfo;
    for (const Case& c : cases) {
        TLogonInfo logon;
        QWidget panel;
        logon.ParentPanel = &panel;
        for (const TAdminAuth right : {AA_UserEdepart, AA_UserEuser, AA_UserEauth, AA_UserC})
            if (right != c.withheld)
                AT(logon.AdminAuths, right);
        LogonInfo = &logon;
        TFrmUsersManage form(nullptr, &panel);
        form.SetCompsAuths();
        const Governed state = governedState(form);
        SCOPED_TRACE(c.withheld);
        EXPECT_EQ(state.departEditing, c.expected.departEditing);
        EXPECT_EQ(state.userEditing, c.expected.userEditing);
        EXPECT_EQ(state.auth, c.expected.auth);
        EXPECT_EQ(state.commands, c.expected.commands);
    }
    LogonInfo = previous;
}

using UserMenuTest = MainWindowTest;

TEST_P(UserMenuTest, UserMenuPopsUpOnlyWithTheUserEditingRight) {
    for (const bool withRight : {true, false}) {
        logon.AdminAuths = withRight ? allRights() : allRights() & ~(1 << AA_UserEuser);
        open();
        QTreeView* list = window().ui()->LV_Man;
        const QPoint row = list->visualRect(window().userList()->index(0, 0)).center();
        emit list->customContextMenuRequested(row);
        EXPECT_EQ(window().ui()->PMUser->isVisible(), withRight);
        window().ui()->PMUser->hide();
        CloseBplForm();
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, UserMenuTest, ::testing::ValuesIn(testBackends()), backendName);

using TreeDropTest = MainWindowTest;

// Drags reaching the tree go through the drop rules; a drop always copies, so the dragging
// view never removes what it dragged.
TEST_P(TreeDropTest, DraggedUsersMoveToTheDepartmentUnderTheDrop) {
    open();
    selectDepart(Org::Zeta);
    QTreeView* list = window().ui()->LV_Man;
    list->selectionModel()->select(
        window().userList()->index(window().userList()->findById(Org::Bob), 0),
        QItemSelectionModel::Select | QItemSelectionModel::Rows);
    QWidget* viewport = window().ui()->TV_Department->viewport();
    QMimeData mime;
    mime.setData(UserListModel::mimeType(), "2");

    const QPoint root = window().ui()->TV_Department->visualItemRect(node(0)).center();
    QDragEnterEvent enter(root, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &enter);
    QDragMoveEvent overRoot(root, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &overRoot);
    EXPECT_FALSE(overRoot.isAccepted()) << "users cannot go to the root";

    const QPoint alpha = window().ui()->TV_Department->visualItemRect(node(Org::Alpha)).center();
    QDragMoveEvent overAlpha(alpha, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &overAlpha);
    EXPECT_TRUE(overAlpha.isAccepted());
    EXPECT_EQ(overAlpha.dropAction(), Qt::CopyAction);

    QDropEvent drop(alpha, Qt::CopyAction | Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &drop);
    EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    QCoreApplication::processEvents(); // the move runs once the drag has ended
    EXPECT_EQ(db->scalar(u"select Pid from Users where Uid = 2"_s).toInt(), Org::Alpha);
    EXPECT_EQ(selectedDepart(), Org::Alpha);
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Bob, Org::Erin}));
}

// Something dragged in from another program (files, text) is never taken by the tree.
TEST_P(TreeDropTest, ForeignDragsAreRefused) {
    open();
    selectDepart(Org::Zeta);
    QWidget* viewport = window().ui()->TV_Department->viewport();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(u"/tmp/report.doc"_s)});
    const QPoint alpha = window().ui()->TV_Department->visualItemRect(node(Org::Alpha)).center();
    QDragEnterEvent enter(alpha, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(alpha, Qt::CopyAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(viewport, &drop);
    QCoreApplication::processEvents();
    EXPECT_FALSE(drop.isAccepted());
    EXPECT_EQ(
        db->scalar(u"select pid from UserSort where id = "_s + QString::number(Org::Zeta)).toInt(),
        0);
}

// Dragging a department while users are still selected in the list moves the department.
TEST_P(TreeDropTest, DepartmentDragClearsTheUserSelection) {
    open();
    selectDepart(Org::Zeta);
    window().ui()->LV_Man->selectAll();
    ASSERT_FALSE(window().selectedRows().isEmpty());
    QMimeData mime;
    mime.setData(window().ui()->TV_Department->model()->mimeTypes().first(), QByteArray());
    const QPoint root = window().ui()->TV_Department->visualItemRect(node(0)).center();
    QDragEnterEvent enter(root, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(window().ui()->TV_Department->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    EXPECT_TRUE(window().selectedRows().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Backends, TreeDropTest, ::testing::ValuesIn(testBackends()), backendName);
