#include "DriverPort.h"

#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace kvzflt {

namespace {

// A stand-in that accepts and never answers does not block the caller for ever.
constexpr int TimeoutSeconds = 5;

class Socket {
public:
    Socket() : fd_(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool connectTo(const std::string& path) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (fd_ < 0 || path.size() >= sizeof address.sun_path) {
            return false;
        }
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        const timeval timeout{TimeoutSeconds, 0};
        ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        ::setsockopt(fd_, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
        return ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }

    bool sendAll(const std::uint8_t* data, std::size_t size) {
        while (size > 0) {
            const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL);
            if (n <= 0) {
                return false;
            }
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

    bool receiveAll(std::uint8_t* data, std::size_t size) { return ReceiveAll(fd_, data, size); }

private:
    int fd_;
};

} // namespace

bool ReceiveAll(int fd, std::uint8_t* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::recv(fd, data, size, 0);
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

std::string DriverSocketPath() {
    const char* path = std::getenv("KVZFLT_SOCKET");
    return path != nullptr && *path != '\0' ? path : "/run/kvzflt/KVZ6InPort";
}

SendResult SendToDriver(const TMessage& message, std::uint8_t* reply, std::uint32_t replySize,
                        std::uint32_t& returned) {
    returned = 0;
    Socket socket;
    if (!socket.connectTo(DriverSocketPath())) {
        return SendResult::NotReached;
    }
    std::uint8_t request[RequestSize];
    std::memcpy(request, message.data(), MessageSize);
    PutLE32(request + MessageSize, replySize);
    std::uint8_t count[4];
    if (!socket.sendAll(request, RequestSize) || !socket.receiveAll(count, 4)) {
        return SendResult::Failed;
    }
    const std::uint32_t bytes = GetLE32(count);
    if (bytes > replySize || (bytes > 0 && !socket.receiveAll(reply, bytes))) {
        return SendResult::Failed;
    }
    returned = bytes;
    return SendResult::Sent;
}

} // namespace kvzflt
