#pragma once

// The AES stream forms over Qt's devices: each device is taken as a TAESStream.

#include "uAES.h"

class QBuffer;
class QIODevice;

// A device as an AES stream. A plain QBuffer lends its memory, which saves a copy per chunk;
// text mode, which QIODevice applies on reading and writing, keeps a buffer on the copying
// path, as do listeners to a destination's write signals, which direct writes would not raise,
// and a destination on the same bytes as `source`. Given `source`, the stream is a destination.
class TAESDeviceStream : public TAESStream {
public:
    explicit TAESDeviceStream(QIODevice& device, const QIODevice* source = nullptr);

    std::int64_t Size() const override;
    std::int64_t Position() const override;
    void Seek(std::int64_t position) override;
    std::int64_t Read(std::uint8_t* data, std::int64_t size) override;
    std::int64_t Write(const std::uint8_t* data, std::int64_t size) override;
    const std::uint8_t* LendInput(std::int64_t size) override;
    std::uint8_t* LendOutput(std::int64_t size) override;

private:
    QIODevice& m_device;
    QBuffer* m_lentSource;
    QBuffer* m_lentDest;
};

template <class Key>
void EncryptAESStreamECB(QIODevice& source, std::uint32_t count, const Key& key, QIODevice& dest) {
    TAESDeviceStream in(source), out(dest, &source);
    EncryptAESStreamECB(in, count, key, out);
}

template <class Key>
void DecryptAESStreamECB(QIODevice& source, std::uint32_t count, const Key& key, QIODevice& dest) {
    TAESDeviceStream in(source), out(dest, &source);
    DecryptAESStreamECB(in, count, key, out);
}

template <class Key>
void EncryptAESStreamCBC(QIODevice& source, std::uint32_t count, const Key& key,
                         const TAESBuffer& initVector, QIODevice& dest) {
    TAESDeviceStream in(source), out(dest, &source);
    EncryptAESStreamCBC(in, count, key, initVector, out);
}

template <class Key>
void DecryptAESStreamCBC(QIODevice& source, std::uint32_t count, const Key& key,
                         const TAESBuffer& initVector, QIODevice& dest) {
    TAESDeviceStream in(source), out(dest, &source);
    DecryptAESStreamCBC(in, count, key, initVector, out);
}
