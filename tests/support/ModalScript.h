#pragma once

#include <QDialog>
#include <QMessageBox>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

// Answers the modal dialogs a test provokes, in order, instead of a person.
//
//   ModalScript script;                          // installs itself as the modal handler
//   script.answerMessage(QMessageBox::Yes);      // first dialog: a message box, press Yes
//   script.answerInput(u"Sales"_s);              // second: MyInputQuery, type and press OK
//   script.answer<TFrmUserInfo>([](TFrmUserInfo& d) { ...; return d.result(); });
//   window.doSomething();
//   script.expectDone();                         // every queued answer was used
//   EXPECT_EQ(script.messages(), QStringList{...});
//
// An answer receives the dialog shown (non-modally) and returns what exec() would have
// returned. Answers may open further dialogs; those take the next queued answers. A dialog
// with no answer left fails the test and is closed with its escape choice, so nothing hangs.
class ModalScript {
public:
    using Answer = std::function<int(QDialog&)>;

    ModalScript();
    ~ModalScript();
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    ModalScript& answer(Answer answer);

    // Answers a dialog of class Dialog; any other dialog fails the test.
    template <typename Dialog> ModalScript& answer(std::function<int(Dialog&)> answer) {
        return this->answer([answer = std::move(answer)](QDialog& dialog) {
            if (auto* typed = qobject_cast<Dialog*>(&dialog))
                return answer(*typed);
            return wrongDialog(dialog, Dialog::staticMetaObject.className());
        });
    }

    // Presses button of a message box.
    ModalScript& answerMessage(QMessageBox::StandardButton button);
    // Types text into the edit of MyInputQuery and presses OK.
    ModalScript& answerInput(const QString& text);
    // Closes any dialog as Escape or the close box would.
    ModalScript& reject();

    // Texts and titles of the message boxes shown so far, in order.
    const QStringList& messages() const { return m_messages; }
    const QStringList& messageTitles() const { return m_messageTitles; }
    // Window titles of every dialog shown so far, message boxes included.
    const QStringList& dialogTitles() const { return m_dialogTitles; }
    int pendingAnswers() const { return int(m_answers.size()); }

    // Fails the test for every queued answer that no dialog used.
    void expectDone() const;

private:
    int handle(QDialog& dialog);
    void record(const QDialog& dialog);
    static int closeUnanswered(QDialog& dialog);
    static int wrongDialog(QDialog& dialog, const char* expected);

    std::deque<Answer> m_answers;
    QStringList m_messages;
    QStringList m_messageTitles;
    QStringList m_dialogTitles;
};
