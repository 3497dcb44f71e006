#include "platform/sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace zeph {

namespace {

using Clock = std::chrono::steady_clock;

thread_local int lastError = 0;

// Records the failure of the call just made (from errno) and returns false, for the callers' one-liners.
bool failWithErrno() {
    lastError = socketErrorNumber(errno);
    return false;
}

struct ErrnoRow {
    int errnoValue;
    int windows;
};

// Linux errno → Winsock number. Winsock keeps the BSD order from EWOULDBLOCK (10035) to EREMOTE (10071);
// Linux does not, so every row is spelled out.
constexpr ErrnoRow kErrnoTable[] = {
    {EINTR, 10004},         {EBADF, 10009},        {EACCES, 10013},          {EFAULT, 10014},
    {EINVAL, 10022},        {EMFILE, 10024},       {EAGAIN, 10035},          {EINPROGRESS, 10036},
    {EALREADY, 10037},      {ENOTSOCK, 10038},     {EDESTADDRREQ, 10039},    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},    {ENOPROTOOPT, 10042},  {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},    {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},     {ENETUNREACH, 10051},     {ENETRESET, 10052},
    {ECONNABORTED, 10053},  {ECONNRESET, 10054},   {EPIPE, 10054},           {ENOBUFS, 10055},
    {EISCONN, 10056},       {ENOTCONN, 10057},     {ESHUTDOWN, 10058},       {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},     {ECONNREFUSED, 10061}, {ELOOP, 10062},           {ENAMETOOLONG, 10063},
    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065}, {ENOTEMPTY, 10066},       {EUSERS, 10068},
    {EDQUOT, 10069},        {ESTALE, 10070},       {EREMOTE, 10071},
};
// EWOULDBLOCK is EAGAIN on Linux; should that ever differ, it needs its own row.
static_assert(EWOULDBLOCK == EAGAIN);

// WSATYPE_NOT_FOUND: the port text names no port.
constexpr int kNoSuchPort = 10109;

// Decimal digits only, 1 to 65535.
bool isPortText(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value >= 1 && value <= 65535;
}

int pollMilliseconds(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
        return 0;
    }
    return left > 1'000'000'000 ? 1'000'000'000 : static_cast<int>(left);
}

// poll for one descriptor, going on after a signal with the time that is left.
WaitResult waitFor(const SocketFd& fd, short events, std::chrono::milliseconds limit) {
    if (!fd.valid()) {
        lastError = socketErrorNumber(EBADF);
        return WaitResult::Failed;
    }
    const auto deadline = Clock::now() + limit;
    for (;;) {
        pollfd entry{fd.get(), events, 0};
        const int ready = ::poll(&entry, 1, pollMilliseconds(deadline));
        if (ready > 0) {
            if ((entry.revents & POLLNVAL) != 0) {
                lastError = socketErrorNumber(EBADF);
                return WaitResult::Failed;
            }
            // Errors and hang-ups count as ready: the read that follows reports them.
            return WaitResult::Ready;
        }
        if (ready == 0) {
            return WaitResult::TimedOut;
        }
        if (errno != EINTR) {
            failWithErrno();
            return WaitResult::Failed;
        }
    }
}

std::optional<sockaddr_in> localAddress(const SocketFd& fd) {
    if (!fd.valid()) {
        return std::nullopt;
    }
    sockaddr_in address{};
    socklen_t length = sizeof(address);
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) < 0 ||
        address.sin_family != AF_INET) {
        return std::nullopt;
    }
    return address;
}

std::uint16_t portOf(const SocketFd& fd) {
    const auto address = localAddress(fd);
    return address ? ntohs(address->sin_port) : 0;
}

std::string addressOf(const SocketFd& fd) {
    const auto address = localAddress(fd);
    if (!address) {
        return {};
    }
    char text[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof(text)) == nullptr) {
        return {};
    }
    return text;
}

struct AddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoFree>;

} // namespace

int socketErrorNumber(int errnoValue) {
    for (const ErrnoRow& row : kErrnoTable) {
        if (row.errnoValue == errnoValue) {
            return row.windows;
        }
    }
    return errnoValue;
}

int resolverErrorNumber(int eaiCode, int savedErrno) {
    switch (eaiCode) {
    case EAI_NONAME:
        return 11001;
    case EAI_NODATA:
        return 11004;
    case EAI_SERVICE:
        return kNoSuchPort;
    case EAI_SYSTEM:
        return savedErrno != 0 ? socketErrorNumber(savedErrno) : 11003;
    default:
        return 11003;
    }
}

int lastSocketError() { return lastError; }

// --- UdpSocket ---

bool UdpSocket::open() {
    fd_.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    return fd_.valid() || failWithErrno();
}

