#include "EditingFixture.h"

#include "FlagSets.h"
#include "Multilanguage.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QTreeWidget>
#include <QTreeWidgetItemIterator>

using namespace Qt::StringLiterals;

class DepartEditingTest : public WindowTest {
protected:
    int nodeCount() {
        int n = 0;
        for (QTreeWidgetItemIterator it(window().ui()->TV_Department); *it; ++it)
            ++n;
        return n;
    }

    qint32 parentOf(qint32 departId) {
        return number(u"select pid from UserSort where id = "_s + QString::number(departId));
    }

    qint32 selectedId() { return window().itemOf(window().selectedNode())->Id; }

    qint32 treeParentOf(qint32 departId) {
        const QTreeWidgetItem* child = node(departId);
        return child ? window().itemOf(child->parent())->Id : -1;
    }

    void addDepart(qint32 id, qint32 pid, const QString& name) {
        db->exec(
            u"insert into UserSort (id, pid, name) values (%1, %2, '%3')"_s.arg(id).arg(pid).arg(
                name));
    }

    void expectFailure(const QString& prefix) {
        ASSERT_EQ(script.messages().size(), 1);
        EXPECT_TRUE(script.messages().first().startsWith(prefix))
            << script.messages().first().toStdString();
        EXPECT_GT(script.messages().first().size(), prefix.size()) << "no database message";
    }
};

TEST_P(DepartEditingTest, AddPutsTheDepartmentUnderTheSelectedOne) {
    selectDepart(Site::Sales);
    script.answerInput(u"Marketing"_s);
    window().MiDAddClick();
    ASSERT_EQ(count(u"UserSort where name = 'Marketing'"_s), 1);
    const qint32 id = number(u"select id from UserSort where name = 'Marketing'"_s);
    EXPECT_EQ(parentOf(id), Site::Sales);
    ASSERT_NE(node(id), nullptr);
    EXPECT_EQ(treeParentOf(id), Site::Sales);
    EXPECT_EQ(selectedId(), Site::Sales);
}

TEST_P(DepartEditingTest, AddUnderTheRootMakesATopLevelDepartmentKeepingBlanks) {
    script.answerInput(u"Legal "_s);
    window().MiDAddClick();
    ASSERT_EQ(count(u"UserSort where name = 'Legal '"_s), 1);
    const qint32 id = number(u"select id from UserSort where name = 'Legal '"_s);
    EXPECT_EQ(parentOf(id), 0);
    EXPECT_EQ(node(id)->text(0), u"Legal"_s);
}

TEST_P(DepartEditingTest, DuplicateBlankAndInvalidNamesChangeNothing) {
    selectDepart(Site::Support);
    const QString duplicate = GetString(u"DepartExist"_s);
    const QString blank = GetString(u"Depart"_s) + GetString(u"NameNullError"_s);
    const QString invalid = GetString(u"InvalidExt"_s) + u" \\ / : * ? \" < > |"_s;
    const std::pair<QString, QString> cases[] = {
        {u"North"_s, duplicate}, // under another parent
        {u"sOUTH"_s, duplicate}, // letter case ignored
        {u"Support"_s, duplicate}, {u"   "_s, blank}, {u"What?"_s, invalid}, {u"a/b"_s, invalid},
    };
    for (const auto& [name, refusal] : cases) {
        SCOPED_TRACE(name.toStdString());
        ModalScript attempt;
        attempt.answerInput(name).answerMessage(QMessageBox::Ok);
        window().MiDAddClick();
        EXPECT_EQ(attempt.messages(), QStringList{refusal});
        attempt.expectDone();
    }
    EXPECT_EQ(count(u"UserSort"_s), 5);
    EXPECT_EQ(nodeCount(), 6);
}

TEST_P(DepartEditingTest, CancelledInputEndsSilently) {
    selectDepart(Site::North);
    script.reject().reject();
    window().MiDAddClick();
    window().MiDModifyClick();
    EXPECT_TRUE(script.messages().isEmpty());
    EXPECT_EQ(count(u"UserSort"_s), 5);
    EXPECT_EQ(node(Site::North)->text(0), u"North"_s);
}

