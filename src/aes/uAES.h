#pragma once

// AES (FIPS-197) for 128-, 192- and 256-bit keys: key schedules, single blocks, and ECB and
// CBC over byte streams. Enciphered streams always hold whole blocks: a partial last block is
// filled up with zero bytes, and deciphering returns those zero bytes unchanged. Standard C++
// only; AesDevice.h takes Qt's devices as streams.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

using TAESBuffer = std::array<std::uint8_t, 16>;
using TAESKey128 = std::array<std::uint8_t, 16>;
using TAESKey192 = std::array<std::uint8_t, 24>;
using TAESKey256 = std::array<std::uint8_t, 32>;

// Round-key schedules: Rounds + 1 round keys of four words. Each word holds four schedule
// bytes, the first in its low eight bits. A deciphering schedule keeps the enciphering order
// with InvMixColumns applied to every round key but the first and the last.
struct TAESExpandedKey128 {
    static constexpr int Rounds = 10;
    alignas(16) std::array<std::uint32_t, 4 * (Rounds + 1)> Words;
};

struct TAESExpandedKey192 {
    static constexpr int Rounds = 12;
    alignas(16) std::array<std::uint32_t, 4 * (Rounds + 1)> Words;
};

struct TAESExpandedKey256 {
    static constexpr int Rounds = 14;
    alignas(16) std::array<std::uint32_t, 4 * (Rounds + 1)> Words;
};

// Raised when a deciphering amount is not a whole number of blocks.
class EAESError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Raised when a stream delivers or accepts fewer bytes than asked.
class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A byte stream as the stream forms read and write it.
class TAESStream {
public:
    virtual ~TAESStream() = default;
    virtual std::int64_t Size() const = 0;
    virtual std::int64_t Position() const = 0;
    virtual void Seek(std::int64_t position) = 0;
    // Up to `size` bytes; the number that arrived, 0 or less at the end or on a failure.
    virtual std::int64_t Read(std::uint8_t* data, std::int64_t size) = 0;
    // The number of bytes taken, 0 or less on a failure.
    virtual std::int64_t Write(const std::uint8_t* data, std::int64_t size) = 0;
    // A stream over memory may lend it instead of copying: the next `size` bytes at the
    // position, or room for `size` bytes there (the stream grows to hold them). Nothing when it
    // cannot; the caller moves the position past the lent bytes.
    virtual const std::uint8_t* LendInput(std::int64_t /*size*/) { return nullptr; }
    virtual std::uint8_t* LendOutput(std::int64_t /*size*/) { return nullptr; }
};

// A stream over bytes in memory, which it lends.
class TAESMemoryStream : public TAESStream {
public:
    explicit TAESMemoryStream(std::string bytes = {}) : m_bytes(std::move(bytes)) {}
    const std::string& Bytes() const { return m_bytes; }

    std::int64_t Size() const override;
    std::int64_t Position() const override;
    void Seek(std::int64_t position) override;
    std::int64_t Read(std::uint8_t* data, std::int64_t size) override;
    std::int64_t Write(const std::uint8_t* data, std::int64_t size) override;
    const std::uint8_t* LendInput(std::int64_t size) override;
    std::uint8_t* LendOutput(std::int64_t size) override;

private:
    std::string m_bytes;
    std::int64_t m_position = 0;
};

// Which block code runs. Automatic uses the processor's AES instructions when it has them and
// the table code otherwise; Hardware on a processor without them also falls back to the tables.
enum class TAESImplementation { Automatic, Table, Hardware };

void SetAESImplementation(TAESImplementation implementation);
// The implementation actually in use: Table or Hardware.
TAESImplementation ActiveAESImplementation();
bool AESHardwareSupported();

void ExpandAESKeyForEncryption(const TAESKey128& key, TAESExpandedKey128& expandedKey);
void ExpandAESKeyForEncryption(const TAESKey192& key, TAESExpandedKey192& expandedKey);
void ExpandAESKeyForEncryption(const TAESKey256& key, TAESExpandedKey256& expandedKey);

void ExpandAESKeyForDecryption(const TAESKey128& key, TAESExpandedKey128& expandedKey);
void ExpandAESKeyForDecryption(const TAESKey192& key, TAESExpandedKey192& expandedKey);
void ExpandAESKeyForDecryption(const TAESKey256& key, TAESExpandedKey256& expandedKey);

// Converts an enciphering schedule in place into a deciphering one.
void ExpandAESKeyForDecryption(TAESExpandedKey128& expandedKey);
void ExpandAESKeyForDecryption(TAESExpandedKey192& expandedKey);
void ExpandAESKeyForDecryption(TAESExpandedKey256& expandedKey);

// One block; `in` and `out` may be the same buffer. DecryptAES takes a deciphering schedule.
void EncryptAES(const TAESBuffer& in, const TAESExpandedKey128& key, TAESBuffer& out);
void EncryptAES(const TAESBuffer& in, const TAESExpandedKey192& key, TAESBuffer& out);
void EncryptAES(const TAESBuffer& in, const TAESExpandedKey256& key, TAESBuffer& out);
void DecryptAES(const TAESBuffer& in, const TAESExpandedKey128& key, TAESBuffer& out);
void DecryptAES(const TAESBuffer& in, const TAESExpandedKey192& key, TAESBuffer& out);
void DecryptAES(const TAESBuffer& in, const TAESExpandedKey256& key, TAESBuffer& out);

// Stream forms. They read `source` from its current position and write `dest` at its current
// position. Count 0 processes the whole source from position 0; otherwise the smaller of count
// and the bytes left in the source. Enciphering writes ceil(amount / 16) blocks. Deciphering
// raises EAESError when the amount is not a multiple of 16, before reading or writing. Short
// reads and writes raise EStreamError after the blocks before them have been written. The
// caller's chaining vector is not changed.
void EncryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey128& key,
                         TAESStream& dest);
void EncryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey192& key,
                         TAESStream& dest);
void EncryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey256& key,
                         TAESStream& dest);
void EncryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, TAESStream& dest);
void EncryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, TAESStream& dest);
void EncryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, TAESStream& dest);

void DecryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey128& key,
                         TAESStream& dest);
void DecryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey192& key,
                         TAESStream& dest);
void DecryptAESStreamECB(TAESStream& source, std::uint32_t count, const TAESKey256& key,
                         TAESStream& dest);
void DecryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, TAESStream& dest);
void DecryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, TAESStream& dest);
void DecryptAESStreamECB(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, TAESStream& dest);

void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey128& key,
                         const TAESBuffer& initVector, TAESStream& dest);
void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey192& key,
                         const TAESBuffer& initVector, TAESStream& dest);
void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey256& key,
                         const TAESBuffer& initVector, TAESStream& dest);
void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest);
void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest);
void EncryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest);

void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey128& key,
                         const TAESBuffer& initVector, TAESStream& dest);
void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey192& key,
                         const TAESBuffer& initVector, TAESStream& dest);
void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count, const TAESKey256& key,
                         const TAESBuffer& initVector, TAESStream& dest);
void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey128& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest);
void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey192& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest);
void DecryptAESStreamCBC(TAESStream& source, std::uint32_t count,
                         const TAESExpandedKey256& expandedKey, const TAESBuffer& initVector,
                         TAESStream& dest);
