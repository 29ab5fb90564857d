#include "MainWindowFixture.h"
#include "ModuleLanguage.h"
#include "Multilanguage.h"
#include "U_ScanClient.h"
#include "U_UserOut.h"
#include "UserListModel.h"
#include "uDepartRole.h"
#include "uUserAuth.h"
#include "uUserChose.h"
#include "uUserInfo.h"
#include "uUsersSearchDlg.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <algorithm>
#include <functional>

using namespace Qt::Literals::StringLiterals;

namespace {

// Chinese characters, and the full-width punctuation that comes with them.
bool hasChinese(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0x3000 && u <= 0x303F) ||
               (u >= 0xFF00 && u <= 0xFFEF);
    });
}

// Every caption a form shows: its title, labels, buttons, group boxes, pages, menus, actions
// and the column headers of its lists, in a fixed order.
QStringList captionsOf(const QWidget& form) {
    QStringList texts{form.windowTitle()};
    for (const QLabel* label : form.findChildren<QLabel*>())
        texts.append(label->text());
    for (const QAbstractButton* button : form.findChildren<QAbstractButton*>())
        texts.append(button->text());
    for (const QGroupBox* box : form.findChildren<QGroupBox*>())
        texts.append(box->title());
    for (const QTabWidget* pages : form.findChildren<QTabWidget*>()) {
        for (int i = 0; i < pages->count(); ++i)
            texts.append(pages->tabText(i));
    }
    for (const QMenu* menu : form.findChildren<QMenu*>())
        texts.append(menu->title());
    for (const QAction* action : form.findChildren<QAction*>())
        texts.append(action->text());
    for (const QAbstractItemView* view : form.findChildren<QAbstractItemView*>()) {
        const QAbstractItemModel* model = view->model();
        for (int column = 0; model && column < model->columnCount(); ++column)
            texts.append(model->headerData(column, Qt::Horizontal).toString());
    }
    return texts;
}

using FormCaptions = std::function<QStringList()>;

template <typename Dialog> FormCaptions dialogCaptions() {
    return [] { return captionsOf(Dialog()); };
}

class TranslationTest : public MainWindowTest {
protected:
    void TearDown() override {
        MainWindowTest::TearDown(); // closing the window drops the module's translator
        SetLanguage(u"chs"_s);
    }

    // Each form's captions in language: the main window as the host opens it, then every
    // dialog as its command creates it.
    QList<QStringList> captionsIn(const QString& language) {
        SetLanguage(language);
        open();
        QList<QStringList> forms{captionsOf(window())};
        for (const FormCaptions& dialog :
             {dialogCaptions<TFrmUserInfo>(), dialogCaptions<TFrmDepartRole>(),
              dialogCaptions<TFrm_UserChose>(), dialogCaptions<TFrmUsersSearchDlg>(),
              dialogCaptions<TFrmUserAuth>(), dialogCaptions<TFrm_ScanClient>(),
              dialogCaptions<TFrm_UserOut>()})
            forms.append(dialog());
        CloseBplForm();
        return forms;
    }
};

// In English no caption of any form is left in Chinese and none goes blank; in Chinese every
// form keeps its Chinese captions.
TEST_P(TranslationTest, EveryFormIsEnglishWithEnglishAndChineseByDefault) {
    const QList<QStringList> chinese = captionsIn(u"chs"_s);
    const QList<QStringList> english = captionsIn(u"eng"_s);
    ASSERT_EQ(chinese.size(), english.size());
    for (qsizetype form = 0; form < chinese.size(); ++form) {
        const std::string name = chinese[form].join(u'|').left(40).toStdString();
        EXPECT_TRUE(std::any_of(chinese[form].begin(), chinese[form].end(), hasChinese)) << name;
        ASSERT_EQ(chinese[form].size(), english[form].size()) << name;
        for (qsizetype i = 0; i < english[form].size(); ++i) {
            const QString& text = english[form][i];
            EXPECT_FALSE(hasChinese(text)) << name << ": " << text.toStdString();
            EXPECT_EQ(text.isEmpty(), chinese[form][i].isEmpty())
                << name << ": " << chinese[form][i].toStdString();
        }
    }
    EXPECT_EQ(english.first().first(), u"Users Management"_s);
}

// A language switch while the window is open retranslates it, column headers and status line
// included; closing the window takes the module's translator away.
TEST_P(TranslationTest, OpenWindowFollowsALanguageSwitch) {
    open();
    ASSERT_EQ(window().userList()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              u"用户名"_s);
    SetLanguage(u"eng"_s);
    ASSERT_TRUE(UseModuleLanguage(u"eng"_s));
    QCoreApplication::processEvents(); // the language change reaches the window
    for (const QString& text : captionsOf(window()))
        EXPECT_FALSE(hasChinese(text)) << text.toStdString();
    EXPECT_EQ(window().userList()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              u"User Name"_s);

    SetLanguage(u"chs"_s);
    ASSERT_TRUE(UseModuleLanguage(u"chs"_s));
    QCoreApplication::processEvents();
    EXPECT_EQ(window().windowTitle(), u"用户管理"_s);

    UseModuleLanguage(u"eng"_s);
    CloseBplForm();
    EXPECT_EQ(QCoreApplication::translate("TFrmUsersManage", "用户管理"), u"用户管理"_s);
}

} // namespace

INSTANTIATE_TEST_SUITE_P(Backends, TranslationTest, ::testing::Values(DbBackend::SQLite),
                         backendName);
