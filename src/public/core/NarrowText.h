#pragma once

#include "LogonInfo.h"

#include <QByteArray>
#include <QString>

// Texts that cross to the agents, the offline client and the server side as bytes are in one
// narrow code page (GBK by default, TLogonInfo::CodePage). A code page the system does not know
// falls back to UTF-8. On Windows the system converts the code pages Qt does not know.
KVZPUBLIC_EXPORT bool isKnownCodePage(const QByteArray& name);
KVZPUBLIC_EXPORT QByteArray toNarrow(const QString& text, const QByteArray& codePage);
KVZPUBLIC_EXPORT QString fromNarrow(const QByteArray& bytes, const QByteArray& codePage);
