// rtfeed: the RealTraffic stand-in as a program. It connects to the program's TCP server (and again after
// every end of a connection, so restarts work), answers the version question, sends traffic and QNH
// datagrams, and prints every line it receives with its time (or records both directions as JSON lines).
// SIGINT or SIGTERM end it with 0; bad arguments or a bad scenario end it with 2 before anything is sent.
#include <charconv>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <fmt/format.h>

#include "rtfeed/line_record.h"
#include "rtfeed/rt_feed.h"
#include "rtfeed/scenario.h"

namespace {

using namespace std::chrono_literals;
using zeph::rtfeed::ReplyMode;
using zeph::rtfeed::RtFeed;
using zeph::rtfeed::RtFeedOptions;

constexpr int kUsageExit = 2;
constexpr auto kQnhInterval = 2s;
constexpr auto kAutoInterval = 1s;

struct Arguments {
    RtFeedOptions options;
    bool tcp = true;
    int autoCount = 0;
    std::optional<std::string> qnh;
    std::optional<std::string> scenarioFile;
    bool loop = false;
    bool startOnPosition = false;
    std::optional<std::string> recordFile;
};

constexpr const char* kUsage =
    "usage: rtfeed [--host H] [--traffic-port N] [--qnh-port N] [--tcp-port N | --no-tcp]\n"
    "              [--edition prof|stnd] [--version V] [--auto N] [--qnh HPA] [--scenario FILE [--loop]]\n"
    "              [--start-on-position] [--clock-start YYYY-MM-DDTHH:MM:SSZ] [--record FILE]\n"
    "Stands in for RealTraffic: traffic and QNH datagrams to the program, and the TCP conversation with it.\n"
    "Defaults: --host 127.0.0.1, --traffic-port 49005, --qnh-port 49004, --tcp-port 10747, --edition prof\n"
    "(version 9.0.1; stnd 8.0), no traffic unless --auto or --scenario, the machine's clock, no record.\n";

[[noreturn]] void usage(const std::string& problem) {
    std::cerr << "rtfeed: " << problem << "\n" << kUsage;
    std::exit(kUsageExit);
}

template <typename Number> std::optional<Number> readWhole(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::uint16_t readPort(std::string_view flag, const std::string& text) {
    const auto port = readWhole<unsigned>(text);
    if (!port || *port < 1 || *port > 65535) {
        usage(fmt::format("{} takes a port from 1 to 65535, not '{}'", flag, text));
    }
    return static_cast<std::uint16_t>(*port);
}

Arguments parseArguments(int argc, char** argv) {
    Arguments args;
    bool tcpPortGiven = false;
    for (int k = 1; k < argc; ++k) {
        const std::string_view flag = argv[k];
        auto value = [&]() -> std::string {
            if (k + 1 >= argc) {
                usage(fmt::format("{} needs a value", flag));
            }
            return argv[++k];
        };
        if (flag == "--help") {
            std::cout << kUsage;
            std::exit(0);
        }
        if (flag == "--host") {
            args.options.host = value();
        } else if (flag == "--traffic-port") {
            args.options.trafficPort = readPort(flag, value());
        } else if (flag == "--qnh-port") {
            args.options.qnhPort = readPort(flag, value());
        } else if (flag == "--tcp-port") {
            args.options.tcpPort = readPort(flag, value());
            tcpPortGiven = true;
        } else if (flag == "--no-tcp") {
            args.tcp = false;
        } else if (flag == "--edition") {
            const std::string edition = value();
            if (edition != "prof" && edition != "stnd") {
                usage(fmt::format("--edition takes 'prof' or 'stnd', not '{}'", edition));
            }
            args.options.reply = edition == "prof" ? ReplyMode::Professional : ReplyMode::Standard;
        } else if (flag == "--version") {
            args.options.version = value();
        } else if (flag == "--auto") {
            const std::string text = value();
            const auto count = readWhole<int>(text);
            if (!count || *count < 1 || *count > 999) {
                usage(fmt::format("--auto takes a number of aircraft from 1 to 999, not '{}'", text));
            }
            args.autoCount = *count;
        } else if (flag == "--qnh") {
            const std::string text = value();
            const auto hpa = readWhole<double>(text);
            if (!hpa || !std::isfinite(*hpa)) {
                usage(fmt::format("--qnh takes a number, not '{}'", text));
            }
            args.qnh = text;
        } else if (flag == "--scenario") {
            args.scenarioFile = value();
        } else if (flag == "--loop") {
            args.loop = true;
        } else if (flag == "--start-on-position") {
            args.startOnPosition = true;
        } else if (flag == "--clock-start") {
            const std::string text = value();
            args.options.clockStart = zeph::rtfeed::parseUtcIso(text);
            if (!args.options.clockStart) {
                usage(fmt::format("--clock-start takes a UTC time as YYYY-MM-DDTHH:MM:SSZ, not '{}'", text));
            }
        } else if (flag == "--record") {
            args.recordFile = value();
        } else {
            usage(fmt::format("unknown argument '{}'", flag));
        }
    }
    if (!args.tcp && tcpPortGiven) {
        usage("--tcp-port and --no-tcp exclude each other");
    }
    if (args.loop && !args.scenarioFile) {
        usage("--loop needs --scenario");
    }
    if (args.startOnPosition && (!args.scenarioFile || !args.tcp)) {
        usage("--start-on-position needs --scenario and the connection");
    }
    return args;
}

// Waits for the time or the stop; false when stopped.
bool pause(const std::stop_token& stop, std::chrono::milliseconds time) {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    wake.wait_for(lock, stop, time, [] { return false; });
    return !stop.stop_requested();
}

// Keeps a connection to the program, connecting again after each end.
void serveTcp(const std::stop_token& stop, RtFeed& feed) {
    bool wasConnected = false;
    while (!stop.stop_requested()) {
        const bool connected = feed.connected() || feed.connect(500ms);
        if (connected != wasConnected) {
            std::cerr << (connected ? "rtfeed: connected\n" : "rtfeed: connection ended\n") << std::flush;
            wasConnected = connected;
        }
        pause(stop, 200ms);
    }
}

// The time the program first reported its position; nothing when stopped before.
std::optional<std::chrono::steady_clock::time_point> waitForPosition(const std::stop_token& stop,
                                                                     RtFeed& feed) {
    while (!stop.stop_requested()) {
        if (const auto line = feed.waitForLine("Qs121=", 200ms)) {
            return line->at;
        }
    }
    return std::nullopt;
}

void playScenario(const std::stop_token& stop, RtFeed& feed, const zeph::rtfeed::Scenario& scenario,
                  const Arguments& args) {
    std::optional<std::chrono::steady_clock::time_point> start;
    if (args.startOnPosition && !(start = waitForPosition(stop, feed))) {
        return;
    }
    do {
        if (!feed.playScenario(scenario, stop, start)) {
            return;
        }
        start.reset(); // a loop starts again at once
    } while (args.loop && pause(stop, 10ms));
}

void sendQnh(const std::stop_token& stop, RtFeed& feed, const std::string& hpa) {
    do {
        feed.sendQnh(fmt::format("{{\"QNH\":{}}}", hpa));
    } while (pause(stop, kQnhInterval));
}

void waitForSignal(int signalFd) {
    pollfd entry{signalFd, POLLIN, 0};
    while (::poll(&entry, 1, -1) < 0 && errno == EINTR) {
    }
}

} // namespace

int main(int argc, char** argv) {
    const Arguments args = parseArguments(argc, argv);
    std::optional<zeph::rtfeed::Scenario> scenario;
    if (args.scenarioFile) {
        try {
            scenario = zeph::rtfeed::loadScenario(*args.scenarioFile);
        } catch (const zeph::rtfeed::ScenarioError& e) {
            std::cerr << "rtfeed: " << e.what() << "\n";
            return kUsageExit;
        }
    }
    std::unique_ptr<zeph::rtfeed::LineRecord> record;
    if (args.recordFile) {
        try {
            record = std::make_unique<zeph::rtfeed::LineRecord>(*args.recordFile);
        } catch (const std::exception& e) {
            std::cerr << "rtfeed: " << e.what() << "\n";
            return kUsageExit;
        }
    }

    // Signals are taken through a descriptor, before any thread starts, so every thread blocks them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const zeph::rtfeed::Fd signalFd(::signalfd(-1, &signals, SFD_CLOEXEC));

    RtFeed feed(args.options);
    if (record) {
        feed.setLineObserver([&record](const zeph::rtfeed::ReceivedLine& line) {
            record->add("in", line.connection, line.text);
        });
        feed.setEndObserver([&record](int connection) { record->addEnd(connection); });
        feed.setSendObserver(
            [&record](std::string_view text, int connection) { record->add("out", connection, text); });
    } else {
        const auto start = std::chrono::steady_clock::now();
        feed.setLineObserver([start](const zeph::rtfeed::ReceivedLine& line) {
            const double seconds = std::chrono::duration<double>(line.at - start).count();
            std::cout << fmt::format("{:.3f} #{} {}", seconds, line.connection, line.text) << std::endl;
        });
    }

    std::jthread tcp, player, qnh;
    if (args.tcp) {
        tcp = std::jthread([&feed](std::stop_token stop) { serveTcp(stop, feed); });
    }
    if (scenario) {
        player = std::jthread([&](std::stop_token stop) { playScenario(stop, feed, *scenario, args); });
    }
    if (args.qnh) {
        qnh = std::jthread([&](std::stop_token stop) { sendQnh(stop, feed, *args.qnh); });
    }
    if (args.autoCount > 0) {
        feed.startAutoTraffic(args.autoCount, kAutoInterval);
    }

    waitForSignal(signalFd.get());
    for (std::jthread* thread : {&tcp, &player, &qnh}) {
        thread->request_stop();
        if (thread->joinable()) {
            thread->join();
        }
    }
    feed.stopAutoTraffic();
    feed.disconnect();
    return 0;
}
