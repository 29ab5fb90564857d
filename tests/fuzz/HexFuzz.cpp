// The hexadecimal codec: StrToHex is reversed by HexToStr, and HexToStr accepts a text exactly
// when every character is a hexadecimal digit, reading a lone last digit alone.

#include "FuzzCheck.h"
#include "StringCipher.h"

namespace {

bool allHexDigits(const QByteArray& text) {
    return std::all_of(text.cbegin(), text.cend(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);

    const QByteArray hex = StrToHex(bytes);
    require(hex.size() == 2 * bytes.size() && allHexDigits(hex) && hex == hex.toUpper(),
            "StrToHex writes two upper-case digits per byte");
    require(HexToStr(hex) == bytes, "HexToStr reverses StrToHex");
    require(HexToStr(hex.toLower()) == bytes, "HexToStr reads lower-case digits");

    bool accepted = true;
    QByteArray decoded;
    try {
        decoded = HexToStr(bytes);
    } catch (const EConvertError&) {
        accepted = false;
    }
    require(accepted == allHexDigits(bytes), "HexToStr accepts exactly the hexadecimal texts");
    if (accepted) {
        require(decoded.size() == (bytes.size() + 1) / 2, "one byte per pair or lone digit");
        const QByteArray even = bytes.size() % 2 ? bytes.chopped(1) : bytes;
        require(StrToHex(decoded).startsWith(even.toUpper()), "the pairs read back as written");
    }
    return 0;
}
