#include "Announcement.h"

#include "KeyValueLines.h"

#include <QStringList>

using namespace Qt::Literals::StringLiterals;

namespace {

const QString upSign = QStringLiteral("KVZAGENTUP");
const QString downSign = QStringLiteral("KVZAGENTDOWN");

} // namespace

QByteArray encodeAnnouncement(const Announcement& announcement, const QByteArray& codePage) {
    QStringList lines{u"Sign="_s + (announcement.up ? upSign : downSign),
                      u"UserId="_s + QString::number(announcement.userId)};
    if (announcement.up)
        lines << u"Ip="_s + announcement.ip << u"ComputerName="_s + announcement.computerName
              << u"CliVer="_s + announcement.cliVer << u"HardNo="_s + announcement.hardNo;
    return toNarrow(lines.join(u"\r\n"_s), codePage);
}

std::optional<Announcement> decodeAnnouncement(const QByteArray& datagram,
                                               const QByteArray& codePage) {
    const QStringList lines = splitLines(fromCodePage(datagram, codePage));
    const QString sign = lineValue(lines, QStringLiteral("Sign"));
    Announcement announcement;
    announcement.up = sign.compare(upSign, Qt::CaseInsensitive) == 0;
    if (!announcement.up && sign.compare(downSign, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    announcement.userId = lineValue(lines, QStringLiteral("UserId")).trimmed().toInt();
    if (announcement.userId <= 0)
        return std::nullopt;
    announcement.ip = lineValue(lines, QStringLiteral("Ip")).trimmed();
    announcement.computerName = lineValue(lines, QStringLiteral("ComputerName"));
    announcement.cliVer = lineValue(lines, QStringLiteral("CliVer"));
    announcement.hardNo = lineValue(lines, QStringLiteral("HardNo"));
    return announcement;
}
