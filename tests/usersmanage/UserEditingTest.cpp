#include "EditingFixture.h"

#include "Multilanguage.h"
#include "UserListModel.h"
#include "uUserInfo.h"
#include "uUsersManage.h"
#include "ui_uUserInfo.h"
#include "ui_uUsersManage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

class UserEditingTest : public WindowTest {
protected:
    // Answers the next user properties dialog: run edit on it, then press OK.
    void answerUserDialog(std::function<void(TFrmUserInfo&)> edit) {
        script.answer<TFrmUserInfo>([edit = std::move(edit)](TFrmUserInfo& dialog) {
            edit(dialog);
            dialog.ui()->BtOk->click();
            return dialog.result();
        });
    }

    const UserRow& rowOfUser(qint32 uid) { return window().userList()->row(rowOf(uid)); }

    void expectCounters(int total, int online, int decrypting) {
        EXPECT_EQ(window().TotalCount, total);
        EXPECT_EQ(window().OnlineCount, online);
        EXPECT_EQ(window().DecryptCount, decrypting);
        EXPECT_EQ(window().ui()->LblTotal->text(),
                  GetString(u"idAuser"_s) + QString::number(total));
        EXPECT_EQ(window().ui()->LblOnle->text(),
                  GetString(u"idonline"_s) + QString::number(online));
        EXPECT_EQ(window().ui()->LblLde->text(),
                  GetString(u"idLDe"_s) + QString::number(decrypting));
    }

    void expectFailure(const QString& prefix) {
        ASSERT_EQ(script.messages().size(), 1);
        EXPECT_TRUE(script.messages().first().startsWith(prefix))
            << script.messages().first().toStdString();
        EXPECT_GT(script.messages().first().size(), prefix.size()) << "no database message";
    }
};

TEST_P(UserEditingTest, AddAppendsTheNewUserSelectedAndCounts) {
    selectDepart(Site::Sales);
    selectUsers({Site::Alice, Site::Bob});
    expectCounters(3, 2, 1);
    answerUserDialog([](TFrmUserInfo& dialog) {
        EXPECT_EQ(dialog.Uid, 0);
        EXPECT_EQ(dialog.DepartId, Site::Sales);
        dialog.ui()->EdUserName->setText(u"frank"_s);
    });
    window().MiUAddClick();

    const qint32 frank = number(u"select Uid from Users where UserName = 'frank'"_s);
    ASSERT_GE(rowOf(frank), 0);
    const UserRow& row = rowOfUser(frank);
    EXPECT_EQ(row.Caption, u"frank"_s);
    EXPECT_EQ(row.SubItems.value(0), u"Sales"_s);
    EXPECT_EQ(row.SubItems.value(3), u"Staff"_s);
    EXPECT_EQ(row.SubItems.value(4), u"-"_s);
    EXPECT_EQ(row.ImageIndex, 3);
    EXPECT_FALSE(row.Item.IsDepart);
    EXPECT_EQ(window().selectedRows(), QList<int>{rowOf(frank)});
    expectCounters(4, 2, 1);
}

TEST_P(UserEditingTest, AddWithTheRootSelectedPresetsDepartmentZero) {
    script.answer<TFrmUserInfo>([](TFrmUserInfo& dialog) {
        EXPECT_EQ(dialog.DepartId, 0);
        dialog.reject();
        return dialog.result();
    });
    window().MiUAddClick();
    EXPECT_EQ(listedUids().size(), 5);
    expectCounters(5, 2, 1);
}

TEST_P(UserEditingTest, AddWithoutASelectedDepartmentAsksForOne) {
    window().ui()->TV_Department->setCurrentItem(nullptr);
    script.answerMessage(QMessageBox::Ok);
    window().MiUAddClick();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"DepartChose"_s)});
    EXPECT_EQ(count(u"Users"_s), 5);
}

