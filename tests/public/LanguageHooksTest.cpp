#include "LanguageHooks.h"

#include <QWidget>
#include <gtest/gtest.h>

namespace {

TEST(LanguageHooksTest, SwitchIsClosedAndFormsKeepTheirTexts) {
    EXPECT_FALSE(LanguageSwitchOpen());
    QWidget form;
    form.setWindowTitle(QStringLiteral("用户管理"));
    SetFormLanguages(&form);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("用户管理"));
    SetFormLanguages(nullptr);
}

} // namespace
