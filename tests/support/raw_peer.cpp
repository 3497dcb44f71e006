#include "support/raw_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace zeph::test {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

SocketFd newEvent() { return SocketFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)); }

void signal(const SocketFd& event) {
    std::uint64_t one = 1;
    [[maybe_unused]] auto written = ::write(event.get(), &one, sizeof(one));
}

bool isReadable(const pollfd& entry) { return (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0; }

// A listening socket, non-blocking so the script thread can wait for a client and for the stop signal at
// once.
SocketFd listenOn(int family, const sockaddr* address, socklen_t length, const RawPeerOptions& options) {
    SocketFd fd(::socket(family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) {
        return {};
    }
    int on = 1;
    if (family == AF_INET6) {
        ::setsockopt(fd.get(), IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof(on));
    }
    if (options.receiveBuffer > 0) {
        ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &options.receiveBuffer, sizeof(options.receiveBuffer));
    }
    if (::bind(fd.get(), address, length) < 0 || ::listen(fd.get(), options.backlog) < 0) {
        return {};
    }
    return fd;
}

std::uint16_t boundPort(const SocketFd& fd) {
    sockaddr_storage address{};
    socklen_t length = sizeof(address);
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) < 0) {
        return 0;
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

} // namespace

void appendU32(Bytes& bytes, std::uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<std::uint8_t>(v >> shift));
    }
}

std::uint32_t readU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::unique_ptr<RawPeer> RawPeer::listenTcp4(RawPeerOptions options) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    SocketFd fd = listenOn(AF_INET, reinterpret_cast<const sockaddr*>(&address), sizeof(address), options);
    return fd.valid() ? start(std::move(fd), {}, options) : nullptr;
}

std::unique_ptr<RawPeer> RawPeer::listenTcp6(RawPeerOptions options) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    SocketFd fd = listenOn(AF_INET6, reinterpret_cast<const sockaddr*>(&address), sizeof(address), options);
    return fd.valid() ? start(std::move(fd), {}, options) : nullptr;
}

std::unique_ptr<RawPeer> RawPeer::listenUnix(const std::filesystem::path& path, RawPeerOptions options) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof(address.sun_path)) {
        return nullptr;
    }
    std::memcpy(address.sun_path, path.c_str(), path.native().size());
    std::error_code error;
    std::filesystem::create_directories(path.parent_path(), error);
    std::filesystem::remove(path, error);
    SocketFd fd = listenOn(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), sizeof(address), options);
    return fd.valid() ? start(std::move(fd), path, options) : nullptr;
}

std::unique_ptr<RawPeer> RawPeer::start(SocketFd listener, std::filesystem::path path,
                                        RawPeerOptions options) {
    // The constructor is private so that every peer is listening before its threads start.
    return std::unique_ptr<RawPeer>(new RawPeer(std::move(listener), std::move(path), options));
}

RawPeer::RawPeer(SocketFd listener, std::filesystem::path path, RawPeerOptions options)
    : options_(options), listener_(std::move(listener)), stopEvent_(newEvent()), readerWake_(newEvent()),
      port_(path.empty() ? boundPort(listener_) : 0), path_(std::move(path)), readRate_(options.readRate) {
    scriptThread_ = std::thread([this] { runScript(); });
    readerThread_ = std::thread([this] { runReader(); });
}

RawPeer::~RawPeer() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    signal(stopEvent_);
    scriptThread_.join();
    readerThread_.join();
    if (!path_.empty()) {
        std::error_code error;
        std::filesystem::remove(path_, error);
    }
}

RawPeer& RawPeer::add(Action action) {
    {
        std::lock_guard lock(mutex_);
        script_.push_back(std::move(action));
        ++actionsAdded_;
    }
    changed_.notify_all();
    return *this;
}

RawPeer& RawPeer::send(Bytes bytes) { return add({Action::Kind::Send, std::move(bytes), {}, 0}); }

RawPeer& RawPeer::send(std::string_view bytes) { return send(Bytes(bytes.begin(), bytes.end())); }

