#include "rtfeed/rt_feed.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include <fmt/format.h>

#include "rtfeed/auto_traffic.h"
#include "rtfeed/line_record.h"

namespace zeph::rtfeed {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kConnectRetry = 200ms;
constexpr auto kSplitPause = 300ms;
constexpr std::string_view kVersionQuestion = "Qs999=version";
constexpr std::string_view kPositionPrefix = "Qs121=";

std::string versionOr(const RtFeedOptions& options, std::string_view fallback) {
    return jsonString(options.version.empty() ? fallback : std::string_view(options.version));
}

} // namespace

std::string replyText(const RtFeedOptions& options) {
    switch (options.reply) {
    case ReplyMode::Professional:
    case ReplyMode::Split:
        return fmt::format("{{\"level\":2,\"version\":{}}}", versionOr(options, "9.0.1"));
    case ReplyMode::Standard:
        return fmt::format("{{\"version\":{}}}", versionOr(options, "8.0"));
    case ReplyMode::Array:
        return "[1,2]";
    case ReplyMode::Number:
        return "42";
    case ReplyMode::Garbage:
        return "hello";
    case ReplyMode::Custom:
        return options.customReply;
    case ReplyMode::CloseWithoutAnswer:
    case ReplyMode::NeverAnswer:
        break;
    }
    return {};
}

RtFeed::RtFeed(RtFeedOptions options)
    : options_(std::move(options)), udp_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

RtFeed::~RtFeed() {
    stopAutoTraffic();
    disconnect();
}

bool RtFeed::sendTraffic(const TrafficLine& line) { return sendTrafficRaw(line.toDatagram()); }

bool RtFeed::sendTrafficRaw(std::string_view bytes) { return sendDatagramTo(options_.trafficPort, bytes); }

bool RtFeed::sendQnh(std::string_view json) { return sendDatagramTo(options_.qnhPort, json); }

bool RtFeed::sendDatagramTo(std::uint16_t port, std::string_view bytes) {
    const bool sent = sendDatagram(udp_.get(), options_.host, port, bytes);
    if (sent && sent_) {
        sent_(bytes, 0);
    }
    return sent;
}

void RtFeed::setSendObserver(std::function<void(std::string_view text, int connection)> observer) {
    sent_ = std::move(observer);
}

double RtFeed::utcNow() const {
    if (!options_.clockStart) {
        return utcSecondsNow();
    }
    return *options_.clockStart + std::chrono::duration<double>(Clock::now() - made_).count();
}

bool RtFeed::connect(std::chrono::milliseconds timeout) {
    {
        std::lock_guard lock(mutex_);
        if (open_) {
            return true;
        }
    }
    // The thread of a connection that has ended.
    if (recorder_.joinable()) {
        recorder_.join();
    }
    const auto deadline = Clock::now() + timeout;
    Fd fd;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        fd = connectTcpWithin(options_.host, options_.tcpPort, std::clamp(left, 1ms, 1000ms));
        if (fd.valid() || Clock::now() + kConnectRetry > deadline) {
            break;
        }
        std::this_thread::sleep_for(kConnectRetry);
    }
    if (!fd.valid()) {
        return false;
    }
    std::lock_guard lock(mutex_);
    const int socket = fd.get();
    tcp_ = std::move(fd);
    open_ = true;
    eof_ = false;
    closing_ = false;
    recorder_ = std::thread(&RtFeed::record, this, socket, ++connections_);
    return true;
}

bool RtFeed::connected() const {
    std::lock_guard lock(mutex_);
    return open_;
}

void RtFeed::disconnect() {
    {
        std::lock_guard lock(mutex_);
        closing_ = true;
        if (tcp_.valid()) {
            // Wakes the recording thread; the descriptor itself stays until that thread has ended.
            ::shutdown(tcp_.get(), SHUT_RDWR);
        }
    }
    if (recorder_.joinable()) {
        recorder_.join();
    }
    std::lock_guard lock(mutex_);
    tcp_.reset();
    open_ = false;
}

