#include "MainWindowFixture.h"

#include "DbQuery.h"
#include "FlagSets.h"
#include "Multilanguage.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QSqlQuery>
#include <QTreeView>

using namespace Qt::StringLiterals;

class DepartEditingTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        open();
    }

    qint64 parentOf(qint32 departId) {
        return number(u"select pid from UserSort where id = "_s + QString::number(departId));
    }

    void addDepart(qint32 id, qint32 pid, const QString& name) {
        db->exec(
            u"insert into UserSort (id, pid, name) values (%1, %2, '%3')"_s.arg(id).arg(pid).arg(
                name));
    }

    bool dragOver(qint32 departId) { return window().TV_DepartmentDragOver(pointOf(departId)); }
};

TEST_P(DepartEditingTest, AddPutsTheDepartmentUnderTheSelectedOneOrAtTopLevel) {
    const QString gamma = u"select id from UserSort where name = 'Gamma'"_s;
    selectDepart(Org::Zeta);
    script.answerInput(u"Gamma"_s);
    window().MiDAddClick();
    ASSERT_EQ(count(u"UserSort where name = 'Gamma'"_s), 1);
    EXPECT_EQ(parentOf(number(gamma)), Org::Zeta);
    EXPECT_EQ(treeParentOf(number(gamma)), Org::Zeta);
    EXPECT_EQ(selectedDepart(), Org::Zeta);

    selectDepart(0);
    script.answerInput(u"Legal "_s); // stored as typed, shown trimmed
    window().MiDAddClick();
    const qint32 legal = number(u"select id from UserSort where name = 'Legal '"_s);
    EXPECT_EQ(parentOf(legal), 0);
    ASSERT_TRUE(node(legal).isValid());
    EXPECT_EQ(node(legal).data().toString(), u"Legal"_s);
    EXPECT_EQ(treeParentOf(legal), 0);
}

TEST_P(DepartEditingTest, DuplicateBlankAndInvalidNamesChangeNothing) {
    addDepart(20, Org::Omega, u"Ärzte"_s); // the letter with its accent as one character
    window().BuildDepartTree();
    selectDepart(Org::Alpha);
    const QString duplicate = GetString(u"DepartExist"_s);
    const QString blank = GetString(u"Depart"_s) + GetString(u"NameNullError"_s);
    const QString invalid = GetString(u"InvalidExt"_s) + u" \\ / : * ? \" < > |"_s;
    const std::pair<QString, QString> cases[] = {
        {u"Omega"_s, duplicate},       // under another parent
        {u"oMEGA"_s, duplicate},       // letter case ignored
        {u" Omega  "_s, duplicate},    // blanks around ignored
        {u"a\u0308rzte"_s, duplicate}, // the same letter and accent as two characters
        {u"   "_s, blank},
        {u"What?"_s, invalid},
        // Cut or changed on the way into the database: a NUL, a control character, a broken
        // surrogate pair.
        {u"Nul"_s + QChar(0) + u"x"_s, GetString(u"InvalidExt"_s) + u" U+0000"_s},
        {u"Tab\tx"_s, GetString(u"InvalidExt"_s) + u" U+0009"_s},
        {u"Omega"_s + QChar(0xD83D), GetString(u"InvalidExt"_s) + u" U+D83D"_s},
        {QChar(0xDE00) + u"Beta"_s, GetString(u"InvalidExt"_s) + u" U+DE00"_s},
        // Invisible: a zero-width space, a tag character outside the basic plane.
        {u"Sa\u200Bles"_s, GetString(u"InvalidExt"_s) + u" U+200B"_s},
        {u"Sales\U000E0001"_s, GetString(u"InvalidExt"_s) + u" U+E0001"_s},
    };
    for (const auto& [name, refusal] : cases) {
        SCOPED_TRACE(name.toStdString());
        ModalScript attempt;
        attempt.answerInput(name).answerMessage(QMessageBox::Ok);
        window().MiDAddClick();
        EXPECT_EQ(attempt.messages(), QStringList{refusal});
        attempt.expectDone();
    }
    EXPECT_EQ(count(u"UserSort"_s), Org::DepartCount + 1);
    EXPECT_EQ(nodeCount(), 6);
}

