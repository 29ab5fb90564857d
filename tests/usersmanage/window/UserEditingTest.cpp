#include "MainWindowFixture.h"

#include "Multilanguage.h"
#include "UserListModel.h"
#include "uUserInfo.h"
#include "uUsersManage.h"
#include "ui_uUserInfo.h"
#include "ui_uUsersManage.h"

#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>

using namespace Qt::StringLiterals;

class UserEditingTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        open();
    }

    // Answers the next user properties dialog: run edit on it, then press OK.
    void answerUserDialog(std::function<void(TFrmUserInfo&)> edit) {
        script.answer<TFrmUserInfo>([edit = std::move(edit)](TFrmUserInfo& dialog) {
            edit(dialog);
            dialog.ui()->BtOk->click();
            return dialog.result();
        });
    }

    // The user's row as listed: caption, department, role, decrypt right and image.
    QStringList shownOf(qint32 uid) {
        const UserRow row = window().userList()->row(window().userList()->findById(uid));
        return {row.Caption, row.SubItems.value(0), row.SubItems.value(3), row.SubItems.value(4),
                QString::number(row.ImageIndex)};
    }
};

TEST_P(UserEditingTest, AddAppendsTheNewUserSelectedAndCountedOrAsksForADepartment) {
    selectDepart(Org::Zeta);
    selectUsers({Org::Alice, Org::Bob});
    expectCounters(2, 1, 1);
    answerUserDialog([](TFrmUserInfo& dialog) {
        EXPECT_EQ(dialog.Uid, 0);
        EXPECT_EQ(dialog.DepartId, Org::Zeta);
        dialog.ui()->EdUserName->setText(u"gina"_s);
    });
    window().MiUAddClick();

    const qint32 gina = number(u"select Uid from Users where UserName = 'gina'"_s);
    ASSERT_GE(window().userList()->findById(gina), 0);
    EXPECT_EQ(shownOf(gina), (QStringList{u"gina"_s, u"Zeta"_s, u"Staff"_s, u"-"_s, u"3"_s}));
    EXPECT_EQ(window().selectedRows(), QList<int>{window().userList()->findById(gina)});
    expectCounters(3, 1, 1);

    // At the root the dialog gets department 0; without a department it does not open.
    selectDepart(0);
    script.answer<TFrmUserInfo>([](TFrmUserInfo& dialog) {
        EXPECT_EQ(dialog.DepartId, 0) << "the root";
        dialog.reject();
        return dialog.result();
    });
    window().MiUAddClick();
    expectCounters(Org::UserCount + 1, 3, 3);

    tree().setCurrentIndex(QModelIndex());
    script.answerMessage(QMessageBox::Ok);
    window().MiUAddClick();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"DepartChose"_s)});
    EXPECT_EQ(count(u"Users"_s), Org::UserCount + 1);
}

TEST_P(UserEditingTest, ModifyRewritesTheRowInPlaceOrReloadsWhenTheUserLeaves) {
    selectDepart(Org::Zeta);
    selectUsers({Org::Bob});
    script.reject();
    window().MiUModifyClick();
    EXPECT_EQ(shownOf(Org::Bob)[0], u"bob"_s) << "cancelled";

    answerUserDialog([](TFrmUserInfo& dialog) {
        EXPECT_EQ(dialog.Uid, Org::Bob);
        dialog.ui()->EdUserName->setText(u"robert"_s);
        dialog.ui()->CBRole->setCurrentText(u"Staff"_s);
    });
    window().MiUModifyClick();
    EXPECT_EQ(shownOf(Org::Bob).first(3), (QStringList{u"robert"_s, u"Zeta"_s, u"Staff"_s}));
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Bob}));
    expectCounters(2, 1, 1);

    selectUsers({Org::Alice});
    answerUserDialog(
        [](TFrmUserInfo& dialog) { dialog.ui()->CBDepart->setCurrentText(u"Alpha"_s); });
    window().MiUModifyClick();
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Bob});
    expectCounters(1, 0, 0);
}

// Another console deleted the user while the dialog was open: nothing is written, the user is
// not created again, and the list is read again without him.
TEST_P(UserEditingTest, ModifyOfAUserDeletedElsewhereIsRefused) {
    selectDepart(Org::Zeta);
    selectUsers({Org::Bob});
    answerUserDialog([this](TFrmUserInfo& dialog) {
        dialog.ui()->EdUserName->setText(u"robert"_s);
        db->exec(u"delete from Users where Uid = "_s + QString::number(Org::Bob));
    });
    script.answerMessage(QMessageBox::Ok);
    window().MiUModifyClick();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"UserChanged"_s)});
    EXPECT_EQ(count(u"Users"_s), Org::UserCount - 1);
    waitForList();
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Alice});
}

TEST_P(UserEditingTest, DeleteRemovesTheRowsAndLowersEveryCounter) {
    selectUsers({Org::Alice});
    script.answerMessage(QMessageBox::No);
    window().MiUDeleteClick();
    EXPECT_EQ(count(u"Users"_s), Org::UserCount);
    expectCounters(Org::UserCount, 3, 3);

    selectUsers({Org::Alice, Org::Dave});
    script.answerMessage(QMessageBox::Yes);
    window().MiUDeleteClick();
    EXPECT_EQ(script.messages().last(), GetString(u"DelNoConfirm1"_s) + u"2"_s +
                                            GetString(u"DelNoConfirm2"_s) + GetString(u"User"_s));
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Bob, Org::Carol, Org::Erin, Org::Frank}));
    EXPECT_EQ(count(u"Users where Uid in (1, 4)"_s), 0);
    expectCounters(4, 2, 2);

    selectDepart(Org::Zeta);
    selectUsers({Org::Bob});
    window().SetEnables(true);
    script.answerMessage(QMessageBox::Yes);
    window().MiUDeleteClick();
    EXPECT_EQ(count(u"Users"_s), 3);
    EXPECT_TRUE(listedUids().isEmpty());
    expectCounters(0, 0, 0);
    EXPECT_FALSE(window().ui()->MBtAuth->isEnabled());
    EXPECT_FALSE(window().ui()->MbtCom->isEnabled());
}

