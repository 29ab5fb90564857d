#include "MainWindowFixture.h"

#include "Multilanguage.h"
#include "uUserInfo.h"
#include "ui_uUserInfo.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

TEST(NameIdListTest, PositionsPickIdsWhateverTheNames) {
    NameIdList list;
    for (const qint32 id : {7, 8, 9})
        list.add(id);
    const std::pair<int, qint32> byPosition[] = {{0, 7}, {2, 9}, {-1, 0}, {3, 0}};
    for (const auto& [index, id] : byPosition)
        EXPECT_EQ(list.valueAt(index), id) << index;
    EXPECT_EQ(list.indexOfValue(9), 2);
    EXPECT_EQ(list.indexOfValue(5), -1);
}

// The dialog alone, on the organisation's database, as the main window would show it.
class UserInfoTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        LogonInfo = &logon;
    }

    std::unique_ptr<TFrmUserInfo> show(qint32 uid, qint32 departId = 0) {
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

    QString text(const QString& sql) { return db->scalar(sql).toString(); }
};

TEST_P(UserInfoTest, NewUserStartsInTheDepartmentWithItsDefaultRoleAndStoresTrimmedValues) {
    auto dialog = show(0, Org::Alpha);
    EXPECT_EQ(dialog->windowTitle(), GetString(u"New"_s) + GetString(u"User"_s));
    EXPECT_EQ(dialog->ui()->CBDepart->count(), Org::DepartCount);
    EXPECT_EQ(dialog->ui()->CBDepart->currentText(), u"Alpha"_s);
    EXPECT_EQ(dialog->ui()->CBRole->currentText(), u"Manager"_s);
    EXPECT_TRUE(dialog->ui()->EdUserName->text().isEmpty());

    fill(*dialog, u"  gina "_s, u" secret "_s, u" key7 "_s);
    dialog->ui()->BtOk->click();

    EXPECT_TRUE(accepted(*dialog));
    const QString gina = u" Users where UserName = 'gina'"_s;
    ASSERT_EQ(count(gina), 1);
    EXPECT_EQ(number(u"select Pid from"_s + gina), Org::Alpha);
    EXPECT_EQ(number(u"select RoleId from"_s + gina), Org::Manager);
    EXPECT_EQ(text(u"select Password from"_s + gina), u"secret"_s);
    EXPECT_EQ(text(u"select uKeyNo from"_s + gina), u"key7"_s);
    EXPECT_GT(number(u"select Uid from"_s + gina), Org::Frank);
}

// Departments and roles whose names read alike (written by another program, blanks around):
// the dialog keeps what the user has and saves what is picked, by position.
TEST_P(UserInfoTest, NamesThatReadAlikeKeepTheirOwnIds) {
    db->exec(u"insert into UserSort (id, pid, name) values (20, 0, ' Alpha ')"_s);
    db->exec(u"insert into UserRole (Rid, RName) values (3, 'staff ')"_s);
    db->exec(u"update Users set Pid = 20, RoleId = 3 where Uid = 2"_s);
    auto dialog = show(Org::Bob);
    EXPECT_EQ(dialog->ui()->CBDepart->currentText(), u"Alpha"_s);
    dialog->ui()->EdPW->setText(u"changed"_s);
    dialog->ui()->BtOk->click();
    ASSERT_TRUE(accepted(*dialog));
    EXPECT_EQ(number(u"select Pid from Users where Uid = 2"_s), 20);
    EXPECT_EQ(number(u"select RoleId from Users where Uid = 2"_s), 3);
}

// A blank name and a missing role are refused with the dialog left open and nothing written.
TEST_P(UserInfoTest, BlankNameAndMissingRoleAreRefused) {
    auto dialog = show(0, Org::Omega); // no default role
    EXPECT_EQ(dialog->ui()->CBDepart->currentText(), u"Omega"_s);
    EXPECT_EQ(dialog->ui()->CBRole->currentIndex(), -1);
    dialog->ui()->CBRole->setCurrentText(u"Staff"_s);
    fill(*dialog, u"   "_s);
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtOk->click();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"User"_s) + GetString(u"NameNullError"_s)});
    EXPECT_EQ(script.messageTitles(), QStringList{GetString(u"idinf"_s)});
    EXPECT_FALSE(accepted(*dialog));
    EXPECT_TRUE(dialog->isVisible());

    dialog->ui()->CBRole->setCurrentIndex(-1);
    fill(*dialog, u"hank"_s);
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtOk->click();
    EXPECT_EQ(script.messages().last(), GetString(u"RoleNull"_s));
    EXPECT_FALSE(accepted(*dialog));
    EXPECT_EQ(count(u"Users"_s), Org::UserCount);

    dialog->ui()->CBRole->setCurrentText(u"Staff"_s);
    dialog->ui()->BtOk->click();
    EXPECT_TRUE(accepted(*dialog));
    EXPECT_EQ(number(u"select RoleId from Users where UserName = 'hank'"_s), Org::Staff);
    EXPECT_EQ(number(u"select Pid from Users where UserName = 'hank'"_s), Org::Omega);
    EXPECT_EQ(count(u"Users where UserName = 'hank' and uKeyNo = ''"_s), 1);
    EXPECT_EQ(text(u"select Password from Users where UserName = 'hank'"_s), QString());
}

