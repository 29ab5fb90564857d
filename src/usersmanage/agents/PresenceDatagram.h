#pragma once

#include <cstdint>
#include <string_view>

// A presence datagram of the server side: a client agent came up or went down. Standard C++
// only, so it is built and tested for Windows without Qt.
struct PresenceDatagram {
    static constexpr int MaxBytes = 2031; // what is read of one datagram

    enum class Sign { Unknown, ClientIn, ClientOut };
    Sign sign = Sign::Unknown;
    std::int32_t userId = 0; // 0 when missing or not a number

    // Lines key=value (CR LF, CR or LF), up to the first zero byte, trimmed of blanks and
    // control characters; keys without letter case, the first line of a key wins. Read as
    // bytes: keys and values that count are ASCII, and in the narrow code page no byte of a
    // two-byte character is a blank, a line break or "=". A number may have blanks around it
    // and a sign before it.
    static PresenceDatagram parse(std::string_view bytes);
};
