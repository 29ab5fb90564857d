#pragma once

// The two printable ciphers of the shared unit, over byte strings, in standard C++ (the
// QByteArray forms in StringCipher.h wrap these):
// - En: the light chained byte cipher of agent command queries. Cipher text is upper-case
//   hexadecimal: one pair for a random initial offset, then one pair per plain byte.
// - EncryptString / DecryptString: AES-128-ECB behind a 4-byte little-endian length header,
//   in hexadecimal.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// Raised when a text is not a valid number.
class EConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

namespace kvz::cipher {

// Enciphers (encrypt true) or deciphers `source` with the key's bytes used in a cycle; an
// empty key means "Tarnvelo". Deciphering never fails: malformed cipher text yields the bytes
// deciphered before the first pair that is not hexadecimal.
std::string En(std::string_view source, std::string_view key, bool encrypt);

// Enciphering as En does, with a chosen initial offset instead of a random one.
std::string EnWithOffset(std::string_view source, std::string_view key, std::uint8_t initialOffset);

// Two upper-case hexadecimal digits per byte.
std::string StrToHex(std::string_view bytes);

// Reads pairs of hexadecimal digits in either letter case; a lone last digit is read alone.
// Throws EConvertError for a pair that is not hexadecimal.
std::string HexToStr(std::string_view hex);

// The key is the first 16 bytes of `key`, filled up with zero bytes.
std::string EncryptString(std::string_view plainText, std::string_view key);

// Returns the deciphered blocks as they are: the plain text followed by the zero bytes that
// filled its last block. Throws EConvertError for bad hexadecimal, EStreamError when the length
// header is missing, EAESError when the cipher part is not a whole number of blocks.
std::string DecryptString(std::string_view cipherText, std::string_view key);

} // namespace kvz::cipher
