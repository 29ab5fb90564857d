#include "Multilanguage.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// Each test starts and ends in the default language.
class MultilanguageTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SetLanguage(u"chs"_s)); }
    void TearDown() override { SetLanguage(u"chs"_s); }
};

TEST_F(MultilanguageTest, SwitchesBetweenKnownLanguagesOnly) {
    EXPECT_EQ(ActiveLanguage(), u"chs"_s);
    EXPECT_EQ(GetString(u"idinf"_s), u"提示"_s);
    ASSERT_TRUE(SetLanguage(u"eng"_s));
    EXPECT_EQ(ActiveLanguage(), u"eng"_s);
    EXPECT_EQ(GetString(u"idinf"_s), u"Information"_s);
    for (const QString& unknown : {u"xx"_s, QString(), u"../lang/chs"_s}) {
        EXPECT_FALSE(SetLanguage(unknown));
    }
    EXPECT_EQ(ActiveLanguage(), u"eng"_s);
    EXPECT_TRUE(LanguageTexts(u"xx"_s).isEmpty());
    ASSERT_TRUE(SetLanguage(u"chs"_s));
    EXPECT_EQ(GetString(u"Confirm"_s), u"确定"_s);
}

// Keys are exact: unknown keys and other letter cases come back unchanged.
TEST_F(MultilanguageTest, UnknownKeyComesBackUnchanged) {
    EXPECT_EQ(GetString(u"NoSuchKey42"_s), u"NoSuchKey42"_s);
    EXPECT_EQ(GetString(QString()), QString());
    EXPECT_EQ(GetString(u"IDINF"_s), u"IDINF"_s);
    const QMap<QString, QString> texts = LanguageTexts(u"chs"_s);
    EXPECT_TRUE(texts.contains(u"IconhideSended"_s));
    EXPECT_FALSE(texts.contains(u"IconHideSended"_s));
}

TEST_F(MultilanguageTest, TextsKeepTheirBlanksForJoining) {
    ASSERT_TRUE(SetLanguage(u"eng"_s));
    EXPECT_EQ(GetString(u"User"_s) + GetString(u"NameNullError"_s),
              u"User name cannot be empty."_s);
    EXPECT_EQ(GetString(u"idonline"_s) + QString::number(3), u"Online: 3"_s);
}

} // namespace
