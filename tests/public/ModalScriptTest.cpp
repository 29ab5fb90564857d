#include "ModalScript.h"

#include "MessageDialogs.h"
#include "ModalHook.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(ModalScriptTest, UnexpectedOrMismatchedDialogsFail) {
    ModalScript script;
    int result = 0;
    EXPECT_NONFATAL_FAILURE(result = MyMessageBox(0, u"Delete all?"_s, u"t"_s, 0x44),
                            "Delete all?");
    EXPECT_EQ(result, ID_NO);
    EXPECT_EQ(script.messages(), QStringList{u"Delete all?"_s});

    QDialog dialog;
    dialog.setWindowTitle(u"Chooser"_s);
    EXPECT_NONFATAL_FAILURE(result = execModal(dialog), "Chooser");
    EXPECT_EQ(result, QDialog::Rejected);

    script.answerMessage(QMessageBox::Yes);
    EXPECT_NONFATAL_FAILURE(result = execModal(dialog), "QMessageBox");
    EXPECT_EQ(result, QDialog::Rejected);
    script.answerMessage(QMessageBox::Yes);
    EXPECT_NONFATAL_FAILURE(result = MyMessageBox(0, u"Saved"_s, u"t"_s, 0x40), "no button");
    EXPECT_EQ(result, ID_OK);
    script.answer<QMessageBox>([](QMessageBox&) { return int(QMessageBox::Ok); });
    EXPECT_NONFATAL_FAILURE(execModal(dialog), "Expected a QMessageBox");

    script.answerMessage(QMessageBox::Yes);
    EXPECT_EQ(script.pendingAnswers(), 1);
    EXPECT_NONFATAL_FAILURE(script.expectDone(), "1 queued dialog answer");
}

// A dialog whose OK shows a warning first takes the next answer for that warning.
TEST(ModalScriptTest, DialogsOpenedByAnAnswerTakeTheNextAnswers) {
    ModalScript script;
    script.answer([](QDialog& dialog) {
        MyMessageBox(0, u"inner"_s, u"t"_s, 0x30);
        dialog.accept();
        return dialog.result();
    });
    script.answerMessage(QMessageBox::Ok);
    QDialog outer;
    outer.setWindowTitle(u"outer"_s);
    EXPECT_EQ(execModal(outer), QDialog::Accepted);
    script.expectDone();
    EXPECT_EQ(script.dialogTitles(), (QStringList{u"outer"_s, u"t"_s}));
    EXPECT_EQ(script.messages(), QStringList{u"inner"_s});
}

TEST(ModalScriptTest, DestructionRestoresTheDefaultHandler) {
    {
        ModalScript script;
        script.answerMessage(QMessageBox::Ok);
        MyMessageBox(0, u"a"_s, u"t"_s, 0x40);
    }
    // Without a script, a dialog runs its own event loop: close it from inside.
    QDialog dialog;
    QMetaObject::invokeMethod(&dialog, &QDialog::accept, Qt::QueuedConnection);
    EXPECT_EQ(execModal(dialog), QDialog::Accepted);
}

} // namespace
