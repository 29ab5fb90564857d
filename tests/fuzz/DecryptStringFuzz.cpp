// DecryptString on any text either refuses it with one of its three errors or returns one
// deciphered block per 16 bytes after the header; EncryptString is reversed by it, the plain
// text followed by the zero bytes of its last block.

#include "FuzzCheck.h"
#include "StringCipher.h"
#include "uAES.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

void checkArbitrary(const QByteArray& cipherText, const QByteArray& key) {
    try {
        const QByteArray plain = DecryptString(cipherText, key);
        const qsizetype cipherBytes = (cipherText.size() + 1) / 2 - 4;
        require(cipherBytes % 16 == 0 && plain.size() == cipherBytes,
                "an accepted text deciphers block for block");
    } catch (const EConvertError&) {
    } catch (const EStreamError&) {
    } catch (const EAESError&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const QByteArray key = QByteArray::fromStdString(input.ConsumeRandomLengthString(40));
    const QByteArray text = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());

    checkArbitrary(text, key);

    const QByteArray cipher = EncryptString(text, key);
    const qsizetype padded = (text.size() + 15) / 16 * 16;
    require(cipher.size() == 2 * (4 + padded), "header and whole blocks in hexadecimal");
    const QByteArray plain = DecryptString(cipher, key);
    require(plain.size() == padded && plain.startsWith(text) &&
                plain.sliced(text.size()).count('\0') == padded - text.size(),
            "DecryptString reverses EncryptString up to the zero fill");
    return 0;
}
