// The Qt-free system helpers; built and run on Linux and, cross-compiled, under Wine.

#include "OsHelpers.h"

#include <gtest/gtest.h>

namespace {

TEST(OsHelpersTest, DottedAddresses) {
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"127.0.0.1", true},
        {"0.0.0.0", true},
        {"255.255.255.255", true},
        {"1.2.3", false},
        {"1.2.3.256", false},
        {"1..2.3", false},
        {"", false},
        {"1.2.3.4.", true},
        {"1.2.3.4.5", false},
        {"$7F.0x0.0XfF.1", true},
        {"$100.0.0.1", false},
        {"0x.1.1.1", false},
        {"+1.-0.2.3", true},
        {"-1.0.0.1", false},
        {" 1. 2.3.4", true},
        {"1 .2.3.4", false},
        {"a.b.c.d", false},
        {"1.2.3.4..", false},
        {"99999999999.1.1.1", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsValidIP(c.text), c.valid) << '"' << c.text << '"';
    }
}

TEST(OsHelpersTest, FolderIdentifiers) {
    const struct {
        TSpecialFolder folder;
        int csidl;
    } cases[] = {
        {TSpecialFolder::sfDesktop, 0x00},          {TSpecialFolder::sfMyVideo, 0x0E},
        {TSpecialFolder::sfDesktopDirectory, 0x10}, {TSpecialFolder::sfFonts, 0x14},
        {TSpecialFolder::sfAppData, 0x1A},          {TSpecialFolder::sfWindows, 0x24},
        {TSpecialFolder::sfProgramFiles, 0x26},     {TSpecialFolder::sfConnections, 0x31},
        {TSpecialFolder::sfCommonMusic, 0x35},      {TSpecialFolder::sfCDBurnArea, 0x3B},
        {TSpecialFolder::sfComputersNearMe, 0x3D},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CsidlOf(c.folder), c.csidl) << static_cast<int>(c.folder);
    }
}

TEST(OsHelpersTest, VersionTexts) {
    EXPECT_EQ(WindowsVersionText("Windows XP", "5.1", "Service Pack 3"),
              "Windows XP (version: 5.1) Service Pack 3");
    EXPECT_EQ(WindowsVersionText("Windows 7", "6.1", ""), "Windows 7 (version: 6.1) ");
    EXPECT_EQ(WindowsVersionText("Windows 3.1", "", ""), "Windows 3.1 (version: ) ");
    EXPECT_EQ(OsReleaseVersionText("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                   "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\nID=debian\n"),
              "Debian GNU/Linux (version: 12) ");
    EXPECT_EQ(OsReleaseVersionText("NAME=Arch Linux\n"), "Arch Linux (version: ) ");
}

} // namespace
