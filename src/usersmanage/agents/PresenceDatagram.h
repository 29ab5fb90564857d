#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// A presence datagram of the server side: a client agent came up or went down.
struct PresenceDatagram {
    static constexpr int MaxBytes = 2031; // what is read of one datagram

    enum class Sign { Unknown, ClientIn, ClientOut };
    Sign sign = Sign::Unknown;
    qint32 userId = 0; // 0 when missing or not a number

    // Lines key=value (CR LF, CR or LF), up to the first zero byte, trimmed of blanks and
    // control characters; keys without letter case, the first line of a key wins. Read as
    // bytes: keys and values that count are ASCII, and in the narrow code page no byte of a
    // two-byte character is a blank, a line break or "=".
    static PresenceDatagram parse(QByteArrayView bytes);
};
