#include "Multilanguage.h"

#include <QFile>
#include <QHash>

using namespace Qt::StringLiterals;

namespace {

struct ActiveTexts {
    QString language;
    QHash<QString, QString> texts;
};

QString languageFile(const QString& language) {
    return u":/lang/"_s + language + u".lng"_s;
}

bool isKnownLanguage(const QString& language) {
    return AvailableLanguages().contains(language);
}

QMap<QString, QString> parseLanguageFile(const QString& path) {
    QMap<QString, QString> texts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return texts;
    const QString content = QString::fromUtf8(file.readAll());
    for (QStringView line : QStringView(content).split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        const qsizetype separator = line.indexOf(u'=');
        if (separator <= 0)
            continue;
        texts.insert(line.left(separator).trimmed().toString(), line.mid(separator + 1).toString());
    }
    return texts;
}

QHash<QString, QString> toHash(const QMap<QString, QString>& texts) {
    QHash<QString, QString> hash;
    hash.reserve(texts.size());
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        hash.insert(it.key(), it.value());
    return hash;
}

ActiveTexts& active() {
    static ActiveTexts current{u"chs"_s, toHash(parseLanguageFile(languageFile(u"chs"_s)))};
    return current;
}

} // namespace

QString GetString(const QString& key) {
    return active().texts.value(key, key);
}

bool SetLanguage(const QString& language) {
    if (!isKnownLanguage(language))
        return false;
    ActiveTexts& current = active();
    if (current.language != language)
        current = ActiveTexts{language, toHash(LanguageTexts(language))};
    return true;
}

QString ActiveLanguage() {
    return active().language;
}

QStringList AvailableLanguages() {
    return {u"chs"_s, u"eng"_s};
}

QMap<QString, QString> LanguageTexts(const QString& language) {
    if (!isKnownLanguage(language))
        return {};
    return parseLanguageFile(languageFile(language));
}
