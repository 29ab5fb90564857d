// Several consoles and the server side on one database: the window follows what the others
// write, waits for their locks visibly, and its edits never break the department table.
#include "MainWindowFixture.h"

#include "DbCursor.h"
#include "DbQuery.h"
#include "DbTransaction.h"
#include "LiveRefresh.h"
#include "Multilanguage.h"
#include "UserListModel.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

class ManyConsolesTest : public MainWindowTest {
protected:
    // The bound within which a change made elsewhere shows, with room for a loaded machine.
    static constexpr int FollowMs = LiveRefresh::RefreshIntervalMs + DbChangeWatcher::PollMs;

    void elsewhere(const QString& sql) { DbCommand(other.get(), sql).execute(); }

    // Counts the list's reloads from now on.
    void countReloads() {
        QObject::connect(window().userList(), &QAbstractItemModel::modelReset,
                         [this] { ++reloads; });
    }

    std::unique_ptr<DbConnection> other;
    int reloads = 0;
};

TEST_P(ManyConsolesTest, ChangesOfOthersShowWithinTheBoundAndAgentStatesCauseNoReload) {
    db->exec(u"insert into UserSort (id, pid, name) values (21, 5, 'Lab')"_s);
    open();
    other = db->openConnection();
    tree().expand(node(Org::Alpha));
    selectDepart(Org::Zeta);
    window().ui()->S_NotOn->trigger();
    waitForList();
    countReloads();
    for (int i = 0; i < 100; ++i) // what the server side writes all the time
        elsewhere(u"update Users set Onlined = %1, Ip = '127.0.9.%2', ComputerName = 'PC', "
                  u"CliVer = '4', HardNo = 'H' where Uid = 1"_s.arg(-(i % 2))
                      .arg(i));
    QTest::qWait(3 * DbChangeWatcher::PollMs);
    EXPECT_EQ(reloads, 0);

    QElapsedTimer shown;
    shown.start();
    elsewhere(u"insert into UserSort (id, pid, name) values (20, 3, 'Gamma')"_s);
    elsewhere(u"update Users set UserName = 'robert' where Uid = 2"_s);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return node(20).isValid() && cell(Org::Bob, 0) == u"robert"_s; }, FollowMs + 1000));
    EXPECT_LT(shown.elapsed(), FollowMs);
    EXPECT_EQ(selectedDepart(), Org::Zeta);
    EXPECT_TRUE(tree().isExpanded(node(Org::Alpha))) << "an open department stays open";
    waitForList();
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Bob}) << "the filter is kept";
    EXPECT_EQ(reloads, 2) << "both changes in one refresh: the tree's load, then the filter's";

    // A burst of changes right after a refresh: one more refresh, not before the interval.
    shown.restart();
    for (int i = 0; i < 5; ++i)
        elsewhere(u"update UserSort set name = 'Gamma%1' where id = 20"_s.arg(i));
    ASSERT_TRUE(QTest::qWaitFor([&] { return node(20).data().toString() == u"Gamma4"_s; },
                                FollowMs + 1000));
    EXPECT_GE(shown.elapsed(), LiveRefresh::RefreshIntervalMs - DbChangeWatcher::PollMs);
    QTest::qWait(DbChangeWatcher::PollMs * 2);
    EXPECT_EQ(reloads, 4);
}

TEST_P(ManyConsolesTest, NoRefreshDisturbsADialogInProgress) {
    open();
    other = db->openConnection();
    QDialog editing(&window());
    editing.setModal(true);
    editing.show();
    countReloads();
    elsewhere(u"update Users set UserName = 'robert' where Uid = 2"_s);
    QTest::qWait(FollowMs + 500);
    EXPECT_EQ(reloads, 0);
    editing.close();
    EXPECT_TRUE(QTest::qWaitFor([&] { return reloads == 1; }, 1000));
}