TEST_P(DepartEditingTest, RenameToItsOwnNameIsAllowedToAnotherNameRefused) {
    selectDepart(Site::North);
    script.answerInput(u"North"_s);
    window().MiDModifyClick();
    EXPECT_TRUE(script.messages().isEmpty());

    script.answerInput(u"Sales"_s).answerMessage(QMessageBox::Ok);
    window().MiDModifyClick();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"DepartExist"_s)});
    EXPECT_EQ(text(u"select name from UserSort where id = 2"_s), u"North"_s);

    script.answerInput(u"East"_s);
    window().MiDModifyClick();
    EXPECT_EQ(text(u"select name from UserSort where id = 2"_s), u"East"_s);
    EXPECT_EQ(node(Site::North)->text(0), u"East"_s);
    EXPECT_EQ(count(u"UserSort"_s), 5);
}

TEST_P(DepartEditingTest, RootCanBeNeitherRenamedNorDeleted) {
    window().MiDModifyClick(); // no dialog may open: the script has no answer
    window().MiDDeleteClick();
    EXPECT_EQ(count(u"UserSort"_s), 5);
}

TEST_P(DepartEditingTest, DeleteMovesSubDepartmentsAndUsersToTheParent) {
    addDepart(6, Site::North, u"East"_s);
    addDepart(7, Site::North, u"West"_s);
    for (int i = 0; i < 4; ++i)
        db->exec(u"insert into Users (Pid, UserName, RoleId) values (2, 'n%1', 2)"_s.arg(i));
    window().BuildDepartTree();
    selectDepart(Site::North);
    script.answerMessage(QMessageBox::Yes);
    window().MiDDeleteClick();

    EXPECT_EQ(script.messages(), QStringList{GetString(u"DeleteConfirm"_s) + u" "_s + u"North"_s});
    EXPECT_EQ(count(u"UserSort where id = 2"_s), 0);
    EXPECT_EQ(parentOf(6), Site::Sales);
    EXPECT_EQ(parentOf(7), Site::Sales);
    EXPECT_EQ(count(u"Users where Pid = 1"_s), 3 + 5);
    EXPECT_EQ(count(u"Users where Pid = 2"_s), 0);
    EXPECT_EQ(count(u"Users where RoleId = 2 and UserName like 'n%'"_s), 4); // roles kept
    EXPECT_EQ(node(Site::North), nullptr);
    EXPECT_EQ(treeParentOf(6), Site::Sales);
    EXPECT_EQ(treeParentOf(7), Site::Sales);
}

TEST_P(DepartEditingTest, DeletingATopLevelDepartmentMovesItsContentToTheTopLevel) {
    selectDepart(Site::Sales);
    script.answerMessage(QMessageBox::Yes);
    window().MiDDeleteClick();
    EXPECT_EQ(parentOf(Site::North), 0);
    EXPECT_EQ(parentOf(Site::South), 0);
    EXPECT_EQ(count(u"Users where Pid = 0"_s), 3);
    EXPECT_EQ(treeParentOf(Site::North), 0);
    EXPECT_EQ(nodeCount(), 5);
}

TEST_P(DepartEditingTest, DeletingALeafRemovesJustItsNodeAndTheListFollows) {
    selectDepart(Site::South);
    script.answerMessage(QMessageBox::Yes);
    window().MiDDeleteClick();
    EXPECT_EQ(node(Site::South), nullptr);
    EXPECT_EQ(nodeCount(), 5);
    ASSERT_NE(window().selectedNode(), nullptr);
    EXPECT_EQ(LogonInfo->CurDepartId, selectedId());
}

TEST_P(DepartEditingTest, ProtectedDepartmentIsRefusedBeforeAnyQuestion) {
    selectDepart(Site::Finance);
    script.answerMessage(QMessageBox::Ok);
    window().MiDDeleteClick();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"DepartDeleteError"_s)});
    EXPECT_EQ(count(u"UserSort where id = 5"_s), 1);
    EXPECT_NE(node(Site::Finance), nullptr);
}

TEST_P(DepartEditingTest, DeleteAnsweredNoChangesNothing) {
    selectDepart(Site::Sales);
    script.answerMessage(QMessageBox::No);
    window().MiDDeleteClick();
    EXPECT_EQ(count(u"UserSort"_s), 5);
    EXPECT_EQ(count(u"Users where Pid = 1"_s), 3);
    EXPECT_EQ(nodeCount(), 6);
}

