#include "MessageDialogs.h"

#include "ModalScript.h"
#include "Multilanguage.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Captures what a message box showed, then presses a button.
struct ShownBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

ModalScript::Answer inspectAndPress(ShownBox& shown, QMessageBox::StandardButton button) {
    return [&shown, button](QDialog& dialog) -> int {
        auto& box = dynamic_cast<QMessageBox&>(dialog);
        shown.icon = box.icon();
        shown.buttons = box.standardButtons();
        box.button(button)->click();
        return button;
    };
}

TEST(MyMessageBoxTest, WarningInformationAndOtherFlagsHaveOneOkButton) {
    for (const auto& [flags, icon] :
         {std::pair{0x30, QMessageBox::Warning}, std::pair{0x40, QMessageBox::Information},
          std::pair{0x21, QMessageBox::Information}}) {
        ModalScript script;
        ShownBox shown;
        script.answer(inspectAndPress(shown, QMessageBox::Ok));
        EXPECT_EQ(MyMessageBox(0, u"Name missing"_s, u"Title"_s, flags), 1);
        script.expectDone();
        EXPECT_EQ(shown.icon, icon);
        EXPECT_EQ(shown.buttons, QMessageBox::Ok);
        EXPECT_EQ(script.messages(), QStringList{u"Name missing"_s});
        EXPECT_EQ(script.messageTitles(), QStringList{u"Title"_s});
    }
}

