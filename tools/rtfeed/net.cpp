#include "rtfeed/net.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <utility>

namespace zeph::rtfeed {

namespace {

struct AddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoFree>;

AddrInfoList resolve(const std::string& host, std::uint16_t port, int socketType) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = socketType;
    hints.ai_flags = AI_NUMERICSERV;
    const std::string service = std::to_string(port);
    addrinfo* raw = nullptr;
    if (::getaddrinfo(host.c_str(), service.c_str(), &hints, &raw) != 0) {
        return nullptr;
    }
    return AddrInfoList(raw);
}

bool setBlocking(int fd, bool blocking) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK) == 0;
}

} // namespace

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int Fd::release() { return std::exchange(fd_, -1); }

void Fd::reset() {
    if (fd_ >= 0) {
        ::close(std::exchange(fd_, -1));
    }
}

Fd connectTcpWithin(const std::string& host, std::uint16_t port, std::chrono::milliseconds limit) {
    const AddrInfoList list = resolve(host, port, SOCK_STREAM);
    if (!list) {
        return Fd();
    }
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) {
        return Fd();
    }
    if (::connect(fd.get(), list->ai_addr, list->ai_addrlen) < 0) {
        if (errno != EINPROGRESS) {
            return Fd();
        }
        pollfd entry{fd.get(), POLLOUT, 0};
        if (::poll(&entry, 1, static_cast<int>(limit.count())) <= 0) {
            return Fd();
        }
        int error = 0;
        socklen_t length = sizeof(error);
        if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &length) < 0 || error != 0) {
            return Fd();
        }
    }
    if (!setBlocking(fd.get(), true)) {
        return Fd();
    }
    return fd;
}

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool sendDatagram(int fd, const std::string& host, std::uint16_t port, std::string_view bytes) {
    const AddrInfoList list = resolve(host, port, SOCK_DGRAM);
    if (!list) {
        return false;
    }
    for (;;) {
        const ssize_t n = ::sendto(fd, bytes.data(), bytes.size(), 0, list->ai_addr, list->ai_addrlen);
        if (n >= 0) {
            return static_cast<std::size_t>(n) == bytes.size();
        }
        if (errno != EINTR) {
            return false;
        }
    }
}

} // namespace zeph::rtfeed
