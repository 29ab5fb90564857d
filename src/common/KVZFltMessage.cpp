#include "KVZFltMessage.h"

#include <algorithm>

namespace kvzflt {

void PutLE32(std::uint8_t* at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

std::uint32_t GetLE32(const std::uint8_t* at) {
    return std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
           std::uint32_t{at[3]} << 24;
}

std::optional<TMessage> BuildMessage(CommandType code, std::string_view payload,
                                     std::uint32_t length) {
    if (payload.size() > PayloadSize) {
        return std::nullopt;
    }
    TMessage message{};
    message[0] = static_cast<std::uint8_t>(code);
    PutLE32(message.data() + 4, length);
    std::copy(payload.begin(), payload.end(), message.begin() + PayloadOffset);
    return message;
}

TMessage CommandMessage(CommandType code) {
    return *BuildMessage(code, {}, 0);
}

std::optional<TMessage> PathMessage(CommandType code, std::string_view path) {
    return BuildMessage(code, path, static_cast<std::uint32_t>(path.size()));
}

TMessage ProcessMessage(CommandType code, std::uint32_t processNumber) {
    std::string number(4, '\0');
    PutLE32(reinterpret_cast<std::uint8_t*>(number.data()), processNumber);
    return *BuildMessage(code, number, 0);
}

TMessage AuthMessage(CommandType code, const File_Auth& auth) {
    return *BuildMessage(code, AuthBytes(auth), AuthSize);
}

std::optional<TMessage> AuthPathMessage(CommandType code, const File_Auth& auth,
                                        std::string_view path) {
    if (path.size() > PayloadSize - AuthSize) {
        return std::nullopt;
    }
    return BuildMessage(code, AuthBytes(auth) + std::string(path),
                        static_cast<std::uint32_t>(path.size() + AuthSize));
}

std::string AuthBytes(const File_Auth& auth) {
    std::string bytes(AuthSize, '\0');
    auto* at = reinterpret_cast<std::uint8_t*>(bytes.data());
    PutLE32(at, auth.Word1);
    PutLE32(at + 4, auth.Word2);
    return bytes;
}

File_Auth AuthFromBytes(const std::uint8_t* bytes) {
    return {GetLE32(bytes), GetLE32(bytes + 4)};
}

std::string PlyPathPayload(const std::string& dir) {
    return "\\??\\" + dir + "ply\\pds.dat";
}

} // namespace kvzflt
