// The driver messages byte by byte; built and run on Linux and, cross-compiled, under Wine.

#include "KVZFltMessage.h"
#include "common.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace kvzflt;

namespace {

// A block as written by hand: the 8 header bytes, then the payload, zeros to 1032.
TMessage block(std::initializer_list<std::uint8_t> header, const std::string& payload = {}) {
    TMessage expected{};
    std::copy(header.begin(), header.end(), expected.begin());
    std::copy(payload.begin(), payload.end(), expected.begin() + 8);
    return expected;
}

TEST(KVZFltMessageTest, BlocksOfEachForm) {
    const File_Auth auth{0x04030201, 0x08070605};
    const std::string auth8 = "\x01\x02\x03\x04\x05\x06\x07\x08";
    const struct {
        const char* what;
        std::optional<TMessage> message;
        TMessage expected;
    } cases[] = {
        {"key plug", CommandMessage(CommandType::KeyPlug), block({0, 0, 0, 0, 0, 0, 0, 0})},
        {"key status", CommandMessage(CommandType::CheckKeyStatus),
         block({2, 0, 0, 0, 0, 0, 0, 0})},
        {"kill", CommandMessage(CommandType::KillProcess), block({20, 0, 0, 0, 0, 0, 0, 0})},
        {"path", PathMessage(CommandType::SetCheckIfEn, "C:\\a.doc"),
         block({13, 0, 0, 0, 8, 0, 0, 0}, "C:\\a.doc")},
        {"empty path", PathMessage(CommandType::DoEnFile, ""), block({16, 0, 0, 0, 0, 0, 0, 0})},
        {"process", ProcessMessage(CommandType::DelProcess, 0x01020304),
         block({27, 0, 0, 0, 0, 0, 0, 0}, "\x04\x03\x02\x01")},
        {"auth", AuthMessage(CommandType::SetEnFileAuth, auth),
         block({32, 0, 0, 0, 8, 0, 0, 0}, auth8)},
        {"auth and path", AuthPathMessage(CommandType::SetFileAuth, auth, "D:\\x"),
         block({31, 0, 0, 0, 12, 0, 0, 0}, auth8 + "D:\\x")},
        {"long path", PathMessage(CommandType::RealProcess, std::string(300, 'p')),
         block({28, 0, 0, 0, 0x2C, 1, 0, 0}, std::string(300, 'p'))},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.message.has_value()) << c.what;
        EXPECT_EQ(*c.message, c.expected) << c.what;
    }
}

TEST(KVZFltMessageTest, PayloadLimitsAtAndPastTheEdge) {
    const std::string full(1024, 'x');
    const auto fits = PathMessage(CommandType::DoDeFile, full);
    ASSERT_TRUE(fits.has_value());
    EXPECT_EQ((*fits)[1031], 'x');
    EXPECT_EQ(GetLE32(fits->data() + 4), 1024u);
    EXPECT_FALSE(PathMessage(CommandType::DoDeFile, full + "y").has_value());

    const auto withAuth = AuthPathMessage(CommandType::SetFileAuth, {1, 2}, std::string(1016, 'z'));
    ASSERT_TRUE(withAuth.has_value());
    EXPECT_EQ(GetLE32(withAuth->data() + 4), 1024u);
    EXPECT_EQ((*withAuth)[1031], 'z');
    EXPECT_FALSE(AuthPathMessage(CommandType::SetFileAuth, {1, 2}, std::string(1017, 'z')));
}

TEST(KVZFltMessageTest, CodesAuthBytesAndPolicyPath) {
    EXPECT_EQ(static_cast<int>(CommandType::SetCheckIfEn), 13);
    EXPECT_EQ(static_cast<int>(CommandType::GetDiskNo), 21);
    EXPECT_EQ(static_cast<int>(CommandType::SetPlyPath), 29);
    EXPECT_EQ(static_cast<int>(CommandType::SetEnFileAuth), 32);
    const File_Auth auth{0xA1B2C3D4, 0x11223344};
    const std::string bytes = AuthBytes(auth);
    EXPECT_EQ(AuthFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data())), auth);
    EXPECT_EQ(PlyPathPayload("C:\\Program Files\\KVZ\\"),
              "\\??\\C:\\Program Files\\KVZ\\ply\\pds.dat");
    EXPECT_EQ(
        InstallCommandLine("C:\\drv\\"),
        "RUNDLL32.EXE SETUPAPI.DLL,InstallHinfSection DefaultInstall 132 C:\\drv\\KVZFlt6.inf");
    EXPECT_EQ(UninstallCommandLine("D:\\"),
              "RUNDLL32.EXE SETUPAPI.DLL,InstallHinfSection DefaultUninstall 132 D:\\KVZFlt6.inf");
}

TEST(KVZFltMessageTest, DeviceNamesBecomeDrivePaths) {
    const std::map<std::string, std::string> devices = {
        {"C:", "\\Device\\HarddiskVolume1"},
        {"D:", "\\Device\\HarddiskVolume10"},
        {"E:", "\\Device\\CdRom0"},
    };
    const auto lookup = [&devices](const std::string& drive) {
        const auto found = devices.find(drive);
        return found == devices.end() ? std::string() : found->second;
    };
    const struct {
        std::string path, expected;
    } cases[] = {
        {"", ""},
        {"C:\\a.txt", "C:\\a.txt"},
        {"\\Device\\HarddiskVolume1\\doc\\a.txt", "C:\\doc\\a.txt"},
        {"\\Device\\HarddiskVolume10\\b.txt", "D:\\b.txt"},
        {"\\Device\\CdRom0", "E:"},
        {"\\Device\\Floppy0\\c.txt", "\\Device\\Floppy0\\c.txt"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceNameToDosName(c.path, lookup), c.expected) << c.path;
    }
}

} // namespace
