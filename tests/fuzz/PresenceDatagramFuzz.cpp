// Presence datagrams from the server side: a well-formed one reads as written whatever the
// letter case, the first line of a key wins, nothing after a zero byte or beyond the read
// limit counts, and letter case never changes the result.

#include "FuzzCheck.h"
#include "PresenceDatagram.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

PresenceDatagram parsed(const QByteArray& bytes) {
    return PresenceDatagram::parse({bytes.constData(), std::size_t(bytes.size())});
}

bool same(const PresenceDatagram& a, const PresenceDatagram& b) {
    return a.sign == b.sign && a.userId == b.userId;
}

void checkWellFormed(FuzzedDataProvider& input) {
    const bool in = input.ConsumeBool();
    const auto userId = input.ConsumeIntegral<qint32>();
    QByteArray datagram = "Sign=" + QByteArray(in ? "KVZCLIENTIN" : "KVZCLIENTOUT") +
                          "\r\nUserId=" + QByteArray::number(userId);
    if (input.ConsumeBool())
        datagram = datagram.toLower();
    const PresenceDatagram read = parsed(datagram);
    require(read.sign ==
                    (in ? PresenceDatagram::Sign::ClientIn : PresenceDatagram::Sign::ClientOut) &&
                read.userId == userId,
            "a well-formed datagram reads as written");
    PresenceDatagram expected = read;
    const QByteArray rest = QByteArray::fromStdString(input.ConsumeRemainingBytesAsString());
    require(same(parsed(datagram + "\r\n" + rest), expected), "the first line of a key wins");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    const QByteArray bytes = bytesOf(data, size);
    const PresenceDatagram read = parsed(bytes);
    if (bytes.size() < PresenceDatagram::MaxBytes)
        require(same(parsed(bytes + '\0' + "Sign=KVZCLIENTIN\r\nUserId=1"), read),
                "nothing after a zero byte counts");
    require(
        same(parsed(bytes + QByteArray(PresenceDatagram::MaxBytes, '\n') +
                    "Sign=KVZCLIENTIN\nUserId=1"),
             parsed(bytes.first(std::min<qsizetype>(bytes.size(), PresenceDatagram::MaxBytes)))),
        "nothing beyond the read limit counts");
    require(same(parsed(bytes.toUpper()), read), "letter case does not count");

    FuzzedDataProvider input(data, size);
    checkWellFormed(input);
    return 0;
}
