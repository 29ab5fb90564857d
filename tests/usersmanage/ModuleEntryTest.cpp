#include "MainWindowFixture.h"

#include "ChildFrm.h"
#include "Multilanguage.h"
#include "PgUsersManage.h"
#include "uUsersManage.h"
#include "ui_uUsersManage.h"

#include <QGuiApplication>
#include <QLayout>
#include <QPointer>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

// Before the host hands over its context a default one is in force; closing without a window,
// even twice, and opening without a context do nothing.
TEST(ModuleEntry, EntryPointsWithoutAWindowOrAContext) {
    ASSERT_NE(LogonInfo, nullptr);
    ASSERT_EQ(FrmUsersManage, nullptr);
    TLogonInfo* const before = LogonInfo;
    CloseBplForm();
    CloseBplForm();
    EXPECT_EQ(FrmUsersManage, nullptr);
    EXPECT_EQ(LogonInfo, before);
    EXPECT_EQ(OpenFormWithLogonInfo(nullptr), nullptr);
    EXPECT_EQ(FrmUsersManage, nullptr);
}

// Without a panel the form is a centred top-level window; a widget owner keeps it top level
// and takes it along when it goes.
TEST(ChildForm, StaysATopLevelWindowWithoutAPanel) {
    auto owner = std::make_unique<QWidget>();
    QPointer<TChildForm> owned = new TChildForm(owner.get());
    TChildForm form(nullptr);
    EXPECT_FALSE(form.Embedded);
    EXPECT_TRUE(form.CanChange());
    const QRect screen = form.screen()->availableGeometry();
    EXPECT_LE((form.geometry().center() - screen.center()).manhattanLength(), 2);
    EXPECT_TRUE(form.isWindow());
    EXPECT_TRUE(owned->isWindow());
    EXPECT_EQ(owned->parentWidget(), owner.get());
    owner.reset();
    EXPECT_TRUE(owned.isNull());
}

using ModuleEntryTest = MainWindowTest;

TEST_P(ModuleEntryTest, OpenEmbedsTheWindowInTheHostPanel) {
    QWidget* opened = OpenFormWithLogonInfo(&logon);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened, FrmUsersManage);
    EXPECT_EQ(LogonInfo, &logon);
    TFrmUsersManage& form = window();
    EXPECT_TRUE(form.Embedded);
    EXPECT_EQ(form.HostParent, panel.get());
    EXPECT_FALSE(form.isWindow());
    ASSERT_NE(panel->layout(), nullptr);
    EXPECT_GE(panel->layout()->indexOf(&form), 0);
    // Filled only once it is shown.
    EXPECT_EQ(form.departs()->rowCount(), 0);

    panel->show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.geometry(), panel->rect());
    EXPECT_EQ(form.departs()->rowCount(), 1);
    EXPECT_EQ(listedUids().size(), Org::UserCount);
}

TEST_P(ModuleEntryTest, SelectedDepartmentSurvivesCloseAndReopen) {
    open();
    selectDepart(Org::Omega);
    EXPECT_EQ(logon.CurDepartId, Org::Omega);
    CloseBplForm();
    EXPECT_EQ(FrmUsersManage, nullptr);
    EXPECT_EQ(LogonInfo, &logon) << "the context stays in force after the window is freed";

    open();
    EXPECT_EQ(selectedDepart(), Org::Omega);
    EXPECT_TRUE(tree().isExpanded(node(Org::Zeta))) << "its path is opened";
    EXPECT_EQ(window().ui()->LbDepart->text(), GetString(u"Depart"_s) + u" >> Omega"_s);
    EXPECT_EQ(listedUids(), QList<qint32>{Org::Carol});
}

// A second open replaces the window; a panel destroyed first leaves nothing to close.
TEST_P(ModuleEntryTest, WindowLivesUntilReplacedOrItsPanelGoes) {
    open();
    QPointer<TFrmUsersManage> first = FrmUsersManage;
    OpenFormWithLogonInfo(&logon);
    EXPECT_TRUE(first.isNull());
    ASSERT_NE(FrmUsersManage, nullptr);
    EXPECT_EQ(panel->findChildren<TFrmUsersManage*>().size(), 1);
    panel.reset();
    EXPECT_EQ(FrmUsersManage, nullptr);
    CloseBplForm();
}

INSTANTIATE_TEST_SUITE_P(Backends, ModuleEntryTest, ::testing::ValuesIn(testBackends()),
                         backendName);
