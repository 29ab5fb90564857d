#include "DialogsFixture.h"

#include "FlagSets.h"
#include "Multilanguage.h"
#include "U_ScanClient.h"
#include "UserChoiceList.h"
#include "UserListModel.h"
#include "uUserAuth.h"
#include "uUsersSearchDlg.h"
#include "ui_U_ScanClient.h"
#include "ui_uUserAuth.h"
#include "ui_uUsersSearchDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTimeEdit>
#include <QTreeView>
#include <numeric>

using namespace Qt::StringLiterals;

class UserDialogsTest : public DialogsTest {
protected:
    void SetUp() override {
        DialogsTest::SetUp();
        db->exec(u"insert into EnLevel (LId, LName) values (1, 'Public'), (2, 'Internal'), "
                 u"(3, 'Secret')"_s);
        db->exec(
            u"insert into EnGroup (GId, GName) values (1, 'Base'), (2, 'Dev'), (3, 'Money')"_s);
        db->exec(u"update UserRole set Level = 2, \"group\" = 1 where Rid = 1"_s);
        db->exec(u"update UserRole set Level = 0, \"group\" = null where Rid = 2"_s);
        setSettingsCtrl(1 << Sc_AUTHORITY);
        logon.AdminName = u"admin"_s;
    }

    void setUser(qint32 uid, const QString& assignments) {
        db->exec(u"update Users set "_s + assignments + u" where Uid = "_s + QString::number(uid));
    }
    QString text(const QString& sql) { return db->scalar(sql).toString(); }

    static std::unique_ptr<TFrmUserAuth> authOf(qint32 uid) {
        return shown<TFrmUserAuth>([uid](TFrmUserAuth& d) { d.Uid = uid; });
    }
    static std::unique_ptr<TFrm_ScanClient> scanOf(const QStringList& uids) {
        return shown<TFrm_ScanClient>([&uids](TFrm_ScanClient& d) { d.SelectedUids = uids; });
    }
};

TEST(GroupIdsTest, OnlyWholeNumbersBetweenTheBars) {
    const std::pair<QString, QList<qint32>> cases[] = {
        {u"|1|3|"_s, {1, 3}},         {u"5"_s, {5}},           {u""_s, {}},   {u"abc"_s, {}},
        {u"|2|x|99|3"_s, {2, 99, 3}}, {u"|-1|+2| 4 |"_s, {4}}, {u"||"_s, {}}, {u"1)|(2"_s, {}},
    };
    for (const auto& [text, ids] : cases)
        EXPECT_EQ(groupIdsOf(text), ids) << text.toStdString();
}

// Names from the database read as Qt's decoder reads them: ASCII, Han, two- and four-byte UTF-8; a
// byte order mark; overlong, surrogate, too large, cut short, stray, five-byte sequences; none;
// long ASCII runs before and after the others.
TEST(UserChoicesTest, NamesDecodeAsQtDecodesThem) {
    UserChoices choices;
    for (const QByteArray& bytes :
         QByteArray("alice|\xE5\xBC\xA0\xE4\xB8\x89|\xC3\xA4x|\xF0\x9F\x98\x80|\xEF\xBB\xBF"
                    "bom|\xC0\xAFover|\xED\xA0\x80sur|\xF4\x90\x80\x80|cut\xE5\xBC|\x80lone|"
                    "\xF8\x88\x80\x80\x80|127.100.200.250|abcdefgh\xEF\xBB\xBF|"
                    "abcdefghij\xE5\xBC\xA0klmnopqrstuvw|abcdefgh12345678\xE5\xBC|")
             .split('|'))
        EXPECT_EQ(
            choices.text(choices.add(1, bytes, "", 0, 0), 0),
            QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless).decode(bytes))
            << bytes.toHex().constData();
}