TEST_P(DepartEditingTest, DepartmentDragRules) {
    addDepart(6, Site::North, u"East"_s);
    window().BuildDepartTree();
    selectDepart(Site::Sales);
    ASSERT_TRUE(window().selectedRows().isEmpty());
    EXPECT_FALSE(window().TV_DepartmentDragOver(pointOf(Site::Sales))) << "onto itself";
    EXPECT_FALSE(window().TV_DepartmentDragOver(pointOf(Site::North))) << "onto its child";
    EXPECT_FALSE(window().TV_DepartmentDragOver(pointOf(6))) << "onto its grandchild";
    EXPECT_FALSE(window().TV_DepartmentDragOver(pointOf(0))) << "onto its parent";
    EXPECT_TRUE(window().TV_DepartmentDragOver(pointOf(Site::Support)));
    EXPECT_FALSE(window().TV_DepartmentDragOver({-5, -5})) << "onto no node";

    selectDepart(Site::North);
    EXPECT_TRUE(window().TV_DepartmentDragOver(pointOf(0))) << "a sub-department onto the root";
    EXPECT_TRUE(window().TV_DepartmentDragOver(pointOf(Site::South))) << "onto a sibling";
}

TEST_P(DepartEditingTest, HoveringOpensACollapsedDepartment) {
    node(Site::Sales)->setExpanded(false);
    selectDepart(Site::Support);
    window().TV_DepartmentDragOver(pointOf(Site::Sales));
    EXPECT_TRUE(node(Site::Sales)->isExpanded());
}

TEST_P(DepartEditingTest, UserDragRules) {
    selectDepart(Site::Sales);
    selectUsers({Site::Alice, Site::Bob});
    EXPECT_FALSE(window().TV_DepartmentDragOver(pointOf(0))) << "onto the root";
    EXPECT_FALSE(window().TV_DepartmentDragOver(pointOf(Site::Sales))) << "where they are";
    EXPECT_TRUE(window().TV_DepartmentDragOver(pointOf(Site::North)));
    EXPECT_TRUE(window().TV_DepartmentDragOver(pointOf(Site::Support)));
}

TEST_P(DepartEditingTest, UserDragIsJudgedByTheDepartmentName) {
    // The root lists everyone: a Sales user cannot go to Sales, a Support user can.
    selectUsers({Site::Alice});
    EXPECT_FALSE(window().TV_DepartmentDragOver(pointOf(Site::Sales)));
    selectUsers({Site::Erin});
    EXPECT_TRUE(window().TV_DepartmentDragOver(pointOf(Site::Sales)));
}

TEST_P(DepartEditingTest, DroppingADepartmentOntoTheRootMakesItTopLevel) {
    selectDepart(Site::North);
    window().TV_DepartmentDragDrop(pointOf(0));
    EXPECT_EQ(parentOf(Site::North), 0);
    EXPECT_EQ(treeParentOf(Site::North), 0);
    EXPECT_EQ(selectedId(), 0);
    EXPECT_EQ(listedUids(), (QList<qint32>{1, 2, 3, 4, 5}));
}

TEST_P(DepartEditingTest, DroppingADepartmentOntoAnotherMovesItWithItsUsers) {
    selectDepart(Site::Sales);
    window().TV_DepartmentDragDrop(pointOf(Site::Support));
    EXPECT_EQ(parentOf(Site::Sales), Site::Support);
    EXPECT_EQ(treeParentOf(Site::Sales), Site::Support);
    EXPECT_EQ(treeParentOf(Site::North), Site::Sales);
    EXPECT_EQ(selectedId(), Site::Support);
    EXPECT_TRUE(node(Site::Support)->isExpanded());
    EXPECT_EQ(listedUids(), QList<qint32>{Site::Erin});
}

TEST_P(DepartEditingTest, DroppedUsersTakeTheDefaultRoleWhenTheSwitchIsOff) {
    selectDepart(Site::Sales);
    selectUsers({Site::Alice, Site::Carol});
    window().TV_DepartmentDragDrop(pointOf(Site::Support));
    EXPECT_EQ(count(u"Users where Pid = 4 and RoleId = 2"_s), 3);
    EXPECT_EQ(selectedId(), Site::Support);
    EXPECT_EQ(listedUids(), (QList<qint32>{Site::Alice, Site::Carol, Site::Erin}));
    EXPECT_EQ(window().TotalCount, 3);
}

