#pragma once

#include "MultilangExport.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Message texts of the console, looked up by short ASCII keys in the active language.
// Language files are UTF-8 lines "key=value"; the value is everything after the first "="
// (blanks kept, since callers join texts directly). Empty lines and lines starting with ";"
// or "#" are ignored.

// The text of key in the active language; a key the language does not hold comes back as it is.
MULTILANG_EXPORT QString GetString(const QString& key);

// Makes language ("chs" Simplified Chinese, the default, or "eng" English) the active one.
// Returns false and keeps the active language for a code that has no language file.
MULTILANG_EXPORT bool SetLanguage(const QString& language);
MULTILANG_EXPORT QString ActiveLanguage();
MULTILANG_EXPORT QStringList AvailableLanguages();

// All texts of one language by key; empty for an unknown language.
MULTILANG_EXPORT QMap<QString, QString> LanguageTexts(const QString& language);
