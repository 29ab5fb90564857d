#include "DriverPort.h"

#include <windows.h>

#include <fltuser.h>

#include <cstdlib>
#include <cstring>

namespace kvzflt {

namespace {

// A stand-in that accepts and never answers does not block the caller for ever.
constexpr DWORD TimeoutMs = 5000;

class Handle {
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle() {
        if (valid()) {
            CloseHandle(handle_);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

// Moves exactly `size` bytes through the pipe, each transfer bounded by TimeoutMs.
bool transferAll(HANDLE pipe, bool writing, std::uint8_t* data, DWORD size) {
    const Handle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    while (size > 0 && done.valid()) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = done.get();
        const BOOL started = writing ? WriteFile(pipe, data, size, nullptr, &overlapped)
                                     : ReadFile(pipe, data, size, nullptr, &overlapped);
        if (!started && GetLastError() != ERROR_IO_PENDING) {
            return false;
        }
        DWORD moved = 0;
        if (WaitForSingleObject(done.get(), TimeoutMs) != WAIT_OBJECT_0) {
            CancelIo(pipe);
            GetOverlappedResult(pipe, &overlapped, &moved, TRUE);
            return false;
        }
        if (!GetOverlappedResult(pipe, &overlapped, &moved, FALSE) || moved == 0) {
            return false;
        }
        data += moved;
        size -= moved;
    }
    return size == 0;
}

std::wstring pipeName(const std::string& name) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, name.data(), int(name.size()), nullptr, 0);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, name.data(), int(name.size()), wide.data(), length);
    const std::wstring prefix = L"\\\\.\\pipe\\";
    return wide.rfind(prefix, 0) == 0 ? wide : prefix + wide;
}

SendResult sendToStandIn(const std::string& name, const TMessage& message, std::uint8_t* reply,
                         std::uint32_t replySize, std::uint32_t& returned) {
    const Handle pipe(CreateFileW(pipeName(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!pipe.valid()) {
        return SendResult::NotReached;
    }
    std::uint8_t request[RequestSize];
    std::memcpy(request, message.data(), MessageSize);
    PutLE32(request + MessageSize, replySize);
    std::uint8_t count[4];
    if (!transferAll(pipe.get(), true, request, RequestSize) ||
        !transferAll(pipe.get(), false, count, 4)) {
        return SendResult::Failed;
    }
    const std::uint32_t bytes = GetLE32(count);
    if (bytes > replySize || (bytes > 0 && !transferAll(pipe.get(), false, reply, bytes))) {
        return SendResult::Failed;
    }
    returned = bytes;
    return SendResult::Sent;
}

} // namespace

std::string DriverSocketPath() {
    const char* path = std::getenv("KVZFLT_SOCKET");
    return path != nullptr ? path : "";
}

SendResult SendToDriver(const TMessage& message, std::uint8_t* reply, std::uint32_t replySize,
                        std::uint32_t& returned) {
    returned = 0;
    if (const std::string standIn = DriverSocketPath(); !standIn.empty()) {
        return sendToStandIn(standIn, message, reply, replySize, returned);
    }
    HANDLE port = INVALID_HANDLE_VALUE;
    if (FAILED(FilterConnectCommunicationPort(L"\\KVZ6InPort", 0, nullptr, 0, nullptr, &port))) {
        return SendResult::NotReached;
    }
    TMessage buffer = message;
    DWORD bytes = 0;
    const HRESULT sent = FilterSendMessage(port, buffer.data(), MessageSize,
                                           replySize > 0 ? reply : nullptr, replySize, &bytes);
    CloseHandle(port);
    returned = bytes;
    return SUCCEEDED(sent) ? SendResult::Sent : SendResult::Failed;
}

} // namespace kvzflt
