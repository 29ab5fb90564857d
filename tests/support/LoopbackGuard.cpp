#include "LoopbackGuard.h"

#include <arpa/inet.h>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>

namespace {

using ConnectCall = int (*)(int, const sockaddr*, socklen_t);
using SendToCall = ssize_t (*)(int, const void*, size_t, int, const sockaddr*, socklen_t);
using SendMsgCall = ssize_t (*)(int, const msghdr*, int);

struct SystemCalls {
    ConnectCall connect;
    SendToCall sendto;
    SendMsgCall sendmsg;
};

const SystemCalls& systemCalls() {
    static const SystemCalls calls{
        reinterpret_cast<ConnectCall>(dlsym(RTLD_NEXT, "connect")),
        reinterpret_cast<SendToCall>(dlsym(RTLD_NEXT, "sendto")),
        reinterpret_cast<SendMsgCall>(dlsym(RTLD_NEXT, "sendmsg")),
    };
    return calls;
}

bool isLoopback(in_addr address) {
    return (ntohl(address.s_addr) >> 24) == 127;
}

// No address: a connected socket, whose peer passed connect.
bool allowed(const sockaddr* address, socklen_t length) {
    if (address == nullptr || length == 0)
        return true;
    switch (address->sa_family) {
    case AF_UNSPEC:
    case AF_UNIX:
    case AF_NETLINK:
        return true;
    case AF_INET:
        return length >= sizeof(sockaddr_in) &&
               isLoopback(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    case AF_INET6: {
        if (length < sizeof(sockaddr_in6))
            return false;
        const in6_addr& ip = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        return IN6_IS_ADDR_LOOPBACK(&ip) || (IN6_IS_ADDR_V4MAPPED(&ip) && ip.s6_addr[12] == 127);
    }
    default:
        return false;
    }
}

std::string describe(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        const auto* ip = reinterpret_cast<const sockaddr_in*>(address);
        inet_ntop(AF_INET, &ip->sin_addr, text, sizeof text);
        return std::string(text) + ':' + std::to_string(ntohs(ip->sin_port));
    }
    if (address->sa_family == AF_INET6) {
        const auto* ip = reinterpret_cast<const sockaddr_in6*>(address);
        const std::string port = std::to_string(ntohs(ip->sin6_port));
        if (IN6_IS_ADDR_V4MAPPED(&ip->sin6_addr)) { // as dual-stack Qt sockets send to IPv4
            inet_ntop(AF_INET, &ip->sin6_addr.s6_addr[12], text, sizeof text);
            return std::string(text) + ':' + port;
        }
        inet_ntop(AF_INET6, &ip->sin6_addr, text, sizeof text);
        return '[' + std::string(text) + "]:" + port;
    }
    return "an address of family " + std::to_string(address->sa_family);
}

bool refused(const char* call, const sockaddr* address, socklen_t length) {
    if (allowed(address, length))
        return false;
    ADD_FAILURE() << call << " to " << describe(address)
                  << " refused: tests send only to 127.0.0.0/8";
    errno = EACCES;
    return true;
}

} // namespace

void installLoopbackGuard() {
    systemCalls();
}

extern "C" int connect(int fd, const sockaddr* address, socklen_t length) {
    if (refused("connect", address, length))
        return -1;
    return systemCalls().connect(fd, address, length);
}

extern "C" ssize_t sendto(int fd, const void* data, size_t size, int flags, const sockaddr* address,
                          socklen_t length) {
    if (refused("sendto", address, length))
        return -1;
    return systemCalls().sendto(fd, data, size, flags, address, length);
}

extern "C" ssize_t sendmsg(int fd, const msghdr* message, int flags) {
    if (refused("sendmsg", static_cast<const sockaddr*>(message->msg_name), message->msg_namelen))
        return -1;
    return systemCalls().sendmsg(fd, message, flags);
}
