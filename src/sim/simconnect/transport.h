#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/socket_fd.h"
#include "platform/tcp_connect.h"
#include "sim/simconnect/reassemble.h"

// The connection under a SimConnect client: a local pipe (an AF_UNIX socket) or a TCP socket. One reader
// thread cuts the received bytes into messages and hands them to the owner; one writer thread sends the
// queued packets in order. The transport records why it closed; the first failure is the one that stays.

namespace zeph {

// One message, received or outgoing: owned bytes, shared by whoever still holds the message.
struct SimConnectMessage {
    std::shared_ptr<const std::uint8_t[]> bytes;
    std::uint32_t size = 0;
    std::uint32_t serial = 0; // the connection serial of the transport that made it
};

enum class TransportKind : std::uint32_t { Tcp = 0, Pipe = 1 };

inline constexpr std::uint32_t kTransportStopped = 0;
inline constexpr std::uint32_t kTransportRunning = 2;

// Why a transport closed.
inline constexpr std::uint32_t kCloseByProgram = 0;
inline constexpr std::uint32_t kCloseSizeTooLarge = 1;
inline constexpr std::uint32_t kCloseSizeMalformed = 2;
inline constexpr std::uint32_t kCloseNoMemory = 3;
inline constexpr std::uint32_t kClosePeerClosed = 4;
inline constexpr std::uint32_t kCloseDisconnected = 5;
inline constexpr std::uint32_t kCloseCancelled = 8;
inline constexpr std::uint32_t kCloseOtherError = 9;

struct TransportCloseCause {
    std::uint32_t reason = 0;
    std::int32_t failureCode = 0;
};

// The reason and failure code of a socket error (errno).
TransportCloseCause closeCauseOfErrno(int error);

// What the transport tells its owner. Both run on an I/O thread.
struct TransportEvents {
    std::function<void(SimConnectMessage)> messageReceived;
    std::function<void()> closedWithError;
};

class SimConnectTransport {
public:
    explicit SimConnectTransport(TransportKind kind);
    ~SimConnectTransport();
    SimConnectTransport(const SimConnectTransport&) = delete;
    SimConnectTransport& operator=(const SimConnectTransport&) = delete;

    void setEvents(TransportEvents events) { events_ = std::move(events); }

    // Takes the connected socket, stores the limits and makes the receive buffer; then start runs the
    // reader and the writer. Each returns false when it cannot (no memory, no thread).
    bool attach(SocketFd socket, std::uint32_t maxReceiveSize, bool disableNagle);
    bool start();

    // Queues a message for the writer, stamped with this connection's serial; false (message dropped) when
    // the transport is not running.
    bool send(SimConnectMessage message);

    // Stops the transport. A nonzero reason is recorded together with its failure code and OS error, but only
    // by the first close after running; later closes change nothing. Safe from any thread; the I/O threads
    // end on their own after it.
    void close(std::uint32_t reason, std::int32_t failureCode, int osError = 0);

    // The program's close: stops without a reason, waits for both I/O threads and closes the socket.
    void closeAndJoin();

    bool hasFailed() const;
    std::int32_t failureCode() const;
    std::uint32_t closeReason() const;
    int osError() const;
    std::uint32_t state() const;
    std::uint32_t connectionSerial() const;

    TransportKind kind() const { return kind_; }
    std::uint32_t id() const { return id_; }
    std::uint32_t maxReceiveSize() const { return maxReceiveSize_; }
    bool disableNagle() const { return disableNagle_; }
    // The socket descriptor, for tests that tune it; -1 when there is none.
    int nativeHandle() const { return socket_.get(); }

private:
    void readLoop(std::uint32_t serial);
    bool deliverReadyMessages(std::uint32_t serial);
    void writeLoop();
    bool writeAll(const std::vector<SimConnectMessage>& batch);
    void joinThreads();

    const TransportKind kind_;
    std::uint32_t id_ = 0;
    SocketFd socket_;
    std::uint32_t maxReceiveSize_ = 1024;
    bool disableNagle_ = false;
    TransportEvents events_;

    // Owned by the reader thread while it runs.
    ReceiveBuffer buffer_;
    ReceiveRecord record_;

    mutable std::mutex mutex_; // the state lock; also guards the send queue
    std::condition_variable writerWake_;
    std::uint32_t state_ = kTransportStopped;
    std::uint32_t closeReason_ = kCloseByProgram;
    std::int32_t failureCode_ = 0;
    int osError_ = 0;
    std::uint32_t serial_ = 0;
    std::vector<SimConnectMessage> sendQueue_;

    std::thread reader_;
    std::thread writer_;
};

// Connects the transport: TCP to address:port for its family (an empty port fails without connecting), or,
// for a pipe, to "\\<address>\pipe\<port>" ("." for an empty address, the default pipe for an empty port).
// Then attaches and starts it. stopAsked ends a connect that waits (see connectTcp, LocalPipe::connect).
// false on success, true on failure.
bool lf_connectTransport(SimConnectTransport& transport, TcpFamily family, const std::string& address,
                         const std::string& port, std::uint32_t maxReceiveSize, bool disableNagle,
                         const StopAsked& stopAsked = {});

// The full name of a pipe: "\\<server>\pipe\<name>", with "." for an empty server and the default pipe for
// an empty name.
std::string pipeFullName(const std::string& server, const std::string& pipeName);

// Transport objects alive in the process.
int lf_liveTransportCount();

} // namespace zeph
