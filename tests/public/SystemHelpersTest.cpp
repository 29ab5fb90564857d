#include "SystemHelpers.h"

#include <QDir>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidget>
#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

TEST(SystemHelpersTest, PropertiesByNameButNotSignals) {
    QWidget form;
    QPushButton button;
    EXPECT_TRUE(FindProperty(&form, u"windowtitle"_s));
    EXPECT_TRUE(FindProperty(&button, u"TEXT"_s));
    EXPECT_TRUE(FindProperty(&button, u"objectName"_s)) << "inherited";
    EXPECT_FALSE(FindProperty(&button, u"clicked"_s));
    EXPECT_FALSE(FindProperty(&button, u"destroyed"_s));
    EXPECT_FALSE(FindProperty(&form, u"Caption"_s));
    EXPECT_FALSE(FindProperty(nullptr, u"objectName"_s));
}

TEST(SystemHelpersTest, VersionAndFoldersOfThisSystem) {
    EXPECT_TRUE(
        QRegularExpression(u"^.+ \\(version: [^)]*\\) .*$"_s).match(GetWindowsVersion()).hasMatch())
        << qPrintable(GetWindowsVersion());
    const auto folder = [](TSpecialFolder which) {
        return QDir::fromNativeSeparators(GetSpecialFolder(which));
    };
    EXPECT_EQ(folder(TSpecialFolder::sfProfile), QDir::homePath());
#ifndef _WIN32 // Wine keeps the documents elsewhere, or nowhere
    EXPECT_TRUE(folder(TSpecialFolder::sfMyDocuments).startsWith(QDir::homePath()));
#endif
    EXPECT_EQ(GetSpecialFolder(TSpecialFolder::sfBitBucket), QString());
    EXPECT_TRUE(IsValidIP(u"127.10.0.1"_s));
    EXPECT_FALSE(IsValidIP(u"127.10.0"_s));
}

} // namespace
