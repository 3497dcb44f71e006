#include "tools/rtfeed/test_sockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include <gtest/gtest.h>

namespace zeph::test {

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::uint16_t bindLoopback(const SocketFd& fd, std::uint16_t port = 0) {
    sockaddr_in address = loopback(port);
    EXPECT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0) << errno;
    socklen_t length = sizeof(address);
    EXPECT_EQ(::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    return ntohs(address.sin_port);
}

bool readable(int fd, std::chrono::milliseconds limit) {
    pollfd entry{fd, POLLIN, 0};
    return ::poll(&entry, 1, static_cast<int>(std::max<long long>(limit.count(), 0))) > 0;
}

} // namespace

UdpCollector::UdpCollector()
    : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)), port_(bindLoopback(fd_)) {
    // Room for bursts of auto traffic and long datagrams.
    const int size = 1 << 20;
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof(size));
}

std::optional<std::string> UdpCollector::next(std::chrono::milliseconds limit) {
    if (!readable(fd_.get(), limit)) {
        return std::nullopt;
    }
    std::string buffer(70000, '\0');
    const ssize_t n = ::recv(fd_.get(), buffer.data(), buffer.size(), 0);
    if (n < 0) {
        return std::nullopt;
    }
    buffer.resize(static_cast<std::size_t>(n));
    return buffer;
}

TestTcpServer::TestTcpServer(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    const int on = 1;
    ::setsockopt(fd_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    port_ = bindLoopback(fd_, port);
    EXPECT_EQ(::listen(fd_.get(), 4), 0);
}

SocketFd TestTcpServer::accept(std::chrono::milliseconds limit) {
    if (!readable(fd_.get(), limit)) {
        return SocketFd();
    }
    return SocketFd(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
}

void writeBytes(const SocketFd& fd, const std::string& bytes) {
    ASSERT_EQ(::send(fd.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
}

std::optional<std::string> readSome(const SocketFd& fd, std::chrono::milliseconds limit) {
    if (!readable(fd.get(), limit)) {
        return std::nullopt;
    }
    char chunk[4096];
    const ssize_t n = ::recv(fd.get(), chunk, sizeof(chunk), 0);
    return n <= 0 ? std::string() : std::string(chunk, static_cast<std::size_t>(n));
}

std::string readBytes(const SocketFd& fd, std::size_t count, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    std::string bytes;
    while (bytes.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const auto some = readSome(fd, left);
        if (!some || some->empty()) {
            break;
        }
        bytes += *some;
    }
    return bytes;
}

std::vector<std::string> splitFields(const std::string& datagram) {
    std::vector<std::string> fields(1);
    for (const char c : datagram) {
        if (c == ',') {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::uint16_t freeTcpPort() {
    SocketFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    return bindLoopback(fd);
}

} // namespace zeph::test
