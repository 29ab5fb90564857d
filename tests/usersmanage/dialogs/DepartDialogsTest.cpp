#include "DialogsFixture.h"

#include "Multilanguage.h"
#include "uDepartRole.h"
#include "uUserChose.h"
#include "ui_uDepartRole.h"
#include "ui_uUserChose.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QPushButton>
#include <QTreeView>

using namespace Qt::StringLiterals;

class DepartDialogsTest : public DialogsTest {};

TEST_P(DepartDialogsTest, RoleDialogAsksForARoleWhenTheDepartmentHasNone) {
    auto omega = shown<TFrmDepartRole>([](TFrmDepartRole& d) { d.DepartId = Org::Omega; });
    QComboBox& roles = *omega->ui()->CBRole;
    ASSERT_EQ(roles.count(), 2);
    EXPECT_EQ(roles.itemText(0), u"Manager"_s) << "by name";
    EXPECT_EQ(roles.currentIndex(), -1);
    EXPECT_FALSE(omega->ui()->CkBURUpNow->isChecked());
    script.answerMessage(QMessageBox::Ok);
    omega->ui()->BtnOK->click();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"RoleChose"_s)});
    EXPECT_NE(omega->result(), QDialog::Accepted);
    EXPECT_TRUE(omega->isVisible());
    EXPECT_EQ(count(u"UserSort where DRole is not null and id = 4"_s), 0);
}

// Unticked, only the department changes; ticked, its direct members follow, not the users of
// its sub-department Omega.
TEST_P(DepartDialogsTest, RoleDialogSetsTheDefaultRoleAndTheDirectMembersRoleOnRequest) {
    for (const bool now : {false, true}) {
        selectDepart(Org::Zeta);
        answerWith<TFrmDepartRole>([now](TFrmDepartRole& d) {
            EXPECT_EQ(d.ui()->CBRole->currentText(), u"Staff"_s);
            d.ui()->CBRole->setCurrentText(u"Manager"_s);
            d.ui()->CkBURUpNow->setChecked(now);
            d.ui()->BtnOK->click();
        });
        window().MiDRoleClick();
        EXPECT_EQ(number(u"select DRole from UserSort where id = 3"_s), Org::Manager);
        EXPECT_EQ(userField(Org::Alice, u"RoleId"_s), now ? Org::Manager : Org::Staff);
        EXPECT_EQ(userField(Org::Carol, u"RoleId"_s), Org::Staff);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return cell(Org::Alice, 4) == (now ? u"Manager"_s : u"Staff"_s); }, 5000));
        db->exec(u"update UserSort set DRole = 1 where id = 3"_s);
    }
}

TEST_P(DepartDialogsTest, RoleDialogFailuresAreShownAndKeepItOpen) {
    auto dialog = shown<TFrmDepartRole>([](TFrmDepartRole& d) { d.DepartId = Org::Zeta; });
    db->closeConnection();
    dialog->ui()->CBRole->setCurrentIndex(0);
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtnOK->click();
    expectFailure(QString());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);

    script.answerMessage(QMessageBox::Ok);
    auto failed = shown<TFrmDepartRole>();
    expectFailure(u"FormShow:"_s, 1);
}

// Both dialogs write whole or not at all, and refuse a department another console deleted
// while they were open: the message, then the tree as the database has it.
TEST_P(DepartDialogsTest, DialogsWriteWholeOrNothingAndRefuseADeletedDepartment) {
    auto role = shown<TFrmDepartRole>([](TFrmDepartRole& d) { d.DepartId = Org::Zeta; });
    role->ui()->CBRole->setCurrentIndex(0);
    role->ui()->CkBURUpNow->setChecked(true);
    db->exec(u"alter table Users rename to UsersGone"_s); // the second update fails
    script.answerMessage(QMessageBox::Ok);
    role->ui()->BtnOK->click();
    db->exec(u"alter table UsersGone rename to Users"_s);
    EXPECT_EQ(number(u"select DRole from UserSort where id = 3"_s), Org::Staff);

    const auto deleteZetaAndPressOk = [this](QPushButton* ok) {
        db->exec(u"delete from UserSort where id = 3"_s);
        ok->click();
    };
    selectDepart(Org::Zeta);
    answerWith<TFrmDepartRole>([&](TFrmDepartRole& d) {
        d.ui()->CBRole->setCurrentIndex(0);
        deleteZetaAndPressOk(d.ui()->BtnOK);
    });
    script.answerMessage(QMessageBox::Ok);
    window().MiDRoleClick();
    db->exec(u"insert into UserSort (id, pid, name, DRole) values (3, 0, 'Zeta', 1)"_s);
    window().BuildDepartTree();
    selectDepart(Org::Zeta);
    answerWith<TFrm_UserChose>([&](TFrm_UserChose& d) {
        d.ui()->BtLAll->click();
        deleteZetaAndPressOk(d.ui()->BtUAOK);
    });
    script.answerMessage(QMessageBox::Ok);
    window().MiDUserClick();
    EXPECT_EQ(script.messages().mid(1), QStringList(2, GetString(u"DepartChanged"_s)));
    EXPECT_FALSE(node(Org::Zeta).isValid());
    EXPECT_EQ(count(u"Users where Pid = 3"_s), 2) << "only Zeta's own users, as before";
}

