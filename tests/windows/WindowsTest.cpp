// The Windows implementations against the system they run on (Wine in CI): a Filter Manager
// port that is not there, the Service Control Manager, the registry, the shell, process
// snapshots and DOS devices.

#include "OsHelpers.h"
#include "ServiceControl.h"
#include "common.h"

#include <windows.h>

#include <gtest/gtest.h>

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

} // namespace
