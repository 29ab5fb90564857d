// The Qt-free system helpers; built and run on Linux and, cross-compiled, under Wine.

#include "OsHelpers.h"

#include <gtest/gtest.h>

namespace {

TEST(OsHelpersTest, DottedAddresses) {
    for (const char* valid : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "1.2.3.4.",
                              "$7F.0x0.0XfF.1", "+1.-0.2.3", " 1. 2.3.4"}) {
        EXPECT_TRUE(IsValidIP(valid)) << '"' << valid << '"';
    }
    for (const char* invalid :
         {"1.2.3", "1.2.3.256", "1..2.3", "", "1.2.3.4.5", "$100.0.0.1", "0x.1.1.1", "-1.0.0.1",
          "1 .2.3.4", "a.b.c.d", "1.2.3.4..", "99999999999.1.1.1"}) {
        EXPECT_FALSE(IsValidIP(invalid)) << '"' << invalid << '"';
    }
}

// Only a plain dotted quad is a host an agent request may carry.
TEST(OsHelpersTest, PlainDottedQuads) {
    for (const char* valid : {"127.0.0.1", "0.0.0.0", "255.255.255.255", "127.10.200.9"})
        EXPECT_TRUE(IsDottedQuad(valid)) << '"' << valid << '"';
    for (const char* invalid : {"",
                                " ",
                                "127.0.0.1:2230",
                                "127.0.4.1:42232/x?",
                                "127.0.0.1/x",
                                "host.example",
                                "localhost",
                                "127.0.0.1 ",
                                " 127.0.0.1",
                                "127.0.0.01",
                                "127.0.0.256",
                                "1.2.3",
                                "1.2.3.4.",
                                "1.2.3.4.5",
                                "$7F.0.0.1",
                                "0x7f.0.0.1",
                                "+1.0.0.1",
                                "1..2.3",
                                "::1",
                                "1234.0.0.1",
                                "127.0.0.1\n"})
        EXPECT_FALSE(IsDottedQuad(invalid)) << '"' << invalid << '"';
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
    EXPECT_EQ(OsReleaseVersionText("PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"
                                   "NAME=\"Debian GNU/Linux\"\nVERSION_ID=\"12\"\nID=debian\n"),
              "Debian GNU/Linux (version: 12) ");
    EXPECT_EQ(OsReleaseVersionText("NAME=Arch Linux\n"), "Arch Linux (version: ) ");
}

} // namespace
