#include "EditingFixture.h"

#include "Multilanguage.h"
#include "uUserInfo.h"
#include "ui_uUserInfo.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TEST(NameIdListTest, LooksUpByNameIgnoringCaseFirstMatchWins) {
    NameIdList list;
    list.add(u"Sales"_s, 7);
    list.add(u"a=b"_s, 8);
    list.add(u"SALES"_s, 9);
    EXPECT_EQ(list.indexOfName(u"sales"_s), 0);
    EXPECT_EQ(list.valueOf(u"sAlEs"_s), 7);
    EXPECT_EQ(list.valueOf(u"a=b"_s), 8); // a name holding "=" still finds its own entry
    EXPECT_EQ(list.indexOfName(u"Sale"_s), -1);
    EXPECT_EQ(list.valueOf(u"Nobody"_s), 0);
    list.clear();
    EXPECT_EQ(list.valueOf(u"Sales"_s), 0);
}

class UserInfoTest : public SiteDatabaseTest {
protected:
    void TearDown() override {
        script.expectDone();
        SiteDatabaseTest::TearDown();
    }

    // Shows the dialog as the main window would, loaded and waiting for input.
    std::unique_ptr<TFrmUserInfo> open(qint32 uid, qint32 departId = 0) {
        auto dialog = std::make_unique<TFrmUserInfo>();
        dialog->Uid = uid;
        dialog->DepartId = departId;
        dialog->show();
        return dialog;
    }

    static void fill(TFrmUserInfo& dialog, const QString& name, const QString& password = {},
                     const QString& key = {}) {
        dialog.ui()->EdUserName->setText(name);
        dialog.ui()->EdPW->setText(password);
        dialog.ui()->EdUKey->setText(key);
    }

    static bool accepted(const TFrmUserInfo& dialog) {
        return dialog.result() == QDialog::Accepted;
    }

    ModalScript script;
};

TEST_P(UserInfoTest, NewUserStartsInTheDepartmentWithItsDefaultRoleAndStoresTrimmedValues) {
    auto dialog = open(0, Site::Support);
    EXPECT_EQ(dialog->windowTitle(), GetString(u"New"_s) + GetString(u"User"_s));
    EXPECT_EQ(dialog->ui()->CBDepart->count(), 5);
    EXPECT_EQ(dialog->ui()->CBDepart->currentText(), u"Support"_s);
    EXPECT_EQ(dialog->ui()->CBRole->currentText(), u"Manager"_s);
    EXPECT_TRUE(dialog->ui()->EdUserName->text().isEmpty());

    fill(*dialog, u"  frank "_s, u" secret "_s, u" key7 "_s);
    dialog->ui()->BtOk->click();

    EXPECT_TRUE(accepted(*dialog));
    const QString frank = u" Users where UserName = 'frank'"_s;
    ASSERT_EQ(count(frank), 1);
    EXPECT_EQ(number(u"select Pid from"_s + frank), Site::Support);
    EXPECT_EQ(number(u"select RoleId from"_s + frank), Site::Manager);
    EXPECT_EQ(text(u"select Password from"_s + frank), u"secret"_s);
    EXPECT_EQ(text(u"select uKeyNo from"_s + frank), u"key7"_s);
    EXPECT_GT(number(u"select Uid from"_s + frank), Site::Erin);
}

TEST_P(UserInfoTest, EmptyPasswordAndKeyAreStoredAsEmptyText) {
    auto dialog = open(0, Site::Sales);
    fill(*dialog, u"gina"_s);
    dialog->ui()->BtOk->click();
    ASSERT_TRUE(accepted(*dialog));
    EXPECT_EQ(text(u"select Password from Users where UserName = 'gina'"_s), QString());
    EXPECT_EQ(count(u"Users where UserName = 'gina' and uKeyNo = ''"_s), 1);
}

TEST_P(UserInfoTest, BlankNameIsRefusedAndTheDialogStaysOpen) {
    auto dialog = open(0, Site::Sales);
    fill(*dialog, u"   "_s);
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtOk->click();

    EXPECT_EQ(script.messages(), QStringList{GetString(u"User"_s) + GetString(u"NameNullError"_s)});
    EXPECT_EQ(script.messageTitles(), QStringList{GetString(u"idinf"_s)});
    EXPECT_FALSE(accepted(*dialog));
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(count(u"Users"_s), 5);
}

TEST_P(UserInfoTest, DepartmentWithoutDefaultRoleNeedsARoleChosen) {
    auto dialog = open(0, Site::North);
    EXPECT_EQ(dialog->ui()->CBDepart->currentText(), u"North"_s);
    EXPECT_EQ(dialog->ui()->CBRole->currentIndex(), -1);
    fill(*dialog, u"hank"_s);
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtOk->click();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"RoleNull"_s)});
    EXPECT_FALSE(accepted(*dialog));
    EXPECT_EQ(count(u"Users"_s), 5);

    dialog->ui()->CBRole->setCurrentText(u"Staff"_s);
    dialog->ui()->BtOk->click();
    EXPECT_TRUE(accepted(*dialog));
    EXPECT_EQ(number(u"select RoleId from Users where UserName = 'hank'"_s), Site::Staff);
    EXPECT_EQ(number(u"select Pid from Users where UserName = 'hank'"_s), Site::North);
}