TEST_P(DepartEditingTest, RenameToItsOwnNameIsAllowedToAnotherNameRefusedCancelSilent) {
    const QString omegaName = u"select name from UserSort where id = 4"_s;
    selectDepart(Org::Omega);
    script.reject().reject();
    window().MiDAddClick();
    window().MiDModifyClick();
    EXPECT_TRUE(script.messages().isEmpty());

    script.answerInput(u"Omega"_s);
    window().MiDModifyClick();
    EXPECT_TRUE(script.messages().isEmpty());

    script.answerInput(u"Zeta"_s).answerMessage(QMessageBox::Ok);
    window().MiDModifyClick();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"DepartExist"_s)});
    EXPECT_EQ(db->scalar(omegaName).toString(), u"Omega"_s);

    script.answerInput(u" East "_s);
    window().MiDModifyClick();
    EXPECT_EQ(db->scalar(omegaName).toString(), u" East "_s);
    EXPECT_EQ(node(Org::Omega).data().toString(), u" East "_s) << "as entered";
    script.answerInput(u"EAST"_s).answerMessage(QMessageBox::Ok);
    window().MiDAddClick();
    EXPECT_EQ(script.messages().last(), GetString(u"DepartExist"_s)) << "stored with blanks";
    EXPECT_EQ(count(u"UserSort"_s), Org::DepartCount);
}

// Sub-departments and users of a deleted department end under its parent, with their roles.
TEST_P(DepartEditingTest, DeleteMovesSubDepartmentsAndUsersToTheParent) {
    addDepart(20, Org::Omega, u"East"_s);
    addDepart(21, Org::Omega, u"West"_s);
    for (int i = 0; i < 4; ++i)
        db->exec(u"insert into Users (Pid, UserName, RoleId) values (4, 'n%1', 2)"_s.arg(i));
    window().BuildDepartTree();
    selectDepart(Org::Omega);
    script.answerMessage(QMessageBox::Yes);
    window().MiDDeleteClick();

    EXPECT_EQ(script.messages(), QStringList{GetString(u"DeleteConfirm"_s) + u" Omega"_s});
    EXPECT_EQ(count(u"UserSort where id = 4"_s), 0);
    EXPECT_EQ(parentOf(20), Org::Zeta);
    EXPECT_EQ(parentOf(21), Org::Zeta);
    EXPECT_EQ(count(u"Users where Pid = 3"_s), 2 + 1 + 4);
    EXPECT_FALSE(node(Org::Omega).isValid());
    EXPECT_EQ(treeParentOf(20), Org::Zeta);
    EXPECT_EQ(nodeCount(), 6);
    ASSERT_TRUE(window().selectedNode().isValid());
    EXPECT_EQ(logon.CurDepartId, selectedDepart()) << "the list follows the new selection";

    // A top-level department hands its content to the top level: pid 0.
    selectDepart(Org::Zeta);
    script.answerMessage(QMessageBox::Yes);
    window().MiDDeleteClick();
    for (const qint32 id : {Org::Beta, 20, 21}) {
        EXPECT_EQ(parentOf(id), 0) << id;
        EXPECT_EQ(treeParentOf(id), 0) << id;
    }
    EXPECT_EQ(count(u"Users where Pid = 0"_s), 1 + 7);
    EXPECT_EQ(count(u"Users where RoleId = 2 and UserName like 'n%'"_s), 4); // roles kept
    EXPECT_EQ(nodeCount(), 5);
}

