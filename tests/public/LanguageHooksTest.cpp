#include "LanguageHooks.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(LanguageHooksTest, SwitchIsClosed) {
    EXPECT_FALSE(LanguageSwitchOpen());
}

TEST(LanguageHooksTest, SetFormLanguagesShowsTheFormAndKeepsItsTexts) {
    QWidget form;
    form.setWindowTitle(QStringLiteral("用户管理"));
    SetFormLanguages(&form);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("用户管理"));
    SetFormLanguages(nullptr);
}

} // namespace
