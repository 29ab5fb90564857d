#pragma once

#include <QByteArray>
#include <QString>

// Sets key in section of an INI file as plain key=value text in the narrow code page, the way
// any INI reader reads it: other sections, keys, comments and line ends stay as they were; a
// missing section or key is added. Returns false when the file cannot be written.
bool writeIniString(const QString& path, const QString& section, const QString& key,
                    const QString& value, const QByteArray& codePage);
