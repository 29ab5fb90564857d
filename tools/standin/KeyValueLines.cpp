#include "KeyValueLines.h"

#include <QRegularExpression>

namespace {

bool isTrimmed(QChar c) {
    return c.isSpace() || c.unicode() < 0x20 || c.unicode() == 0x7f;
}

QString trimmed(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isTrimmed(text.at(begin)))
        ++begin;
    while (end > begin && isTrimmed(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

} // namespace

QStringList splitLines(const QString& text) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QString body = trimmed(text);
    return body.isEmpty() ? QStringList() : body.split(lineBreak);
}

QString lineValue(const QStringList& lines, const QString& key) {
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(u'=');
        if (equals >= 0 && line.left(equals).compare(key, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1);
    }
    return QString();
}

QString fromCodePage(const QByteArray& bytes, const QByteArray& codePage) {
    const qsizetype zero = bytes.indexOf('\0');
    return fromNarrow(zero < 0 ? bytes : bytes.left(zero), codePage);
}
