#include "OsHelpers.h"

#include <windows.h>

#include <shlobj.h>

namespace {

// A REG_SZ value of an open key; empty when missing.
std::string readText(HKEY key, const char* name) {
    char value[512] = {};
    DWORD size = sizeof value - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value), &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    return value;
}

} // namespace

std::string ReadWindowsVersion() {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(&info);
    if (info.dwPlatformId == VER_PLATFORM_WIN32s) {
        return WindowsVersionText("Windows 3.1", {}, {});
    }
    const bool nt = info.dwPlatformId == VER_PLATFORM_WIN32_NT;
    const char* path = nt ? "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"
                          : "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return WindowsVersionText({}, {}, {});
    }
    const std::string text =
        nt ? WindowsVersionText(readText(key, "ProductName"), readText(key, "CurrentVersion"),
                                readText(key, "CSDVersion"))
           : WindowsVersionText(readText(key, "ProductName"), readText(key, "VersionNumber"), {});
    RegCloseKey(key);
    return text;
}

std::string ShellFolderPath(TSpecialFolder folder) {
    LPITEMIDLIST items = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CsidlOf(folder), &items))) {
        return {};
    }
    char path[MAX_PATH + 1] = {};
    const bool found = SHGetPathFromIDListA(items, path) != FALSE;
    CoTaskMemFree(items);
    return found ? path : std::string();
}
