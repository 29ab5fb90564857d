#include "common.h"

#include "CommonOs.h"
#include "DriverPort.h"
#include "ServiceControl.h"

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <optional>
#include <thread>

using namespace kvzflt;

namespace {

constexpr std::uint32_t DiskSerialSize = 40;

// Sends a message that may be missing (a path that did not fit): a missing one is not sent.
SendResult send(const std::optional<TMessage>& message, std::uint8_t* reply = nullptr,
                std::uint32_t replySize = 0) {
    std::uint32_t returned = 0;
    return message ? SendToDriver(*message, reply, replySize, returned) : SendResult::NotReached;
}

bool sent(const std::optional<TMessage>& message) {
    return send(message) == SendResult::Sent;
}

// Sends with a reply buffer of `size` bytes; the bytes the driver returned.
std::string exchange(const std::optional<TMessage>& message, std::uint32_t size) {
    std::string reply(size, '\0');
    std::uint32_t returned = 0;
    if (!message || SendToDriver(*message, reinterpret_cast<std::uint8_t*>(reply.data()), size,
                                 returned) != SendResult::Sent) {
        return {};
    }
    reply.resize(returned);
    return reply;
}

std::uint8_t replyByte(const std::optional<TMessage>& message) {
    const std::string reply = exchange(message, 1);
    return reply.empty() ? 0 : static_cast<std::uint8_t>(reply[0]);
}

// Asks for the 8 authorization bytes; true (and `auth` set) when all of them came back.
bool exchangeAuth(const std::optional<TMessage>& message, File_Auth& auth) {
    const std::string reply = exchange(message, AuthSize);
    if (reply.size() != AuthSize) {
        return false;
    }
    auth = AuthFromBytes(reinterpret_cast<const std::uint8_t*>(reply.data()));
    return true;
}

} // namespace

bool KVZFltSetCheckIfEncrypted(const std::string& path) {
    std::uint8_t ignored = 0;
    return send(PathMessage(CommandType::SetCheckIfEn, path), &ignored, 1) == SendResult::Sent;
}

bool KVZFltActCheckIfEncrypted(const std::string& path, File_Auth& auth) {
    return exchangeAuth(PathMessage(CommandType::ActCheckIfEn, path), auth);
}

std::uint8_t KVZFltFreeCheckIfEncrypted(const std::string& path) {
    return replyByte(PathMessage(CommandType::FreCheckIfEn, path));
}

bool SendDoEncryptFile(const std::string& path) {
    return sent(PathMessage(CommandType::DoEnFile, path));
}

bool SendDoDecryptFile(const std::string& path) {
    return sent(PathMessage(CommandType::DoDeFile, path));
}

void ClearDoEncryptFile(const std::string& path) {
    send(PathMessage(CommandType::ClrDoEnFile, path));
}

void ClearDoDecryptFile(const std::string& path) {
    send(PathMessage(CommandType::ClrDoDeFile, path));
}

bool KVZFltKillProcess(std::uint32_t /*processNumber*/) {
    return send(CommandMessage(CommandType::KillProcess)) != SendResult::NotReached;
}

std::string KVZFltGetDiskSerialNumber() {
    // The reply is read up to its first zero byte but never past the bytes returned.
    std::string serial = exchange(CommandMessage(CommandType::GetDiskNo), DiskSerialSize);
    serial.resize(std::min(serial.size(), serial.find('\0')));
    const auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    serial.erase(serial.begin(), std::find_if_not(serial.begin(), serial.end(), blank));
    serial.erase(std::find_if_not(serial.rbegin(), serial.rend(), blank).base(), serial.end());
    return serial;
}

void KVZFltSetDbgProcess() {
    send(CommandMessage(CommandType::SetDbgExe));
}

void KVZFltClrDbgProcess() {
    send(CommandMessage(CommandType::ClrDbgExe));
}

void SendWordCloseEnWindow() {
    send(CommandMessage(CommandType::DocCloseEnWnd));
}

void SendWordCloseDeWindow() {
    send(CommandMessage(CommandType::DocCloseDeWnd));
}

void SendDelEncryptProcess(std::uint32_t processNumber) {
    send(ProcessMessage(CommandType::DelProcess, processNumber));
}

void SendRealEncryptProcess(const std::string& path) {
    send(PathMessage(CommandType::RealProcess, path));
}

void KVZFltSetPlyPath() {
    send(PathMessage(CommandType::SetPlyPath, PlyPathPayload(os::ProgramDir())));
}

bool QLMGetFileAuth(const std::string& path, File_Auth& auth) {
    const os::TOpenFile file(path, true);
    return file.IsOpen() && exchangeAuth(PathMessage(CommandType::GetFileAuth, path), auth);
}

void QLMSetFileAuth(const std::string& path, const File_Auth& auth) {
    const os::TOpenFile file(path, true);
    if (file.IsOpen()) {
        send(AuthPathMessage(CommandType::SetFileAuth, auth, path));
    }
}

bool KVZSetEnFileAuth(const File_Auth& auth) {
    return sent(AuthMessage(CommandType::SetEnFileAuth, auth));
}

std::uint8_t KVZFltCheckKeyStatus() {
    return replyByte(CommandMessage(CommandType::CheckKeyStatus));
}

bool KVZFltSendKeyCommand(CommandType code) {
    return sent(CommandMessage(code));
}

bool KVZFltCheckIfEncrypted(const std::string& path, File_Auth& auth) {
    if (path.size() == 3 || !KVZFltSetCheckIfEncrypted(path)) {
        return false;
    }
    const os::TOpenFile file(path, false);
    if (!file.IsOpen()) {
        KVZFltFreeCheckIfEncrypted(path);
        return false;
    }
    return KVZFltActCheckIfEncrypted(path, auth);
}

bool KVZFltCheckIfEncryptedW(const std::wstring& path, File_Auth& auth) {
    std::wstring extension = path.size() >= 4 ? path.substr(path.size() - 4) : std::wstring();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](wchar_t c) { return static_cast<wchar_t>(std::towlower(c)); });
    if (path.size() == 3 || extension == L".lnk") {
        return false;
    }
    return KVZFltCheckIfEncrypted(os::NarrowPath(path), auth);
}

std::vector<std::string> InstallArguments(const std::string& dir) {
    return {"RUNDLL32.EXE", "SETUPAPI.DLL,InstallHinfSection", "DefaultInstall", "132",
            dir + KVZFltInfName};
}

std::vector<std::string> UninstallArguments(const std::string& dir) {
    return {"RUNDLL32.EXE", "SETUPAPI.DLL,InstallHinfSection", "DefaultUninstall", "132",
            dir + KVZFltInfName};
}

bool InstallDriver(const std::string& dir) {
    if (ServiceExists()) {
        return true;
    }
    if (!os::LaunchCommand(InstallArguments(dir))) {
        return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    return true;
}

bool UninstallDriver() {
    return os::LaunchCommand(UninstallArguments(os::ProgramDir()));
}

bool ServiceExists() {
    return QueryServiceState(KVZFltServiceName) != ServiceState::Unavailable;
}

bool ServiceRunning() {
    return QueryServiceState(KVZFltServiceName) == ServiceState::Running;
}

bool EnableLoadDriverPrivilege() {
    return os::EnableLoadDriverRight();
}

std::string GetExeNameByPID(std::uint32_t processNumber) {
    return os::ExeNameOfProcess(processNumber);
}

std::string DeviceNameToDosName(const std::string& path) {
    return DeviceNameToDosName(path, os::DosDeviceOf);
}