// Texts that would be cut or changed on their way into the database are refused; a proper
// pair of surrogates is a character like any other.
TEST_P(UserInfoTest, ControlCharactersAndBrokenSurrogatesAreRefused) {
    auto dialog = show(0, Org::Alpha);
    const QString refused = GetString(u"InvalidExt"_s);
    for (const auto& [name, password, key, shown] :
         {std::tuple<QString, QString, QString, QString>{
              u"a"_s + QChar(0) + u"b"_s, {}, {}, u" U+0000"_s},
          {u"ivan"_s, u"pw"_s + QChar(7), QString(), u" U+0007"_s},
          {u"ivan"_s, QString(), u"k"_s + QChar(0xD800) + u"1"_s, u" U+D800"_s}}) {
        fill(*dialog, name, password, key);
        script.answerMessage(QMessageBox::Ok);
        dialog->ui()->BtOk->click();
        EXPECT_EQ(script.messages().last(), refused + shown);
        EXPECT_FALSE(accepted(*dialog));
    }
    EXPECT_EQ(count(u"Users"_s), Org::UserCount);
    fill(*dialog, u"ivan \U0001F600"_s);
    dialog->ui()->BtOk->click();
    EXPECT_TRUE(accepted(*dialog));
    EXPECT_EQ(count(u"Users where UserName = 'ivan \U0001F600'"_s), 1);
}

TEST_P(UserInfoTest, LongDepartmentNamesKeepTheDialogNarrow) {
    db->exec(u"update UserSort set name = '%1' where id = %2"_s.arg(QString(255, u'部'))
                 .arg(Org::Alpha));
    auto dialog = show(0, Org::Alpha);
    EXPECT_EQ(dialog->ui()->CBDepart->currentText().size(), 255);
    EXPECT_LT(dialog->sizeHint().width(), 700);
}

TEST_P(UserInfoTest, ModifyLoadsTheUserAndUpdatesTheSameRowCancelWritesNothing) {
    db->exec(u"update Users set Password = 'pw', uKeyNo = 'K1' where Uid = 3"_s);
    auto cancelled = show(Org::Carol);
    cancelled->ui()->EdUserName->setText(u"changed"_s);
    cancelled->ui()->BtCancel->click();
    EXPECT_EQ(cancelled->result(), QDialog::Rejected);
    EXPECT_EQ(text(u"select UserName from Users where Uid = 3"_s), u"carol"_s);

    auto dialog = show(Org::Carol);
    EXPECT_EQ(dialog->windowTitle(), GetString(u"Modify"_s) + GetString(u"User"_s));
    EXPECT_EQ(dialog->ui()->EdUserName->text(), u"carol"_s);
    EXPECT_EQ(dialog->ui()->CBDepart->currentText(), u"Omega"_s);
    EXPECT_EQ(dialog->ui()->CBRole->currentText(), u"Staff"_s);
    EXPECT_EQ(dialog->ui()->EdPW->text(), u"pw"_s);
    EXPECT_EQ(dialog->ui()->EdUKey->text(), u"K1"_s);

    dialog->ui()->CBDepart->setCurrentText(u"Alpha"_s);
    dialog->ui()->EdUserName->setText(u"caroline"_s);
    dialog->ui()->BtOk->click();

    ASSERT_TRUE(accepted(*dialog));
    EXPECT_EQ(count(u"Users"_s), Org::UserCount);
    EXPECT_EQ(text(u"select UserName from Users where Uid = 3"_s), u"caroline"_s);
    EXPECT_EQ(userField(Org::Carol, u"Pid"_s), Org::Alpha);
    EXPECT_EQ(userField(Org::Carol, u"RoleId"_s), Org::Staff);
}

// An unknown department preset, a user of a missing department, a user deleted meanwhile
// (refused).
TEST_P(UserInfoTest, MissingRowsStillGiveAWorkingDialog) {
    auto unknown = show(0, 99);
    EXPECT_EQ(unknown->ui()->CBDepart->currentIndex(), 0);
    EXPECT_EQ(unknown->ui()->CBRole->currentIndex(), -1);

    auto dave = show(Org::Dave);
    EXPECT_EQ(dave->ui()->CBDepart->currentIndex(), -1);
    dave->ui()->BtOk->click();
    ASSERT_TRUE(accepted(*dave));
    EXPECT_EQ(userField(Org::Dave, u"Pid"_s), 0);

    auto carol = show(Org::Carol);
    db->exec(u"delete from Users where Uid = 3"_s);
    carol->ui()->BtOk->click();
    EXPECT_FALSE(accepted(*carol)) << "not created again as a new user";
    EXPECT_TRUE(carol->UserGone);
    EXPECT_EQ(count(u"Users where UserName = 'carol'"_s), 0);
}

TEST_P(UserInfoTest, LoadFailureIsReportedWithWhatWasLoaded) {
    db->dropTable(u"UserRole"_s);
    script.answerMessage(QMessageBox::Ok);
    auto dialog = show(0, Org::Zeta);
    expectFailure(u"FormShow failed: "_s);
    EXPECT_EQ(dialog->ui()->CBDepart->count(), Org::DepartCount);
    EXPECT_EQ(dialog->ui()->CBRole->count(), 0);
}

TEST_P(UserInfoTest, LostConnectionIsReportedOnOkAndTheDialogStaysOpen) {
    auto dialog = show(Org::Carol);
    db->closeConnection();
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtOk->click();
    expectFailure(u"UpdateOfUsers failed: "_s);
    EXPECT_FALSE(accepted(*dialog));
    EXPECT_TRUE(dialog->isVisible());
}

INSTANTIATE_TEST_SUITE_P(Backends, UserInfoTest, ::testing::ValuesIn(testBackends()), backendName);
