#pragma once
// Small socket helpers of the stand-in: listeners on TCP and AF_UNIX, and an owned descriptor.
#include <cstdint>
#include <string>

namespace zeph::standin {

// A file descriptor that closes itself.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
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

struct HostPort {
    std::string host;
    std::uint16_t port = 0;
};

// "127.0.0.1:0" or "[::1]:5000"; throws std::runtime_error naming the text when it is not one.
HostPort parseHostPort(const std::string& text);

struct Listener {
    Fd fd;
    std::uint16_t port = 0; // the port actually bound (TCP)
};

// Binds and listens; throws std::runtime_error with a clear message (address in use, no such address).
Listener openTcpListener(const HostPort& where, bool ipv6);
// Replaces a stale socket file; refuses a path too long for sun_path or one that is not a socket.
Listener openUnixListener(const std::string& path);
void setNonBlocking(int fd);
// Writes everything, retrying on EINTR and short writes; false when the peer is gone.
bool writeAll(int fd, const std::string& bytes);

} // namespace zeph::standin
