#pragma once
// A bare SimConnect client for the stand-in's tests: it writes request bytes built by request_bytes.h and
// reads messages back by their leading size. It knows nothing of the stand-in's own codec.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "support/slow_factor.h"

namespace zeph::test {

class RawClient {
public:
    // Each gives a client that is not connected when the connection fails.
    static RawClient tcp4(std::uint16_t port);
    static RawClient tcp6(std::uint16_t port);
    static RawClient unixSocket(const std::string& path);

    RawClient() = default;
    ~RawClient();
    RawClient(RawClient&& other) noexcept;
    RawClient& operator=(RawClient&& other) noexcept;
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    void send(const std::string& bytes);
    // The send id the next packet gets: 1, 2, 3, ...
    std::uint32_t nextSendId() { return nextSendId_++; }
    void close();

    // One whole message by its size field; nothing on timeout or EOF.
    std::optional<std::string> readMessage(std::chrono::milliseconds limit = kLivenessBound);
    // Exactly `count` bytes; what arrived when the time is up or the stream ends.
    std::string readBytes(std::size_t count, std::chrono::milliseconds limit = kLivenessBound);
    // True when the stream ends (the stand-in closed it) within the limit, with nothing left unread.
    bool readEof(std::chrono::milliseconds limit = kLivenessBound);
    // Nothing arrives within a short while; only for checking that no reply is sent.
    bool quietFor(std::chrono::milliseconds span);

private:
    explicit RawClient(int fd) : fd_(fd) {}
    bool fill(std::size_t count, std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    std::uint32_t nextSendId_ = 1;
    std::string buffer_;
    bool eof_ = false;
};

} // namespace zeph::test
