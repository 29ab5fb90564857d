#include "DriverPort.h"

#include <windows.h>

#include <fltuser.h>

namespace kvzflt {

SendResult SendToDriver(const TMessage& message, std::uint8_t* reply, std::uint32_t replySize,
                        std::uint32_t& returned) {
    returned = 0;
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
