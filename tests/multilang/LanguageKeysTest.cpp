#include "Multilanguage.h"

#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A literal key passed to GetString (or to ShowMessage, which looks it up) in any of the usual
// spellings: "k", u"k"_s,
// QStringLiteral("k"), QLatin1String("k"), QString::fromUtf8("k"), QString("k") ...
const QRegularExpression& getStringCall() {
    static const QRegularExpression pattern(
        uR"re((?:GetString|ShowMessage)\s*\(\s*(?:[A-Za-z_][A-Za-z0-9_:]*\s*\(\s*)?u?8?"([^"\\]*)")re"_s);
    return pattern;
}

// Every key the module's sources pass to GetString, with the file it was found in.
QMap<QString, QString> keysUsedInSources() {
    QMap<QString, QString> keys;
    for (const QString& folder : {u"src"_s, u"host"_s}) {
        QDirIterator it(QStringLiteral(KVZ_SOURCE_DIR) + u'/' + folder, {u"*.cpp"_s, u"*.h"_s},
                        QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            if (!file.open(QIODevice::ReadOnly))
                continue;
            auto matches = getStringCall().globalMatch(QString::fromUtf8(file.readAll()));
            while (matches.hasNext())
                keys.insert(matches.next().captured(1), file.fileName());
        }
    }
    return keys;
}

TEST(LanguageKeysTest, RecognisesTheLiteralForms) {
    const QString sample = uR"src(GetString(QStringLiteral("idinf")); GetString( u"Depart"_s );
        GetString(QLatin1String("User")) + GetString("New") + GetString(key);
        ShowMessage(u"DepartChose"_s, MB_WARNING_OK);)src"_s;
    QStringList found;
    auto matches = getStringCall().globalMatch(sample);
    while (matches.hasNext())
        found.append(matches.next().captured(1));
    EXPECT_EQ(found, (QStringList{u"idinf"_s, u"Depart"_s, u"User"_s, u"New"_s, u"DepartChose"_s}));
}

// Keys reach GetString as literals in the sources, or through tables (client command results,
// scan options, page captions).
TEST(LanguageKeysTest, EveryKeyUsedHasATextInEveryLanguage) {
    QMap<QString, QString> used = keysUsedInSources();
    ASSERT_TRUE(used.contains(u"Confirm"_s)) << "the source scan found nothing";
    const QString tableKeys =
        u"PlyUpdateSended PlyUpdateFailed IconShowSended IconShowFailed IconhideSended "
        u"IconHideFailed EnIconShowSended EnIconShowFailed EnIconHideSended EnIconHideFailed "
        u"ClientAutoEnPauseSended ClientAutoEnPauseFailed ClientAutoEnSended ClientAutoEnFailed "
        u"ClientAutoUpdateSended ClientAutoUpdateFailed ClientUnInstallConfirm "
        u"ClientUnInstallSended ClientUnInstallFailed EnFiles DeOtherFiles DeAllFiles TSetEnAll "
        u"TSetDeOther TSetDeAll OutPageCtrl1 OutPageCtrl2 OutPageCtrl3 seldate maxdate maxdate1 "
        u"noCtrlKey nopath"_s;
    for (const QString& key : tableKeys.split(u' '))
        used.insert(key, u"a table"_s);
    for (const QString& language : AvailableLanguages()) {
        const QMap<QString, QString> texts = LanguageTexts(language);
        for (auto it = used.cbegin(); it != used.cend(); ++it) {
            EXPECT_TRUE(texts.contains(it.key()))
                << "key \"" << it.key().toStdString() << "\" used in " << it.value().toStdString()
                << " is missing from " << language.toStdString();
        }
    }
}

TEST(LanguageKeysTest, BothLanguagesHoldTheSameKeysWithTexts) {
    const QMap<QString, QString> chinese = LanguageTexts(u"chs"_s);
    const QMap<QString, QString> english = LanguageTexts(u"eng"_s);
    ASSERT_FALSE(chinese.isEmpty());
    EXPECT_EQ(chinese.keys(), english.keys());
    for (const auto* texts : {&chinese, &english}) {
        for (auto it = texts->cbegin(); it != texts->cend(); ++it)
            EXPECT_FALSE(it.value().trimmed().isEmpty()) << it.key().toStdString();
    }
}

} // namespace
