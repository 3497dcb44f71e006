#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/socket_fd.h"
#include "support/slow_factor.h"

namespace zeph::test {

using Bytes = std::vector<std::uint8_t>;

// Appends v as 4 little-endian bytes; reads them back.
void appendU32(Bytes& bytes, std::uint32_t v);
std::uint32_t readU32(const std::uint8_t* p);

// How a RawPeer listens.
struct RawPeerOptions {
    // false: never accept. With backlog 0 the first connect is queued and the next ones find the backlog
    // full, which is how a busy pipe looks.
    bool acceptClient = true;
    int backlog = 1;
    // SO_RCVBUF for the accepted socket, set on the listener before listen; 0 leaves the system default.
    int receiveBuffer = 0;
    // Bytes read per millisecond; 0 reads as fast as the data comes. setReadRate changes it later.
    std::size_t readRate = 0;
};

// A scripted peer on the far side of one connection, for tests of a client's bytes on the wire. It listens
// on TCP 127.0.0.1, TCP ::1 (port 0) or an AF_UNIX path, accepts one client, plays a script of byte chunks
// and actions (pause, close, reset) and captures what it receives, cut into messages by their leading
// little-endian u32 size. It knows nothing else about any protocol.
//
// Two threads of its own run from listen to destruction (one accepts and plays the script, one reads), so
// the process's thread count does not change while a client connects. Both are joined in the destructor.
// Every wait takes a bound; the default is kLivenessBound.
class RawPeer {
public:
    // nullptr when the listener cannot be made (for listenTcp6: the machine has no IPv6 loopback).
    static std::unique_ptr<RawPeer> listenTcp4(RawPeerOptions options = {});
    static std::unique_ptr<RawPeer> listenTcp6(RawPeerOptions options = {});
    // Makes the parent folders; replaces a stale socket file; removes the socket file at the end.
    static std::unique_ptr<RawPeer> listenUnix(const std::filesystem::path& path,
                                               RawPeerOptions options = {});

    ~RawPeer();
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    // TCP: the port listened on (0 for AF_UNIX), also as decimal text. AF_UNIX: the socket path.
    std::uint16_t port() const { return port_; }
    std::string portText() const { return std::to_string(port_); }
    const std::filesystem::path& path() const { return path_; }

    // The script. Actions are played in the order they were added, once a client has been accepted; they can
    // be added at any time, before or after the client comes.
    RawPeer& send(Bytes bytes); // written in full, as one send where the socket takes it
    RawPeer& send(std::string_view bytes);
    RawPeer& pause(std::chrono::milliseconds duration);
    RawPeer& awaitMessages(std::size_t count); // waits until that many messages have been received
    RawPeer& closeWrite();                     // shutdown(SHUT_WR): the client reads EOF; reading goes on
    RawPeer& close();                          // stops reading and closes the socket (FIN)
    RawPeer& reset();                          // stops reading, SO_LINGER {1, 0}, closes: the client sees RST
    void setReadRate(std::size_t bytesPerMillisecond);

    // Waits for the client to be accepted / for every script action added so far to be played.
    bool waitForClient(std::chrono::milliseconds limit = kLivenessBound) const;
    bool waitForScript(std::chrono::milliseconds limit = kLivenessBound) const;
    bool clientAccepted() const;

    // The messages received so far, whole ones only. A size field below 4 makes a message of its 4 size
    // bytes alone, and cutting goes on after it, so a broken stream still shows up message by message.
    std::vector<Bytes> received() const;
    std::size_t messageCount() const;
    // Every byte received so far, cut or not.
    Bytes receivedBytes() const;
    bool waitForMessages(std::size_t count, std::chrono::milliseconds limit = kLivenessBound) const;
    bool waitForBytes(std::size_t count, std::chrono::milliseconds limit = kLivenessBound) const;

    // EOF means the client closed its side (recv gave 0) or the connection failed (see readError).
    bool waitForEof(std::chrono::milliseconds limit = kLivenessBound) const;
    bool eofSeen() const;
    int readError() const; // errno of a failed recv (ECONNRESET, ...), else 0
    int sendError() const; // errno of a failed send; the rest of the sends are dropped then

private:
    struct Action {
        enum class Kind { Send, Pause, AwaitMessages, CloseWrite, Close, Reset } kind;
        Bytes bytes;
        std::chrono::milliseconds duration{0};
        std::size_t count = 0;
    };

    RawPeer(SocketFd listener, std::filesystem::path path, RawPeerOptions options);
    static std::unique_ptr<RawPeer> start(SocketFd listener, std::filesystem::path path,
                                          RawPeerOptions options);

    RawPeer& add(Action action);
    void runScript();
    void runReader();
    bool acceptOne();
    void play(const Action& action);
    void sendAll(const Bytes& bytes);
    void stopReader();
    void closeConnection(bool resetIt);
    bool readOnce(int fd, std::vector<std::uint8_t>& chunk);
    void takeBytes(const std::uint8_t* data, std::size_t size);
    bool sleepUnlessStopping(std::chrono::milliseconds duration) const;

    template <class Pred> bool waitFor(std::chrono::milliseconds limit, Pred pred) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, pred);
    }

    RawPeerOptions options_;
    SocketFd listener_;
    SocketFd stopEvent_;  // readable once the destructor runs; never drained
    SocketFd readerWake_; // readable when the reader is to let go of the connection
    std::uint16_t port_ = 0;
    std::filesystem::path path_;
    std::atomic<std::size_t> readRate_{0};

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    SocketFd connection_; // set once by the script thread after accept
    bool accepted_ = false;
    bool readerReleased_ = false; // the reader no longer touches connection_
    bool eof_ = false;
    int readError_ = 0;
    int sendError_ = 0;
    std::deque<Action> script_;
    std::size_t actionsAdded_ = 0;
    std::size_t actionsPlayed_ = 0;
    Bytes bytes_;                 // everything received
    std::size_t cutPosition_ = 0; // start of the first byte not yet in messages_
    std::vector<Bytes> messages_;

    std::thread scriptThread_;
    std::thread readerThread_;
};

} // namespace zeph::test
