#pragma once

// The filter driver's communication port "\KVZ6InPort". On Windows it is the Filter Manager
// port; elsewhere, and in tests on Windows, the driver stand-in serves it on a local socket. Every
// send opens its own connection and closes it again, so it may be called from any thread.

#include "KVZFltMessage.h"

#include <cstdint>
#include <string>

namespace kvzflt {

enum class SendResult {
    NotReached, // the port could not be connected (driver absent, access denied)
    Failed,     // connected, but the driver did not take the message
    Sent,
};

// Sends `message` with a reply buffer of `replySize` bytes (none when 0); `returned` receives
// the number of reply bytes the driver wrote.
SendResult SendToDriver(const TMessage& message, std::uint8_t* reply, std::uint32_t replySize,
                        std::uint32_t& returned);

// The stand-in's port: $KVZFLT_SOCKET, else /run/kvzflt/KVZ6InPort (a Unix-domain socket). On
// Windows the Filter Manager port is used unless $KVZFLT_SOCKET names the stand-in's pipe
// ("\\.\pipe\" is put in front of a bare name); empty there otherwise.
std::string DriverSocketPath();

// To the stand-in, a request is the 1032-byte message followed by the reply buffer size
// (32-bit little-endian); the answer is the reply byte count (32-bit little-endian, at most
// the buffer size) followed by that many bytes.
constexpr std::size_t RequestSize = MessageSize + 4;

#ifndef _WIN32
// Reads exactly `size` bytes from a socket; false when it closes or fails first.
bool ReceiveAll(int fd, std::uint8_t* data, std::size_t size);
#endif

} // namespace kvzflt