RawPeer& RawPeer::pause(std::chrono::milliseconds duration) {
    return add({Action::Kind::Pause, {}, duration, 0});
}

RawPeer& RawPeer::awaitMessages(std::size_t count) {
    return add({Action::Kind::AwaitMessages, {}, {}, count});
}

RawPeer& RawPeer::closeWrite() { return add({Action::Kind::CloseWrite, {}, {}, 0}); }

RawPeer& RawPeer::close() { return add({Action::Kind::Close, {}, {}, 0}); }

RawPeer& RawPeer::reset() { return add({Action::Kind::Reset, {}, {}, 0}); }

void RawPeer::setReadRate(std::size_t bytesPerMillisecond) { readRate_ = bytesPerMillisecond; }

bool RawPeer::waitForClient(std::chrono::milliseconds limit) const {
    return waitFor(limit, [this] { return accepted_; });
}

bool RawPeer::waitForScript(std::chrono::milliseconds limit) const {
    return waitFor(limit, [this] { return actionsPlayed_ == actionsAdded_; });
}

bool RawPeer::clientAccepted() const {
    std::lock_guard lock(mutex_);
    return accepted_;
}

std::vector<Bytes> RawPeer::received() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::size_t RawPeer::messageCount() const {
    std::lock_guard lock(mutex_);
    return messages_.size();
}

Bytes RawPeer::receivedBytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

bool RawPeer::waitForMessages(std::size_t count, std::chrono::milliseconds limit) const {
    return waitFor(limit, [this, count] { return messages_.size() >= count; });
}

bool RawPeer::waitForBytes(std::size_t count, std::chrono::milliseconds limit) const {
    return waitFor(limit, [this, count] { return bytes_.size() >= count; });
}

bool RawPeer::waitForEof(std::chrono::milliseconds limit) const {
    return waitFor(limit, [this] { return eof_; });
}

bool RawPeer::eofSeen() const {
    std::lock_guard lock(mutex_);
    return eof_;
}

int RawPeer::readError() const {
    std::lock_guard lock(mutex_);
    return readError_;
}

int RawPeer::sendError() const {
    std::lock_guard lock(mutex_);
    return sendError_;
}

void RawPeer::runScript() {
    if (!options_.acceptClient) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_; });
        return;
    }
    if (!acceptOne()) {
        return;
    }
    for (;;) {
        Action action;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return stopping_ || !script_.empty(); });
            if (stopping_) {
                return;
            }
            action = std::move(script_.front());
            script_.pop_front();
        }
        play(action);
        {
            std::lock_guard lock(mutex_);
            ++actionsPlayed_;
        }
        changed_.notify_all();
    }
}

bool RawPeer::acceptOne() {
    for (;;) {
        pollfd entries[2] = {{listener_.get(), POLLIN, 0}, {stopEvent_.get(), POLLIN, 0}};
        if (::poll(entries, 2, -1) < 0 && errno != EINTR) {
            return false;
        }
        if (isReadable(entries[1])) {
            return false;
        }
        SocketFd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (client.valid()) {
            {
                std::lock_guard lock(mutex_);
                connection_ = std::move(client);
                accepted_ = true;
            }
            changed_.notify_all();
            return true;
        }
    }
}

void RawPeer::play(const Action& action) {
    switch (action.kind) {
    case Action::Kind::Send:
        sendAll(action.bytes);
        break;
    case Action::Kind::Pause:
        sleepUnlessStopping(action.duration);
        break;
    case Action::Kind::AwaitMessages: {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || messages_.size() >= action.count; });
        break;
    }
    case Action::Kind::CloseWrite:
        if (connection_.valid()) {
            ::shutdown(connection_.get(), SHUT_WR);
        }
        break;
    case Action::Kind::Close:
        closeConnection(false);
        break;
    case Action::Kind::Reset:
        closeConnection(true);
        break;
    }
}

