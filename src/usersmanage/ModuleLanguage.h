#pragma once

#include <QString>

// The captions of the module's forms are written in Chinese. For the console's English
// ("eng") the module installs a translator of its own, built into the library, so that the
// forms, menus and column headers it creates come up in English.

// Installs the English translator for "eng" and removes it for any other language. Open forms
// receive a language-change event either way. False when the translation could not be loaded.
bool UseModuleLanguage(const QString& language);
// Removes the module's translator, if installed.
void DropModuleLanguage();
