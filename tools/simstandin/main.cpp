// simstandin: the simulator stand-in as a program. It prints one JSON line with what it opened, serves
// until SIGINT, SIGTERM or {"cmd":"shutdown"}, then closes everything, removes its socket files and exits 0.
#include <array>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "simstandin/control.h"
#include "simstandin/standin.h"
#include "simstandin/world_file.h"

namespace {

using zeph::standin::ControlServer;
using zeph::standin::SimStandin;
using zeph::standin::StandinOptions;

constexpr int kUsageExit = 2;

struct Arguments {
    StandinOptions options;
    std::optional<std::string> control;
    std::optional<std::string> world;
};

constexpr const char* kUsage =
    "usage: simstandin [--tcp4 ADDR:PORT] [--tcp6 [ADDR]:PORT] [--unix PATH] [--control PATH]\n"
    "                  [--world FILE] [--legacy] [--frames HZ|manual] [--clock wall|manual]\n"
    "                  [--record FILE [--record-every N]]\n"
    "A SimConnect server standing in for the simulator; it prints {\"tcp4\":PORT,...} once it listens.\n"
    "Defaults: --tcp4 127.0.0.1:0 (a free port) when no other listener is given, --frames 30,\n"
    "--clock wall, no world file, no record, --record-every 3.\n";

[[noreturn]] void usage(const std::string& problem) {
    std::cerr << "simstandin: " << problem << "\n" << kUsage;
    std::exit(kUsageExit);
}

void parseFrames(const std::string& value, StandinOptions& options) {
    if (value == "manual") {
        options.manualFrames = true;
        return;
    }
    std::size_t used = 0;
    double hz = 0.0;
    try {
        hz = std::stod(value, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used != value.size() || !(hz > 0.0) || hz > 1000.0) {
        usage(
            fmt::format("--frames takes a rate in Hz (above 0, at most 1000) or 'manual', not '{}'", value));
    }
    options.manualFrames = false;
    options.frameRate = hz;
}

// 0 for anything but a whole number from 1 to 100000.
std::uint32_t parseRecordEvery(const std::string& text) {
    std::uint32_t every = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), every);
    return error == std::errc() && end == text.data() + text.size() && every <= 100000 ? every : 0;
}

Arguments parseArguments(int argc, char** argv) {
    Arguments args;
    args.options.manualFrames = false; // the program runs in real time unless told otherwise
    args.options.manualClock = false;
    bool everyGiven = false;
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
        if (flag == "--tcp4") {
            args.options.tcp4 = value();
        } else if (flag == "--tcp6") {
            args.options.tcp6 = value();
        } else if (flag == "--unix") {
            args.options.unixPath = value();
        } else if (flag == "--control") {
            args.control = value();
        } else if (flag == "--world") {
            args.world = value();
        } else if (flag == "--record") {
            args.options.recordFile = value();
        } else if (flag == "--record-every") {
            const std::string text = value();
            const std::uint32_t every = parseRecordEvery(text);
            if (every == 0) {
                usage(
                    fmt::format("--record-every takes a number of frames from 1 to 100000, not '{}'", text));
            }
            args.options.recordEvery = every;
            everyGiven = true;
        } else if (flag == "--legacy") {
            args.options.legacy = true;
        } else if (flag == "--frames") {
            parseFrames(value(), args.options);
        } else if (flag == "--clock") {
            const std::string clock = value();
            if (clock != "wall" && clock != "manual") {
                usage(fmt::format("--clock takes 'wall' or 'manual', not '{}'", clock));
            }
            args.options.manualClock = clock == "manual";
        } else {
            usage(fmt::format("unknown argument '{}'", flag));
        }
    }
    if (everyGiven && !args.options.recordFile) {
        usage("--record-every needs --record");
    }
    if (!args.options.tcp4 && !args.options.tcp6 && !args.options.unixPath) {
        args.options.tcp4 = "127.0.0.1:0";
    }
    return args;
}

nlohmann::ordered_json portLine(const SimStandin& standin, const std::optional<std::string>& control) {
    nlohmann::ordered_json line = {
        {"tcp4", nullptr}, {"tcp6", nullptr}, {"unix", nullptr}, {"control", nullptr}};
    if (standin.tcp4Port())
        line["tcp4"] = *standin.tcp4Port();
    if (standin.tcp6Port())
        line["tcp6"] = *standin.tcp6Port();
    if (standin.unixPath())
        line["unix"] = zeph::standin::bytesToJsonText(*standin.unixPath());
    if (control)
        line["control"] = zeph::standin::bytesToJsonText(*control);
    return line;
}

// Waits for SIGINT, SIGTERM or the shutdown command.
void waitForEnd(int signalFd, int shutdownFd) {
    std::array<pollfd, 2> fds{{{signalFd, POLLIN, 0}, {shutdownFd, POLLIN, 0}}};
    while (::poll(fds.data(), fds.size(), -1) < 0 && errno == EINTR) {
    }
}

} // namespace

int main(int argc, char** argv) {
    const Arguments args = parseArguments(argc, argv);

    // The signals are taken through a descriptor, before any thread starts, so every thread blocks them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    ::pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    const zeph::standin::Fd signalFd(::signalfd(-1, &signals, SFD_CLOEXEC));
    const zeph::standin::Fd shutdownFd(::eventfd(0, EFD_CLOEXEC));

    SimStandin standin(args.options);
    if (args.world) {
        try {
            zeph::standin::loadWorldFile(standin, *args.world);
        } catch (const std::exception& e) {
            std::cerr << "simstandin: " << e.what() << "\n";
            return kUsageExit;
        }
    }
    std::unique_ptr<ControlServer> control;
    try {
        standin.start();
        if (args.control) {
            control = std::make_unique<ControlServer>(standin, *args.control, [fd = shutdownFd.get()] {
                const std::uint64_t one = 1;
                [[maybe_unused]] const ssize_t n = ::write(fd, &one, sizeof one);
            });
            control->start();
        }
    } catch (const std::exception& e) {
        std::cerr << "simstandin: " << e.what() << "\n";
        return 1;
    }
    std::cout << portLine(standin, args.control).dump() << std::endl;

    waitForEnd(signalFd.get(), shutdownFd.get());
    if (control) {
        control->stop();
    }
    standin.stop();
    return 0;
}