// Loaded in slices of any size, a sorting list shows after each slice (and the showing it
// posts) at least half the rows read, sorted by name, equal names (case folded too) in the
// order read: short names, Han, names longer than the heads that compare whole. A row held
// (selected) stays held. The list of 100,000 rows keeps its entries in blocks mapped in huge
// pages.
TEST(UserChoiceModelTest, SortedLoadShowsTheRowsReadInOrderAfterEverySlice) {
    auto choices = std::make_shared<UserChoices>();
    const QStringList kinds = u"Bob,bob,\u5F20\u4F1F,alexander-the-great-,a"_s.split(u',');
    for (int i = 0; i < 100000; ++i) {
        const QString name = i % 6 < 5 ? kinds[i % 6] : QString::number(i * 7919 % 101);
        choices->add(i, (name + QString::number(i % 3 == 0 ? i % 7 : 0)).toUtf8(), "", 0, 0);
    }
    for (const auto& [count, slice] : {std::pair{300u, 1u},
                                       {300u, 2u},
                                       {300u, 5u},
                                       {300u, 64u},
                                       {300u, 300u},
                                       {100000u, 30000u}}) {
        UserChoiceModel list(choices, {u"name"_s}, {});
        list.setAutoSort(true);
        QPersistentModelIndex held;
        quint32 heldRow = 0;
        for (quint32 row = 0; row < count; ++row) {
            list.addLoaded(row);
            if ((row + 1) % slice != 0 && row < count - 1)
                continue;
            list.loadedSlice(row == count - 1);
            QCoreApplication::sendPostedEvents(&list, QEvent::MetaCall);
            ASSERT_GE(2 * list.rowCount(), int(row + 1)) << slice; // at least half the rows read
            if (!held.isValid())
                heldRow = list.rowAt((held = list.index(list.rowCount() - 1, 0)).row());
            ASSERT_EQ(list.rowAt(held.row()), heldRow) << slice << ' ' << row;
            std::vector<quint32> expected(size_t(list.rowCount()));
            std::iota(expected.begin(), expected.end(), 0u);
            std::stable_sort(expected.begin(), expected.end(), [&](quint32 a, quint32 b) {
                return compareText(choices->name(a), choices->name(b)) < 0;
            });
            for (int shown = 0; shown < list.rowCount(); ++shown)
                ASSERT_EQ(list.rowAt(shown), expected[size_t(shown)]) << slice << ' ' << row;
        }
        EXPECT_EQ(list.rowCount(), int(count));
    }
}

TEST_P(UserDialogsTest, SearchConditionFollowsTheBoxesInTheirOrder) {
    const struct {
        QStringList boxes; // user, department, IP, computer, role, version
        bool fuzzy;
        QString condition;
    } cases[] = {
        {{}, true, {}},
        {{u"abc"_s}, true, u" and UserName  like '%abc%'"_s},
        {{u" abc "_s}, false, u" and UserName  = 'abc'"_s},
        {{u"   "_s, {}, u" x"_s, {}, u"o'neil"_s},
         false,
         u" and Ip  = 'x' and RName  = 'o''neil'"_s},
        {{u"u"_s, u"d"_s, u"i"_s, u"c"_s, u"r"_s, u"v"_s},
         true,
         u" and UserName  like '%u%' and US.Name  like '%d%' and Ip  like '%i%' and ComputerName  "
         u"like '%c%' and RName  like '%r%' and CliVer  like '%v%'"_s},
    };
    for (const auto& c : cases) {
        TFrmUsersSearchDlg dialog;
        Ui::TFrmUsersSearchDlg& ui = *dialog.ui();
        EXPECT_TRUE(ui.CBFuzzy->isChecked());
        const QList<QLineEdit*> boxes{ui.EdUsers,    ui.EdDepart, ui.EdIP,
                                      ui.EdComputer, ui.EdRole,   ui.EdCliVer};
        for (int i = 0; i < c.boxes.size(); ++i)
            boxes[i]->setText(c.boxes[i]);
        ui.CBFuzzy->setChecked(c.fuzzy);
        ui.BtnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(dialog.Condition, c.condition);
    }
}

