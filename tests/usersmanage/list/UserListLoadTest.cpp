// The list loaded in slices from the event loop: what may happen between two slices, and what
// may happen while a command waits for an answer.
#include "MainWindowFixture.h"

#include "FlagSets.h"
#include "PgUsersManage.h"
#include "SlicedRead.h"
#include "UserListLoader.h"
#include "UserListModel.h"
#include "uUserInfo.h"
#include "ui_uUserInfo.h"
#include "ui_uUsersManage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <numeric>

using namespace Qt::Literals::StringLiterals;

namespace {

class UserListLoadTest : public MainWindowTest {
protected:
    static constexpr int ExtraUsers = 10; // online, in Alpha

    void SetUp() override {
        MainWindowTest::SetUp();
        addUsers(Org::Alpha, ExtraUsers, true);
    }

    // The Uids of the users matching condition, read on a connection of its own.
    QList<qint32> uidsWhere(const QString& condition) const {
        auto connection = db->openConnection();
        DbQuery query(connection.get());
        query.setSql(u"select Uid from Users where "_s + condition + u" order by Uid"_s);
        query.open();
        QList<qint32> uids;
        for (; !query.eof(); query.next())
            uids.append(query.value(0).toInt());
        return uids;
    }

    // Opens the window with a load of one row per slice and lets the show step run; the first
    // load is still under way.
    void openLoading() {
        OpenFormWithLogonInfo(&logon);
        window().userLoader()->setRowsPerSlice(1);
        panel->show();
        while (window().departs()->rowCount() == 0)
            QCoreApplication::processEvents();
    }

    // Lets the running load take up to n more slices.
    void runSlices(int n) {
        int slices = 0;
        const QMetaObject::Connection counting = QObject::connect(
            window().userLoader(), &UserListLoader::progressed, [&slices] { ++slices; });
        while (slices < n && window().isLoadingUsers())
            QCoreApplication::processEvents();
        QObject::disconnect(counting);
    }

    // The counters, the status line and the Uid index agree with the listed rows.
    void expectListConsistent() const {
        const UserListModel& users = *window().userList();
        int online = 0, decrypting = 0;
        for (int row = 0; row < users.rowCount(); ++row) {
            const UserRow user = users.row(row);
            online += user.online();
            decrypting += user.decrypts();
            int first = 0;
            while (users.row(first).Item.Id != user.Item.Id)
                ++first;
            ASSERT_EQ(users.findById(user.Item.Id), first) << "uid " << user.Item.Id;
        }
        expectCounters(users.rowCount(), online, decrypting);
    }
};

// A load, unsorted or sorted, is replaced by a newer one, meets a renamed row, or is ended by
// freeing the window, after any of its slices.
TEST_P(UserListLoadTest, EveryInterruptionOfALoadLeavesOneCompleteList) {
    struct Interruption {
        const char* name;
        std::function<void()> interrupt;
        QString expected; // condition on Users; empty: the window is gone
    };
    const auto ui = [this] { return window().ui(); };
    const Interruption interruptions[] = {
        {"newer load", [this] { window().ShowUsers(u" and OnLined <> 0"_s); }, u"OnLined <> 0"_s},
        {"selection", [this] { selectDepart(Org::Zeta); }, u"Pid = 3"_s},
        {"filter", [ui] { ui()->S_NotOn->trigger(); }, u"OnLined = 0"_s},
        {"search", [this] { window().ShowUsers(u" and UserName like 'extra%'"_s); },
         u"UserName like 'extra%'"_s},
        {"renamed row",
         [this] {
             UserRow row = window().userList()->row(0);
             row.Caption = u"m"_s;
             window().userList()->setRow(0, row);
         },
         u"1 = 1"_s},
        {"freed window", [] { CloseBplForm(); }, QString()},
    };
    const int rows = Org::UserCount + ExtraUsers;
    open();
    for (const Interruption& interruption : interruptions) {
        for (int slices = 0; slices <= rows; ++slices) {
            SCOPED_TRACE(testing::Message() << interruption.name << " after " << slices);
            if (!FrmUsersManage)
                open();
            window().userLoader()->setRowsPerSlice(1);
            window().ui()->S_All->trigger();
            selectDepart(0);
            window().ui()->LV_Man->sortByColumn(slices % 3 - 1, Qt::SortOrder(slices % 2));
            window().ShowUsers(QString());
            runSlices(slices);
            interruption.interrupt();
            for (int i = 0; i < 3; ++i)
                QCoreApplication::processEvents(); // a freed load must not run on
            if (interruption.expected.isEmpty()) {
                EXPECT_EQ(FrmUsersManage, nullptr);
                continue;
            }
            waitForList();
            EXPECT_EQ(listedUids(), uidsWhere(interruption.expected));
            expectListConsistent();
            expectInOrder();
        }
    }
}

// The first show's load: the host closes the window under it, or another department is
// clicked before it ends.
TEST_P(UserListLoadTest, FirstLoadEndsWithTheWindowOrGivesWayToAClickedDepartment) {
    openLoading();
    ASSERT_TRUE(window().isLoadingUsers());
    selectDepart(Org::Zeta);
    waitForList();
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Bob}));
    CloseBplForm();

    logon.CurDepartId = 0;
    openLoading();
    ASSERT_TRUE(window().isLoadingUsers());
    CloseBplForm();
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(FrmUsersManage, nullptr);

    // The show step's failure is reported; the host closes the window meanwhile.
    db->dropTable(u"UserSort"_s);
    script.answer([](QDialog& box) {
        CloseBplForm();
        box.reject();
        return int(QMessageBox::Ok);
    });
    OpenFormWithLogonInfo(&logon);
    panel->show();
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    expectFailure(u"FormShow failed: "_s);
    EXPECT_EQ(FrmUsersManage, nullptr);
}

