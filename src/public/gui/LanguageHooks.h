#pragma once

class QWidget;

// Language switching is the host's business: the module never switches at run time.
bool LanguageSwitchOpen();

// Shows form (non-modal); its texts stay as they are.
void SetFormLanguages(QWidget* form);
