#pragma once
#include <chrono>
#include <functional>
#include <string>

#include "platform/socket_fd.h"

namespace zeph {

// A connected descriptor, or the errno of the failure. Exactly one of the two is set: fd.valid() is true
// when error is 0.
struct SocketResult {
    SocketFd fd;
    int error = 0;

    bool ok() const noexcept { return fd.valid(); }
};

// Asked between the waits of a connect: true when the caller's run is ending and the connect should give up.
// An empty function never asks. The connect calls take it from the caller, so this layer reads no run flags.
using StopAsked = std::function<bool()>;

inline bool isStopAsked(const StopAsked& stopAsked) { return stopAsked && stopAsked(); }

// The address family of a TCP connection. The Windows numbers are AF_INET 2 and AF_INET6 23; callers map
// them here, because Linux numbers AF_INET6 differently.
enum class TcpFamily { IPv4, IPv6 };

// Resolves host and port with getaddrinfo for the family, stream sockets and TCP, and connects a socket to
// the first result only. The look-up of a name and the non-blocking connect take at most limit together,
// asking stopAsked at least every 250 ms; a look-up given up goes on alone on a thread of its own. The socket
// comes back blocking, with SOCK_CLOEXEC set. The port is a decimal number up to 65535 as text; anything else
// (a service name, "", "99999") does not resolve. Errors: the connect's errno (ECONNREFUSED, ENETUNREACH,
// ...); ETIMEDOUT when limit runs out; ECANCELED when stopAsked said yes; EHOSTUNREACH for a host or port
// that does not resolve (ENOMEM when the resolver ran out of memory, the resolver's errno for a system
// error); EAGAIN when no thread could be started for the look-up. Never throws, never logs.
SocketResult connectTcp(TcpFamily family, const std::string& host, const std::string& port,
                        std::chrono::milliseconds limit, const StopAsked& stopAsked = {});

// Switches Nagle's algorithm off (TCP_NODELAY as an int of 1). Returns 0 or the errno of setsockopt.
int setTcpNoDelay(const SocketFd& socket);

// Stand-ins for WSAStartup and WSACleanup: the socket layer needs no set-up here. Startup returns 0, the
// value of a successful WSAStartup.
int socketLayerStartup();
void socketLayerCleanup();

} // namespace zeph