// Commands that wait for an answer: while they wait, the host closes the window, or the list
// is reloaded for another department. Afterwards they act on the ids they were given, or not
// at all once the window is gone.
TEST_P(UserListLoadTest, CommandsSurviveWhatHappensWhileTheyAsk) {
    enum class Dialog { Message, Input, UserInfo };
    struct Command {
        const char* name;
        Dialog dialog;
        std::function<void()> prepare;
        std::function<void(TFrmUsersManage&)> run;
        QString effect; // what the database holds afterwards when the command went on
        bool reloadFails = false;
    };
    const auto onTree = [this](qint32 depart) { return pointOf(depart); };
    const Command commands[] = {
        {"MiDAdd", Dialog::Input, [this] { selectDepart(Org::Zeta); },
         [](TFrmUsersManage& w) { w.MiDAddClick(); },
         u"select count(*) from UserSort where name = 'Added' and pid = 3"_s},
        {"MiDModify", Dialog::Input, [this] { selectDepart(Org::Omega); },
         [](TFrmUsersManage& w) { w.MiDModifyClick(); },
         u"select count(*) from UserSort where name = 'Added' and id = 4"_s},
        {"MiDDelete", Dialog::Message, [this] { selectDepart(Org::Omega); },
         [](TFrmUsersManage& w) { w.MiDDeleteClick(); },
         u"select count(*) from Users where Uid = 3 and Pid = 3 and not exists (select 1 from "
         u"UserSort where id = 4)"_s},
        {"MiUAdd", Dialog::UserInfo, [this] { selectDepart(Org::Zeta); },
         [](TFrmUsersManage& w) { w.MiUAddClick(); },
         u"select count(*) from Users where UserName = 'Added'"_s},
        {"MiUModify", Dialog::UserInfo, [this] { selectUsers({Org::Bob}); },
         [](TFrmUsersManage& w) { w.MiUModifyClick(); },
         u"select count(*) from Users where UserName = 'Added' and Uid = 2"_s},
        {"MiUDelete", Dialog::Message, [this] { selectUsers({Org::Bob}); },
         [](TFrmUsersManage& w) { w.MiUDeleteClick(); },
         u"select 1 - count(*) from Users where Uid = 2"_s},
        {"users dropped, role asked", Dialog::Message,
         [this] {
             qint32 ctrl = 0;
             AT(ctrl, Sc_USERDC);
             setSettingsCtrl(ctrl);
             selectUsers({Org::Bob});
         },
         [onTree](TFrmUsersManage& w) { w.TV_DepartmentDragDrop(onTree(Org::Alpha)); },
         u"select count(*) from Users where Uid = 2 and Pid = 5"_s},
        {"tree right-click, reload fails", Dialog::Message,
         [this] { db->dropTable(u"UserRole"_s); },
         [onTree](TFrmUsersManage& w) {
             emit w.ui()->TV_Department->customContextMenuRequested(onTree(Org::Zeta));
         },
         QString(), true},
        {"department dropped, reload fails", Dialog::Message,
         [this] {
             selectDepart(Org::Omega);
             db->dropTable(u"UserRole"_s);
         },
         [onTree](TFrmUsersManage& w) { w.TV_DepartmentDragDrop(onTree(Org::Alpha)); },
         u"select count(*) from UserSort where id = 4 and pid = 5"_s, true},
    };
    const auto go = [](Dialog dialog, QDialog& shown) {
        if (dialog == Dialog::Input) {
            shown.findChild<QLineEdit*>(u"EdValue"_s)->setText(u"Added"_s);
            shown.findChild<QPushButton*>(u"BtOK"_s)->click();
            return shown.result();
        }
        if (dialog == Dialog::UserInfo) {
            auto& info = static_cast<TFrmUserInfo&>(shown);
            info.ui()->EdUserName->setText(u"Added"_s);
            info.ui()->BtOk->click();
            return shown.result();
        }
        auto& box = static_cast<QMessageBox&>(shown);
        QAbstractButton* yes = box.button(QMessageBox::Yes);
        (yes ? yes : box.button(QMessageBox::Ok))->click();
        return int(yes ? QMessageBox::Yes : QMessageBox::Ok);
    };
    for (const bool closes : {true, false}) {
        for (const Command& command : commands) {
            if (command.reloadFails && !closes)
                continue; // a reload in the meantime would fail as well
            SCOPED_TRACE(testing::Message() << command.name << (closes ? ", closed" : ""));
            TearDown();
            SetUp();
            logon.CurDepartId = 0;
            open();
            command.prepare();
            script.answer([this, &command, closes, go](QDialog& shown) {
                if (closes)
                    CloseBplForm();
                else
                    selectDepart(Org::Alpha);
                return go(command.dialog, shown);
            });
            command.run(window());
            if (closes) {
                EXPECT_EQ(FrmUsersManage, nullptr);
                continue;
            }
            waitForList();
            expectListConsistent();
            EXPECT_EQ(number(command.effect), 1) << command.effect.toStdString();
        }
    }
}