void RtFeed::record(int fd, int connection) {
    std::string pending;
    char chunk[4096];
    bool goOn = true;
    while (goOn) {
        const ssize_t n = ::recv(fd, chunk, sizeof(chunk), 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        pending.append(chunk, static_cast<std::size_t>(n));
        // Only CR LF ends a line; a bare LF stays part of it.
        std::size_t end = 0;
        while (goOn && (end = pending.find("\r\n")) != std::string::npos) {
            std::string text = pending.substr(0, end);
            pending.erase(0, end + 2);
            goOn = keepLine(std::move(text), connection, fd);
        }
    }
    std::function<void(int)> ended;
    {
        std::lock_guard lock(mutex_);
        // goOn is false only when the stand-in chose to close; an end the program caused is its EOF.
        eof_ = goOn && !closing_;
        open_ = false;
        tcp_.reset();
        ended = eof_ ? endObserver_ : nullptr;
    }
    changed_.notify_all();
    if (ended) {
        ended(connection);
    }
}

bool RtFeed::keepLine(std::string text, int connection, int fd) {
    std::function<void(const ReceivedLine&)> observer;
    ReceivedLine line;
    {
        std::lock_guard lock(mutex_);
        if (text.starts_with(kPositionPrefix)) {
            if (auto position = decodePositionLine(text)) {
                latest_ = position;
            }
        }
        line = ReceivedLine{std::move(text), Clock::now(), connection, lines_.size()};
        lines_.push_back(line);
        observer = observer_;
    }
    changed_.notify_all();
    if (observer) {
        observer(line);
    }
    if (line.text != kVersionQuestion) {
        return true;
    }
    if (options_.reply == ReplyMode::CloseWithoutAnswer) {
        return false;
    }
    answerVersion(fd, connection);
    return true;
}

void RtFeed::answerVersion(int fd, int connection) {
    const std::string reply = replyText(options_);
    if (sent_ && !reply.empty()) {
        sent_(reply, connection);
    }
    if (options_.reply != ReplyMode::Split) {
        if (!reply.empty()) {
            writeAll(fd, reply);
        }
        return;
    }
    const std::size_t half = reply.size() / 2;
    if (writeAll(fd, std::string_view(reply).substr(0, half))) {
        std::this_thread::sleep_for(kSplitPause);
        writeAll(fd, std::string_view(reply).substr(half));
    }
}

std::vector<ReceivedLine> RtFeed::lines() const {
    std::lock_guard lock(mutex_);
    return lines_;
}

std::optional<ReceivedLine> RtFeed::waitForLine(std::string_view prefix, std::chrono::milliseconds timeout,
                                                std::size_t from) {
    std::unique_lock lock(mutex_);
    std::optional<ReceivedLine> found;
    changed_.wait_for(lock, timeout, [&] {
        for (; from < lines_.size(); ++from) {
            if (lines_[from].text.starts_with(prefix)) {
                found = lines_[from];
                return true;
            }
        }
        return false;
    });
    return found;
}

bool RtFeed::eofSeen() const {
    std::lock_guard lock(mutex_);
    return eof_;
}

bool RtFeed::waitForEof(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return eof_; });
}

void RtFeed::setLineObserver(std::function<void(const ReceivedLine&)> observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void RtFeed::setEndObserver(std::function<void(int connection)> observer) {
    std::lock_guard lock(mutex_);
    endObserver_ = std::move(observer);
}

std::optional<PositionReport> RtFeed::latestPosition() const {
    std::lock_guard lock(mutex_);
    return latest_;
}

void RtFeed::startAutoTraffic(int count, std::chrono::milliseconds interval) {
    stopAutoTraffic();
    autoTraffic_ = std::jthread(
        [this, count, interval](std::stop_token stop) { autoTrafficLoop(std::move(stop), count, interval); });
}

void RtFeed::stopAutoTraffic() {
    if (autoTraffic_.joinable()) {
        autoTraffic_.request_stop();
        autoTraffic_.join();
    }
}

void RtFeed::autoTrafficLoop(std::stop_token stop, int count, std::chrono::milliseconds interval) {
    // Until the first position comes, look for it often; then keep to the interval.
    constexpr auto kPositionPoll = 50ms;
    std::mutex waitMutex;
    std::condition_variable_any wake;
    const auto start = Clock::now();
    auto next = start;
    while (!stop.stop_requested()) {
        {
            std::unique_lock lock(waitMutex);
            if (wake.wait_until(lock, stop, next, [] { return false; }); stop.stop_requested()) {
                return;
            }
        }
        const auto position = latestPosition();
        if (!position) {
            next = Clock::now() + std::min<std::chrono::milliseconds>(interval, kPositionPoll);
            continue;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        for (const TrafficLine& line : autoTrafficLines(count, *position, elapsed, utcNow())) {
            sendTraffic(line);
        }
        next = std::max(next + interval, Clock::now());
    }
}

bool RtFeed::playScenario(const Scenario& scenario, const std::stop_token& stop,
                          std::optional<Clock::time_point> from) {
    std::mutex waitMutex;
    std::condition_variable_any wake;
    const auto start = from.value_or(Clock::now());
    for (const ScenarioEntry& entry : scenario.entries) {
        const auto due =
            start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(entry.at));
        std::unique_lock lock(waitMutex);
        if (wake.wait_until(lock, stop, due, [] { return false; }); stop.stop_requested()) {
            return false;
        }
        if (entry.kind == 'T') {
            sendTrafficRaw(replaceNow(entry.payload, utcNow()));
        } else {
            sendQnh(entry.payload);
        }
    }
    return true;
}

} // namespace zeph::rtfeed
