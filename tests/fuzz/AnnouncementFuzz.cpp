// Agent announcements read by the server stand-in: any datagram in any code page is either
// ignored or gives a positive user id; an announcement written by an agent reads back as it
// was written.

#include "Announcement.h"
#include "FuzzCheck.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

const QByteArray CodePage = QByteArrayLiteral("GBK");

// Names, versions and addresses as agents send them.
QString field(FuzzedDataProvider& input) {
    static const char alphabet[] = "abcXYZ019.-_";
    QString text;
    for (const char c : input.ConsumeRandomLengthString(20))
        text += QLatin1Char(alphabet[static_cast<unsigned char>(c) % (sizeof alphabet - 1)]);
    return text;
}

void checkWritten(FuzzedDataProvider& input) {
    Announcement sent;
    sent.up = input.ConsumeBool();
    sent.userId = input.ConsumeIntegralInRange(1, std::numeric_limits<int>::max());
    if (sent.up) {
        sent.ip = field(input);
        sent.computerName = field(input);
        sent.cliVer = field(input);
        sent.hardNo = field(input);
    }
    const std::optional<Announcement> read =
        decodeAnnouncement(encodeAnnouncement(sent, CodePage), CodePage);
    require(read && read->up == sent.up && read->userId == sent.userId && read->ip == sent.ip &&
                read->computerName == sent.computerName && read->cliVer == sent.cliVer &&
                read->hardNo == sent.hardNo,
            "an announcement reads back as written");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool utf8 = input.ConsumeBool();
    const QByteArray datagram = QByteArray::fromStdString(input.ConsumeRandomLengthString(1500));
    const std::optional<Announcement> read =
        decodeAnnouncement(datagram, utf8 ? "UTF-8" : CodePage);
    if (read)
        require(read->userId > 0, "an announcement names a user");
    checkWritten(input);
    return 0;
}