// Edits, filters and reloads in a random order, loads interrupted anywhere: the counters and
// the Uid index always match the rows listed.
TEST_P(UserListLoadTest, CountersAndIndexFollowRandomEditsAndLoads) {
    QRandomGenerator random(20261206);
    const qint32 departs[] = {0, Org::Zeta, Org::Omega, Org::Alpha, Org::Beta};
    open();
    for (int step = 0; step < 60; ++step) {
        SCOPED_TRACE(testing::Message() << "step " << step);
        window().userLoader()->setRowsPerSlice(1 + int(random.bounded(4)));
        UserListModel& users = *window().userList();
        switch (random.bounded(5)) {
        case 0:
            selectDepart(departs[random.bounded(5)]);
            break;
        case 1:
            (random.bounded(2) ? window().ui()->S_Online : window().ui()->S_All)->trigger();
            break;
        case 2: // a user added elsewhere, appended as the add command does
            addUsers(Org::Zeta, 1, random.bounded(2));
            users.appendRow({UserRow::OfflineImage,
                             u"new"_s,
                             {u"Zeta"_s, {}, {}, {}, u"V"_s, {}, {}},
                             {qint32(number(u"select max(Uid) from Users"_s)), false, {}}});
            break;
        case 3:
            if (users.rowCount() > 0) {
                const int first = int(random.bounded(users.rowCount()));
                users.removeRowsAt({first, int(random.bounded(users.rowCount()))});
            }
            break;
        default:
            if (users.rowCount() > 0)
                users.setOnlineAt(int(random.bounded(users.rowCount())), random.bounded(2));
            break;
        }
        window().RefreshStatus(); // as the commands do after their edits
        runSlices(int(random.bounded(3)));
        expectListConsistent();
    }
    waitForList();
    expectListConsistent();
}

