#pragma once
// The test's side of the wire: a UDP port that collects datagrams and a TCP listener in the program's
// place, on 127.0.0.1 with ports the system picks. Plain POSIX, sharing nothing with the stand-in.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/socket_fd.h"

namespace zeph::test {

class UdpCollector {
public:
    UdpCollector();
    std::uint16_t port() const { return port_; }
    // The next datagram, waiting at most limit.
    std::optional<std::string> next(std::chrono::milliseconds limit);

private:
    SocketFd fd_;
    std::uint16_t port_ = 0;
};

class TestTcpServer {
public:
    // Listens on the port, or on one the system picks for 0.
    explicit TestTcpServer(std::uint16_t port = 0);
    std::uint16_t port() const { return port_; }
    // The next connection, waiting at most limit; an invalid descriptor when none came.
    SocketFd accept(std::chrono::milliseconds limit);
    void close() { fd_.reset(); }

private:
    SocketFd fd_;
    std::uint16_t port_ = 0;
};

// Writes all bytes to a connected socket.
void writeBytes(const SocketFd& fd, const std::string& bytes);

// One read of whatever is there within limit: the bytes, "" when the peer closed, nothing on timeout.
std::optional<std::string> readSome(const SocketFd& fd, std::chrono::milliseconds limit);

// Reads until count bytes have come or limit runs out (or the peer closes).
std::string readBytes(const SocketFd& fd, std::size_t count, std::chrono::milliseconds limit);

// A datagram's comma-separated fields.
std::vector<std::string> splitFields(const std::string& datagram);

// A TCP port on 127.0.0.1 that was free a moment ago.
std::uint16_t freeTcpPort();

} // namespace zeph::test
