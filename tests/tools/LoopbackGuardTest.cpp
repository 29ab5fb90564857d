#include <QNetworkDatagram>
#include <QUdpSocket>
#include <arpa/inet.h>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <functional>

namespace {

sockaddr_in ipv4(const char* address, quint16 port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    inet_pton(AF_INET, address, &to.sin_addr);
    return to;
}

sockaddr_in6 ipv6(const char* address, quint16 port) {
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    to.sin6_port = htons(port);
    inet_pton(AF_INET6, address, &to.sin6_addr);
    return to;
}

// The local port the system gave the socket: a real connect or send gives one, a refused
// call never reaches the system and leaves 0.
quint16 localPort(int fd) {
    sockaddr_in local{};
    socklen_t length = sizeof local;
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    return ntohs(local.sin_port);
}

using Call = std::function<long(int fd, const sockaddr_in& to)>;

TEST(LoopbackGuardTest, RefusesAnAddressOutsideLoopbackBeforeTheSystemSeesIt) {
    const sockaddr_in outside = ipv4("192.0.2.1", 9);
    const char data[] = "x";
    const struct {
        const char* name;
        int type;
        Call call;
    } calls[] = {
        {"connect", SOCK_STREAM | SOCK_NONBLOCK,
         [](int fd, const sockaddr_in& to) {
             return long(::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to));
         }},
        {"sendto", SOCK_DGRAM,
         [&](int fd, const sockaddr_in& to) {
             return long(
                 ::sendto(fd, data, 1, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to));
         }},
        {"sendmsg", SOCK_DGRAM,
         [&](int fd, const sockaddr_in& to) {
             iovec part{const_cast<char*>(data), 1};
             msghdr message{};
             message.msg_name = const_cast<sockaddr_in*>(&to);
             message.msg_namelen = sizeof to;
             message.msg_iov = &part;
             message.msg_iovlen = 1;
             return long(::sendmsg(fd, &message, 0));
         }},
    };
    for (const auto& c : calls) {
        SCOPED_TRACE(c.name);
        const int fd = ::socket(AF_INET, c.type, 0);
        long result = 0;
        int error = 0;
        EXPECT_NONFATAL_FAILURE(
            {
                result = c.call(fd, outside);
                error = errno;
            },
            "to 192.0.2.1:9 refused");
        EXPECT_EQ(result, -1);
        EXPECT_EQ(error, EACCES);
        EXPECT_EQ(localPort(fd), 0) << "the system never saw the call";
        ::close(fd);
    }
}

TEST(LoopbackGuardTest, QtSocketsAreGuardedToo) {
    QUdpSocket socket;
    qint64 written = 0;
    EXPECT_NONFATAL_FAILURE(
        written = socket.writeDatagram("x", QHostAddress(QStringLiteral("192.0.2.1")), 9),
        "192.0.2.1:9");
    EXPECT_EQ(written, -1);
}

TEST(LoopbackGuardTest, LoopbackPassesOnIpv4Ipv6AndMappedAddresses) {
    QUdpSocket v4;
    ASSERT_TRUE(v4.bind(QHostAddress(QStringLiteral("127.0.9.1")), 0));
    QUdpSocket v6;
    ASSERT_TRUE(v6.bind(QHostAddress::LocalHostIPv6, 0));
    const sockaddr_in direct = ipv4("127.0.9.1", v4.localPort());
    const sockaddr_in6 mapped = ipv6("::ffff:127.0.9.1", v4.localPort());
    const sockaddr_in6 local6 = ipv6("::1", v6.localPort());
    const int fd4 = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int fd6 = ::socket(AF_INET6, SOCK_DGRAM, 0);
    EXPECT_EQ(::sendto(fd4, "a", 1, 0, reinterpret_cast<const sockaddr*>(&direct), sizeof direct),
              1);
    EXPECT_EQ(::sendto(fd6, "b", 1, 0, reinterpret_cast<const sockaddr*>(&mapped), sizeof mapped),
              1);
    EXPECT_EQ(::sendto(fd6, "c", 1, 0, reinterpret_cast<const sockaddr*>(&local6), sizeof local6),
              1);
    QByteArray received;
    while (received.size() < 2 && v4.waitForReadyRead(2000))
        while (v4.hasPendingDatagrams())
            received += v4.receiveDatagram().data();
    EXPECT_EQ(received, "ab");
    ASSERT_TRUE(v6.hasPendingDatagrams() || v6.waitForReadyRead(2000));
    EXPECT_EQ(v6.receiveDatagram().data(), "c");
    ::close(fd4);
    ::close(fd6);
}

} // namespace
