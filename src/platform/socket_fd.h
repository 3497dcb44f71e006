#pragma once
#include <unistd.h>

#include <utility>

namespace zeph {

// Owns one socket descriptor (or any descriptor) and closes it when it goes away. Move-only, so a
// descriptor has exactly one owner and is closed exactly once.
class SocketFd {
public:
    SocketFd() noexcept = default;
    explicit SocketFd(int fd) noexcept : fd_(fd) {}
    ~SocketFd() { reset(); }

    SocketFd(const SocketFd&) = delete;
    SocketFd& operator=(const SocketFd&) = delete;
    SocketFd(SocketFd&& other) noexcept : fd_(other.release()) {}
    SocketFd& operator=(SocketFd&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership; the caller closes the descriptor.
    int release() noexcept { return std::exchange(fd_, -1); }

    // Closes the held descriptor (if any) and takes fd instead.
    void reset(int fd = -1) noexcept {
        int old = std::exchange(fd_, fd);
        if (old >= 0) {
            ::close(old);
        }
    }

private:
    int fd_ = -1;
};

} // namespace zeph