TEST(MyMessageBoxTest, QuestionAnswersSixForYesAndSevenForNo) {
    ModalScript script;
    ShownBox shown;
    script.answer(inspectAndPress(shown, QMessageBox::Yes)).answerMessage(QMessageBox::No);
    EXPECT_EQ(MyMessageBox(0, u"Delete?"_s, u"t"_s, 0x44), 6);
    EXPECT_EQ(shown.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(MyMessageBox(0, u"Delete?"_s, u"t"_s, 0x44), 7);
    script.expectDone();
}

TEST(MyMessageBoxTest, ClosingAQuestionIsNo) {
    ModalScript script;
    script.reject();
    EXPECT_EQ(MyMessageBox(0, u"Delete?"_s, u"t"_s, 0x44), 7);
    // Escape pressed by hand goes the same way.
    script.answer([](QDialog& dialog) {
        QTest::keyClick(&dialog, Qt::Key_Escape);
        return dialog.result();
    });
    EXPECT_EQ(MyMessageBox(0, u"Delete?"_s, u"t"_s, 0x44), 7);
    script.expectDone();
}

TEST(MyMessageBoxTest, ClosingAnOkBoxIsOk) {
    ModalScript script;
    script.reject();
    EXPECT_EQ(MyMessageBox(0, u"Saved"_s, u"t"_s, 0x40), 1);
}

TEST(MyMessageBoxTest, TextIsShownAsPlainText) {
    ModalScript script;
    Qt::TextFormat format = Qt::AutoText;
    script.answer([&format](QDialog& dialog) {
        auto& box = dynamic_cast<QMessageBox&>(dialog);
        format = box.textFormat();
        box.button(QMessageBox::Ok)->click();
        return int(QMessageBox::Ok);
    });
    MyMessageBox(0, u"Depart New Error:<b>near \"x\"</b>"_s, u"t"_s, 0x30);
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(script.messages(), QStringList{u"Depart New Error:<b>near \"x\"</b>"_s});
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

TEST(MyInputQueryTest, OkStoresTheEditedText) {
    ModalScript script;
    script.answerInput(u"Research"_s);
    QString value = u"Old"_s;
    EXPECT_TRUE(MyInputQuery(u"Rename"_s, u"Name:"_s, value));
    EXPECT_EQ(value, u"Research"_s);
    EXPECT_EQ(script.dialogTitles(), QStringList{u"Rename"_s});
    script.expectDone();
}

TEST(MyInputQueryTest, EnterPressesOkAndKeepsBlanks) {
    ModalScript script;
    script.answer([](QDialog& dialog) {
        InputParts parts = partsOf(dialog);
        parts.edit->setText(u" Sales "_s);
        QTest::keyClick(parts.edit, Qt::Key_Return);
        return dialog.result();
    });
    QString value;
    EXPECT_TRUE(MyInputQuery(u"New"_s, u"Name:"_s, value));
    EXPECT_EQ(value, u" Sales "_s);
}

TEST(MyInputQueryTest, CancelEscapeAndCloseLeaveTheValueUntouched) {
    const std::vector<std::function<void(QDialog&, InputParts&)>> ways{
        [](QDialog&, InputParts& parts) { parts.cancel->click(); },
        [](QDialog& dialog, InputParts&) { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [](QDialog& dialog, InputParts&) { dialog.close(); },
    };
    for (const auto& leave : ways) {
        ModalScript script;
        script.answer([&leave](QDialog& dialog) {
            InputParts parts = partsOf(dialog);
            QTest::keyClicks(parts.edit, u"edited"_s);
            leave(dialog, parts);
            return dialog.result();
        });
        QString value = u"Original"_s;
        EXPECT_FALSE(MyInputQuery(u"Rename"_s, u"Name:"_s, value));
        EXPECT_EQ(value, u"Original"_s);
        script.expectDone();
    }
}

TEST(MyInputQueryTest, ShowsPromptAndValueSelectedAndLimitsInputTo255) {
    ModalScript script;
    InputParts seen{};
    QString selected;
    int lengthAfterTyping = 0;
    script.answer([&](QDialog& dialog) {
        seen = partsOf(dialog);
        selected = seen.edit->selectedText();
        EXPECT_EQ(seen.prompt->text(), u"Department name:"_s);
        seen.edit->clear();
        QTest::keyClicks(seen.edit, QString(300, u'x'));
        lengthAfterTyping = int(seen.edit->text().size());
        seen.cancel->click();
        return dialog.result();
    });
    QString value = u"Sales"_s;
    EXPECT_FALSE(MyInputQuery(u"Rename"_s, u"Department name:"_s, value));
    EXPECT_EQ(selected, u"Sales"_s);
    EXPECT_EQ(lengthAfterTyping, 255);
}

TEST(MyInputQueryTest, ButtonCaptionsComeFromTheLanguage) {
    for (const auto& [language, ok, cancel] :
         {std::tuple{u"chs"_s, u"确定(&O)"_s, u"取消(&C)"_s},
          std::tuple{u"eng"_s, u"OK(&O)"_s, u"Cancel(&C)"_s}}) {
        ASSERT_TRUE(SetLanguage(language));
        ModalScript script;
        InputParts seen{};
        bool okIsDefault = false;
        script.answer([&](QDialog& dialog) {
            seen = partsOf(dialog);
            EXPECT_EQ(seen.ok->text(), ok);
            EXPECT_EQ(seen.cancel->text(), cancel);
            okIsDefault = seen.ok->isDefault();
            seen.ok->click();
            return dialog.result();
        });
        QString value;
        EXPECT_TRUE(MyInputQuery(u"t"_s, u"p"_s, value));
        EXPECT_TRUE(okIsDefault);
    }
    SetLanguage(u"chs"_s);
}

TEST(MyInputQueryTest, LongPromptWrapsAndPushesTheEditDown) {
    int shortEditTop = 0;
    int longEditTop = 0;
    int longDialogHeight = 0;
    int shortDialogHeight = 0;
    ModalScript script;
    const auto measure = [](int& editTop, int& height) {
        return [&editTop, &height](QDialog& dialog) {
            InputParts parts = partsOf(dialog);
            editTop = parts.edit->y();
            height = dialog.height();
            // Controls stack top to bottom inside the dialog.
            EXPECT_GT(parts.edit->y(), parts.prompt->geometry().bottom());
            EXPECT_GT(parts.ok->y(), parts.edit->geometry().bottom());
            EXPECT_EQ(parts.ok->y(), parts.cancel->y());
            EXPECT_LT(parts.ok->geometry().right(), parts.cancel->x());
            EXPECT_LE(parts.cancel->geometry().bottom(), dialog.height());
            EXPECT_LE(parts.edit->geometry().right(), dialog.width());
            dialog.reject();
            return dialog.result();
        };
    };
    script.answer(measure(shortEditTop, shortDialogHeight));
    script.answer(measure(longEditTop, longDialogHeight));
    QString value;
    MyInputQuery(u"t"_s, u"Name:"_s, value);
    MyInputQuery(u"t"_s, QString(40, u'w').append(u' ').repeated(6), value);
    EXPECT_GT(longEditTop, shortEditTop);
    EXPECT_EQ(longDialogHeight - shortDialogHeight, longEditTop - shortEditTop);
}

} // namespace