// The root and the protected department are refused before any question; No changes nothing.
TEST_P(DepartEditingTest, RootProtectedAndDeclinedDeletesChangeNothing) {
    selectDepart(0);
    window().MiDModifyClick(); // no dialog may open: the script has no answer
    window().MiDDeleteClick();

    selectDepart(Org::Beta);
    script.answerMessage(QMessageBox::Ok);
    window().MiDDeleteClick();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"DepartDeleteError"_s)});

    selectDepart(Org::Zeta);
    script.answerMessage(QMessageBox::No);
    window().MiDDeleteClick();
    EXPECT_EQ(count(u"UserSort"_s), Org::DepartCount);
    EXPECT_EQ(count(u"Users where Pid = 3"_s), 2);
    EXPECT_EQ(nodeCount(), 5);
}

TEST_P(DepartEditingTest, DragRules) {
    addDepart(20, Org::Omega, u"East"_s);
    window().BuildDepartTree();
    selectDepart(Org::Alpha);
    tree().collapse(node(Org::Zeta));
    EXPECT_TRUE(dragOver(Org::Zeta));
    EXPECT_TRUE(tree().isExpanded(node(Org::Zeta))) << "hovering opens a collapsed department";

    struct Case {
        qint32 selected;
        QList<qint32> users; // none: the department is dragged
        qint32 target;
        bool accepted;
        const char* why;
    };
    const Case cases[] = {
        {Org::Zeta, {}, Org::Zeta, false, "onto itself"},
        {Org::Zeta, {}, Org::Omega, false, "onto its child"},
        {Org::Zeta, {}, 20, false, "onto its grandchild"},
        {Org::Zeta, {}, 0, false, "onto its parent, the root"},
        {Org::Omega, {}, Org::Zeta, false, "a sub-department onto its parent"},
        {Org::Omega, {}, 0, true, "a sub-department onto the root"},
        {Org::Omega, {}, Org::Beta, true, "onto a sibling"},
        {Org::Zeta, {Org::Alice, Org::Bob}, 0, false, "users onto the root"},
        {Org::Zeta, {Org::Alice, Org::Bob}, Org::Zeta, false, "users where they are"},
        {Org::Zeta, {Org::Alice, Org::Bob}, Org::Omega, true, "users elsewhere"},
        {0, {Org::Alice}, Org::Zeta, false, "listed at the root, judged by their department"},
        {0, {Org::Erin}, Org::Zeta, true, "listed at the root, from another department"},
    };
    for (const Case& c : cases) {
        selectDepart(c.selected);
        selectUsers(c.users);
        EXPECT_EQ(dragOver(c.target), c.accepted) << c.why;
    }
    EXPECT_FALSE(window().TV_DepartmentDragOver({-5, -5})) << "onto no node";
}

TEST_P(DepartEditingTest, DroppedDepartmentMovesUnderTheTarget) {
    selectDepart(Org::Omega);
    window().TV_DepartmentDragDrop(pointOf(0));
    EXPECT_EQ(parentOf(Org::Omega), 0);
    EXPECT_EQ(treeParentOf(Org::Omega), 0);
    EXPECT_EQ(selectedDepart(), 0);
    EXPECT_EQ(listedUids().size(), Org::UserCount);

    selectDepart(Org::Zeta);
    window().TV_DepartmentDragDrop(pointOf(Org::Alpha));
    EXPECT_EQ(parentOf(Org::Zeta), Org::Alpha);
    EXPECT_EQ(treeParentOf(Org::Zeta), Org::Alpha);
    EXPECT_EQ(treeParentOf(Org::Beta), Org::Zeta) << "moved with its sub-departments";
    EXPECT_EQ(selectedDepart(), Org::Alpha);
    EXPECT_TRUE(tree().isExpanded(node(Org::Alpha)));
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Erin});
}