TEST_P(DepartEditingTest, DroppedUsersKeepTheirRolesWhenTheQuestionIsAnsweredNo) {
    qint32 ctrl = 0;
    AT(ctrl, Sc_USERDC);
    setSettingsCtrl(ctrl);
    selectDepart(Site::Sales);
    selectUsers({Site::Alice, Site::Carol});
    script.answerMessage(QMessageBox::No);
    window().TV_DepartmentDragDrop(pointOf(Site::Support));

    EXPECT_EQ(script.messages(), QStringList{GetString(u"RoleChangeOfDepartToUser"_s)});
    EXPECT_EQ(number(u"select Pid from Users where Uid = 1"_s), Site::Support);
    EXPECT_EQ(number(u"select RoleId from Users where Uid = 1"_s), Site::Staff);
    EXPECT_EQ(number(u"select Pid from Users where Uid = 3"_s), Site::Support);
    EXPECT_EQ(number(u"select RoleId from Users where Uid = 3"_s), Site::Manager);
    EXPECT_EQ(number(u"select Pid from Users where Uid = 2"_s), Site::Sales);
}

TEST_P(DepartEditingTest, DroppedUsersTakeTheDefaultRoleWhenTheQuestionIsAnsweredYes) {
    qint32 ctrl = 0;
    AT(ctrl, Sc_USERDC);
    setSettingsCtrl(ctrl);
    selectDepart(Site::Support);
    selectUsers({Site::Erin});
    script.answerMessage(QMessageBox::Yes);
    window().TV_DepartmentDragDrop(pointOf(Site::Sales));
    EXPECT_EQ(number(u"select RoleId from Users where Uid = 5"_s), Site::Staff);
    EXPECT_EQ(number(u"select Pid from Users where Uid = 5"_s), Site::Sales);
}

TEST_P(DepartEditingTest, AddFailureShowsThePrefixAndLeavesTheTree) {
    db->dropTable(u"UserSort"_s);
    script.answerInput(u"Legal"_s).answerMessage(QMessageBox::Ok);
    window().MiDAddClick();
    expectFailure(u"Depart New Error:"_s);
    EXPECT_EQ(nodeCount(), 6);
}

TEST_P(DepartEditingTest, RenameFailureShowsThePrefixAndKeepsTheCaption) {
    selectDepart(Site::North);
    db->dropTable(u"UserSort"_s);
    script.answerInput(u"East"_s).answerMessage(QMessageBox::Ok);
    window().MiDModifyClick();
    expectFailure(u"Depart Modify Error:"_s);
    EXPECT_EQ(node(Site::North)->text(0), u"North"_s);
}

TEST_P(DepartEditingTest, DeleteFailureShowsThePrefixAndKeepsTheNode) {
    selectDepart(Site::North);
    db->dropTable(u"other"_s);
    script.answerMessage(QMessageBox::Ok);
    window().MiDDeleteClick();
    expectFailure(u"Depart Delete Error:"_s);
    EXPECT_NE(node(Site::North), nullptr);
    EXPECT_EQ(count(u"UserSort"_s), 5);
}

TEST_P(DepartEditingTest, DropFailureShowsThePrefixAndKeepsTheList) {
    selectDepart(Site::Sales);
    selectUsers({Site::Bob});
    db->dropTable(u"other"_s);
    script.answerMessage(QMessageBox::Ok);
    window().TV_DepartmentDragDrop(pointOf(Site::Support));
    expectFailure(u"TV_ManDragDrop:"_s);
    EXPECT_EQ(selectedId(), Site::Sales);
    EXPECT_EQ(listedUids(), (QList<qint32>{Site::Alice, Site::Bob, Site::Carol}));
    EXPECT_EQ(number(u"select Pid from Users where Uid = 2"_s), Site::Sales);
}

INSTANTIATE_TEST_SUITE_P(Backends, DepartEditingTest, ::testing::ValuesIn(testBackends()),
                         backendName);