bool UdpSocket::bind(bool loopbackOnly, std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    return ::bind(fd_.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 ||
           failWithErrno();
}

std::uint16_t UdpSocket::boundPort() const { return portOf(fd_); }

std::string UdpSocket::boundAddress() const { return addressOf(fd_); }

WaitResult UdpSocket::waitReadable(std::chrono::milliseconds limit) { return waitFor(fd_, POLLIN, limit); }

std::int64_t UdpSocket::receive(char* buffer, std::size_t capacity) {
    for (;;) {
        // MSG_TRUNC makes recv give the datagram's real length, so an oversize datagram can be told apart
        // from one that just fits; MSG_DONTWAIT keeps a spurious wake-up from blocking the reader.
        const ssize_t n = ::recv(fd_.get(), buffer, capacity, MSG_TRUNC | MSG_DONTWAIT);
        if (n >= 0) {
            return n;
        }
        if (errno == EAGAIN) {
            return 0;
        }
        if (errno != EINTR) {
            failWithErrno();
            return -1;
        }
    }
}

void UdpSocket::close() { fd_.reset(); }

// --- TcpStream ---

bool TcpStream::setNoDelay() {
    if (!fd_.valid()) {
        lastError = socketErrorNumber(EBADF);
        return false;
    }
    if (const int error = setTcpNoDelay(fd_); error != 0) {
        lastError = socketErrorNumber(error);
        return false;
    }
    return true;
}

bool TcpStream::send(std::string_view text, std::chrono::milliseconds limit) {
    if (!fd_.valid()) {
        lastError = socketErrorNumber(EBADF);
        return false;
    }
    const auto deadline = Clock::now() + limit;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n =
            ::send(fd_.get(), text.data() + done, text.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN) {
            return failWithErrno();
        }
        // A full send buffer: the peer has stopped reading. Waiting for it without end would hold the
        // sending thread, and with it every stop request, for as long as the peer stays stuck.
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        const WaitResult ready = waitFor(fd_, POLLOUT, std::max(left, std::chrono::milliseconds(0)));
        if (ready == WaitResult::TimedOut) {
            lastError = socketErrorNumber(ETIMEDOUT);
            return false;
        }
        if (ready == WaitResult::Failed) {
            return false;
        }
    }
    return true;
}

TcpStream::Received TcpStream::receiveFor(std::span<char> buffer, std::chrono::milliseconds limit) {
    switch (waitFor(fd_, POLLIN, limit)) {
    case WaitResult::TimedOut:
        return {Status::TimedOut, 0};
    case WaitResult::Failed:
        return {Status::Failed, 0};
    case WaitResult::Ready:
        break;
    }
    for (;;) {
        const ssize_t n = ::recv(fd_.get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (n > 0) {
            return {Status::Data, static_cast<std::size_t>(n)};
        }
        if (n == 0) {
            return {buffer.empty() ? Status::Data : Status::Closed, 0};
        }
        if (errno == EAGAIN) {
            return {Status::TimedOut, 0};
        }
        if (errno != EINTR) {
            failWithErrno();
            return {Status::Failed, 0};
        }
    }
}

bool TcpStream::peerClosed() {
    char byte = 0;
    for (;;) {
        const ssize_t n = ::recv(fd_.get(), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n >= 0) {
            return n == 0;
        }
        if (errno == EAGAIN) {
            return false;
        }
        if (errno != EINTR) {
            failWithErrno();
            return true;
        }
    }
}

void TcpStream::close() { fd_.reset(); }

// --- TcpListener ---

TcpListener::OpenResult TcpListener::open(std::string_view portText, bool loopbackOnly) {
    close();
    auto fail = [](Step step, int error) {
        lastError = error;
        return OpenResult{step, error};
    };
    if (!isPortText(portText)) {
        return fail(Step::Resolve, kNoSuchPort);
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV | (loopbackOnly ? AI_NUMERICHOST : AI_PASSIVE);
    const std::string port(portText);
    addrinfo* raw = nullptr;
    errno = 0;
    const int code = ::getaddrinfo(loopbackOnly ? "127.0.0.1" : nullptr, port.c_str(), &hints, &raw);
    AddrInfoList list(raw);
    if (code != 0 || !list) {
        return fail(Step::Resolve, resolverErrorNumber(code, errno));
    }
    const addrinfo& first = *list;
    SocketFd fd(
        ::socket(first.ai_family, first.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, first.ai_protocol));
    if (!fd.valid()) {
        return fail(Step::Socket, socketErrorNumber(errno));
    }
    const int on = 1;
    if (::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on)) < 0) {
        return fail(Step::ReuseAddress, socketErrorNumber(errno));
    }
    if (::bind(fd.get(), first.ai_addr, first.ai_addrlen) < 0) {
        return fail(Step::Bind, socketErrorNumber(errno));
    }
    if (::listen(fd.get(), SOMAXCONN) < 0) {
        return fail(Step::Listen, socketErrorNumber(errno));
    }
    fd_ = std::move(fd);
    return {};
}

std::optional<TcpStream> TcpListener::acceptFor(std::chrono::milliseconds limit) {
    if (waitFor(fd_, POLLIN, limit) != WaitResult::Ready) {
        return std::nullopt;
    }
    // The listener is non-blocking, so a client that gave up between the poll and the accept costs no
    // wait; the accepted stream does not inherit that and blocks.
    SocketFd fd(::accept4(fd_.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!fd.valid()) {
        failWithErrno();
        return std::nullopt;
    }
    return TcpStream(std::move(fd));
}

std::uint16_t TcpListener::boundPort() const { return portOf(fd_); }

std::string TcpListener::boundAddress() const { return addressOf(fd_); }

void TcpListener::close() { fd_.reset(); }

} // namespace zeph
