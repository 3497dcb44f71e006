#include "platform/tcp_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>
#include <memory>

namespace zeph {

namespace {

using Clock = std::chrono::steady_clock;

// A connect that gets no answer asks for the stop this often, so closing never waits out its limit.
constexpr int kStopLookMs = 250;

struct AddrInfoFree {
    void operator()(addrinfo* list) const { freeaddrinfo(list); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoFree>;

// A name or port that does not resolve has no errno of its own; it counts as an unreachable host.
int errnoOfResolver(int code, int savedErrno) {
    switch (code) {
    case EAI_MEMORY:
        return ENOMEM;
    case EAI_SYSTEM:
        return savedErrno != 0 ? savedErrno : EHOSTUNREACH;
    default:
        return EHOSTUNREACH;
    }
}

// getaddrinfo takes "99999" for port 34463 and "" for port 0; only a decimal number up to 65535 names a port.
bool isPortNumber(const std::string& port) {
    if (port.empty()) {
        return false;
    }
    unsigned long value = 0;
    for (char c : port) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<unsigned long>(c - '0');
        if (value > 65535) {
            return false;
        }
    }
    return true;
}

int setBlocking(int fd, bool blocking) {
    int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) {
        return errno;
    }
    flags = blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK);
    return ::fcntl(fd, F_SETFL, flags) < 0 ? errno : 0;
}

// The wait until the deadline, in slices of at most kStopLookMs so the stop is asked in between.
int pollTimeout(Clock::time_point deadline) {
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
        return 0;
    }
    return left > kStopLookMs ? kStopLookMs : static_cast<int>(left);
}

// Waits for a connect in progress to finish; returns its errno (0 when connected).
int finishConnect(int fd, std::chrono::milliseconds limit, const StopAsked& stopAsked) {
    auto deadline = Clock::now() + limit;
    for (;;) {
        pollfd entry{fd, POLLOUT, 0};
        int ready = ::poll(&entry, 1, pollTimeout(deadline));
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (ready == 0) {
            if (Clock::now() >= deadline) {
                return ETIMEDOUT;
            }
            if (isStopAsked(stopAsked)) {
                return ECANCELED;
            }
            continue;
        }
        int error = 0;
        socklen_t length = sizeof(error);
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) < 0) {
            return errno;
        }
        return error;
    }
}

SocketResult failure(int error) {
    SocketResult result;
    result.error = error != 0 ? error : EIO;
    return result;
}

} // namespace

SocketResult connectTcp(TcpFamily family, const std::string& host, const std::string& port,
                        std::chrono::milliseconds limit, const StopAsked& stopAsked) {
    if (!isPortNumber(port)) {
        return failure(EHOSTUNREACH);
    }
    addrinfo hints{};
    hints.ai_family = family == TcpFamily::IPv6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* raw = nullptr;
    errno = 0;
    int code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &raw);
    AddrInfoList list(raw);
    if (code != 0 || !list) {
        return failure(errnoOfResolver(code, errno));
    }
    // Only the first address is tried, as the connection set-up expects.
    const addrinfo& first = *list;
    SocketFd fd(
        ::socket(first.ai_family, first.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, first.ai_protocol));
    if (!fd.valid()) {
        return failure(errno);
    }
    if (::connect(fd.get(), first.ai_addr, first.ai_addrlen) < 0) {
        if (errno != EINPROGRESS && errno != EINTR) {
            return failure(errno);
        }
        if (int error = finishConnect(fd.get(), limit, stopAsked); error != 0) {
            return failure(error);
        }
    }
    if (int error = setBlocking(fd.get(), true); error != 0) {
        return failure(error);
    }
    return SocketResult{std::move(fd), 0};
}

int setTcpNoDelay(const SocketFd& socket) {
    int on = 1;
    return ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) < 0 ? errno : 0;
}

int socketLayerStartup() { return 0; }

void socketLayerCleanup() {}

} // namespace zeph
