#include "simstandin/net.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <fmt/format.h>

namespace zeph::standin {

Fd::~Fd() { reset(); }

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        reset();
        fd_ = other.release();
    }
    return *this;
}

int Fd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void Fd::reset() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

HostPort parseHostPort(const std::string& text) {
    HostPort result;
    std::string portText;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string::npos || close + 1 >= text.size() || text[close + 1] != ':') {
            throw std::runtime_error(fmt::format("not [host]:port: '{}'", text));
        }
        result.host = text.substr(1, close - 1);
        portText = text.substr(close + 2);
    } else {
        const std::size_t colon = text.rfind(':');
        if (colon == std::string::npos) {
            throw std::runtime_error(fmt::format("not host:port: '{}'", text));
        }
        result.host = text.substr(0, colon);
        portText = text.substr(colon + 1);
    }
    if (portText.empty() || portText.size() > 5 ||
        portText.find_first_not_of("0123456789") != std::string::npos || std::stoul(portText) > 65535) {
        throw std::runtime_error(fmt::format("bad port in '{}'", text));
    }
    result.port = static_cast<std::uint16_t>(std::stoul(portText));
    return result;
}

Listener openTcpListener(const HostPort& where, bool ipv6) {
    Listener listener;
    listener.fd = Fd(::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener.fd.valid()) {
        throw std::runtime_error(fmt::format("socket for {}: {}", where.host, std::strerror(errno)));
    }
    const int one = 1;
    ::setsockopt(listener.fd.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage address{};
    socklen_t length = 0;
    if (ipv6) {
        ::setsockopt(listener.fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(where.port);
        if (::inet_pton(AF_INET6, where.host.c_str(), &in6->sin6_addr) != 1) {
            throw std::runtime_error(fmt::format("not an IPv6 address: '{}'", where.host));
        }
        length = sizeof(sockaddr_in6);
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&address);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(where.port);
        if (::inet_pton(AF_INET, where.host.c_str(), &in4->sin_addr) != 1) {
            throw std::runtime_error(fmt::format("not an IPv4 address: '{}'", where.host));
        }
        length = sizeof(sockaddr_in);
    }
    if (::bind(listener.fd.get(), reinterpret_cast<sockaddr*>(&address), length) != 0) {
        throw std::runtime_error(
            fmt::format("cannot bind {}:{}: {}", where.host, where.port, std::strerror(errno)));
    }
    if (::listen(listener.fd.get(), 16) != 0) {
        throw std::runtime_error(
            fmt::format("cannot listen on {}:{}: {}", where.host, where.port, std::strerror(errno)));
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    ::getsockname(listener.fd.get(), reinterpret_cast<sockaddr*>(&bound), &boundLength);
    listener.port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                               : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    return listener;
}

Listener openUnixListener(const std::string& path) {
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof(address.sun_path)) {
        throw std::runtime_error(
            fmt::format("socket path of {} bytes does not fit sun_path ({} at most): '{}'", path.size(),
                        sizeof(address.sun_path) - 1, path));
    }
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            throw std::runtime_error(fmt::format("'{}' exists and is not a socket", path));
        }
        ::unlink(path.c_str()); // a stale socket of an earlier run
    }
    Listener listener;
    listener.fd = Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!listener.fd.valid()) {
        throw std::runtime_error(fmt::format("socket for '{}': {}", path, std::strerror(errno)));
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    if (::bind(listener.fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error(fmt::format("cannot bind '{}': {}", path, std::strerror(errno)));
    }
    if (::listen(listener.fd.get(), 16) != 0) {
        throw std::runtime_error(fmt::format("cannot listen on '{}': {}", path, std::strerror(errno)));
    }
    return listener;
}

void setNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL, 0);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
}

bool writeAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

} // namespace zeph::standin
