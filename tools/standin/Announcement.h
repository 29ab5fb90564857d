#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// What an agent tells the server side when it comes up or goes down: a datagram of lines
//   Sign=KVZAGENTUP (or KVZAGENTDOWN)
//   UserId=17
//   Ip=127.0.1.11
//   ComputerName=PC-017
//   CliVer=3.5.9
//   HardNo=HD00000011
// joined with CR LF, in the narrow code page. Keys and the sign are read without regard to
// letter case; a going-down datagram needs only Sign and UserId.
struct Announcement {
    bool up = true;
    int userId = 0;
    QString ip;
    QString computerName;
    QString cliVer;
    QString hardNo;
};

QByteArray encodeAnnouncement(const Announcement& announcement, const QByteArray& codePage);

// Nothing for a datagram of another kind or without a positive UserId.
std::optional<Announcement> decodeAnnouncement(const QByteArray& datagram,
                                               const QByteArray& codePage);
