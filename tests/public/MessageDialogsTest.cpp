#include "MessageDialogs.h"

#include "ModalScript.h"
#include "Multilanguage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(MyMessageBoxTest, FlagsChooseIconButtonsAndResult) {
    const struct {
        int flags;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton press;
        int result;
    } cases[] = {
        {0x30, QMessageBox::Warning, QMessageBox::Ok, QMessageBox::Ok, 1},
        {0x40, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, 1},
        {0x21, QMessageBox::Information, QMessageBox::Ok, QMessageBox::Ok, 1},
        {0x44, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, 6},
        {0x44, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No, 7},
    };
    for (const auto& c : cases) {
        ModalScript script;
        script.answer([&c](QDialog& dialog) -> int {
            auto& box = dynamic_cast<QMessageBox&>(dialog);
            EXPECT_EQ(box.icon(), c.icon) << c.flags;
            EXPECT_EQ(box.standardButtons(), c.buttons) << c.flags;
            EXPECT_EQ(box.textFormat(), Qt::PlainText);
            box.button(c.press)->click();
            return c.press;
        });
        EXPECT_EQ(MyMessageBox(0, u"<b>Name</b> missing"_s, u"Title"_s, c.flags), c.result);
        script.expectDone();
        EXPECT_EQ(script.messages(), QStringList{u"<b>Name</b> missing"_s});
        EXPECT_EQ(script.messageTitles(), QStringList{u"Title"_s});
    }
}

TEST(MyMessageBoxTest, ClosingAQuestionIsNoAndAnOkBoxOk) {
    ModalScript script;
    script.reject();
    EXPECT_EQ(MyMessageBox(0, u"Delete?"_s, u"t"_s, 0x44), 7);
    script.answer([](QDialog& dialog) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        return dialog.result();
    });
    EXPECT_EQ(MyMessageBox(0, u"Delete?"_s, u"t"_s, 0x44), 7);
    script.reject();
    EXPECT_EQ(MyMessageBox(0, u"Saved"_s, u"t"_s, 0x40), 1);
    script.expectDone();
}

TEST(ShowMessageTest, UsesTheKeysTextUnderTheInformationTitle) {
    ASSERT_TRUE(SetLanguage(u"eng"_s));
    ModalScript script;
    script.answerMessage(QMessageBox::Ok).answerMessage(QMessageBox::No);
    EXPECT_EQ(ShowMessage(u"DepartChose"_s, MB_WARNING_OK), ID_OK);
    EXPECT_EQ(ShowMessage(u"DeleteConfirm"_s, MB_QUESTION_YESNO, u" Sales"_s), ID_NO);
    SetLanguage(u"chs"_s);
    EXPECT_EQ(script.messages(), (QStringList{u"Please select a department first."_s,
                                              u"Delete the department Sales"_s}));
    EXPECT_EQ(script.messageTitles(), (QStringList{u"Information"_s, u"Information"_s}));
}

// Parts of the input dialog, found by their object names.
struct InputParts {
    QLabel* prompt;
    QLineEdit* edit;
    QPushButton* ok;
    QPushButton* cancel;
};

InputParts partsOf(QDialog& dialog) {
    return {dialog.findChild<QLabel*>(u"LblPrompt"_s), dialog.findChild<QLineEdit*>(u"EdValue"_s),
            dialog.findChild<QPushButton*>(u"BtOK"_s),
            dialog.findChild<QPushButton*>(u"BtCancel"_s)};
}

// OK and Enter store the text as typed; Cancel, Escape and closing leave the value untouched.
TEST(MyInputQueryTest, OkStoresTheTextAndEveryOtherWayLeavesTheValue) {
    const std::pair<bool, std::function<void(QDialog&, InputParts&)>> ways[] = {
        {true, [](QDialog&, InputParts& parts) { parts.ok->click(); }},
        {true, [](QDialog&, InputParts& parts) { QTest::keyClick(parts.edit, Qt::Key_Return); }},
        {false, [](QDialog&, InputParts& parts) { parts.cancel->click(); }},
        {false, [](QDialog& dialog, InputParts&) { QTest::keyClick(&dialog, Qt::Key_Escape); }},
        {false, [](QDialog& dialog, InputParts&) { dialog.close(); }},
    };
    for (const auto& [accepted, leave] : ways) {
        ModalScript script;
        script.answer([&leave](QDialog& dialog) {
            InputParts parts = partsOf(dialog);
            parts.edit->setText(u" Sales "_s);
            leave(dialog, parts);
            return dialog.result();
        });
        QString value = u"Original"_s;
        EXPECT_EQ(MyInputQuery(u"Rename"_s, u"Name:"_s, value), accepted);
        EXPECT_EQ(value, accepted ? u" Sales "_s : u"Original"_s);
        EXPECT_EQ(script.dialogTitles(), QStringList{u"Rename"_s});
        script.expectDone();
    }
}

// Prompt, selected value, a 255-character limit, and button captions from the language.
TEST(MyInputQueryTest, ShowsPromptSelectedValueLimitAndLanguageCaptions) {
    for (const auto& [language, ok, cancel] : {std::tuple{u"chs"_s, u"确定(&O)"_s, u"取消(&C)"_s},
                                               {u"eng"_s, u"OK(&O)"_s, u"Cancel(&C)"_s}}) {
        ASSERT_TRUE(SetLanguage(language));
        ModalScript script;
        script.answer([&](QDialog& dialog) {
            const InputParts parts = partsOf(dialog);
            EXPECT_EQ(parts.prompt->text(), u"Department name:"_s);
            EXPECT_EQ(parts.edit->selectedText(), u"Sales"_s);
            EXPECT_EQ((QStringList{parts.ok->text(), parts.cancel->text()}),
                      (QStringList{ok, cancel}));
            EXPECT_TRUE(parts.ok->isDefault());
            parts.edit->clear();
            QTest::keyClicks(parts.edit, QString(300, u'x'));
            EXPECT_EQ(parts.edit->text().size(), 255);
            parts.cancel->click();
            return dialog.result();
        });
        QString value = u"Sales"_s;
        EXPECT_FALSE(MyInputQuery(u"Rename"_s, u"Department name:"_s, value));
        script.expectDone();
    }
    SetLanguage(u"chs"_s);
}

TEST(MyInputQueryTest, LongPromptWrapsAndPushesTheEditDown) {
    int editTop[2] = {};
    int height[2] = {};
    ModalScript script;
    for (int i : {0, 1}) {
        script.answer([&editTop, &height, i](QDialog& dialog) {
            const InputParts parts = partsOf(dialog);
            editTop[i] = parts.edit->y();
            height[i] = dialog.height();
            // Controls stack top to bottom inside the dialog.
            EXPECT_GT(parts.edit->y(), parts.prompt->geometry().bottom());
            EXPECT_GT(parts.ok->y(), parts.edit->geometry().bottom());
            EXPECT_LT(parts.ok->geometry().right(), parts.cancel->x());
            EXPECT_LE(parts.cancel->geometry().bottom(), dialog.height());
            dialog.reject();
            return dialog.result();
        });
    }
    QString value;
    MyInputQuery(u"t"_s, u"Name:"_s, value);
    MyInputQuery(u"t"_s, QString(40, u'w').append(u' ').repeated(6), value);
    EXPECT_GT(editTop[1], editTop[0]);
    EXPECT_EQ(height[1] - height[0], editTop[1] - editTop[0]);
}

} // namespace