TEST_P(UserEditingTest, DeleteOnALostConnectionKeepsRowsAndCounters) {
    selectUsers({Org::Erin, Org::Alice});
    db->closeConnection();
    script.answerMessage(QMessageBox::Yes).answerMessage(QMessageBox::Ok);
    window().MiUDeleteClick();
    expectFailure(u"User Delete Error:"_s, 1);
    EXPECT_EQ(listedUids().size(), Org::UserCount);
    expectCounters(Org::UserCount, 3, 3);
}

// The user is written when the re-read fails: the message says so and the list is loaded
// again, so nobody adds him a second time.
TEST_P(UserEditingTest, AddFailureAfterTheDialogSaysTheUserExistsAndReloads) {
    selectDepart(Org::Zeta);
    answerUserDialog([this](TFrmUserInfo& dialog) {
        dialog.ui()->EdUserName->setText(u"gina"_s);
        dialog.ui()->CBRole->setCurrentText(u"Staff"_s);
        // The dialog has written; the re-read cannot read the roles.
        db->exec(u"alter table UserRole rename to RolesAway"_s);
    });
    script.answer([this](QDialog&) {
        db->exec(u"alter table RolesAway rename to UserRole"_s);
        return int(QMessageBox::Ok);
    });
    window().MiUAddClick();
    expectFailure(u"User New Error:"_s);
    EXPECT_TRUE(script.messages().value(0).endsWith(GetString(u"UserCreatedReload"_s)));
    waitForList();
    const qint32 gina = number(u"select Uid from Users where UserName = 'gina'"_s);
    EXPECT_EQ(count(u"Users where UserName = 'gina'"_s), 1);
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Bob, gina}));
    expectCounters(3, 1, 1);
}

TEST_P(UserEditingTest, ModifyFailureAfterTheDialogShowsThePrefixAndKeepsTheRow) {
    selectDepart(Org::Zeta);
    selectUsers({Org::Bob});
    answerUserDialog([this](TFrmUserInfo& dialog) {
        dialog.ui()->EdUserName->setText(u"robert"_s);
        db->dropTable(u"UserSort"_s);
    });
    script.answerMessage(QMessageBox::Ok);
    window().MiUModifyClick();
    expectFailure(u"User Modify Error:"_s);
    EXPECT_EQ(shownOf(Org::Bob)[0], u"bob"_s);
}

// The list as shown, as CSV a spreadsheet opens: a byte-order mark, the captions, one line
// per row, fields quoted where needed and formulas kept as text.
TEST_P(UserEditingTest, ExportWritesTheListedRowsAsCsv) {
    db->exec(u"update Users set UserName = '=1+2, \"x\"' where Uid = "_s +
             QString::number(Org::Bob));
    selectDepart(Org::Zeta);
    waitForList();
    QTemporaryDir folder;
    const QString path = folder.filePath(u"zeta.csv"_s);
    script.answer<QFileDialog>([&](QFileDialog& dialog) {
        dialog.selectFile(path);
        return int(QDialog::Accepted);
    });
    window().MiExportClick();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(bytes.mid(3)).split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), 4) << "captions, two users, end";
    const UserListModel& users = *window().userList();
    EXPECT_EQ(lines[0].section(u',', 0, 1),
              users.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString() + u',' +
                  users.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString());
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString& line) {
        return line.startsWith(u"\"'=1+2, \"\"x\"\"\",Zeta,"_s);
    })) << lines.join(u" | "_s).toStdString();
    EXPECT_TRUE(lines[3].isEmpty());
}

TEST_P(UserEditingTest, UserMenuFollowsTheSelection) {
    selectDepart(Org::Zeta);
    Ui::TFrmUsersManage& ui = *window().ui();
    const auto enabled = [&](const QList<qint32>& uids) {
        selectUsers(uids);
        window().PMUserPopup();
        return std::tuple{ui.MiUAdd->isEnabled(), ui.MiUModify->isEnabled(),
                          ui.MiUDelete->isEnabled()};
    };
    EXPECT_EQ(enabled({}), std::tuple(true, false, false));
    EXPECT_EQ(enabled({Org::Bob}), std::tuple(true, true, true));
    EXPECT_EQ(enabled({Org::Alice, Org::Bob}), std::tuple(true, false, true));
}

TEST_P(UserEditingTest, CommandsWithoutASelectedUserOpenNothing) {
    selectUsers({});
    window().MiUModifyClick();
    window().MiUDeleteClick();
    window().MiUAuthClick();
    window().MiOfflineClick();
    window().N6Click();
    EXPECT_TRUE(script.dialogTitles().isEmpty());
    EXPECT_EQ(count(u"Users"_s), Org::UserCount);
}

INSTANTIATE_TEST_SUITE_P(Backends, UserEditingTest, ::testing::ValuesIn(testBackends()),
                         backendName);
