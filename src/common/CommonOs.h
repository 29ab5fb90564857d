#pragma once

// The operating-system services behind the driver control unit: one implementation on the
// Windows API, one on Linux (where there are no drive letters and no INF installer).

#include <cstdint>
#include <string>
#include <vector>

namespace kvzflt::os {

// A file held open for reading, closed when the object goes. shareDelete also lets others
// delete or rename it meanwhile.
class TOpenFile {
public:
    TOpenFile(const std::string& path, bool shareDelete);
    ~TOpenFile();
    TOpenFile(const TOpenFile&) = delete;
    TOpenFile& operator=(const TOpenFile&) = delete;
    bool IsOpen() const { return handle_ != Closed; }

private:
    static constexpr std::intptr_t Closed = -1;
    std::intptr_t handle_ = Closed;
};

// The running program's folder, ending in the separator.
std::string ProgramDir();

// Starts a program with its arguments (the program first), shown normally; true when it could
// be started. It runs on by itself; nothing is left of it once it ends.
bool LaunchCommand(const std::vector<std::string>& arguments);

// The device name behind a drive name such as "C:"; empty when there is none.
std::string DosDeviceOf(const std::string& drive);

// The executable file name of a running process; empty when there is none.
std::string ExeNameOfProcess(std::uint32_t processNumber);

// Enables the right to load drivers for this process; true when no error was reported.
bool EnableLoadDriverRight();

// A wide path in the narrow form the driver reads.
std::string NarrowPath(const std::wstring& path);

} // namespace kvzflt::os
