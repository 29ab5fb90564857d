#include "LanguageHooks.h"

#include <QWidget>

bool LanguageSwitchOpen() {
    return false;
}

void SetFormLanguages(QWidget* form) {
    if (form != nullptr)
        form->show();
}
