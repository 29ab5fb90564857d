#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

// Message-box styles and results, as the console's callers pass and test them.
constexpr int MB_WARNING_OK = 0x30;
constexpr int MB_INFORMATION_OK = 0x40;
constexpr int MB_QUESTION_YESNO = 0x44;
constexpr int ID_OK = 1;
constexpr int ID_YES = 6;
constexpr int ID_NO = 7;

// Shows text in a modal message box titled caption: 0x30 warning with OK, 0x44 question with
// Yes and No, any other flags information with OK. Returns 1 (OK), 6 (Yes) or 7 (No); a
// question closed without a choice returns 7. owner is accepted for the callers' sake only.
int MyMessageBox(quint32 owner, const QString& text, const QString& caption, int flags);

// The standard message of a window: the text of key (followed directly by suffix) under the
// title of key "idinf".
int ShowMessage(const QString& key, int flags, const QString& suffix = {});

// Asks for one line of text. On OK stores the edited text in value and returns true; on
// Cancel, Escape or close returns false and leaves value as it was.
bool MyInputQuery(const QString& caption, const QString& prompt, QString& value);
