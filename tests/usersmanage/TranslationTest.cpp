#include "AccessibilityWalk.h"
#include "MainWindowFixture.h"
#include "ModuleLanguage.h"
#include "Multilanguage.h"
#include "U_ScanClient.h"
#include "U_UserOut.h"
#include "UserListModel.h"
#include "uBulkResults.h"
#include "uDepartRole.h"
#include "uUserAuth.h"
#include "uUserChose.h"
#include "uUserInfo.h"
#include "uUsersSearchDlg.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QHostAddress>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QThread>
#include <QUdpSocket>
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

// Labels and buttons placed at fixed positions whose caption needs more room than they have.
QStringList clippedCaptions(const QWidget& form) {
    QStringList clipped;
    for (const QWidget* widget : form.findChildren<QWidget*>()) {
        const bool placed = widget->parentWidget() && !widget->parentWidget()->layout();
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        if (placed && (label || button) && widget->sizeHint().width() > widget->width())
            clipped.append(label ? label->text() : button->text());
    }
    return clipped;
}

// Takes the windows' presence port, waiting up to 10 s while another test program's window
// holds it: a window opened meanwhile finds it busy for as long as holder lives.
bool holdPresencePort(QUdpSocket& holder) {
    QElapsedTimer waited;
    waited.start();
    while (!holder.bind(QHostAddress(u"127.0.0.1"_s), 2229)) {
        if (waited.hasExpired(10000))
            return false;
        QThread::msleep(10);
    }
    return true;
}

struct FormTexts {
    QStringList captions;
    QStringList clipped;
    QStringList inaccessible; // and steps of the tab order against the reading order
};

FormTexts textsOf(const QWidget& form) {
    return {captionsOf(form), clippedCaptions(form), inaccessibleControls(form)};
}

// A form's texts, then its tab order as it is shown.
FormTexts shownTextsOf(QWidget& form) {
    FormTexts texts = textsOf(form);
    form.show();
    QCoreApplication::processEvents();
    texts.inaccessible += backwardTabSteps(form);
    return texts;
}

template <typename Dialog> std::function<FormTexts()> dialogTexts() {
    return [] {
        Dialog dialog;
        return shownTextsOf(dialog);
    };
}

class TranslationTest : public MainWindowTest {
protected:
    void TearDown() override {
        MainWindowTest::TearDown(); // closing the window drops the module's translator
        SetLanguage(u"chs"_s);
    }

    // Each form's captions in language: the main window as the host opens it, then every
    // dialog as its command creates it.
    QList<FormTexts> textsIn(const QString& language) {
        SetLanguage(language);
        open();
        QList<FormTexts> forms{shownTextsOf(window())};
        for (const auto& dialog : {dialogTexts<TFrmUserInfo>(), dialogTexts<TFrmDepartRole>(),
                                   dialogTexts<TFrm_UserChose>(), dialogTexts<TFrmUsersSearchDlg>(),
                                   dialogTexts<TFrmUserAuth>(), dialogTexts<TFrm_ScanClient>(),
                                   dialogTexts<TFrm_UserOut>()})
            forms.append(dialog());
        CloseBplForm();
        return forms;
    }
};

// In English no caption of any form is left in Chinese and none goes blank; in Chinese every
// form keeps its Chinese captions. In both, every caption fits its place, and every control is
// reached by the keyboard in reading order and has an accessible name.
TEST_P(TranslationTest, EveryFormIsEnglishWithEnglishAndChineseByDefault) {
    // Both languages see the presence port busy, whichever test programs run beside this one.
    QUdpSocket holder;
    ASSERT_TRUE(holdPresencePort(holder));
    const QList<FormTexts> chinese = textsIn(u"chs"_s);
    const QList<FormTexts> english = textsIn(u"eng"_s);
    ASSERT_EQ(chinese.size(), english.size());
    for (qsizetype form = 0; form < chinese.size(); ++form) {
        const QStringList& source = chinese[form].captions;
        const QStringList& translated = english[form].captions;
        const std::string name = source.join(u'|').left(40).toStdString();
        EXPECT_TRUE(std::any_of(source.begin(), source.end(), hasChinese)) << name;
        ASSERT_EQ(source.size(), translated.size()) << name;
        for (qsizetype i = 0; i < translated.size(); ++i) {
            EXPECT_FALSE(hasChinese(translated[i])) << name << ": " << translated[i].toStdString();
            EXPECT_EQ(translated[i].isEmpty(), source[i].isEmpty())
                << name << ": " << source[i].toStdString();
        }
        for (const FormTexts& texts : {chinese[form], english[form]}) {
            EXPECT_TRUE(texts.clipped.isEmpty())
                << name << ": " << texts.clipped.join(u'|').toStdString();
            EXPECT_TRUE(texts.inaccessible.isEmpty())
                << name << ": " << texts.inaccessible.join(u'|').toStdString();
        }
    }
    EXPECT_EQ(english.first().captions.first(), u"Users Management"_s);
}

// A language switch while the window is open retranslates it, column headers, status line and
// the busy presence port's notice included, and an open results view of a command; closing the
// window takes the module's translator away.
TEST_P(TranslationTest, OpenWindowFollowsALanguageSwitch) {
    QUdpSocket holder;
    ASSERT_TRUE(holdPresencePort(holder));
    open();
    TFrmBulkResults results({{1, u"alice"_s, {}, {}}}, u"UpdatePly"_s, "更新策略", 1, 1);
    ASSERT_TRUE(hasChinese(window().findChild<QLabel*>(u"LblAgents"_s)->text()));
    ASSERT_EQ(window().userList()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
              u"用户名"_s);
    SetLanguage(u"eng"_s);
    ASSERT_TRUE(UseModuleLanguage(u"eng"_s));
    QCoreApplication::processEvents(); // the language change reaches the window
    for (const QString& text : captionsOf(window()) + captionsOf(results))
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