// Dropped users take the target's default role unless the settings ask and the answer is No.
TEST_P(DepartEditingTest, DroppedUsersRoleFollowsTheSettingsAndTheAnswer) {
    struct Case {
        bool ask;
        QMessageBox::StandardButton answer;
        qint32 role;
    };
    const Case cases[] = {{false, QMessageBox::NoButton, Org::Manager},
                          {true, QMessageBox::No, Org::Staff},
                          {true, QMessageBox::Yes, Org::Manager}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.ask << " " << c.answer);
        db->exec(u"update Users set Pid = 3, RoleId = 1 where Uid = 1"_s);
        qint32 ctrl = 0;
        if (c.ask)
            AT(ctrl, Sc_USERDC);
        setSettingsCtrl(ctrl);
        selectDepart(Org::Zeta);
        selectUsers({Org::Alice});
        ModalScript question;
        if (c.ask)
            question.answerMessage(c.answer);
        window().TV_DepartmentDragDrop(pointOf(Org::Alpha));

        EXPECT_EQ(question.messages().size(), c.ask ? 1 : 0);
        EXPECT_EQ(userField(Org::Alice, u"Pid"_s), Org::Alpha);
        EXPECT_EQ(userField(Org::Alice, u"RoleId"_s), c.role);
        EXPECT_EQ(userField(Org::Bob, u"Pid"_s), Org::Zeta);
        EXPECT_EQ(selectedDepart(), Org::Alpha);
        EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Erin}));
        expectCounters(2, 2, 2);
        question.expectDone();
    }
}

TEST_P(DepartEditingTest, AddAndRenameFailuresShowThePrefixAndLeaveTheTree) {
    selectDepart(Org::Omega);
    db->dropTable(u"UserSort"_s);
    script.answerInput(u"East"_s).answerMessage(QMessageBox::Ok);
    window().MiDModifyClick();
    expectFailure(u"Depart Modify Error:"_s);
    EXPECT_EQ(node(Org::Omega).data().toString(), u"Omega"_s);

    script.answerInput(u"Legal"_s).answerMessage(QMessageBox::Ok);
    window().MiDAddClick();
    expectFailure(u"Depart New Error:"_s, 1);
    EXPECT_EQ(nodeCount(), 5);
}

// The department is created; only showing the tree again failed, and that is what is said.
TEST_P(DepartEditingTest, RebuildFailureAfterAnInsertIsNotReportedAsAFailedInsert) {
    db->exec(u"alter table UserSort drop column used"_s);
    script.answerInput(u"Legal"_s).answerMessage(QMessageBox::Ok);
    window().MiDAddClick();
    expectFailure(u"BuildDepartTree failed: "_s);
    EXPECT_EQ(count(u"UserSort where name = 'Legal'"_s), 1);
}

TEST_P(DepartEditingTest, DeleteAndDropFailuresShowThePrefixAndLeaveTreeAndList) {
    db->dropTable(u"other"_s);
    selectDepart(Org::Omega);
    script.answerMessage(QMessageBox::Ok);
    window().MiDDeleteClick();
    expectFailure(u"Depart Delete Error:"_s);
    EXPECT_TRUE(node(Org::Omega).isValid());
    EXPECT_EQ(count(u"UserSort"_s), Org::DepartCount);

    selectDepart(Org::Zeta);
    selectUsers({Org::Bob});
    script.answerMessage(QMessageBox::Ok);
    window().TV_DepartmentDragDrop(pointOf(Org::Alpha));
    expectFailure(u"TV_ManDragDrop:"_s, 1);
    EXPECT_EQ(selectedDepart(), Org::Zeta);
    EXPECT_EQ(listedUids(), (QList<qint32>{Org::Alice, Org::Bob}));
    EXPECT_EQ(userField(Org::Bob, u"Pid"_s), Org::Zeta);
    expectCounters(2, 1, 1);
}