void RawPeer::sendAll(const Bytes& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        if (sendError() != 0) {
            return;
        }
        if (!connection_.valid()) {
            std::lock_guard lock(mutex_);
            sendError_ = ENOTCONN;
            return;
        }
        ssize_t n = ::send(connection_.get(), bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n >= 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EAGAIN || errno == EINTR) {
            pollfd entries[2] = {{connection_.get(), POLLOUT, 0}, {stopEvent_.get(), POLLIN, 0}};
            ::poll(entries, 2, -1);
            if (isReadable(entries[1])) {
                return;
            }
            continue;
        }
        std::lock_guard lock(mutex_);
        sendError_ = errno;
    }
}

// Asks the reader to let go of the connection and waits until it has, so the socket can be closed without
// pulling it from under a recv.
void RawPeer::stopReader() {
    signal(readerWake_);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return readerReleased_ || stopping_; });
}

void RawPeer::closeConnection(bool resetIt) {
    stopReader();
    std::lock_guard lock(mutex_);
    if (!readerReleased_ || !connection_.valid()) {
        return;
    }
    if (resetIt) {
        // Linger on with a timeout of 0: close drops the connection with RST instead of FIN.
        linger hard{1, 0};
        ::setsockopt(connection_.get(), SOL_SOCKET, SO_LINGER, &hard, sizeof(hard));
    }
    connection_.reset();
}

void RawPeer::runReader() {
    int fd = -1;
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return stopping_ || accepted_; });
        if (stopping_) {
            return;
        }
        fd = connection_.get();
    }
    std::vector<std::uint8_t> chunk(kReadChunk);
    for (;;) {
        pollfd entries[3] = {{fd, POLLIN, 0}, {readerWake_.get(), POLLIN, 0}, {stopEvent_.get(), POLLIN, 0}};
        if (::poll(entries, 3, -1) < 0 && errno != EINTR) {
            break;
        }
        if (isReadable(entries[1]) || isReadable(entries[2])) {
            break;
        }
        if (isReadable(entries[0]) && !readOnce(fd, chunk)) {
            break;
        }
    }
    {
        std::lock_guard lock(mutex_);
        readerReleased_ = true;
    }
    changed_.notify_all();
}

// One recv; false when the connection has ended (EOF or an error).
bool RawPeer::readOnce(int fd, std::vector<std::uint8_t>& chunk) {
    std::size_t rate = readRate_;
    std::size_t want = rate == 0 ? chunk.size() : std::min(rate, chunk.size());
    ssize_t n = ::recv(fd, chunk.data(), want, 0);
    if (n > 0) {
        takeBytes(chunk.data(), static_cast<std::size_t>(n));
        if (rate != 0) {
            sleepUnlessStopping(std::chrono::milliseconds(1));
        }
        return true;
    }
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
        return true;
    }
    {
        std::lock_guard lock(mutex_);
        eof_ = true;
        readError_ = n < 0 ? errno : 0;
    }
    changed_.notify_all();
    return false;
}

void RawPeer::takeBytes(const std::uint8_t* data, std::size_t size) {
    {
        std::lock_guard lock(mutex_);
        bytes_.insert(bytes_.end(), data, data + size);
        while (bytes_.size() - cutPosition_ >= 4) {
            std::uint32_t declared = readU32(bytes_.data() + cutPosition_);
            std::size_t length = declared < 4 ? 4 : declared;
            if (bytes_.size() - cutPosition_ < length) {
                break;
            }
            auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(cutPosition_);
            messages_.emplace_back(first, first + static_cast<std::ptrdiff_t>(length));
            cutPosition_ += length;
        }
    }
    changed_.notify_all();
}

bool RawPeer::sleepUnlessStopping(std::chrono::milliseconds duration) const {
    pollfd entry{stopEvent_.get(), POLLIN, 0};
    auto ms = std::clamp<long long>(duration.count(), 0, 1'000'000'000);
    return ::poll(&entry, 1, static_cast<int>(ms)) == 0;
}

} // namespace zeph::test
