#include "MessageDialogs.h"

#include "ModalHook.h"
#include "Multilanguage.h"

#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

int messageBoxResult(int flags, int button) {
    if (flags != MB_QUESTION_YESNO)
        return ID_OK;
    return button == QMessageBox::Yes ? ID_YES : ID_NO;
}

// Dialog units of a font: average letter width and text height in pixels.
struct DialogUnits {
    int x;
    int y;
};

DialogUnits dialogUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const QString letters = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"_s;
    return {metrics.horizontalAdvance(letters) / 52, metrics.height()};
}

// number * numerator / denominator with a 64-bit intermediate, rounded half away from zero.
int mulDiv(int number, int numerator, int denominator) {
    const qint64 product = qint64(number) * numerator;
    const qint64 half = denominator / 2;
    return int(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

class InputQueryDialog : public QDialog {
public:
    InputQueryDialog(const QString& caption, const QString& prompt, const QString& value);
    QString text() const { return m_edit->text(); }

private:
    void layOut();

    QLabel* m_prompt;
    QLineEdit* m_edit;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

InputQueryDialog::InputQueryDialog(const QString& caption, const QString& prompt,
                                   const QString& value)
    : m_prompt(new QLabel(prompt, this)), m_edit(new QLineEdit(this)),
      m_ok(new QPushButton(GetString(u"Confirm"_s) + u"(&O)"_s, this)),
      m_cancel(new QPushButton(GetString(u"Cancel"_s) + u"(&C)"_s, this)) {
    setWindowTitle(caption);
    m_prompt->setObjectName(u"LblPrompt"_s);
    m_prompt->setWordWrap(true);
    m_edit->setObjectName(u"EdValue"_s);
    m_edit->setMaxLength(255);
    m_edit->setText(value);
    m_edit->selectAll();
    m_ok->setObjectName(u"BtOK"_s);
    m_ok->setDefault(true);
    m_cancel->setObjectName(u"BtCancel"_s);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    layOut();
}

// Places the controls in dialog units of the dialog's font; the prompt may wrap onto several
// lines and pushes the rest down.
void InputQueryDialog::layOut() {
    const DialogUnits du = dialogUnits(font());
    const auto h = [&](int a) { return mulDiv(a, du.x, 4); };
    const auto v = [&](int a) { return mulDiv(a, du.y, 8); };

    const int promptWidth = h(164);
    m_prompt->setGeometry(h(8), v(8), promptWidth, m_prompt->heightForWidth(promptWidth));
    const int editTop = m_prompt->y() + m_prompt->height() + 5;
    m_edit->setGeometry(h(8), editTop, h(164), m_edit->sizeHint().height());
    const int buttonTop = editTop + m_edit->height() + 15;
    m_ok->setGeometry(h(38), buttonTop, h(50), v(14));
    m_cancel->setGeometry(h(92), buttonTop, h(50), v(14));
    setFixedSize(h(180), buttonTop + v(14) + 13);

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

} // namespace

int MyMessageBox(quint32 /*owner*/, const QString& text, const QString& caption, int flags) {
    QMessageBox box;
    box.setWindowTitle(caption);
    // Texts carry names and database errors: never interpret them as markup.
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    if (flags == MB_QUESTION_YESNO) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
    } else {
        box.setIcon(flags == MB_WARNING_OK ? QMessageBox::Warning : QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
    }
    return messageBoxResult(flags, execModal(box));
}

int ShowMessage(const QString& key, int flags, const QString& suffix) {
    return MyMessageBox(0, GetString(key) + suffix, GetString(u"idinf"_s), flags);
}

bool MyInputQuery(const QString& caption, const QString& prompt, QString& value) {
    InputQueryDialog dialog(caption, prompt, value);
    if (execModal(dialog) != QDialog::Accepted)
        return false;
    value = dialog.text();
    return true;
}