TEST_P(UserEditingTest, ModifyRewritesTheRowInPlace) {
    selectDepart(Site::Sales);
    selectUsers({Site::Carol});
    answerUserDialog([](TFrmUserInfo& dialog) {
        EXPECT_EQ(dialog.Uid, Site::Carol);
        dialog.ui()->EdUserName->setText(u"caroline"_s);
        dialog.ui()->CBRole->setCurrentText(u"Staff"_s);
    });
    window().MiUModifyClick();

    const UserRow& row = rowOfUser(Site::Carol);
    EXPECT_EQ(row.Caption, u"caroline"_s);
    EXPECT_EQ(row.SubItems.value(0), u"Sales"_s);
    EXPECT_EQ(row.SubItems.value(3), u"Staff"_s);
    EXPECT_EQ(row.SubItems.value(4), u"-"_s);
    EXPECT_EQ(listedUids(), (QList<qint32>{Site::Alice, Site::Bob, Site::Carol}));
    expectCounters(3, 2, 1);
}

TEST_P(UserEditingTest, ModifyMovingTheUserElsewhereReloadsTheList) {
    selectDepart(Site::Sales);
    selectUsers({Site::Alice});
    answerUserDialog(
        [](TFrmUserInfo& dialog) { dialog.ui()->CBDepart->setCurrentText(u"Support"_s); });
    window().MiUModifyClick();
    EXPECT_EQ(listedUids(), (QList<qint32>{Site::Bob, Site::Carol}));
    expectCounters(2, 1, 0);
}

TEST_P(UserEditingTest, ModifyCancelledLeavesTheRow) {
    selectDepart(Site::Sales);
    selectUsers({Site::Bob});
    script.reject();
    window().MiUModifyClick();
    EXPECT_EQ(rowOfUser(Site::Bob).Caption, u"bob"_s);
}

TEST_P(UserEditingTest, DeleteRemovesTheRowsWithOneStatementAndLowersEveryCounter) {
    selectDepart(Site::Sales);
    selectUsers({Site::Alice, Site::Bob, Site::Carol});
    window().SetEnables(true);
    script.answerMessage(QMessageBox::Yes);
    window().MiUDeleteClick();

    EXPECT_EQ(script.messages(), QStringList{GetString(u"DelNoConfirm1"_s) + u"3"_s +
                                             GetString(u"DelNoConfirm2"_s) + GetString(u"User"_s)});
    EXPECT_EQ(count(u"Users"_s), 2);
    EXPECT_EQ(count(u"Users where Uid in (1,2,3)"_s), 0);
    EXPECT_TRUE(listedUids().isEmpty());
    expectCounters(0, 0, 0);
    EXPECT_FALSE(window().ui()->MBtAuth->isEnabled());
    EXPECT_FALSE(window().ui()->MbtCom->isEnabled());
}

TEST_P(UserEditingTest, DeleteOfSomeRowsKeepsTheOthersCounted) {
    selectUsers({Site::Alice, Site::Dave});
    script.answerMessage(QMessageBox::Yes);
    window().MiUDeleteClick();
    EXPECT_EQ(listedUids(), (QList<qint32>{Site::Bob, Site::Carol, Site::Erin}));
    expectCounters(3, 1, 0);
    EXPECT_EQ(count(u"Users"_s), 3);
}

TEST_P(UserEditingTest, DeleteAnsweredNoChangesNothing) {
    selectDepart(Site::Sales);
    selectUsers({Site::Alice});
    script.answerMessage(QMessageBox::No);
    window().MiUDeleteClick();
    EXPECT_EQ(count(u"Users"_s), 5);
    EXPECT_EQ(listedUids().size(), 3);
    expectCounters(3, 2, 1);
}

