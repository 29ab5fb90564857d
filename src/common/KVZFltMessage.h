#pragma once

// The command messages of the encryption filter driver's communication port: a fixed block of
// 1032 bytes, code at offset 0, little-endian payload length at offset 4, payload from offset 8.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kvzflt {

constexpr std::size_t MessageSize = 1032;
constexpr std::size_t PayloadOffset = 8;
constexpr std::size_t PayloadSize = MessageSize - PayloadOffset;
constexpr std::size_t AuthSize = 8;

using TMessage = std::array<std::uint8_t, MessageSize>;

} // namespace kvzflt

// The wire codes are the ordinals.
enum class CommandType : std::uint8_t {
    KeyPlug,
    KeyUnplug,
    CheckKeyStatus,
    UpdatePolicy,
    SetEnLevel,
    SetUserLevel,
    SetEnGroup,
    SetUserGroups,
    SetAllProcess,
    SetAllSuffix,
    SetDenyProcess,
    SetEncryptDirs,
    SetDecryptDirs,
    SetCheckIfEn,
    ActCheckIfEn,
    FreCheckIfEn,
    DoEnFile,
    DoDeFile,
    ClrDoEnFile,
    ClrDoDeFile,
    KillProcess,
    GetDiskNo,
    GetRtuStatus,
    SetDbgExe,
    ClrDbgExe,
    DocCloseEnWnd,
    DocCloseDeWnd,
    DelProcess,
    RealProcess,
    SetPlyPath,
    GetFileAuth,
    SetFileAuth,
    SetEnFileAuth,
};

// An encrypted file's authorization; the driver defines the fields, this side passes the
// 8 bytes through unchanged.
struct File_Auth {
    std::uint32_t Word1 = 0;
    std::uint32_t Word2 = 0;
    bool operator==(const File_Auth&) const = default;
};

namespace kvzflt {

// A message with `payload` copied from offset 8 and `length` in the length field; empty when
// the payload does not fit the 1024-byte area.
std::optional<TMessage> BuildMessage(CommandType code, std::string_view payload,
                                     std::uint32_t length);

// The usual forms: no payload; a narrow path (length = path bytes); a process number with
// length field 0; the 8 authorization bytes (length 8); the authorization bytes followed by a
// path (length = path bytes + 8).
TMessage CommandMessage(CommandType code);
std::optional<TMessage> PathMessage(CommandType code, std::string_view path);
TMessage ProcessMessage(CommandType code, std::uint32_t processNumber);
TMessage AuthMessage(CommandType code, const File_Auth& auth);
std::optional<TMessage> AuthPathMessage(CommandType code, const File_Auth& auth,
                                        std::string_view path);

// 32-bit little-endian words as the messages carry them.
void PutLE32(std::uint8_t* at, std::uint32_t value);
std::uint32_t GetLE32(const std::uint8_t* at);

// The 8 bytes of an authorization as they travel (each word little-endian), and back.
std::string AuthBytes(const File_Auth& auth);
File_Auth AuthFromBytes(const std::uint8_t* bytes);

// The policy-file payload of SetPlyPath for the program folder `dir` (ending in a separator).
std::string PlyPathPayload(const std::string& dir);

} // namespace kvzflt
