#include "IniFile.h"

#include "NarrowText.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 MaxIniSize = 1 << 20;

bool isSection(const QString& line) {
    const QString text = line.trimmed();
    return text.startsWith(u'[') && text.endsWith(u']');
}

bool isSection(const QString& line, const QString& section) {
    return isSection(line) &&
           line.trimmed().mid(1).chopped(1).trimmed().compare(section, Qt::CaseInsensitive) == 0;
}

bool isKey(const QString& line, const QString& key) {
    const qsizetype equals = line.indexOf(u'=');
    return equals > 0 && line.left(equals).trimmed().compare(key, Qt::CaseInsensitive) == 0;
}

// The lines with the key set: replaced where it stands, else added after the section's last
// line that is not blank, else added with a new section at the end.
void setKey(QStringList& lines, const QString& section, const QString& key, const QString& value) {
    const QString entry = key + u'=' + value;
    qsizetype start = 0;
    while (start < lines.size() && !isSection(lines[start], section))
        ++start;
    if (start == lines.size()) {
        while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
            lines.removeLast();
        lines << u'[' + section + u']' << entry;
        return;
    }
    qsizetype insertAt = start + 1;
    for (qsizetype i = start + 1; i < lines.size() && !isSection(lines[i]); ++i) {
        if (isKey(lines[i], key)) {
            lines[i] = entry;
            return;
        }
        if (!lines[i].trimmed().isEmpty())
            insertAt = i + 1;
    }
    lines.insert(insertAt, entry);
}

// The lines of the file at path (none when it does not exist) and the line end it uses (CR LF
// for a new file); nothing when it is too large to be a settings file.
std::optional<QStringList> readLines(const QString& path, const QByteArray& codePage,
                                     QString& lineEnd) {
    QString text;
    if (QFile file(path); file.open(QIODevice::ReadOnly)) {
        if (file.size() > MaxIniSize)
            return std::nullopt;
        text = fromNarrow(file.read(MaxIniSize), codePage);
    }
    lineEnd = text.contains(u"\r\n"_s) || text.isEmpty() ? u"\r\n"_s : u"\n"_s;
    QStringList lines = text.split(lineEnd);
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

QString readIniString(const QString& path, const QString& section, const QString& key,
                      const QByteArray& codePage) {
    QString lineEnd;
    const QStringList lines = readLines(path, codePage, lineEnd).value_or(QStringList());
    qsizetype i = 0;
    while (i < lines.size() && !isSection(lines[i], section))
        ++i;
    for (++i; i < lines.size() && !isSection(lines[i]); ++i) {
        if (isKey(lines[i], key))
            return lines[i].mid(lines[i].indexOf(u'=') + 1).trimmed();
    }
    return {};
}

bool writeIniString(const QString& path, const QString& section, const QString& key,
                    const QString& value, const QByteArray& codePage) {
    QString lineEnd;
    std::optional<QStringList> lines = readLines(path, codePage, lineEnd);
    if (!lines)
        return false; // not rewritten from a part of it
    setKey(*lines, section, key, value);
    QSaveFile file(path);
    const QByteArray bytes = toNarrow(lines->join(lineEnd) + lineEnd, codePage);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}
