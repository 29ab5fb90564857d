#pragma once

#include "LogonInfo.h"

#include <QByteArray>
#include <QString>

// Sets key in section of an INI file as plain key=value text in the narrow code page, the way
// any INI reader reads it: other sections, keys, comments and line ends stay as they were; a
// missing section or key is added. Returns false when the file cannot be written, or is larger
// than 1 MiB (no settings file; it is left alone).
KVZPUBLIC_EXPORT bool writeIniString(const QString& path, const QString& section,
                                     const QString& key, const QString& value,
                                     const QByteArray& codePage);

// The value of key in section of an INI file in the narrow code page (section and key names in
// any letter case, blanks around the value removed); empty when the file, the section or the
// key is missing. Files larger than 1 MiB are not read.
KVZPUBLIC_EXPORT QString readIniString(const QString& path, const QString& section,
                                       const QString& key, const QByteArray& codePage);