TEST_P(UserInfoTest, UnknownDepartmentKeepsTheFirstDepartmentAndNoRole) {
    auto dialog = open(0, 99);
    EXPECT_EQ(dialog->ui()->CBDepart->currentIndex(), 0);
    EXPECT_EQ(dialog->ui()->CBRole->currentIndex(), -1);
}

TEST_P(UserInfoTest, ModifyLoadsTheUserAndUpdatesTheSameRow) {
    db->exec(u"update Users set Password = 'pw', uKeyNo = 'K1' where Uid = 3"_s);
    auto dialog = open(Site::Carol);
    EXPECT_EQ(dialog->windowTitle(), GetString(u"Modify"_s) + GetString(u"User"_s));
    EXPECT_EQ(dialog->ui()->EdUserName->text(), u"carol"_s);
    EXPECT_EQ(dialog->ui()->CBDepart->currentText(), u"Sales"_s);
    EXPECT_EQ(dialog->ui()->CBRole->currentText(), u"Manager"_s);
    EXPECT_EQ(dialog->ui()->EdPW->text(), u"pw"_s);
    EXPECT_EQ(dialog->ui()->EdUKey->text(), u"K1"_s);

    dialog->ui()->CBDepart->setCurrentText(u"Support"_s);
    dialog->ui()->EdUserName->setText(u"caroline"_s);
    dialog->ui()->BtOk->click();

    ASSERT_TRUE(accepted(*dialog));
    EXPECT_EQ(count(u"Users"_s), 5);
    EXPECT_EQ(text(u"select UserName from Users where Uid = 3"_s), u"caroline"_s);
    EXPECT_EQ(number(u"select Pid from Users where Uid = 3"_s), Site::Support);
    EXPECT_EQ(number(u"select RoleId from Users where Uid = 3"_s), Site::Manager);
}

TEST_P(UserInfoTest, ModifyingAUserDeletedMeanwhileAppendsANewRow) {
    auto dialog = open(Site::Dave);
    db->exec(u"delete from Users where Uid = 4"_s);
    dialog->ui()->BtOk->click();
    ASSERT_TRUE(accepted(*dialog));
    EXPECT_EQ(count(u"Users where UserName = 'dave'"_s), 1);
    EXPECT_NE(number(u"select Uid from Users where UserName = 'dave'"_s), Site::Dave);
    EXPECT_EQ(number(u"select Pid from Users where UserName = 'dave'"_s), Site::North);
}

TEST_P(UserInfoTest, UserOfAMissingDepartmentShowsNoneAndIsWrittenWithPidZero) {
    db->exec(u"delete from UserSort where id = 2"_s);
    auto dialog = open(Site::Dave);
    EXPECT_EQ(dialog->ui()->CBDepart->currentIndex(), -1);
    dialog->ui()->BtOk->click();
    ASSERT_TRUE(accepted(*dialog));
    EXPECT_EQ(number(u"select Pid from Users where Uid = 4"_s), 0);
}

TEST_P(UserInfoTest, CancelWritesNothing) {
    auto dialog = open(Site::Alice);
    dialog->ui()->EdUserName->setText(u"changed"_s);
    dialog->ui()->BtCancel->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(text(u"select UserName from Users where Uid = 1"_s), u"alice"_s);
}

TEST_P(UserInfoTest, LoadFailureIsReportedWithWhatWasLoaded) {
    db->dropTable(u"UserRole"_s);
    script.answerMessage(QMessageBox::Ok);
    auto dialog = open(0, Site::Sales);
    ASSERT_EQ(script.messages().size(), 1);
    EXPECT_TRUE(script.messages().first().startsWith(u"FormShow failed: "_s));
    EXPECT_GT(script.messages().first().size(), QString(u"FormShow failed: "_s).size());
    EXPECT_EQ(dialog->ui()->CBDepart->count(), 5);
    EXPECT_EQ(dialog->ui()->CBRole->count(), 0);
}

TEST_P(UserInfoTest, WriteFailureIsReportedAndTheDialogStaysOpen) {
    auto dialog = open(Site::Carol);
    db->dropTable(u"Users"_s);
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtOk->click();
    ASSERT_EQ(script.messages().size(), 1);
    EXPECT_TRUE(script.messages().first().startsWith(u"UpdateOfUsers failed: "_s));
    EXPECT_GT(script.messages().first().size(), QString(u"UpdateOfUsers failed: "_s).size());
    EXPECT_FALSE(accepted(*dialog));
    EXPECT_TRUE(dialog->isVisible());
}

TEST_P(UserInfoTest, LostConnectionIsReportedOnOk) {
    auto dialog = open(Site::Carol);
    db->closeConnection();
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtOk->click();
    ASSERT_EQ(script.messages().size(), 1);
    EXPECT_TRUE(script.messages().first().startsWith(u"UpdateOfUsers failed: "_s));
    EXPECT_FALSE(accepted(*dialog));
}

INSTANTIATE_TEST_SUITE_P(Backends, UserInfoTest, ::testing::ValuesIn(testBackends()), backendName);
