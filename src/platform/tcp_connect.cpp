#include "platform/tcp_connect.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

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
int finishConnect(int fd, Clock::time_point deadline, const StopAsked& stopAsked) {
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

addrinfo hintsFor(TcpFamily family, int flags) {
    addrinfo hints{};
    hints.ai_family = family == TcpFamily::IPv6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = AI_NUMERICSERV | flags;
    return hints;
}

// What a look-up found, shared between the caller and the thread that asks the resolver.
struct LookUp {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int code = 0;
    int savedErrno = 0;
    AddrInfoList list;
};

// The look-up of host on a thread that nobody joins: it ends when the resolver answers or gives up.
void startLookUp(const std::shared_ptr<LookUp>& lookUp, TcpFamily family, const std::string& host,
                 const std::string& port) {
    std::thread([lookUp, family, host, port] {
        const addrinfo hints = hintsFor(family, 0);
        addrinfo* raw = nullptr;
        errno = 0;
        const int code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &raw);
        const int savedErrno = errno;
        const std::lock_guard lock(lookUp->mutex);
        lookUp->list.reset(raw);
        lookUp->code = code;
        lookUp->savedErrno = savedErrno;
        lookUp->done = true;
        lookUp->finished.notify_all();
    }).detach();
}

// A host name is looked up on a thread of its own, because getaddrinfo cannot be stopped and a name server
// that never answers would hold the caller for the resolver's own time-outs. A caller that gives up leaves
// the thread behind; it ends when the resolver does, and its late answer goes with the shared state.
int lookUpName(TcpFamily family, const std::string& host, const std::string& port, Clock::time_point deadline,
               const StopAsked& stopAsked, AddrInfoList& list) {
    auto lookUp = std::make_shared<LookUp>();
    try {
        startLookUp(lookUp, family, host, port);
    } catch (const std::system_error&) {
        return EAGAIN; // no thread to be had now; the next attempt tries again
    }
    std::unique_lock lock(lookUp->mutex);
    while (!lookUp->done) {
        if (Clock::now() >= deadline) {
            return ETIMEDOUT;
        }
        if (isStopAsked(stopAsked)) {
            return ECANCELED;
        }
        lookUp->finished.wait_until(
            lock, std::min(deadline, Clock::now() + std::chrono::milliseconds(kStopLookMs)));
    }
    if (lookUp->code != 0 || !lookUp->list) {
        return errnoOfResolver(lookUp->code, lookUp->savedErrno);
    }
    list = std::move(lookUp->list);
    return 0;
}

// An address in numbers resolves at once, on the caller's thread; only a name takes a look-up.
int resolve(TcpFamily family, const std::string& host, const std::string& port, Clock::time_point deadline,
            const StopAsked& stopAsked, AddrInfoList& list) {
    const addrinfo hints = hintsFor(family, AI_NUMERICHOST);
    addrinfo* raw = nullptr;
    errno = 0;
    const int code = ::getaddrinfo(host.c_str(), port.c_str(), &hints, &raw);
    list.reset(raw);
    if (code == EAI_NONAME) {
        return lookUpName(family, host, port, deadline, stopAsked, list);
    }
    if (code != 0 || !list) {
        return errnoOfResolver(code, errno);
    }
    return 0;
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
    const Clock::time_point deadline = Clock::now() + limit;
    AddrInfoList list;
    if (const int error = resolve(family, host, port, deadline, stopAsked, list); error != 0) {
        return failure(error);
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
        if (int error = finishConnect(fd.get(), deadline, stopAsked); error != 0) {
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