// Searches look within the selected department, all users at the root.
TEST_P(UserDialogsTest, SearchNarrowsTheList) {
    const struct {
        qint32 depart;
        QLineEdit* Ui::TFrmUsersSearchDlg::*box;
        QString value;
        QList<qint32> listed;
    } cases[] = {
        {0, &Ui::TFrmUsersSearchDlg::EdDepart, u"zeta"_s, {Org::Alice, Org::Bob}},
        {0, &Ui::TFrmUsersSearchDlg::EdUsers, u"o'x"_s, {}},
        {Org::Alpha, &Ui::TFrmUsersSearchDlg::EdUsers, u"r"_s, {Org::Erin}},
        {Org::Alpha, &Ui::TFrmUsersSearchDlg::EdUsers, u"al"_s, {}},
    };
    for (const auto& c : cases) {
        selectDepart(c.depart);
        answerWith<TFrmUsersSearchDlg>([&c](TFrmUsersSearchDlg& d) {
            (d.ui()->*c.box)->setText(c.value);
            d.ui()->BtnOK->click();
        });
        window().BtSearchClick();
        expectListed(c.listed);
    }
    EXPECT_TRUE(script.messages().isEmpty());
}

// Without own values the role's level and group are shown, and OK makes them the user's own.
TEST_P(UserDialogsTest, AuthorityShowsTheRoleDefaultsAndOkMakesThemOwn) {
    auto dialog = authOf(Org::Alice);
    Ui::TFrmUserAuth& ui = *dialog->ui();
    EXPECT_EQ(ui.CobLevel->itemText(0), QString());
    EXPECT_EQ(ui.CobLevel->currentText(), u"Internal"_s);
    EXPECT_EQ(captions(*dialog->done()), QStringList{u"1"_s});
    EXPECT_EQ(captions(*dialog->unDo(), 1), (QStringList{u"Dev"_s, u"Money"_s}));
    EXPECT_TRUE(ui.CBDeCryp->isChecked());
    EXPECT_FALSE(ui.CBReAurh->isChecked());
    ui.BtUAOK->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(userField(Org::Alice, u"uLevel"_s), 2);
    EXPECT_EQ(text(u"select Groups from Users where Uid = 1"_s), u"|1|"_s);
    EXPECT_EQ(userField(Org::Alice, u"Auths"_s), 2);
    EXPECT_TRUE(script.messages().isEmpty());
}

// A level below the role's default, or none, is refused and the default selected again.
TEST_P(UserDialogsTest, AuthorityLevelMayNotFallBelowTheRoleDefault) {
    const struct {
        qint32 uid;
        int from;
        int choose;
        bool refused;
        int after;
    } cases[] = {
        {Org::Alice, 2, 3, false, 3}, {Org::Alice, 2, 1, true, 2}, {Org::Alice, 2, 0, true, 2},
        {Org::Bob, 0, 1, false, 1}, // the role has no level: any level but none
        {Org::Bob, 1, 0, true, 0},
    };
    for (const auto& c : cases) {
        auto dialog = authOf(c.uid);
        QComboBox& level = *dialog->ui()->CobLevel;
        {
            const QSignalBlocker blocker(level);
            level.setCurrentIndex(c.from);
        }
        if (c.refused)
            script.answerMessage(QMessageBox::Ok);
        level.setCurrentIndex(c.choose);
        script.expectDone();
        EXPECT_EQ(level.currentIndex(), c.after) << c.uid << c.choose;
    }
    EXPECT_EQ(script.messages(), QStringList(3, GetString(u"LevelLowerDefault"_s)));
}

TEST_P(UserDialogsTest, AuthorityKeepsTheRoleDefaultGroup) {
    setUser(Org::Alice, u"Groups = '|1|2|'"_s);
    auto dialog = authOf(Org::Alice);
    Ui::TFrmUserAuth& ui = *dialog->ui();
    select(*ui.LVDone, 0);
    script.answerMessage(QMessageBox::Ok);
    ui.BtR->click();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"DefaultGroupDeleteError"_s)});
    EXPECT_EQ(captions(*dialog->done()), (QStringList{u"1"_s, u"2"_s}));
    ui.BtLAll->click();
    EXPECT_EQ(captions(*dialog->done()), (QStringList{u"1"_s, u"2"_s, u"3"_s}));
    ui.BtRAll->click();
    EXPECT_EQ(captions(*dialog->done()), QStringList{u"1"_s});
    EXPECT_EQ(captions(*dialog->unDo()), (QStringList{u"2"_s, u"3"_s}));
    select(*ui.LVUnDo, 1);
    ui.BtL->click();
    ui.BtUAOK->click();
    EXPECT_EQ(text(u"select Groups from Users where Uid = 1"_s), u"|1|3|"_s);
    EXPECT_EQ(script.messages().size(), 1);
}