// F5 reads the tree and the list again (a user added elsewhere appears) and keeps, unsorted and
// sorted, the selected department, the selected users and the top row, the rows in slices.
TEST_P(UserListLoadTest, RereadKeepsSelectionAndScrollPosition) {
    addUsers(Org::Alpha, 300, false);
    open();
    QTableView* list = window().ui()->LV_Man;
    const auto topUid = [&] { return window().userList()->row(list->indexAt({}).row()).Item.Id; };
    db->exec(u"insert into UserSort (id, pid, name) values (20, 5, 'Elsewhere')"_s);
    db->exec(u"insert into Users (Uid, Pid, UserName) values (999, 20, 'newcomer')"_s);
    for (const int column : {-1, 0}) {
        SCOPED_TRACE(testing::Message() << "sorted by " << column);
        list->sortByColumn(column, Qt::DescendingOrder);
        list->scrollTo(window().userList()->index(150, 0), QAbstractItemView::PositionAtTop);
        const qint32 top = topUid();
        selectUsers({Org::Bob, top});
        window().userLoader()->setRowsPerSlice(7);
        window().RereadViews();
        waitForList();
        EXPECT_EQ(treeParentOf(20), Org::Alpha);
        EXPECT_EQ(selectedDepart(), 0);
        EXPECT_GE(window().userList()->findById(999), 0);
        EXPECT_EQ(topUid(), top);
        QList<qint32> selected;
        for (const int row : window().selectedRows())
            selected.append(window().userList()->row(row).Item.Id);
        std::sort(selected.begin(), selected.end());
        EXPECT_EQ(selected, (QList<qint32>{Org::Bob, top}));
    }
}

// A batch the server is slow to send is waited for between slices, not inside one: the window
// answers meanwhile, and every record still comes, in order.
TEST_P(UserListLoadTest, SlowBatchIsWaitedForBetweenSlices) {
    if (GetParam() != DbBackend::PostgreSQL)
        GTEST_SKIP() << "SQLite has no server to wait for";
    SlicedRead read(logon.Connection);
    QList<qint64> read1000;
    read.start(u"select g, pg_sleep(case when g = 700 then 1 else 0 end) "
               u"from generate_series(1, 1000) g"_s,
               [&](const DbCursor&) -> SlicedRead::Record {
                   return [&](const DbCursor& c) { read1000.append(c.integer(0)); };
               });
    QElapsedTimer whole, sinceTick;
    qint64 longestGap = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });
    whole.start();
    sinceTick.start();
    ticks.start(20);
    while (read.isRunning())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_GE(whole.elapsed(), 900);
    EXPECT_LT(longestGap, 500);
    QList<qint64> expected(1000);
    std::iota(expected.begin(), expected.end(), 1);
    EXPECT_EQ(read1000, expected);
}

INSTANTIATE_TEST_SUITE_P(Backends, UserListLoadTest, ::testing::ValuesIn(testBackends()),
                         backendName);

} // namespace
