#include "TextWrap.h"

#include <algorithm>

namespace {

constexpr qsizetype lineBytes = 10;

bool isHighByte(char byte) {
    return static_cast<unsigned char>(byte) >= 0x80;
}

// Bytes of the next line: ten, or eleven when the ten end in the first half of a character.
qsizetype nextLineLength(QByteArrayView rest) {
    const QByteArrayView head = rest.first(lineBytes);
    const auto highBytes = std::count_if(head.begin(), head.end(), isHighByte);
    return highBytes % 2 == 1 ? lineBytes + 1 : lineBytes;
}

} // namespace

QByteArray ResetMemoBak(const QByteArray& text) {
    QByteArray result;
    QByteArrayView rest(text);
    while (!rest.isEmpty()) {
        if (rest.size() <= lineBytes) {
            result += rest;
            break;
        }
        const qsizetype length = nextLineLength(rest);
        result += rest.first(length);
        result += "\r\n";
        rest = rest.sliced(length);
    }
    return result;
}