// Junk and unknown ids in Groups make no broken statement and are dropped on OK; a user and a
// role without groups are offered every group.
TEST_P(UserDialogsTest, AuthorityReadsOnlyExistingWholeGroupIds) {
    const struct {
        qint32 uid;
        QString groups;
        QStringList done;
        QStringList unDo;
        QString written;
    } cases[] = {
        {Org::Alice, u"|2|x|99|3"_s, {u"2"_s, u"3"_s}, {u"1"_s}, u"|2|3|"_s},
        {Org::Alice, u"3"_s, {u"3"_s}, {u"1"_s, u"2"_s}, u"|3|"_s},
        {Org::Bob, u"abc"_s, {}, {u"1"_s, u"2"_s, u"3"_s}, QString()},
        {Org::Bob, QString(), {}, {u"1"_s, u"2"_s, u"3"_s}, QString()},
    };
    for (const auto& c : cases) {
        setUser(c.uid,
                u"Groups = "_s + (c.groups.isNull() ? u"null"_s : u"'"_s + c.groups + u"'"_s));
        auto dialog = authOf(c.uid);
        EXPECT_EQ(captions(*dialog->done()), c.done) << c.groups.toStdString();
        EXPECT_EQ(captions(*dialog->unDo()), c.unDo) << c.groups.toStdString();
        dialog->ui()->BtUAOK->click();
        EXPECT_EQ(text(u"select Groups from Users where Uid = "_s + QString::number(c.uid)),
                  c.written);
    }
    EXPECT_TRUE(script.messages().isEmpty());
}

// Off, only the decrypt box shows; OK clears the user's own level and groups. Bits other than
// the two rights never survive OK.
TEST_P(UserDialogsTest, AuthoritySwitchDecidesLevelAndGroups) {
    for (const bool on : {false, true}) {
        setSettingsCtrl(on ? 1 << Sc_AUTHORITY : 0);
        setUser(Org::Alice, u"Auths = 255, uLevel = 3, Groups = '|2|'"_s);
        auto dialog = authOf(Org::Alice);
        Ui::TFrmUserAuth& ui = *dialog->ui();
        for (QWidget* part : QList<QWidget*>{ui.CBReAurh, ui.LblLevel, ui.CobLevel, ui.GBGroups})
            EXPECT_EQ(part->isVisible(), on) << part->objectName().toStdString();
        ui.BtUAOK->click();
        EXPECT_EQ(userField(Org::Alice, u"Auths"_s), on ? 3 : 2);
        EXPECT_EQ(userField(Org::Alice, u"uLevel"_s), on ? 3 : 0);
        EXPECT_EQ(text(u"select Groups from Users where Uid = 1"_s), on ? u"|2|"_s : QString());
    }
}

// The row follows a change of the decrypt right only.
TEST_P(UserDialogsTest, AuthorityFromTheListRewritesTheRowOnADecryptChange) {
    selectDepart(Org::Zeta);
    selectUsers({Org::Alice});
    setUser(Org::Alice, u"UserName = 'alicia'"_s);
    answerWith<TFrmUserAuth>([](TFrmUserAuth& d) {
        d.ui()->CobLevel->setCurrentIndex(3);
        d.ui()->BtUAOK->click();
    });
    window().MiUAuthClick();
    EXPECT_EQ(cell(Org::Alice, 0), u"alice"_s);
    expectCounters(2, 1, 1);

    answerWith<TFrmUserAuth>([](TFrmUserAuth& d) {
        EXPECT_EQ(d.Uid, Org::Alice);
        d.ui()->CBDeCryp->setChecked(false);
        d.ui()->BtUAOK->click();
    });
    window().LV_ManDblClick();
    EXPECT_EQ(cell(Org::Alice, 0), u"alicia"_s);
    EXPECT_EQ(cell(Org::Alice, 1 + UserListModel::DecryptSubItem), u"-"_s);
    expectCounters(2, 1, 0);
}

