#include "ModalScript.h"

#include "ModalHook.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

ModalScript::ModalScript() {
    setModalHandler([this](QDialog& dialog) { return handle(dialog); });
}

ModalScript::~ModalScript() {
    setModalHandler({});
}

ModalScript& ModalScript::answer(Answer answer) {
    m_answers.push_back(std::move(answer));
    return *this;
}

ModalScript& ModalScript::answerMessage(QMessageBox::StandardButton button) {
    return answer([button](QDialog& dialog) -> int {
        auto* box = qobject_cast<QMessageBox*>(&dialog);
        if (box == nullptr)
            return wrongDialog(dialog, "QMessageBox");
        QAbstractButton* pressed = box->button(button);
        if (pressed == nullptr) {
            ADD_FAILURE() << "Message box \"" << box->text().toStdString() << "\" has no button "
                          << int(button);
            return closeUnanswered(dialog);
        }
        pressed->click();
        return button;
    });
}

ModalScript& ModalScript::answerInput(const QString& text) {
    return answer([text](QDialog& dialog) -> int {
        auto* edit = dialog.findChild<QLineEdit*>(u"EdValue"_s);
        auto* ok = dialog.findChild<QPushButton*>(u"BtOK"_s);
        if (edit == nullptr || ok == nullptr)
            return wrongDialog(dialog, "MyInputQuery");
        edit->setText(text);
        ok->click();
        return dialog.result();
    });
}

ModalScript& ModalScript::reject() {
    return answer([](QDialog& dialog) { return closeUnanswered(dialog); });
}

void ModalScript::expectDone() const {
    if (!m_answers.empty())
        ADD_FAILURE() << m_answers.size() << " queued dialog answer(s) were not used";
}

int ModalScript::handle(QDialog& dialog) {
    record(dialog);
    if (m_answers.empty()) {
        const auto* box = qobject_cast<const QMessageBox*>(&dialog);
        ADD_FAILURE() << "Unexpected dialog \"" << dialog.windowTitle().toStdString() << "\""
                      << (box != nullptr ? ": " + box->text().toStdString() : std::string());
        return closeUnanswered(dialog);
    }
    // Taken off the queue first: the answer may open dialogs that need the next answers.
    const Answer next = std::move(m_answers.front());
    m_answers.pop_front();
    return next(dialog);
}

void ModalScript::record(const QDialog& dialog) {
    m_dialogTitles.append(dialog.windowTitle());
    if (const auto* box = qobject_cast<const QMessageBox*>(&dialog)) {
        m_messages.append(box->text());
        m_messageTitles.append(box->windowTitle());
    }
}

// What Escape or the close box does: a message box presses its escape button, any other
// dialog is rejected.
int ModalScript::closeUnanswered(QDialog& dialog) {
    if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
        if (QAbstractButton* escape = box->escapeButton()) {
            escape->click();
            return box->standardButton(escape);
        }
        box->reject();
        return QMessageBox::NoButton;
    }
    dialog.reject();
    return QDialog::Rejected;
}

int ModalScript::wrongDialog(QDialog& dialog, const char* expected) {
    ADD_FAILURE() << "Expected a " << expected << " dialog, got \""
                  << dialog.windowTitle().toStdString() << "\" ("
                  << dialog.metaObject()->className() << ")";
    return closeUnanswered(dialog);
}
