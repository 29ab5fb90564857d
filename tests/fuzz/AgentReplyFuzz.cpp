// The head of an agent's answer: any bytes give nothing or a status from 100 to 999 and a
// length that is open or not negative; a head written as an agent writes it, with the fuzzer's
// status, length and other header lines, reads back as written.

#include "AgentReplyHead.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

void checkAny(const QByteArray& bytes) {
    const std::optional<AgentReplyHead> head = parseReplyHead(bytes);
    if (head)
        require(head->status >= 100 && head->status <= 999 && head->contentLength >= -1,
                "a status of three digits and a length open or not negative");
}

// A header line that is not Content-Length: printable, without line breaks.
QByteArray otherLine(FuzzedDataProvider& input) {
    QByteArray line = QByteArray::fromStdString(input.ConsumeRandomLengthString(40));
    for (char& c : line)
        c = char(static_cast<unsigned char>(c) % 94 + 33);
    return "X-" + line + ": v\r\n";
}

void checkWritten(FuzzedDataProvider& input) {
    const int status = input.ConsumeIntegralInRange(100, 999);
    const qint64 length = input.ConsumeIntegralInRange<qint64>(0, qint64(1) << 40);
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + " Reason\r\n";
    for (int i = input.ConsumeIntegralInRange(0, 4); i > 0; --i)
        head += otherLine(input);
    head += "content-length: " + QByteArray::number(length);
    const std::optional<AgentReplyHead> read = parseReplyHead(head);
    require(read && read->status == status && read->contentLength == length,
            "a written head reads back");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    checkAny(bytesOf(data, size));
    FuzzedDataProvider input(data, size);
    checkWritten(input);
    return 0;
}