TEST_P(UserDialogsTest, AuthorityFailuresShowThePrefixAndKeepItOpen) {
    auto dialog = authOf(Org::Alice);
    db->closeConnection();
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtUAOK->click();
    expectFailure(u"BtUAOKClick:"_s);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_NE(dialog->result(), QDialog::Accepted);
    script.answerMessage(QMessageBox::Ok).answerMessage(QMessageBox::Ok);
    auto failed = authOf(Org::Alice);
    ASSERT_EQ(script.messages().size(), 3);
    EXPECT_TRUE(script.messages()[1].startsWith(u"FormCreate failed: "_s));
    EXPECT_TRUE(script.messages()[2].startsWith(u"FormShow failed: "_s));
}

// Users named in SelectedUids start as targets; a missing department shows the root's name.
TEST_P(UserDialogsTest, ScanListsEveryUserAndSortsAsText) {
    db->exec(u"insert into Users (Uid, Pid, UserName, Onlined) values (9, 5, 'nine', 0), "
             u"(10, 5, 'ten', -1)"_s);
    auto dialog = scanOf({u"1"_s, u"3"_s, u"77"_s});
    Ui::TFrm_ScanClient& ui = *dialog->ui();
    EXPECT_EQ(captions(*dialog->sel()), (QStringList{u"alice"_s, u"carol"_s}));
    EXPECT_EQ(captions(*dialog->all(), 2),
              (QStringList{u"Zeta"_s, u"Org"_s, u"Alpha"_s, u"Org"_s, u"Alpha"_s, u"Alpha"_s}));
    EXPECT_FALSE(ui.DTP->isEnabled());
    ui.RBBeginPlan->setChecked(true);
    EXPECT_TRUE(ui.DTP->isEnabled());

    ui.LVAll->horizontalHeader()->sectionClicked(3);
    EXPECT_EQ(captions(*dialog->all(), 3),
              (QStringList{u"10"_s, u"2"_s, u"4"_s, u"5"_s, u"6"_s, u"9"_s}));
    ui.BtLA->click();
    EXPECT_EQ(captions(*dialog->sel(), 3),
              (QStringList{u"1"_s, u"3"_s, u"9"_s, u"6"_s, u"5"_s, u"4"_s, u"2"_s, u"10"_s}));
    select(*ui.LVSel, 0);
    ui.BtR->click();
    EXPECT_EQ(captions(*dialog->all()), QStringList{u"alice"_s});
}

