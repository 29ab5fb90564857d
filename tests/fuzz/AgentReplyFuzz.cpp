// The head of an agent's answer: any bytes give nothing or a status from 100 to 999 and a
// length open or not negative; a head as an agent writes it, with the fuzzer's status, length
// and another header line, reads back as written.

#include "AgentReplyHead.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const std::optional<AgentReplyHead> any = parseReplyHead(bytesOf(data, size));
    require(!any || (any->status >= 100 && any->status <= 999 && any->contentLength >= -1),
            "a status of three digits and a length open or not negative");
    FuzzedDataProvider input(data, size);
    const int status = input.ConsumeIntegralInRange(100, 999);
    const qint64 length = input.ConsumeIntegralInRange<qint64>(0, qint64(1) << 40);
    QByteArray other = QByteArray::fromStdString(input.ConsumeRandomLengthString(40));
    for (char& c : other)
        c = char(static_cast<unsigned char>(c) % 94 + 33); // printable, no line break
    const QByteArray written = "HTTP/1.1 " + QByteArray::number(status) + " Reason\r\nX-" + other +
                               ": v\r\ncontent-length: " + QByteArray::number(length);
    const std::optional<AgentReplyHead> head = parseReplyHead(written);
    require(head && head->status == status && head->contentLength == length,
            "a written head reads back");
    return 0;
}
