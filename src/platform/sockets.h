#pragma once
// The program's Winsock: UDP sockets for the readers, a TCP listener and its accepted streams, and error
// numbers as Windows gives them, so every socket message reads as it would there. Never throws, never logs;
// a failed call returns its failure and records the error number for lastSocketError().
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "platform/socket_fd.h"
#include "platform/tcp_connect.h"

namespace zeph {

// The Windows socket error number (WSAE...) of an errno value, through an explicit table: Linux numbers its
// errors differently from the BSD order Winsock follows. ECONNRESET and EPIPE both give 10054. An errno
// without a Windows number comes back unchanged (and so has no text).
int socketErrorNumber(int errnoValue);

// The Windows number of a getaddrinfo failure: EAI_NONAME 11001, EAI_NODATA 11004, EAI_SERVICE 10109,
// EAI_SYSTEM the mapped errno, any other 11003.
int resolverErrorNumber(int eaiCode, int savedErrno);

// The Windows number of the last failed call of this layer on the calling thread (WSAGetLastError); 0 before
// the first failure.
int lastSocketError();

// How a wait for readiness ended.
enum class WaitResult { Ready, TimedOut, Failed };

// A UDP socket bound to one port, for receiving datagrams.
class UdpSocket {
public:
    // socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP); closes a socket held before.
    bool open();
    // Binds to 127.0.0.1 (loopbackOnly) or 0.0.0.0 and the port; port 0 takes a free one.
    bool bind(bool loopbackOnly, std::uint16_t port);
    // The port bound (read back from the socket), 0 when not bound.
    std::uint16_t boundPort() const;
    // The address bound in dotted form ("127.0.0.1"), empty when not bound.
    std::string boundAddress() const;
    // Waits at most limit for a datagram to read.
    WaitResult waitReadable(std::chrono::milliseconds limit);
    // Reads one datagram into buffer[0..capacity). The result is the datagram's real length, also when it
    // was longer than capacity and has been cut; 0 when nothing was waiting; -1 on failure.
    std::int64_t receive(char* buffer, std::size_t capacity);
    void close();
    bool isOpen() const { return fd_.valid(); }

private:
    SocketFd fd_;
};

// A connected TCP stream, as accepted by TcpListener (or connected by connectTcp).
class TcpStream {
public:
    TcpStream() = default;
    explicit TcpStream(SocketFd fd) : fd_(std::move(fd)) {}

    // TCP_NODELAY with an int-sized option value; a one-byte value fails on Linux.
    bool setNoDelay();
    // Sends all of text. A peer that has gone gives a failure (10054), never SIGPIPE; a peer that takes
    // nothing for `limit` while the send buffer is full gives a failure (10060).
    static constexpr std::chrono::milliseconds kSendLimit{5000};
    bool send(std::string_view text, std::chrono::milliseconds limit = kSendLimit);

    enum class Status { Data, TimedOut, Closed, Failed };
    struct Received {
        Status status = Status::Failed;
        std::size_t count = 0; // bytes read when status is Data
    };
    // Waits at most limit for bytes, then reads once into buffer.
    Received receiveFor(std::span<char> buffer, std::chrono::milliseconds limit);
    // Looks without waiting and without taking a byte: true when the peer has closed the stream with nothing
    // left to read, or the connection has failed (reset by the peer, ...; its number goes to
    // lastSocketError). Bytes waiting, or nothing yet, count as open.
    bool peerClosed();

    void close();
    bool isOpen() const { return fd_.valid(); }

private:
    SocketFd fd_;
};

// A listening TCP socket for one kind of client.
class TcpListener {
public:
    // The step of open() that failed.
    enum class Step { None, Resolve, Socket, ReuseAddress, Bind, Listen };
    struct OpenResult {
        Step failedStep = Step::None;
        int error = 0; // the Windows number of the failure
        bool ok() const { return failedStep == Step::None; }
    };

    // getaddrinfo, socket, SO_REUSEADDR, bind and listen(SOMAXCONN), on 127.0.0.1 (loopbackOnly) or every
    // interface. The port text is decimal digits only, 1 to 65535; anything else fails at Resolve with 10109,
    // because getaddrinfo would quietly take "70000" as 4464 and "" as a random port.
    OpenResult open(std::string_view portText, bool loopbackOnly);
    // Waits at most limit for a client and accepts it. A listener that is not open returns nothing at once.
    std::optional<TcpStream> acceptFor(std::chrono::milliseconds limit);
    std::uint16_t boundPort() const;
    std::string boundAddress() const;
    void close();
    bool isOpen() const { return fd_.valid(); }

private:
    SocketFd fd_;
};

} // namespace zeph
