#pragma once
// The stand-in's own small socket helpers: an owned descriptor, a TCP connect with a time limit, whole
// writes and datagrams. Plain POSIX; errors come back as errno values.
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

namespace zeph::rtfeed {

// A file descriptor that closes itself.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset();

private:
    int fd_ = -1;
};

// Connects to an IPv4 host and port within limit; an invalid Fd when that did not work.
Fd connectTcpWithin(const std::string& host, std::uint16_t port, std::chrono::milliseconds limit);

// Writes every byte, going on after signals and short writes; false when the peer has gone.
bool writeAll(int fd, std::string_view bytes);

// Sends one datagram to host:port from the given UDP socket (unconnected sendto); false when it failed.
bool sendDatagram(int fd, const std::string& host, std::uint16_t port, std::string_view bytes);

} // namespace zeph::rtfeed
