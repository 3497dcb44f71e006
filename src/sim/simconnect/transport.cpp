#include "sim/simconnect/transport.h"

#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "platform/local_pipe.h"
#include "sim/simconnect/client.h"
#include "sim/simconnect/wire.h"

namespace zeph {

namespace {

std::atomic<int> liveTransports{0};
std::atomic<std::uint32_t> transportIdCounter{0};
std::atomic<std::uint32_t> serialCounter{0};

// Connection serials come from a process-wide counter that never hands out 0.
std::uint32_t nextSerial() {
    for (;;) {
        std::uint32_t serial = serialCounter.fetch_add(1, std::memory_order_relaxed) + 1;
        if (serial != 0) {
            return serial;
        }
    }
}

TransportCloseCause causeOfReassembly(int result) {
    switch (result) {
    case kSizeTooLarge:
        return {kCloseSizeTooLarge, E_ABORT};
    case kSizeMalformed:
        return {kCloseSizeMalformed, E_ABORT};
    default:
        return {kCloseNoMemory, E_OUTOFMEMORY};
    }
}

constexpr const char* kDefaultPipeName = "Lockheed Martin Prepar3D v5\\SimConnect";

} // namespace

TransportCloseCause closeCauseOfErrno(int error) {
    switch (error) {
    case ECONNRESET:
        return {kCloseDisconnected, STATUS_CONNECTION_RESET};
    case EPIPE:
        return {kCloseDisconnected, STATUS_PIPE_BROKEN};
    case ECONNABORTED:
        return {kCloseDisconnected, STATUS_REMOTE_DISCONNECT};
    case ECANCELED:
        return {kCloseCancelled, STATUS_CANCELLED};
    default:
        return {kCloseOtherError, static_cast<std::int32_t>(0x80070000u | static_cast<std::uint32_t>(error))};
    }
}

SimConnectTransport::SimConnectTransport(TransportKind kind) : kind_(kind) { liveTransports.fetch_add(1); }

SimConnectTransport::~SimConnectTransport() {
    closeAndJoin();
    liveTransports.fetch_sub(1);
}

bool SimConnectTransport::attach(SocketFd socket, std::uint32_t maxReceiveSize, bool disableNagle) {
    socket_ = std::move(socket);
    maxReceiveSize_ = std::min(maxReceiveSize, scwire::kMaxReceiveLimit);
    disableNagle_ = disableNagle;
    record_ = ReceiveRecord{};
    id_ = transportIdCounter.fetch_add(1, std::memory_order_relaxed) + 1;
    return buffer_.attach();
}

bool SimConnectTransport::start() {
    std::uint32_t serial = nextSerial();
    {
        std::lock_guard lock(mutex_);
        sendQueue_.clear();
        serial_ = serial;
        buffer_.readPos = 0;
        buffer_.writePos = 0;
        if (kind_ == TransportKind::Tcp && disableNagle_) {
            setTcpNoDelay(socket_);
        }
        state_ = kTransportRunning;
    }
    try {
        reader_ = std::thread([this, serial] { readLoop(serial); });
        writer_ = std::thread([this] { writeLoop(); });
    } catch (const std::system_error&) {
        close(kCloseNoMemory, E_OUTOFMEMORY);
        return false;
    }
    return true;
}

bool SimConnectTransport::send(SimConnectMessage message) {
    bool wake = false;
    {
        std::lock_guard lock(mutex_);
        if (state_ != kTransportRunning) {
            return false;
        }
        wake = sendQueue_.empty();
        message.serial = serial_;
        sendQueue_.push_back(std::move(message));
    }
    // The writer takes the whole queue each time, so it only sleeps while the queue is empty.
    if (wake) {
        writerWake_.notify_one();
    }
    return true;
}

void SimConnectTransport::close(std::uint32_t reason, std::int32_t failureCode, int osError) {
    bool notify = false;
    {
        std::lock_guard lock(mutex_);
        bool wasRunning = state_ == kTransportRunning;
        state_ = kTransportStopped;
        serial_ = 0;
        if (wasRunning) {
            if (reason != kCloseByProgram) {
                closeReason_ = reason;
                failureCode_ = failureCode;
                osError_ = osError;
                notify = true;
            }
            // Wakes a reader blocked in recv and a writer waiting for room; both then see the stop.
            ::shutdown(socket_.get(), SHUT_RDWR);
        }
    }
    writerWake_.notify_all();
    if (notify && events_.closedWithError) {
        events_.closedWithError();
    }
}

void SimConnectTransport::closeAndJoin() {
    close(kCloseByProgram, 0);
    joinThreads();
    socket_.reset();
}

void SimConnectTransport::joinThreads() {
    if (reader_.joinable()) {
        reader_.join();
    }
    if (writer_.joinable()) {
        writer_.join();
    }
}

bool SimConnectTransport::hasFailed() const {
    std::lock_guard lock(mutex_);
    return closeReason_ != kCloseByProgram;
}

std::int32_t SimConnectTransport::failureCode() const {
    std::lock_guard lock(mutex_);
    return failureCode_;
}

std::uint32_t SimConnectTransport::closeReason() const {
    std::lock_guard lock(mutex_);
    return closeReason_;
}

int SimConnectTransport::osError() const {
    std::lock_guard lock(mutex_);
    return osError_;
}

std::uint32_t SimConnectTransport::state() const {
    std::lock_guard lock(mutex_);
    return state_;
}

std::uint32_t SimConnectTransport::connectionSerial() const {
    std::lock_guard lock(mutex_);
    return serial_;
}

void SimConnectTransport::readLoop(std::uint32_t serial) {
    for (;;) {
        std::size_t room = buffer_.freeRoomSize();
        if (room == 0) {
            // Cannot happen while every accepted message fits the largest buffer; a zero-byte read would
            // look like the peer closing, so refuse the stream instead.
            close(kCloseSizeTooLarge, E_ABORT);
            return;
        }
        ssize_t got = ::recv(socket_.get(), buffer_.freeRoom(), room, 0);
        if (got < 0) {
            int error = errno;
            if (error == EINTR) {
                continue;
            }
            TransportCloseCause cause = closeCauseOfErrno(error);
            close(cause.reason, cause.failureCode, error);
            return;
        }
        if (got == 0) {
            close(kClosePeerClosed, STATUS_LINK_FAILED);
            return;
        }
        buffer_.writePos += static_cast<std::size_t>(got);
        if (!deliverReadyMessages(serial)) {
            return;
        }
    }
}

bool SimConnectTransport::deliverReadyMessages(std::uint32_t serial) {
    for (;;) {
        int result = lf_reassembleMessages(buffer_, record_, maxReceiveSize_);
        if (result == kNeedMoreBytes) {
            return true;
        }
        if (result != kMessageReady) {
            TransportCloseCause cause = causeOfReassembly(result);
            close(cause.reason, cause.failureCode);
            return false;
        }
        if (record_.size > 0) {
            auto size = static_cast<std::uint32_t>(record_.size);
            SimConnectMessage message{std::shared_ptr<const std::uint8_t[]>(record_.take()), size, serial};
            if (events_.messageReceived) {
                events_.messageReceived(std::move(message));
            }
        }
    }
}

void SimConnectTransport::writeLoop() {
    std::vector<SimConnectMessage> batch;
    std::unique_lock lock(mutex_);
    for (;;) {
        writerWake_.wait(lock, [this] { return state_ != kTransportRunning || !sendQueue_.empty(); });
        if (state_ != kTransportRunning) {
            return;
        }
        batch.swap(sendQueue_);
        lock.unlock();
        bool written = writeAll(batch);
        batch.clear();
        lock.lock();
        if (!written) {
            return;
        }
    }
}

// Sends the batch in order, as few sendmsg calls as the socket allows. A short write goes on from the
// first byte not taken, so a packet is never cut on the wire.
bool SimConnectTransport::writeAll(const std::vector<SimConnectMessage>& batch) {
    std::vector<iovec> parts;
    std::size_t first = 0;  // first message not fully sent
    std::size_t offset = 0; // bytes of it already sent
    while (first < batch.size()) {
        parts.clear();
        for (std::size_t i = first; i < batch.size() && parts.size() < IOV_MAX; ++i) {
            std::size_t skip = i == first ? offset : 0;
            parts.push_back({const_cast<std::uint8_t*>(batch[i].bytes.get()) + skip, batch[i].size - skip});
        }
        msghdr header{};
        header.msg_iov = parts.data();
        header.msg_iovlen = parts.size();
        ssize_t sent = ::sendmsg(socket_.get(), &header, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            int error = errno;
            if (error == EINTR) {
                continue;
            }
            if (error == EAGAIN || error == EWOULDBLOCK) {
                pollfd wait{socket_.get(), POLLOUT, 0};
                ::poll(&wait, 1, -1);
                continue;
            }
            TransportCloseCause cause = closeCauseOfErrno(error);
            close(cause.reason, cause.failureCode, error);
            return false;
        }
        auto left = static_cast<std::size_t>(sent);
        while (first < batch.size() && left >= batch[first].size - offset) {
            left -= batch[first].size - offset;
            offset = 0;
            ++first;
        }
        offset += left;
    }
    return true;
}

std::string pipeFullName(const std::string& server, const std::string& pipeName) {
    const std::string& name = pipeName.empty() ? std::string(kDefaultPipeName) : pipeName;
    return "\\\\" + (server.empty() ? std::string(".") : server) + "\\pipe\\" + name;
}

bool lf_connectTransport(SimConnectTransport& transport, TcpFamily family, const std::string& address,
                         const std::string& port, std::uint32_t maxReceiveSize, bool disableNagle,
                         const StopAsked& stopAsked) {
    SimConnectTimings timings = simConnectTimings();
    SocketResult connected;
    if (transport.kind() == TransportKind::Pipe) {
        connected = LocalPipe::connect(pipeFullName(address, port), timings.pipeBusyWait, stopAsked);
    } else if (!port.empty()) {
        connected = connectTcp(family, address, port, timings.tcpConnectLimit, stopAsked);
    }
    if (!connected.ok()) {
        return true;
    }
    if (!transport.attach(std::move(connected.fd), maxReceiveSize, disableNagle)) {
        return true;
    }
    return !transport.start();
}

int lf_liveTransportCount() { return liveTransports.load(); }

} // namespace zeph
