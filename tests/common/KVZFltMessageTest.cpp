// The driver messages byte by byte; built and run on Linux and, cross-compiled, under Wine.

#include "KVZFltMessage.h"
#include "common.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using namespace kvzflt;

namespace {

// A block as written by hand: code, payload length, then the payload, zeros to 1032.
TMessage block(std::uint8_t code, unsigned length, const std::string& payload = {}) {
    TMessage expected{};
    expected[0] = code;
    expected[4] = std::uint8_t(length);
    expected[5] = std::uint8_t(length >> 8);
    std::copy(payload.begin(), payload.end(), expected.begin() + 8);
    return expected;
}

TEST(KVZFltMessageTest, BlocksOfEachForm) {
    const File_Auth auth{0x04030201, 0x08070605};
    const std::string auth8 = "\x01\x02\x03\x04\x05\x06\x07\x08";
    const std::string longPath(300, 'p');
    const struct {
        const char* what;
        std::optional<TMessage> message;
        TMessage expected;
    } cases[] = {
        {"key plug", CommandMessage(CommandType::KeyPlug), block(0, 0)},
        {"kill", CommandMessage(CommandType::KillProcess), block(20, 0)},
        {"disk", CommandMessage(CommandType::GetDiskNo), block(21, 0)},
        {"path", PathMessage(CommandType::SetCheckIfEn, "C:\\a.doc"), block(13, 8, "C:\\a.doc")},
        {"empty path", PathMessage(CommandType::DoEnFile, ""), block(16, 0)},
        {"process", ProcessMessage(CommandType::DelProcess, 0x01020304),
         block(27, 0, "\x04\x03\x02\x01")},
        {"auth", AuthMessage(CommandType::SetEnFileAuth, auth), block(32, 8, auth8)},
        {"auth and path", AuthPathMessage(CommandType::SetFileAuth, auth, "D:\\x"),
         block(31, 12, auth8 + "D:\\x")},
        {"long path", PathMessage(CommandType::RealProcess, longPath), block(28, 300, longPath)},
        {"policy path", PathMessage(CommandType::SetPlyPath, PlyPathPayload("C:\\K\\")),
         block(29, 20, "\\??\\C:\\K\\ply\\pds.dat")},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(c.message.has_value()) << c.what;
        EXPECT_EQ(*c.message, c.expected) << c.what;
    }
}

TEST(KVZFltMessageTest, PayloadLimitsAtAndPastTheEdge) {
    const auto fits = PathMessage(CommandType::DoDeFile, std::string(1024, 'x'));
    const auto withAuth = AuthPathMessage(CommandType::SetFileAuth, {1, 2}, std::string(1016, 'z'));
    for (const auto& full : {fits, withAuth}) {
        ASSERT_TRUE(full.has_value());
        EXPECT_EQ(GetLE32(full->data() + 4), 1024u);
        EXPECT_NE((*full)[1031], 0);
    }
    EXPECT_FALSE(PathMessage(CommandType::DoDeFile, std::string(1025, 'x')));
    EXPECT_FALSE(AuthPathMessage(CommandType::SetFileAuth, {1, 2}, std::string(1017, 'z')));
}

TEST(KVZFltMessageTest, AuthBytesAndInstallerArguments) {
    const File_Auth auth{0xA1B2C3D4, 0x11223344};
    const std::string bytes = AuthBytes(auth);
    EXPECT_EQ(AuthFromBytes(reinterpret_cast<const std::uint8_t*>(bytes.data())), auth);
    using Arguments = std::vector<std::string>;
    EXPECT_EQ(InstallArguments("C:\\Program Files\\drv\\"),
              (Arguments{"RUNDLL32.EXE", "SETUPAPI.DLL,InstallHinfSection", "DefaultInstall", "132",
                         "C:\\Program Files\\drv\\KVZFlt6.inf"}));
    EXPECT_EQ(UninstallArguments("D:\\"),
              (Arguments{"RUNDLL32.EXE", "SETUPAPI.DLL,InstallHinfSection", "DefaultUninstall",
                         "132", "D:\\KVZFlt6.inf"}));
}

TEST(KVZFltMessageTest, DeviceNamesBecomeDrivePaths) {
    const std::map<std::string, std::string> devices = {{"C:", "\\Device\\HarddiskVolume1"},
                                                        {"D:", "\\Device\\HarddiskVolume10"},
                                                        {"E:", "\\Device\\CdRom0"}};
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
