// The En cipher of agent command queries: any cipher text deciphers without fault to at most
// one byte per hexadecimal pair after the offset, and whatever is enciphered under a key
// deciphers back to itself, except that the mod-255 arithmetic may turn a zero byte into 255.

#include "FuzzCheck.h"
#include "StringCipher.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

bool sameUpToZeroBytes(const QByteArray& plain, const QByteArray& deciphered) {
    if (plain.size() != deciphered.size())
        return false;
    for (qsizetype i = 0; i < plain.size(); ++i) {
        if (plain[i] != deciphered[i] && !(plain[i] == '\0' && deciphered[i] == '\xff'))
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const auto offset = input.ConsumeIntegral<quint8>();
    const QByteArray key = QByteArray::fromStdString(input.ConsumeRandomLengthString(40));
    const QByteArray text = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());

    const QByteArray plain = En(text, key, false);
    require(plain.size() <= std::max<qsizetype>(0, (text.size() - 1) / 2),
            "deciphering yields at most one byte per pair after the offset");

    const QByteArray cipher = EnWithOffset(text, key, offset);
    require(cipher.size() == 2 + 2 * text.size(), "two digits per byte and two for the offset");
    require(cipher == cipher.toUpper(), "cipher text is upper-case hexadecimal");
    require(sameUpToZeroBytes(text, En(cipher, key, false)), "deciphering reverses enciphering");
    return 0;
}
