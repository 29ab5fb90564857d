#pragma once

// The two printable ciphers of the shared unit, over byte strings:
// - En: the light chained byte cipher of agent command queries. Cipher text is upper-case
//   hexadecimal: one pair for a random initial offset, then one pair per plain byte.
// - EncryptString / DecryptString: AES-128-ECB behind a 4-byte little-endian length header,
//   in hexadecimal.

#include <QByteArray>

#include <stdexcept>

// Raised when a text is not a valid number.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Enciphers (encrypt true) or deciphers `source` with the key's bytes used in a cycle; an
// empty key means "Tarnvelo". Deciphering never fails: malformed cipher text yields the bytes
// deciphered before the first pair that is not hexadecimal.
QByteArray En(const QByteArray& source, const QByteArray& key, bool encrypt);

// Enciphering as En does, with a chosen initial offset instead of a random one.
QByteArray EnWithOffset(const QByteArray& source, const QByteArray& key, quint8 initialOffset);

// Two upper-case hexadecimal digits per byte.
QByteArray StrToHex(const QByteArray& bytes);

// Reads pairs of hexadecimal digits in either letter case; a lone last digit is read alone.
// Throws EConvertError for a pair that is not hexadecimal.
QByteArray HexToStr(const QByteArray& hex);

// The key is the first 16 bytes of `key`, filled up with zero bytes.
QByteArray EncryptString(const QByteArray& plainText, const QByteArray& key);

// Returns the deciphered blocks as they are: the plain text followed by the zero bytes that
// filled its last block. Throws EConvertError for bad hexadecimal, EStreamError when the length
// header is missing, EAESError when the cipher part is not a whole number of blocks.
QByteArray DecryptString(const QByteArray& cipherText, const QByteArray& key);