// Another console changed the tree meanwhile: moves and adds are checked against the database
// as they are written, refused with a message, and the tree is read again.
TEST_P(DepartEditingTest, ChangesAgainstAStaleTreeAreRefused) {
    open();
    const auto elsewhere = [this](const QString& sql) {
        auto other = db->openConnection();
        DbCommand(other.get(), sql).execute();
    };
    // Zeta went under Alpha: Alpha dropped on Omega would close a loop.
    elsewhere(u"update UserSort set pid = 5 where id = 3"_s);
    selectDepart(Org::Alpha);
    script.answerMessage(QMessageBox::Ok);
    window().TV_DepartmentDragDrop(pointOf(Org::Omega));
    EXPECT_EQ(number(u"select pid from UserSort where id = 5"_s), 0);
    EXPECT_EQ(treeParentOf(Org::Zeta), Org::Alpha) << "the tree as the database has it";

    // Omega was deleted: nothing is added under it, no user lands in it.
    const QModelIndex omega = node(Org::Omega);
    elsewhere(u"delete from UserSort where id = 4"_s);
    tree().setCurrentIndex(omega);
    script.answerInput(u"Child"_s).answerMessage(QMessageBox::Ok);
    window().MiDAddClick();
    EXPECT_EQ(count(u"UserSort where name = 'Child'"_s), 0);
    EXPECT_FALSE(node(Org::Omega).isValid());

    db->exec(u"insert into UserSort (id, pid, name) values (4, 5, 'Omega')"_s);
    window().BuildDepartTree();
    selectDepart(Org::Zeta);
    selectUsers({Org::Bob});
    const QPoint target = pointOf(Org::Omega);
    elsewhere(u"delete from UserSort where id = 4"_s);
    script.answerMessage(QMessageBox::Ok);
    window().TV_DepartmentDragDrop(target);
    EXPECT_EQ(userField(Org::Bob, u"Pid"_s), Org::Zeta);
    EXPECT_EQ(script.messages().size(), 3);
    for (const QString& message : script.messages())
        EXPECT_EQ(message, GetString(u"DepartChanged"_s));
}

// A failure on the last statement of an action of several leaves the database as it was: the
// department delete with its re-parenting, the users' drop one user after another.
TEST_P(DepartEditingTest, ActionsOfSeveralStatementsHappenWholeOrNotAtAll) {
    const auto refuse = [this](const QString& table, const QString& when) {
        if (db->backend() == DbBackend::SQLite) { // one statement, with ';' in its body
            QSqlQuery(u"create trigger refuse_"_s + when.left(3) + u" before "_s + table +
                          u" when "_s + when + u" begin select raise(abort, 'refused'); end"_s,
                      db->connection()->database());
            return;
        }
        db->exec(u"create or replace function refuse() returns trigger language plpgsql as "
                 u"'begin raise exception ''refused''; end'"_s);
        db->exec(u"create trigger refuse before "_s + table + u" for each row when ("_s + when +
                 u") execute function refuse()"_s);
    };
    const auto snapshot = [this] {
        return QStringList{QString::number(count(u"UserSort where pid = 3"_s)),
                           QString::number(count(u"Users where Pid = 3"_s)),
                           QString::number(count(u"UserSort"_s))};
    };
    refuse(u"delete on UserSort"_s, u"old.id = 3"_s);
    open();
    const QStringList before = snapshot();
    selectDepart(Org::Zeta);
    script.answerMessage(QMessageBox::Yes).answerMessage(QMessageBox::Ok);
    window().MiDDeleteClick();
    expectFailure(u"Depart Delete Error:"_s, 1);
    EXPECT_EQ(snapshot(), before);

    refuse(u"update on Users"_s, u"new.Uid = 2"_s);
    selectDepart(Org::Zeta);
    selectUsers({Org::Alice, Org::Bob});
    script.answerMessage(QMessageBox::Ok);
    window().TV_DepartmentDragDrop(pointOf(Org::Alpha));
    EXPECT_EQ(userField(Org::Alice, u"Pid"_s), Org::Zeta);
    EXPECT_EQ(userField(Org::Bob, u"Pid"_s), Org::Zeta);
}

INSTANTIATE_TEST_SUITE_P(Backends, DepartEditingTest, ::testing::ValuesIn(testBackends()),
                         backendName);