// Users at the root (frank) or in a missing department (dave) are in neither list; a user
// moved back keeps his department. Departments of any id show their names.
TEST_P(DepartDialogsTest, ChooserOnlyAddsUsersToTheDepartment) {
    selectDepart(0);
    window().MiDRoleClick();
    window().MiDUserClick();
    EXPECT_TRUE(script.dialogTitles().isEmpty()) << "the root is no department";

    db->exec(u"insert into Users (Uid, Pid, UserName, RoleId) values (20, 5, 'Abe', 1), "
             u"(21, 3000000, 'Zed', 1)"_s);
    db->exec(u"insert into UserSort (id, pid, name, DRole) values (3000000, 0, 'Far', 1)"_s);
    selectDepart(Org::Zeta);
    answerWith<TFrm_UserChose>([](TFrm_UserChose& d) {
        EXPECT_EQ(d.DepartId, Org::Zeta);
        EXPECT_EQ(captions(*d.done()), (QStringList{u"alice"_s, u"bob"_s}));
        EXPECT_EQ(captions(*d.unDo()), (QStringList{u"Abe"_s, u"carol"_s, u"erin"_s, u"Zed"_s}));
        EXPECT_EQ(captions(*d.unDo(), 2),
                  (QStringList{u"Alpha"_s, u"Omega"_s, u"Alpha"_s, u"Far"_s}));
        select(*d.ui()->LVUnDo, 1);
        d.ui()->BtL->click();
        select(*d.ui()->LVDone, 1);
        d.ui()->BtR->click();
        EXPECT_EQ(captions(*d.done()), (QStringList{u"alice"_s, u"carol"_s}));
        EXPECT_EQ(captions(*d.unDo()), (QStringList{u"Abe"_s, u"bob"_s, u"erin"_s, u"Zed"_s}));
        d.ui()->BtUAOK->click();
    });
    window().MiDUserClick();
    EXPECT_EQ(count(u"Users where Pid = 3"_s), 3);
    EXPECT_EQ(userField(Org::Carol, u"Pid"_s), Org::Zeta);
    EXPECT_EQ(userField(Org::Erin, u"Pid"_s), Org::Alpha);
    expectListed({Org::Alice, Org::Bob, Org::Carol});
}

TEST_P(DepartDialogsTest, ChooserMovesAllSortedAndIgnoresOkWithNobodyChosen) {
    auto dialog = shown<TFrm_UserChose>([](TFrm_UserChose& d) { d.DepartId = Org::Omega; });
    dialog->ui()->BtRAll->click();
    EXPECT_EQ(captions(*dialog->unDo()),
              (QStringList{u"alice"_s, u"bob"_s, u"carol"_s, u"erin"_s}));
    dialog->ui()->BtUAOK->click();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(userField(Org::Carol, u"Pid"_s), Org::Omega);
    dialog->ui()->BtLAll->click();
    EXPECT_EQ(captions(*dialog->done()),
              (QStringList{u"alice"_s, u"bob"_s, u"carol"_s, u"erin"_s}));
    EXPECT_EQ(dialog->unDo()->rowCount(), 0);

    db->closeConnection();
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtUAOK->click();
    expectFailure(u"BtUAOKClick:"_s);
    EXPECT_TRUE(dialog->isVisible());
}

// The lists fill in slices, each in order as they come; a user moved meanwhile stays moved, and
// more users than one statement takes move whole and in order.
TEST_P(DepartDialogsTest, ChooserFillsInOrderAndGathersMoreUsersThanOneStatementTakes) {
    addUsers(Org::Alpha, 2500, false);
    auto dialog = shown<TFrm_UserChose>([](TFrm_UserChose& d) {
        d.DepartId = Org::Omega;
        d.reading()->setRowsPerSlice(97);
    });
    const auto expectSorted = [](const QStringList& names) {
        EXPECT_TRUE(std::is_sorted(
            names.begin(), names.end(),
            [](const QString& a, const QString& b) { return compareText(a, b) < 0; }))
            << names.join(u',').toStdString();
    };
    select(*dialog->ui()->LVUnDo, 0);
    dialog->ui()->BtL->click();
    while (dialog->reading()->isRunning()) {
        QCoreApplication::processEvents();
        expectSorted(captions(*dialog->unDo()));
    }
    EXPECT_EQ(dialog->done()->rowCount(), 2);
    EXPECT_EQ(dialog->unDo()->rowCount(), 2500 + 4 - 2);
    dialog->ui()->BtLAll->click();
    expectSorted(captions(*dialog->done()));
    EXPECT_EQ(dialog->unDo()->rowCount(), 0);
    dialog->ui()->BtUAOK->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(count(u"Users where Pid = 4"_s), 2500 + 4);
}

TEST_P(DepartDialogsTest, ChooserLoadFailureIsShown) {
    db->dropTable(u"UserSort"_s);
    script.answerMessage(QMessageBox::Ok);
    auto dialog = shown<TFrm_UserChose>();
    expectFailure(u"FormShow failed: "_s);
    EXPECT_EQ(dialog->done()->rowCount() + dialog->unDo()->rowCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Backends, DepartDialogsTest, ::testing::ValuesIn(testBackends()),
                         backendName);