TEST_P(UserEditingTest, DeleteFailureKeepsRowsAndCountersConsistent) {
    selectDepart(Site::Sales);
    selectUsers({Site::Alice, Site::Bob});
    db->dropTable(u"Users"_s);
    script.answerMessage(QMessageBox::Yes).answerMessage(QMessageBox::Ok);
    window().MiUDeleteClick();
    ASSERT_EQ(script.messages().size(), 2);
    EXPECT_TRUE(script.messages().at(1).startsWith(u"User Delete Error:"_s));
    EXPECT_EQ(listedUids().size(), 3);
    expectCounters(3, 2, 1);
}

TEST_P(UserEditingTest, DeleteOnALostConnectionKeepsRowsAndCounters) {
    selectUsers({Site::Erin, Site::Alice});
    db->closeConnection();
    script.answerMessage(QMessageBox::Yes).answerMessage(QMessageBox::Ok);
    window().MiUDeleteClick();
    ASSERT_EQ(script.messages().size(), 2);
    EXPECT_TRUE(script.messages().at(1).startsWith(u"User Delete Error:"_s));
    EXPECT_GT(script.messages().at(1).size(), QString(u"User Delete Error:"_s).size())
        << "the database's reason follows the prefix";
    EXPECT_EQ(listedUids().size(), 5);
    expectCounters(5, 2, 1);
}

TEST_P(UserEditingTest, AddFailureAfterTheDialogShowsThePrefixAndKeepsTheCounters) {
    selectDepart(Site::Sales);
    answerUserDialog([this](TFrmUserInfo& dialog) {
        dialog.ui()->EdUserName->setText(u"frank"_s);
        db->dropTable(u"UserRole"_s); // the dialog can write, the re-read cannot
    });
    script.answerMessage(QMessageBox::Ok);
    window().MiUAddClick();
    ASSERT_EQ(script.messages().size(), 1);
    EXPECT_TRUE(script.messages().first().startsWith(u"User New Error:"_s));
    EXPECT_EQ(listedUids().size(), 3);
    expectCounters(3, 2, 1);
}

TEST_P(UserEditingTest, ModifyFailureAfterTheDialogShowsThePrefixAndKeepsTheRow) {
    selectDepart(Site::Sales);
    selectUsers({Site::Bob});
    answerUserDialog([this](TFrmUserInfo& dialog) {
        dialog.ui()->EdUserName->setText(u"robert"_s);
        db->dropTable(u"UserSort"_s);
    });
    script.answerMessage(QMessageBox::Ok);
    window().MiUModifyClick();
    ASSERT_EQ(script.messages().size(), 1);
    EXPECT_TRUE(script.messages().first().startsWith(u"User Modify Error:"_s));
    EXPECT_EQ(rowOfUser(Site::Bob).Caption, u"bob"_s);
}

TEST_P(UserEditingTest, UserMenuFollowsTheSelection) {
    selectDepart(Site::Sales);
    Ui::TFrmUsersManage& ui = *window().ui();
    const auto enabled = [&] {
        return std::tuple{ui.MiUAdd->isEnabled(), ui.MiUModify->isEnabled(),
                          ui.MiUDelete->isEnabled()};
    };
    selectUsers({});
    window().PMUserPopup();
    EXPECT_EQ(enabled(), std::tuple(true, false, false));
    selectUsers({Site::Bob});
    window().PMUserPopup();
    EXPECT_EQ(enabled(), std::tuple(true, true, true));
    selectUsers({Site::Alice, Site::Carol});
    window().PMUserPopup();
    EXPECT_EQ(enabled(), std::tuple(true, false, true));
}

TEST_P(UserEditingTest, CommandsWithoutASelectedUserOpenNothing) {
    selectUsers({});
    window().MiUModifyClick();
    window().MiUDeleteClick();
    window().MiUAuthClick();
    window().MiOfflineClick();
    window().N6Click();
    EXPECT_TRUE(script.dialogTitles().isEmpty());
    EXPECT_EQ(count(u"Users"_s), 5);
}

INSTANTIATE_TEST_SUITE_P(Backends, UserEditingTest, ::testing::ValuesIn(testBackends()),
                         backendName);
