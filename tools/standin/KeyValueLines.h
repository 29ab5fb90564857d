#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include "NarrowText.h"

// Datagram texts of lines key=value: trimmed of blanks and control characters at both ends,
// lines split at CR LF, CR or LF.
QStringList splitLines(const QString& text);

// The value after the first "=" of the first line whose key equals `key` (letter case
// ignored); a null string when no line has that key.
QString lineValue(const QStringList& lines, const QString& key);

// Decodes a text in the narrow code page of the wire (GBK by default): the bytes up to the
// first zero byte count.
QString fromCodePage(const QByteArray& bytes, const QByteArray& codePage);