// While another program holds the write lock an edit waits with the hourglass, then fails
// saying why, and nothing is changed.
TEST_P(ManyConsolesTest, AnEditWaitingForAnotherWriterShowsTheHourglassThenSaysNothingChanged) {
    DbSettings settings = db->settings();
    settings.lockTimeoutMs = 400;
    const auto console = DbConnection::open(settings);
    logon.Connection = console.get();
    open();
    other = db->openConnection();
    QSqlDatabase holder = other->database();
    ASSERT_TRUE(holder.transaction());
    ASSERT_TRUE(QSqlQuery(holder).exec(u"update UserSort set name = 'Held' where id = 5"_s));
    std::optional<Qt::CursorShape> cursorWhileWaiting;
    QObject::connect(console.get(), &DbConnection::waitingForLock, [&] {
        if (const QCursor* cursor = QApplication::overrideCursor())
            cursorWhileWaiting = cursor->shape();
    });
    selectDepart(Org::Alpha);
    script.answerInput(u"Renamed"_s).answerMessage(QMessageBox::Ok);
    window().MiDModifyClick();
    EXPECT_EQ(script.messages(),
              QStringList{u"Depart Modify Error:"_s + GetString(u"DatabaseLocked"_s)});
    if (GetParam() == DbBackend::SQLite) {
        EXPECT_EQ(cursorWhileWaiting, Qt::WaitCursor);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    ASSERT_TRUE(holder.rollback());
    EXPECT_EQ(db->scalar(u"select name from UserSort where id = 5"_s).toString(), u"Alpha"_s);
    EXPECT_EQ(node(Org::Alpha).data().toString(), u"Alpha"_s);
    logon.Connection = db->connection();
}

// Two consoles add, move and delete departments at random; the window acts on a tree that is
// often stale, the other console on the database as it is. Afterwards every department hangs
// from the root without a loop, and every user sits in a department.
TEST_P(ManyConsolesTest, RandomEditsOfTwoConsolesNeverBreakTheTree) {
    db->exec(u"delete from UserSort where id in (9, 10)"_s); // the fixture's deliberate orphans
    db->exec(u"update Users set Pid = 0 where Uid = 4"_s);
    db->exec(u"update other set depart = 0"_s); // every department may be deleted
    open();
    other = db->openConnection();
    QRandomGenerator random(20261206);
    int refusals = 0;
    const auto departIds = [this] {
        QList<qint32> ids;
        DbQuery query(other.get());
        query.setSql(u"select id from UserSort"_s);
        for (query.open(); !query.eof(); query.next())
            ids.append(query.asInteger(u"id"_s));
        return ids;
    };
    const auto anyOf = [&](const QList<qint32>& ids) {
        return ids.isEmpty() ? 0 : ids.at(random.bounded(int(ids.size())));
    };
    // The other console acts correctly on the database as it is now.
    const auto otherConsoleActs = [&](int step) {
        const QList<qint32> ids = departIds();
        const qint32 a = anyOf(ids), b = anyOf(ids);
        switch (random.bounded(5) / 2) { // adds and moves twice as often as deletes
        case 0:
            elsewhere(u"insert into UserSort (pid, name) values (%1, 'B%2')"_s.arg(a).arg(step));
            break;
        case 1: {
            const qint64 loops =
                db->scalar(
                      u"with recursive up(id, pid) as (select id, pid from UserSort where id = %1 "
                      u"union select s.id, s.pid from UserSort s join up on s.id = up.pid) "
                      u"select count(*) from up where id = %2"_s.arg(b)
                          .arg(a))
                    .toLongLong();
            if (a != 0 && loops == 0)
                elsewhere(u"update UserSort set pid = %1 where id = %2"_s.arg(b).arg(a));
            break;
        }
        default:
            if (a == 0)
                break;
            const qint32 parent =
                db->scalar(u"select pid from UserSort where id = %1"_s.arg(a)).toInt();
            DbTransaction whole(*other);
            elsewhere(u"update UserSort set pid = %1 where pid = %2"_s.arg(parent).arg(a));
            elsewhere(u"update Users set Pid = %1 where Pid = %2"_s.arg(parent).arg(a));
            elsewhere(u"delete from UserSort where id = %1"_s.arg(a));
            whole.commit();
        }
    };
    // The window acts on its tree as shown, whatever it missed.
    const auto windowActs = [&](int step) {
        QList<qint32> shown;
        for (const QModelIndex& node : treeNodes())
            shown.append(window().departs()->departId(node));
        const qint32 a = anyOf(shown), b = anyOf(shown);
        selectDepart(a);
        ModalScript answers; // any refusal is answered with OK
        switch (random.bounded(5) / 2) {
        case 0:
            answers.answerInput(u"A%1"_s.arg(step)).answerMessage(QMessageBox::Ok);
            window().MiDAddClick();
            break;
        case 1:
            answers.answerMessage(QMessageBox::Ok);
            window().TV_DepartmentDragDrop(pointOf(b));
            break;
        default:
            answers.answerMessage(QMessageBox::Yes).answerMessage(QMessageBox::Ok);
            window().MiDDeleteClick();
        }
        refusals += int(answers.messages().count(GetString(u"DepartChanged"_s)));
        for (const QString& message : answers.messages())
            EXPECT_TRUE(message == GetString(u"DepartChanged"_s) ||
                        message.startsWith(GetString(u"DeleteConfirm"_s)))
                << message.toStdString();
    };
    for (int step = 0; step < 80; ++step) {
        SCOPED_TRACE(step);
        if (random.bounded(2) == 0)
            otherConsoleActs(step);
        else
            windowActs(step);
    }
    EXPECT_GT(refusals, 2) << "the window acted on a stale tree now and then";
    const qint64 departs = db->scalar(u"select count(*) from UserSort"_s).toLongLong();
    const qint64 reachable =
        db->scalar(u"with recursive down(id, n) as (select id, 0 from UserSort where pid = 0 "
                   u"union all select s.id, n + 1 from UserSort s join down on s.pid = down.id "
                   u"where n < 1000) select count(distinct id) from down"_s)
            .toLongLong();
    EXPECT_EQ(reachable, departs) << "a department in a loop or under a missing parent";
    EXPECT_EQ(db->scalar(u"select count(*) from Users where Pid <> 0 and Pid not in "
                         u"(select id from UserSort)"_s)
                  .toInt(),
              0);
}

// A failed load leaves the caption, the empty list and the status line about the selected
// department, also after F5. When the server drops both sessions of the window (a restart), the
// next click lists the department.
TEST_P(ManyConsolesTest, AfterAFailedLoadOrADroppedSessionCaptionListAndStatusAgree) {
    open();
    db->exec(u"alter table UserRole rename to RoleGone"_s);
    for (int failure = 0; failure < 2; ++failure) {
        script.answerMessage(QMessageBox::Ok);
        failure == 0 ? selectDepart(Org::Alpha) : window().RereadViews();
        expectFailure(u"ShowUsers failed: "_s, failure);
        EXPECT_EQ(window().ui()->LbDepart->text(), GetString(u"Depart"_s) + u" >> Alpha"_s);
        EXPECT_EQ(logon.CurDepartId, Org::Alpha);
        EXPECT_EQ(statusTexts(), expectedStatus(0, 0, 0, 0, 0));
    }
    db->exec(u"alter table RoleGone rename to UserRole"_s);
    if (GetParam() == DbBackend::SQLite)
        return;
    other = db->openConnection();
    for (const bool both : {false, true}) { // the reader alone, then both sessions
        DbCursor reader(db->connection());
        reader.open(u"select pg_backend_pid()"_s);
        ASSERT_TRUE(reader.next());
        const QString readerPid = QString::number(reader.integer(0));
        reader.close();
        elsewhere(
            u"select pg_terminate_backend(pid) from pg_stat_activity where pid in (%1, %2)"_s.arg(
                readerPid, both ? db->scalar(u"select pg_backend_pid()"_s).toString() : u"0"_s));
        QTest::qWait(300);
        selectDepart(both ? Org::Zeta : Org::Omega);
        waitForList();
        EXPECT_EQ(listedUids(),
                  (both ? QList<qint32>{Org::Alice, Org::Bob} : QList<qint32>{Org::Carol}));
    }
    EXPECT_EQ(script.messages().size(), 2);
}

INSTANTIATE_TEST_SUITE_P(Backends, ManyConsolesTest, ::testing::ValuesIn(testBackends()),
                         backendName);
