#include "PresenceDatagram.h"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

bool isSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameLetters(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lower(x) == lower(y); });
}

// A decimal 32-bit number with optional white space around it and a sign before it.
std::optional<std::int32_t> decimal(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+'))
        text.remove_prefix(1);
    if (text.empty() || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;
    std::int64_t value = 0;
    for (const char digit : text) {
        value = value * 10 + (digit - '0');
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -value : value);
}

} // namespace

PresenceDatagram PresenceDatagram::parse(std::string_view bytes) {
    std::string_view text = bytes.substr(0, MaxBytes);
    text = trimmed(text.substr(0, text.find('\0')));
    std::optional<std::string_view> sign, userId;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        const std::string_view line = text.substr(0, end);
        const bool crlf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
        text.remove_prefix(std::min(text.size(), end + (crlf ? 2 : 1)));
        const std::size_t equals = line.find('=');
        if (equals == std::string_view::npos)
            continue;
        const std::string_view key = line.substr(0, equals);
        if (!sign && sameLetters(key, "Sign"))
            sign = line.substr(equals + 1);
        else if (!userId && sameLetters(key, "UserId"))
            userId = line.substr(equals + 1);
    }
    PresenceDatagram datagram;
    if (sign && sameLetters(*sign, "KVZCLIENTIN"))
        datagram.sign = Sign::ClientIn;
    else if (sign && sameLetters(*sign, "KVZCLIENTOUT"))
        datagram.sign = Sign::ClientOut;
    datagram.userId = userId ? decimal(*userId).value_or(0) : 0;
    return datagram;
}
