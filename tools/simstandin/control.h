#pragma once
// The JSON-lines control channel: one command object per line on an AF_UNIX socket, one reply line each,
// {"ok":true,...} or {"ok":false,"error":"..."}. Commands carry the names of the C++ controls and queries.
//
// Each control client is served on a thread of its own, which calls the same thread-safe controls as an
// in-process test; so a waitPackets or stepFrames that blocks never holds up the simulator's I/O loop.
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "simstandin/net.h"
#include "simstandin/standin.h"

namespace zeph::standin {

inline constexpr std::size_t kMaxControlLine = 1024 * 1024;
inline constexpr std::size_t kMaxControlClients = 16;

// A command that cannot be run: malformed, unknown, or a field of the wrong type. The text names the field.
class ControlError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs one command object against the stand-in and gives the reply without "ok". Sets `shutdown` for
// {"cmd":"shutdown"}. Throws ControlError.
nlohmann::json runCommand(SimStandin& standin, const nlohmann::json& command, bool& shutdown);

// Handles one line of the channel: the reply line (without its line feed).
std::string handleControlLine(SimStandin& standin, const std::string& line, bool& shutdown);

// Texts are bytes: in JSON each byte is the character of the same number (U+0000 to U+00FF).
std::string bytesToJsonText(const std::string& bytes);
// The reverse; throws ControlError naming `field` for characters above U+00FF or bad UTF-8.
std::string jsonTextToBytes(const std::string& text, const std::string& field);

class ControlServer {
public:
    // `onShutdown` runs on a client thread after the reply to {"cmd":"shutdown"} went out.
    ControlServer(SimStandin& standin, std::string path, std::function<void()> onShutdown = {});
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Opens the socket (a stale socket file is replaced) and starts accepting; throws std::runtime_error.
    void start();
    void stop();
    const std::string& path() const { return path_; }

private:
    struct Client {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void acceptLoop();
    void serve(int fd);
    void reapFinished();

    SimStandin& standin_;
    std::string path_;
    std::function<void()> onShutdown_;
    Listener listener_;
    Fd stopFd_;
    std::thread acceptThread_;
    std::mutex clientsMutex_;
    std::vector<Client> clients_;
    bool started_ = false;
};

} // namespace zeph::standin
