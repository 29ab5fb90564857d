#pragma once

// Control of the product's file-system filter driver: installing it, checking its service,
// and the numbered commands sent through its communication port. Paths are narrow (ANSI)
// bytes. Every command opens and closes its own port connection; when the port cannot be
// reached nothing is sent and the command returns its failure value. A path too long for the
// message is refused the same way, before anything is sent.

#include "KVZFltMessage.h"

#include <cstdint>
#include <string>
#include <vector>

inline constexpr char KVZFltServiceName[] = "KVZFlt";
inline constexpr char KVZFltInfName[] = "KVZFlt6.inf";

bool KVZFltSetCheckIfEncrypted(const std::string& path);
// True when exactly the 8 authorization bytes came back; they land in `auth`.
bool KVZFltActCheckIfEncrypted(const std::string& path, File_Auth& auth);
// The driver's reply byte; 0 when the port is not reachable.
std::uint8_t KVZFltFreeCheckIfEncrypted(const std::string& path);

bool SendDoEncryptFile(const std::string& path);
bool SendDoDecryptFile(const std::string& path);
void ClearDoEncryptFile(const std::string& path);
void ClearDoDecryptFile(const std::string& path);

// True when the port was reached. The message carries no process number: the driver decides.
bool KVZFltKillProcess(std::uint32_t processNumber);
// The driver's text (at most 40 bytes) trimmed of blanks; empty when the port is not reachable.
std::string KVZFltGetDiskSerialNumber();
void KVZFltSetDbgProcess();
void KVZFltClrDbgProcess();
void SendWordCloseEnWindow();
void SendWordCloseDeWindow();
void SendDelEncryptProcess(std::uint32_t processNumber);
void SendRealEncryptProcess(const std::string& path);
// Tells the driver the policy file "ply\pds.dat" in the running program's folder.
void KVZFltSetPlyPath();

// Both hold the file open while the command is sent; nothing is sent when it cannot be
// opened. QLMGetFileAuth changes `auth` only when all 8 bytes came back, and says so.
bool QLMGetFileAuth(const std::string& path, File_Auth& auth);
void QLMSetFileAuth(const std::string& path, const File_Auth& auth);
bool KVZSetEnFileAuth(const File_Auth& auth);

// The key state byte the driver reports; 0 when the port is not reachable.
std::uint8_t KVZFltCheckKeyStatus();
// KeyPlug / KeyUnplug with no payload and no reply; true when sent.
bool KVZFltSendKeyCommand(CommandType code);

// Lets the driver inspect the file and reports its authorization: true when the driver
// returned it. Drive roots ("C:\") are not checked; the wide form also skips ".lnk" files.
bool KVZFltCheckIfEncrypted(const std::string& path, File_Auth& auth);
bool KVZFltCheckIfEncryptedW(const std::wstring& path, File_Auth& auth);

// The installer's command for the INF file in `dir` (ending in a separator), one argument
// each: RUNDLL32.EXE, SETUPAPI.DLL,InstallHinfSection, the section, 132 and the INF path (which
// may hold blanks). Windows starts them joined by blanks into one command line.
std::vector<std::string> InstallArguments(const std::string& dir);
std::vector<std::string> UninstallArguments(const std::string& dir);
// True when the service exists already or the installer could be started (then waits 1500 ms).
bool InstallDriver(const std::string& dir);
// True when the uninstaller (INF in the program's folder) could be started.
bool UninstallDriver();
bool ServiceExists();
bool ServiceRunning();
bool EnableLoadDriverPrivilege();

// The executable file name of a running process; empty when there is none.
std::string GetExeNameByPID(std::uint32_t processNumber);

// Turns a kernel device path ("\Device\HarddiskVolume1\x") into a drive path ("C:\x").
std::string DeviceNameToDosName(const std::string& path);
// The same with the device lookup given (drive name "C:" -> device name, empty when none).
template <class Lookup> std::string DeviceNameToDosName(const std::string& path, Lookup&& lookup) {
    if (path.empty() || (path.size() > 2 && path[1] == ':')) {
        return path;
    }
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string drive{letter, ':'};
        const std::string device = lookup(drive);
        // The device must end where a path component ends: "\Device\HarddiskVolume1" does not
        // begin "\Device\HarddiskVolume10\x".
        if (!device.empty() && path.compare(0, device.size(), device) == 0 &&
            (path.size() == device.size() || path[device.size()] == '\\')) {
            return drive + path.substr(device.size());
        }
    }
    return path;
}
