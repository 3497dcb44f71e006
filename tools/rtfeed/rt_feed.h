#pragma once
// The RealTraffic stand-in: sends traffic and QNH datagrams, is the client of the program's TCP server,
// answers its version question in a chosen way and records every line the program sends.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "rtfeed/net.h"
#include "rtfeed/position_line.h"
#include "rtfeed/scenario.h"
#include "rtfeed/traffic_line.h"

namespace zeph::rtfeed {

// How the stand-in answers "Qs999=version".
enum class ReplyMode {
    Professional,       // {"level":2,"version":"9.0.1"}
    Standard,           // {"version":"8.0"}
    Array,              // [1,2]
    Number,             // 42
    Garbage,            // hello
    Split,              // the professional reply in two writes, 300 ms apart
    CloseWithoutAnswer, // closes the connection instead
    NeverAnswer,        // stays connected and silent
    Custom,             // RtFeedOptions::customReply, in one write
};

struct RtFeedOptions {
    std::string host = "127.0.0.1";
    std::uint16_t trafficPort = 49005;
    std::uint16_t qnhPort = 49004;
    std::uint16_t tcpPort = 10747;
    ReplyMode reply = ReplyMode::Professional;
    std::string version;     // the version text of the reply; empty: "9.0.1" professional, "8.0" standard
    std::string customReply; // the reply of ReplyMode::Custom
    // The UTC seconds the stand-in's clock shows when it is made; nothing: the machine's clock.
    std::optional<double> clockStart;
};

// The reply bytes of a mode, as one text (Split's two writes together); empty for the modes that do not
// answer.
std::string replyText(const RtFeedOptions& options);

// One line the program sent, without its CR LF.
struct ReceivedLine {
    std::string text;
    std::chrono::steady_clock::time_point at;
    int connection = 0;    // 1 for the first connection, 2 for the next, ...
    std::size_t index = 0; // its place in lines()
};

// connect, disconnect, the auto-traffic start and stop and the destructor belong to one controlling thread;
// the sends, the record and the waits may be used from any thread.
class RtFeed {
public:
    explicit RtFeed(RtFeedOptions options = {});
    ~RtFeed();
    RtFeed(const RtFeed&) = delete;
    RtFeed& operator=(const RtFeed&) = delete;

    const RtFeedOptions& options() const { return options_; }

    // Datagrams, each with one unconnected sendto; false when the send failed.
    bool sendTraffic(const TrafficLine& line);
    bool sendTrafficRaw(std::string_view bytes);
    bool sendQnh(std::string_view json);

    // Connects to the program's server, trying every 200 ms until timeout; true when connected (also when
    // a connection is open already). A recording thread then keeps the lines and answers the version
    // question whenever it comes.
    bool connect(std::chrono::milliseconds timeout);
    // The stand-in's end of the connection is open (not closed by either side).
    bool connected() const;
    // Closes the connection from the stand-in's side; the recorded lines stay.
    void disconnect();

    // Every line recorded so far, in arrival order.
    std::vector<ReceivedLine> lines() const;
    // The first recorded line from position `from` on that starts with prefix, waiting at most timeout.
    std::optional<ReceivedLine> waitForLine(std::string_view prefix, std::chrono::milliseconds timeout,
                                            std::size_t from = 0);
    // The program closed the latest connection.
    bool eofSeen() const;
    bool waitForEof(std::chrono::milliseconds timeout);
    // Called on the recording thread for every line as it arrives (set before connect).
    void setLineObserver(std::function<void(const ReceivedLine&)> observer);
    // Called on the recording thread when the program closes a connection (its EOF).
    void setEndObserver(std::function<void(int connection)> observer);
    // Called for everything sent, on the sending thread: each datagram (connection 0) and each version reply
    // (whole, with its connection's number). Set before anything is sent.
    void setSendObserver(std::function<void(std::string_view text, int connection)> observer);

    // The UTC seconds of the stand-in's clock, the value "{now}" takes.
    double utcNow() const;

    // Sends count aircraft every interval around the latest position the program reported; nothing before
    // the first position arrives. A second start replaces the first.
    void startAutoTraffic(int count, std::chrono::milliseconds interval);
    void stopAutoTraffic();
    // The latest position line the program sent, decoded.
    std::optional<PositionReport> latestPosition() const;

    // Sends the scenario's datagrams at their times from start (default: now); false when stop was
    // requested before the end.
    bool playScenario(const Scenario& scenario, const std::stop_token& stop = {},
                      std::optional<std::chrono::steady_clock::time_point> start = std::nullopt);

    static std::optional<PositionReport> decodePositionLine(std::string_view text) {
        return rtfeed::decodePositionLine(text);
    }

private:
    void record(int fd, int connection);
    // Records one line and answers the version question; false when the stand-in closes instead.
    bool keepLine(std::string text, int connection, int fd);
    void answerVersion(int fd, int connection);
    void autoTrafficLoop(std::stop_token stop, int count, std::chrono::milliseconds interval);
    bool sendDatagramTo(std::uint16_t port, std::string_view bytes);

    const RtFeedOptions options_;
    const std::chrono::steady_clock::time_point made_ = std::chrono::steady_clock::now();
    std::function<void(std::string_view, int)> sent_;
    Fd udp_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Fd tcp_;
    bool open_ = false;
    bool eof_ = false;
    bool closing_ = false;
    int connections_ = 0;
    std::vector<ReceivedLine> lines_;
    std::optional<PositionReport> latest_;
    std::function<void(const ReceivedLine&)> observer_;
    std::function<void(int)> endObserver_;
    std::thread recorder_;
    std::jthread autoTraffic_;
};

} // namespace zeph::rtfeed
