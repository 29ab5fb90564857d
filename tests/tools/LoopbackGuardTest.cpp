#include "DbConnection.h"
#include "DbError.h"

#include <QNetworkDatagram>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

using namespace Qt::Literals::StringLiterals;

namespace {

// The local port the system gave the socket: a real connect or send gives one, a refused call
// never reaches the system and leaves 0.
quint16 localPort(int fd) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

TEST(LoopbackGuardTest, RefusesAnAddressOutsideLoopbackBeforeTheSystemSeesIt) {
    sockaddr_in outside{};
    outside.sin_family = AF_INET;
    outside.sin_port = htons(9);
    inet_pton(AF_INET, "192.0.2.1", &outside.sin_addr);
    const auto* to = reinterpret_cast<const sockaddr*>(&outside);
    for (const int type : {int(SOCK_STREAM | SOCK_NONBLOCK), int(SOCK_DGRAM)}) {
        const int fd = ::socket(AF_INET, type, 0);
        long result = 0;
        int error = 0;
        EXPECT_NONFATAL_FAILURE(
            {
                result = type == SOCK_DGRAM ? ::sendto(fd, "x", 1, 0, to, sizeof outside)
                                            : ::connect(fd, to, sizeof outside);
                error = errno;
            },
            "to 192.0.2.1:9 refused");
        EXPECT_EQ(result, -1);
        EXPECT_EQ(error, EACCES);
        EXPECT_EQ(localPort(fd), 0) << "the system never saw the call";
        ::close(fd);
    }
    QUdpSocket qt; // sends with sendmsg to an IPv4-mapped address
    qint64 written = 0;
    EXPECT_NONFATAL_FAILURE(written = qt.writeDatagram("x", QHostAddress(u"192.0.2.1"_s), 9),
                            "sendmsg to 192.0.2.1:9 refused");
    EXPECT_EQ(written, -1);
}

TEST(LoopbackGuardTest, DriversLoadedAtRunTimeAreGuardedToo) {
    DbSettings settings;
    ASSERT_TRUE(parsePostgresAddress(u"192.0.2.1:5432/kvz"_s, settings));
    EXPECT_NONFATAL_FAILURE(EXPECT_THROW(DbConnection::open(settings), DbError),
                            "to 192.0.2.1:5432 refused");
}

TEST(LoopbackGuardTest, LoopbackPasses) {
    for (const QHostAddress& address : {QHostAddress(u"127.0.9.1"_s), QHostAddress(u"::1"_s)}) {
        QUdpSocket receiver;
        ASSERT_TRUE(receiver.bind(address, 0));
        QUdpSocket sender;
        EXPECT_EQ(sender.writeDatagram("x", address, receiver.localPort()), 1);
        ASSERT_TRUE(receiver.waitForReadyRead(2000));
        EXPECT_EQ(receiver.receiveDatagram().data(), "x");
    }
}

} // namespace
