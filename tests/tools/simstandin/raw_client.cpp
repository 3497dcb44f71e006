#include "tools/simstandin/raw_client.h"

#include <cerrno>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace zeph::test {

namespace {

int connectTo(int family, const sockaddr* address, socklen_t length) {
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    if (::connect(fd, address, length) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

RawClient RawClient::tcp4(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return RawClient(connectTo(AF_INET, reinterpret_cast<sockaddr*>(&address), sizeof address));
}

RawClient RawClient::tcp6(std::uint16_t port) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = htons(port);
    address.sin6_addr = in6addr_loopback;
    return RawClient(connectTo(AF_INET6, reinterpret_cast<sockaddr*>(&address), sizeof address));
}

RawClient RawClient::unixSocket(const std::string& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    return RawClient(connectTo(AF_UNIX, reinterpret_cast<sockaddr*>(&address), sizeof address));
}

RawClient::~RawClient() { close(); }

RawClient::RawClient(RawClient&& other) noexcept
    : fd_(other.fd_), nextSendId_(other.nextSendId_), buffer_(std::move(other.buffer_)), eof_(other.eof_) {
    other.fd_ = -1;
}

RawClient& RawClient::operator=(RawClient&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        nextSendId_ = other.nextSendId_;
        buffer_ = std::move(other.buffer_);
        eof_ = other.eof_;
        other.fd_ = -1;
    }
    return *this;
}

void RawClient::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void RawClient::send(const std::string& bytes) {
    std::size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

bool RawClient::fill(std::size_t count, std::chrono::steady_clock::time_point deadline) {
    char chunk[65536];
    while (buffer_.size() < count && !eof_ && fd_ >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return false;
        }
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            eof_ = true;
            break;
        }
        buffer_.append(chunk, static_cast<std::size_t>(n));
    }
    return buffer_.size() >= count;
}

std::optional<std::string> RawClient::readMessage(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    if (!fill(4, deadline)) {
        return std::nullopt;
    }
    const std::uint32_t size = static_cast<std::uint32_t>(static_cast<unsigned char>(buffer_[0])) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(buffer_[1])) << 8U) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(buffer_[2])) << 16U) |
                               (static_cast<std::uint32_t>(static_cast<unsigned char>(buffer_[3])) << 24U);
    if (size < 4 || size > 65536 || !fill(size, deadline)) {
        return std::nullopt;
    }
    std::string message = buffer_.substr(0, size);
    buffer_.erase(0, size);
    return message;
}

std::string RawClient::readBytes(std::size_t count, std::chrono::milliseconds limit) {
    fill(count, std::chrono::steady_clock::now() + limit);
    std::string bytes = buffer_.substr(0, std::min(count, buffer_.size()));
    buffer_.erase(0, bytes.size());
    return bytes;
}

bool RawClient::readEof(std::chrono::milliseconds limit) {
    fill(buffer_.size() + 1, std::chrono::steady_clock::now() + limit);
    return eof_ && buffer_.empty();
}

bool RawClient::quietFor(std::chrono::milliseconds span) {
    fill(buffer_.size() + 1, std::chrono::steady_clock::now() + span);
    return buffer_.empty();
}

} // namespace zeph::test
