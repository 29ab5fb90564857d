#include "CommonOs.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <thread>
#include <vector>

extern char** environ;

namespace kvzflt::os {

namespace {

// The target of a /proc link; empty when it cannot be read.
std::string linkTarget(const std::string& link) {
    std::vector<char> target(4096);
    const ssize_t size = ::readlink(link.c_str(), target.data(), target.size());
    return size > 0 ? std::string(target.data(), static_cast<std::size_t>(size)) : std::string();
}

} // namespace

TOpenFile::TOpenFile(const std::string& path, bool /*shareDelete: POSIX never locks*/) {
    handle_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

TOpenFile::~TOpenFile() {
    if (IsOpen()) {
        ::close(static_cast<int>(handle_));
    }
}

std::string ProgramDir() {
    const std::string exe = linkTarget("/proc/self/exe");
    return exe.substr(0, exe.find_last_of('/') + 1);
}

bool LaunchCommand(const std::vector<std::string>& arguments) {
    if (arguments.empty()) {
        return false;
    }
    std::vector<char*> argv;
    for (const auto& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
        return false;
    }
    // Reaped when it ends, without holding up the caller.
    std::thread([child] {
        while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

std::string DosDeviceOf(const std::string& /*drive: Linux has no drive letters*/) {
    return {};
}

std::string ExeNameOfProcess(std::uint32_t processNumber) {
    const std::string dir = "/proc/" + std::to_string(processNumber);
    const std::string exe = linkTarget(dir + "/exe");
    if (!exe.empty()) {
        return exe.substr(exe.find_last_of('/') + 1, 260);
    }
    // Other users' processes hide their executable; their short name stays readable.
    std::ifstream comm(dir + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

bool EnableLoadDriverRight() {
    // Loading kernel modules needs CAP_SYS_MODULE (bit 16) in the effective set.
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) == 0) {
            return (std::stoull(line.substr(7), nullptr, 16) >> 16 & 1) != 0;
        }
    }
    return false;
}

std::string NarrowPath(const std::wstring& path) {
    // File names are UTF-8 here.
    std::string narrow;
    for (const wchar_t wide : path) {
        const auto c = static_cast<std::uint32_t>(wide);
        if (c < 0x80) {
            narrow += static_cast<char>(c);
        } else if (c < 0x800) {
            narrow += static_cast<char>(0xC0 | c >> 6);
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            narrow += static_cast<char>(0xE0 | c >> 12);
            narrow += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            narrow += static_cast<char>(0xF0 | c >> 18);
            narrow += static_cast<char>(0x80 | (c >> 12 & 0x3F));
            narrow += static_cast<char>(0x80 | (c >> 6 & 0x3F));
            narrow += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return narrow;
}

} // namespace kvzflt::os