// One task row per user, overwritten by a later order; a description and a log row per user.
TEST_P(UserDialogsTest, ScanOrdersOverwriteOneTaskRowPerUser) {
    db->exec(
        u"insert into TaskScan (Uid, name, ip, \"begin\", type) values (1, 'old', '', 'x', 0)"_s);
    const QString log = u"LogAct where Lwho = 'admin' and Lwhere = 'Server' and Lhow = "_s +
                        quoted(GetString(u"TScanSet"_s)) + u" and Lresult = "_s +
                        quoted(GetString(u"Log4"_s));
    selectDepart(Org::Zeta);
    selectUsers({Org::Alice, Org::Bob});
    answerWith<TFrm_ScanClient>([](TFrm_ScanClient& d) {
        EXPECT_EQ(d.SelectedUids, (QStringList{u"1"_s, u"2"_s}));
        d.ui()->BtnOK->click();
    });
    window().N6Click();
    const QString now =
        GetString(u"TScan"_s) + GetString(u"DeOtherFiles"_s) + GetString(u"TScanStill"_s);
    EXPECT_EQ(count(u"TaskScan"_s), 2);
    EXPECT_EQ(
        count(
            u"TaskScan where Uid = 1 and name = 'alice' and ip = '127.0.3.1' and \"begin\" = '0' and type = 1"_s),
        1);
    EXPECT_EQ(text(u"select ScanTime from Users where Uid = 2"_s), now);
    EXPECT_EQ(cell(Org::Alice, 7), now);
    EXPECT_EQ(count(log), 2);
    EXPECT_EQ(text(u"select Lwhat from "_s + log + u" and Lwhat like '%alice%'"_s),
              GetString(u"Log6"_s) + u"alice(127.0.3.1)"_s + GetString(u"TScan1"_s) +
                  GetString(u"TSetDeOther"_s));
    EXPECT_TRUE(QRegularExpression(u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"_s)
                    .match(text(u"select max(Lwhen) from LogAct"_s))
                    .hasMatch());

    auto planned = scanOf({u"2"_s});
    planned->ui()->RBScanDeAll->setChecked(true);
    planned->ui()->RBBeginPlan->setChecked(true);
    planned->ui()->DTP->setTime(QTime(8, 30));
    planned->ui()->BtnOK->click();
    EXPECT_EQ(count(u"TaskScan"_s), 2);
    EXPECT_EQ(count(u"TaskScan where Uid = 2 and \"begin\" = '08:30:00' and type = 2"_s), 1);
    EXPECT_EQ(text(u"select ScanTime from Users where Uid = 2"_s),
              GetString(u"TScanPlan"_s) + u"08:30:00"_s + GetString(u"TScanBegin"_s) +
                  GetString(u"DeAllFiles"_s));
    EXPECT_EQ(count(log + u" and Lwhat = "_s +
                    quoted(GetString(u"Log6"_s) + u"bob()"_s + GetString(u"TScanPlan"_s) +
                           u"08:30:00"_s + GetString(u"TSetDeAll"_s))),
              1);
}

TEST_P(UserDialogsTest, ScanRefusesAnEmptyOrderAndShowsFailures) {
    auto dialog = scanOf({});
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtnOK->click();
    EXPECT_EQ(script.messages(), QStringList{GetString(u"TScanUserNull"_s)});
    EXPECT_TRUE(dialog->isVisible());

    // The description fails after the first task row was written: the order writes nothing.
    db->exec(u"alter table Users rename column ScanTime to ScanLater"_s);
    dialog->ui()->BtLA->click();
    script.answerMessage(QMessageBox::Ok);
    dialog->ui()->BtnOK->click();
    expectFailure(QString(), 1);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(count(u"TaskScan"_s), 0);
    EXPECT_EQ(count(u"LogAct"_s), 0);
    EXPECT_TRUE(dialog->ScanTimes.isEmpty());
}

// A dialog closed or freed while its lists fill reads no more; OK reads the targets to come.
TEST_P(UserDialogsTest, ScanClosedWhileFillingStopsAndOkReadsTheRest) {
    addUsers(Org::Alpha, 300, false);
    const QString last = text(u"select max(Uid) from Users"_s);
    const auto loading = [](const QStringList& uids) {
        return shown<TFrm_ScanClient>([&uids](TFrm_ScanClient& d) {
            d.SelectedUids = uids;
            d.reading()->setRowsPerSlice(5);
        });
    };
    const auto runEvents = [] {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    auto closed = loading({});
    runEvents();
    closed->reject();
    const QStringList listed = captions(*closed->all());
    runEvents();
    EXPECT_FALSE(closed->reading()->isRunning());
    EXPECT_EQ(captions(*closed->all()), listed);
    loading({}).reset();
    runEvents();

    auto ordering = loading({last});
    EXPECT_EQ(ordering->sel()->rowCount(), 0);
    ordering->ui()->BtnOK->click();
    EXPECT_EQ(ordering->result(), QDialog::Accepted);
    EXPECT_EQ(count(u"TaskScan where Uid = "_s + last), 1);
}

INSTANTIATE_TEST_SUITE_P(Backends, UserDialogsTest, ::testing::ValuesIn(testBackends()),
                         backendName);
