// The Windows implementations against the system they run on (Wine in CI): a Filter Manager
// port that is not there, the Service Control Manager, the registry, the shell, process
// snapshots and DOS devices; and the AES block code built by this compiler.

#include "AesHardware.h"
#include "AesTables.h"
#include "OsHelpers.h"
#include "ServiceControl.h"
#include "common.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <regex>

namespace {

// Each command's failure value is mapped in code shared with Linux (tested there); here the
// Windows port's refusal in each reply shape, and the key wrappers built only here.
TEST(WindowsPortTest, UnreachablePortGivesTheFailureValues) {
    File_Auth auth{9, 9};
    EXPECT_FALSE(KVZFltCheckIfEncrypted("C:\\windows\\win.ini", auth));
    EXPECT_FALSE(KVZFltActCheckIfEncrypted("C:\\a.doc", auth));
    EXPECT_EQ(auth, (File_Auth{9, 9}));
    EXPECT_FALSE(SendDoEncryptFile("C:\\a.doc"));
    EXPECT_EQ(KVZFltGetDiskSerialNumber(), "");
    EXPECT_FALSE(KVZSetKeyPlugged());
    EXPECT_FALSE(KVZSetKeyUnplugged());
    EXPECT_EQ(KVZCheckKeyStatus(), 0);
}

TEST(WindowsServiceTest, MissingDriverServiceAndTheSystemsOwn) {
    EXPECT_FALSE(ServiceExists());
    EXPECT_FALSE(ServiceRunning());
    EXPECT_EQ(kvzflt::QueryServiceState("NoSuchKvzService"), kvzflt::ServiceState::Unavailable);
    EXPECT_FALSE(kvzflt::RequestServiceStart("NoSuchKvzService"));
    EXPECT_FALSE(kvzflt::RequestServiceStop("NoSuchKvzService"));

    using kvzflt::ServiceState;
    EXPECT_EQ(kvzflt::QueryServiceState("PlugPlay"), ServiceState::Running);
    const auto settlesAt = [](ServiceState wanted) {
        for (int i = 0; i < 50 && kvzflt::QueryServiceState("msiserver") != wanted; ++i) {
            Sleep(100);
        }
        return kvzflt::QueryServiceState("msiserver") == wanted;
    };
    if (kvzflt::QueryServiceState("msiserver") == ServiceState::Running) {
        kvzflt::RequestServiceStop("msiserver");
    }
    ASSERT_TRUE(settlesAt(ServiceState::NotRunning));
    EXPECT_TRUE(kvzflt::RequestServiceStart("msiserver"));
    EXPECT_TRUE(settlesAt(ServiceState::Running));
    EXPECT_TRUE(kvzflt::RequestServiceStop("msiserver"));
    EXPECT_TRUE(settlesAt(ServiceState::NotRunning));
}

TEST(WindowsSystemTest, VersionFoldersProcessesAndDevices) {
    const std::string version = ReadWindowsVersion();
    EXPECT_TRUE(std::regex_match(version, std::regex(R"(.+ \(version: [0-9.]+\) .*)"))) << version;
    EXPECT_STRCASEEQ(ShellFolderPath(TSpecialFolder::sfWindows).c_str(), "c:\\windows");
    EXPECT_STRCASEEQ(ShellFolderPath(TSpecialFolder::sfSystem).c_str(), "c:\\windows\\system32");
    EXPECT_EQ(ShellFolderPath(TSpecialFolder::sfComputersNearMe), "");
    EXPECT_STRCASEEQ(GetExeNameByPID(GetCurrentProcessId()).c_str(), "windows_tests.exe");
    EXPECT_EQ(GetExeNameByPID(0x7FFFFFF0u), "");

    char device[MAX_PATH] = {};
    ASSERT_NE(QueryDosDeviceA("C:", device, MAX_PATH), 0u);
    EXPECT_EQ(DeviceNameToDosName(std::string(device) + "\\windows\\win.ini"),
              "C:\\windows\\win.ini");
    EXPECT_EQ(DeviceNameToDosName("D:\\x"), "D:\\x");
}

// FIPS-197 appendices A.1 and B: the expanded key of 2b7e1516 28aed2a6 abf71588 09cf4f3c, and
// the block 3243f6a8 885a308d 313198a2 e0370734 enciphered under it.
constexpr std::array<std::uint32_t, 44> ExpandedKey = {
    0x2b7e1516, 0x28aed2a6, 0xabf71588, 0x09cf4f3c, 0xa0fafe17, 0x88542cb1, 0x23a33939, 0x2a6c7605,
    0xf2c295f2, 0x7a96b943, 0x5935807a, 0x7359f67f, 0x3d80477d, 0x4716fe3e, 0x1e237e44, 0x6d7a883b,
    0xef44a541, 0xa8525b7f, 0xb671253b, 0xdb0bad00, 0xd4d1c6f8, 0x7c839d87, 0xcaf2b8bc, 0x11f915bc,
    0x6d88a37a, 0x110b3efd, 0xdbf98641, 0xca0093fd, 0x4e54f70e, 0x5f5fc9f3, 0x84a64fb2, 0x4ea6dc4f,
    0xead27321, 0xb58dbad2, 0x312bf560, 0x7f8d292f, 0xac7766f3, 0x19fadc21, 0x28d12941, 0x575c006e,
    0xd014f9a8, 0xc9ee2589, 0xe13f0cc8, 0xb6630ca6,
};
constexpr std::array<std::uint8_t, 16> Plain = {0x32, 0x43, 0xf6, 0xa8, 0x88, 0x5a, 0x30, 0x8d,
                                                0x31, 0x31, 0x98, 0xa2, 0xe0, 0x37, 0x07, 0x34};
constexpr std::array<std::uint8_t, 16> Cipher = {0x39, 0x25, 0x84, 0x1d, 0x02, 0xdc, 0x09, 0xfb,
                                                 0xdc, 0x11, 0x85, 0x97, 0x19, 0x6a, 0x0b, 0x32};

TEST(WindowsAesTest, BlockCodeOfBothEngines) {
    // The engines keep the first schedule byte in a word's low bits.
    std::array<std::uint32_t, 44> encrypt{};
    std::transform(ExpandedKey.begin(), ExpandedKey.end(), encrypt.begin(),
                   [](std::uint32_t w) { return __builtin_bswap32(w); });
    std::array<std::uint32_t, 44> decrypt = encrypt;
    std::transform(decrypt.begin() + 4, decrypt.end() - 4, decrypt.begin() + 4,
                   kvz::aes::tables::invMixColumn);
    const kvz::aes::KeySchedule encryptSchedule{encrypt.data(), 10};
    const kvz::aes::KeySchedule decryptSchedule{decrypt.data(), 10};

    std::vector<const kvz::aes::AesEngine*> engines = {&kvz::aes::tables::engine()};
    if (kvz::aes::hardware::supported()) {
        engines.push_back(&kvz::aes::hardware::engine());
    }
    for (const auto* engine : engines) {
        std::array<std::uint8_t, 16> block = Plain;
        engine->encryptEcb(encryptSchedule, block.data(), block.data(), 1);
        EXPECT_EQ(block, Cipher);
        engine->decryptEcb(decryptSchedule, block.data(), block.data(), 1);
        EXPECT_EQ(block, Plain);
    }
}

} // namespace
