#include "OsHelpers.h"

#include "common.h"

#include <array>
#include <optional>
#include <sstream>

namespace {

constexpr std::array<std::uint8_t, 57> Csidls = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E,
    0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E,
    0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D,
    0x2E, 0x2F, 0x30, 0x31, 0x35, 0x36, 0x37, 0x38, 0x39, 0x3A, 0x3B, 0x3D,
};

int digitValue(char c, int base) {
    int value = 99;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return value < base ? value : -1;
}

// The language's integer conversion: leading blanks, an optional sign, "$" or "0x" for
// hexadecimal, at least one digit and nothing after the digits. Values beyond 32 bits fail.
std::optional<long long> toInteger(std::string_view text) {
    std::size_t at = text.find_first_not_of(' ');
    if (at == std::string_view::npos) {
        return std::nullopt;
    }
    const bool negative = text[at] == '-';
    at += text[at] == '-' || text[at] == '+' ? 1 : 0;
    int base = 10;
    if (text.substr(at, 1) == "$") {
        base = 16;
        at += 1;
    } else if (text.substr(at, 2) == "0x" || text.substr(at, 2) == "0X") {
        base = 16;
        at += 2;
    }
    if (at >= text.size()) {
        return std::nullopt;
    }
    long long value = 0;
    for (; at < text.size(); ++at) {
        const int digit = digitValue(text[at], base);
        if (digit < 0 || value > 0xFFFFFFFFLL) {
            return std::nullopt;
        }
        value = value * base + digit;
    }
    return negative ? -value : value;
}

// An os-release value without its quotes.
std::string unquoted(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace

int CsidlOf(TSpecialFolder folder) {
    return Csidls.at(static_cast<std::size_t>(folder));
}

bool IsValidIP(std::string_view text) {
    int parts = 0;
    while (!text.empty()) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
        const auto value = toInteger(part);
        if (!value || *value < 0 || *value > 255) {
            return false;
        }
        ++parts;
    }
    return parts == 4;
}

bool IsDottedQuad(std::string_view text) {
    int parts = 0;
    for (;;) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        const bool digits = !part.empty() && part.size() <= 3 &&
                            part.find_first_not_of("0123456789") == std::string_view::npos;
        if (!digits || (part.size() > 1 && part.front() == '0') ||
            std::stoi(std::string(part)) > 255)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            return parts == 4;
        text.remove_prefix(dot + 1);
    }
}

std::string WindowsVersionText(const std::string& product, const std::string& version,
                               const std::string& servicePack) {
    return product + " (version: " + version + ") " + servicePack;
}

std::string OsReleaseVersionText(const std::string& osRelease) {
    std::istringstream lines(osRelease);
    std::string name;
    std::string version;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("NAME=", 0) == 0) {
            name = unquoted(line.substr(5));
        } else if (line.rfind("VERSION_ID=", 0) == 0) {
            version = unquoted(line.substr(11));
        }
    }
    return WindowsVersionText(name, version, {});
}

bool KVZSetKeyPlugged() {
    return KVZFltSendKeyCommand(CommandType::KeyPlug);
}

bool KVZSetKeyUnplugged() {
    return KVZFltSendKeyCommand(CommandType::KeyUnplug);
}

std::uint8_t KVZCheckKeyStatus() {
    return KVZFltCheckKeyStatus();
}
