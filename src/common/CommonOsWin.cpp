#include "CommonOs.h"

#include <windows.h>

#include <tlhelp32.h>

namespace kvzflt::os {

TOpenFile::TOpenFile(const std::string& path, bool shareDelete) {
    const DWORD share =
        FILE_SHARE_READ | FILE_SHARE_WRITE | (shareDelete ? FILE_SHARE_DELETE : DWORD{0});
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        handle_ = reinterpret_cast<std::intptr_t>(file);
    }
}

TOpenFile::~TOpenFile() {
    if (IsOpen()) {
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
    }
}

std::string ProgramDir() {
    char name[MAX_PATH + 1] = {};
    const DWORD size = GetModuleFileNameA(nullptr, name, MAX_PATH);
    const std::string path(name, size);
    return path.substr(0, path.find_last_of('\\') + 1);
}

bool LaunchCommand(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        line += (line.empty() ? "" : " ") + argument;
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::string DosDeviceOf(const std::string& drive) {
    char device[MAX_PATH + 1] = {};
    if (QueryDosDeviceA(drive.c_str(), device, MAX_PATH) == 0) {
        return {};
    }
    return device;
}

std::string ExeNameOfProcess(std::uint32_t processNumber) {
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return {};
    }
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::string name;
    for (BOOL more = Process32First(snapshot, &entry); more && name.empty();
         more = Process32Next(snapshot, &entry)) {
        if (entry.th32ProcessID == processNumber) {
            name = entry.szExeFile;
        }
    }
    CloseHandle(snapshot);
    return name;
}

bool EnableLoadDriverRight() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        return false;
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool enabled = LookupPrivilegeValueA(nullptr, "SeLoadDriverPrivilege",
                                         &privileges.Privileges[0].Luid) != FALSE;
    if (enabled) {
        AdjustTokenPrivileges(token, FALSE, &privileges, sizeof privileges, nullptr, nullptr);
        enabled = GetLastError() == ERROR_SUCCESS;
    }
    CloseHandle(token);
    return enabled;
}

std::string NarrowPath(const std::wstring& path) {
    const int size = WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), narrow.data(), size,
                        nullptr, nullptr);
    return narrow;
}

} // namespace kvzflt::os
