#include "MainWindowFixture.h"

#include "Multilanguage.h"
#include "PgUsersManage.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QTest>
#include <QTimer>

using namespace Qt::Literals::StringLiterals;

using UserListTest = MainWindowTest;

TEST_P(UserListTest, RootListsEveryoneWithTheJoinedColumns) {
    open();
    EXPECT_EQ(selectedDepart(), 0);
    EXPECT_EQ(listedUids(), (QList<qint32>{1, 2, 3, 4, 5, 6}));
    const QStringList alice{u"alice"_s, u"Zeta"_s, u"127.0.3.1"_s, u"PC-1"_s,
                            u"Staff"_s, u"V"_s,    u"3.5"_s,       u"daily"_s};
    for (int column = 0; column < alice.size(); ++column)
        EXPECT_EQ(cell(Org::Alice, column), alice.at(column)) << "column " << column;
    EXPECT_EQ(cell(Org::Bob, 5), u"-"_s) << "only the decryption right gives V";
    EXPECT_EQ(cell(Org::Dave, 1), QString()) << "department 99 does not exist";
    EXPECT_EQ(cell(Org::Dave, 4), u"Staff"_s);
    EXPECT_EQ(cell(Org::Erin, 4), QString()) << "role 77 does not exist";
    EXPECT_EQ(cell(Org::Erin, 1), u"Alpha"_s);
    EXPECT_EQ(cell(Org::Frank, 1), QString());

    EXPECT_EQ(window().userList()->row(window().userList()->findById(Org::Alice)).Item.HardNo,
              u"HW1"_s);
    EXPECT_EQ(statusTexts(), expectedStatus(3, 3, 6, 3, 0));
    expectCounters(Org::UserCount, 3, 3);
}

TEST_P(UserListTest, DepartmentListsOnlyItsDirectMembers) {
    open();
    selectDepart(Org::Zeta);
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Bob}));
    EXPECT_EQ(statusTexts(), expectedStatus(1, 1, 2, 1, 0));
    EXPECT_EQ(window().ui()->LbDepart->text(), GetString(u"Depart"_s) + u" >> Zeta"_s);
    EXPECT_EQ(logon.CurDepartId, Org::Zeta);
    selectDepart(Org::Beta);
    EXPECT_TRUE(listedUids().isEmpty());
    EXPECT_EQ(statusTexts(), expectedStatus(0, 0, 0, 0, 0));
}

TEST_P(UserListTest, ViewFiltersNarrowTheList) {
    open();
    const auto* ui = window().ui();
    ui->S_Online->trigger();
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Carol, Org::Erin}));
    EXPECT_EQ(statusTexts(), expectedStatus(3, 0, 3, 3, 0));

    ui->S_NotOn->trigger();
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Bob, Org::Dave, Org::Frank}));

    selectDepart(Org::Alpha); // erin, online
    ui->S_NotOn->trigger();
    EXPECT_TRUE(listedUids().isEmpty());
    EXPECT_EQ(statusTexts(), expectedStatus(0, 0, 0, 0, 0));

    ui->S_All->trigger();
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Erin});

    // A department change drops the filter but keeps its check.
    ui->S_Online->trigger();
    selectDepart(Org::Zeta);
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Bob}));
    EXPECT_TRUE(window().ui()->S_Online->isChecked());
}

TEST_P(UserListTest, SearchConditionIsAppendedToTheListQuery) {
    open();
    EXPECT_TRUE(window().ShowUsers(u" and U.UserName like 'a%'"_s));
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Alice});
    selectDepart(Org::Zeta);
    EXPECT_TRUE(window().ShowUsers(u" and UR.RName = 'Manager'"_s));
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Bob});

    // A condition the database rejects is reported and leaves the list cleared.
    script.answerMessage(QMessageBox::Ok);
    EXPECT_FALSE(window().ShowUsers(u" and NoSuchColumn = 1"_s));
    expectFailure(u"ShowUsers failed: "_s);
    EXPECT_EQ(script.messageTitles().first(), GetString(u"idinf"_s));
    EXPECT_TRUE(listedUids().isEmpty());
}

// A click enables the commands only with a selection; a right click adds its row to it. Home
// and End select the first and the last row, staying in the current column.
TEST_P(UserListTest, ClicksAndKeysFollowTheSelection) {
    open();
    const auto* ui = window().ui();
    QTableView* list = ui->LV_Man;
    window().LV_ManClick();
    EXPECT_FALSE(ui->MbtCom->isEnabled());
    EXPECT_FALSE(ui->MBtAuth->isEnabled());
    list->selectionModel()->select(window().userList()->index(0, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window().LV_ManClick();
    EXPECT_TRUE(ui->MbtCom->isEnabled());
    EXPECT_TRUE(ui->MBtAuth->isEnabled());

    window().LV_ManContextPopup(list->visualRect(window().userList()->index(3, 0)).center());
    EXPECT_EQ(window().selectedRows(), (QList<int>{0, 3}));
    EXPECT_EQ(statusTexts().last(), GetString(u"Chosen"_s) + u"：2"_s);
    window().LV_ManContextPopup(QPoint(5, list->viewport()->height() - 3));
    EXPECT_EQ(window().selectedRows(), (QList<int>{0, 3})) << "empty space changes nothing";

    const int last = window().userList()->rowCount() - 1;
    list->setCurrentIndex(window().userList()->index(2, 3));
    for (const auto& [key, row] : {std::pair{Qt::Key_End, last}, {Qt::Key_Home, 0}}) {
        QTest::keyClick(list, key);
        EXPECT_EQ(window().selectedRows(), QList<int>{row});
        EXPECT_EQ(list->currentIndex().column(), 3);
    }
}

INSTANTIATE_TEST_SUITE_P(Backends, UserListTest, ::testing::ValuesIn(testBackends()), backendName);
