#include "AesDevice.h"

#include <QBuffer>
#include <QMetaMethod>

#include <typeinfo>

namespace {

// Gives access to QObject::isSignalConnected, which is protected, for any QBuffer.
class SignalProbe : public QBuffer {
public:
    static bool isListenedTo(const QBuffer& buffer, const QMetaMethod& signal) {
        return (buffer.*(&SignalProbe::isSignalConnected))(signal);
    }
};

QBuffer* plainBuffer(QIODevice& device) {
    if (typeid(device) != typeid(QBuffer) || device.isTextModeEnabled()) {
        return nullptr;
    }
    return static_cast<QBuffer*>(&device);
}

QBuffer* lentSource(QIODevice& device) {
    QBuffer* buffer = plainBuffer(device);
    return buffer != nullptr && device.isReadable() && !device.isTransactionStarted() ? buffer
                                                                                      : nullptr;
}

QBuffer* lentDest(QIODevice& device, const QIODevice* source) {
    QBuffer* buffer = plainBuffer(device);
    if (buffer == nullptr || !device.isWritable()) {
        return nullptr;
    }
    const auto* sourceBuffer = dynamic_cast<const QBuffer*>(source);
    if (sourceBuffer != nullptr && &sourceBuffer->data() == &buffer->data()) {
        return nullptr;
    }
    if (SignalProbe::isListenedTo(*buffer, QMetaMethod::fromSignal(&QIODevice::bytesWritten)) ||
        SignalProbe::isListenedTo(*buffer, QMetaMethod::fromSignal(&QIODevice::readyRead))) {
        return nullptr;
    }
    return buffer;
}

} // namespace

TAESDeviceStream::TAESDeviceStream(QIODevice& device, const QIODevice* source)
    : m_device(device), m_lentSource(source == nullptr ? lentSource(device) : nullptr),
      m_lentDest(source != nullptr ? lentDest(device, source) : nullptr) {}

std::int64_t TAESDeviceStream::Size() const {
    return m_device.size();
}

std::int64_t TAESDeviceStream::Position() const {
    return m_device.pos();
}

void TAESDeviceStream::Seek(std::int64_t position) {
    m_device.seek(position);
}

std::int64_t TAESDeviceStream::Read(std::uint8_t* data, std::int64_t size) {
    return m_device.read(reinterpret_cast<char*>(data), size);
}

std::int64_t TAESDeviceStream::Write(const std::uint8_t* data, std::int64_t size) {
    return m_device.write(reinterpret_cast<const char*>(data), size);
}

const std::uint8_t* TAESDeviceStream::LendInput(std::int64_t size) {
    if (m_lentSource == nullptr || m_device.bytesAvailable() < size) {
        return nullptr;
    }
    return reinterpret_cast<const std::uint8_t*>(m_lentSource->data().constData()) + m_device.pos();
}

std::uint8_t* TAESDeviceStream::LendOutput(std::int64_t size) {
    if (m_lentDest == nullptr) {
        return nullptr;
    }
    QByteArray& bytes = m_lentDest->buffer();
    const std::int64_t end = m_device.pos() + size;
    if (bytes.size() < end) {
        bytes.resize(end);
    }
    return reinterpret_cast<std::uint8_t*>(bytes.data()) + m_device.pos();
}
