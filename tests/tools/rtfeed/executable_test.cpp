// The rtfeed program as a child process, against the test's sockets.
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <thread>

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/slow_factor.h"
#include "support/temp_dir.h"
#include "tools/rtfeed/test_sockets.h"

extern char** environ;

namespace zeph::test {
namespace {

using namespace std::chrono_literals;

// The rtfeed program with its standard error in a pipe; killed at the end if it still runs.
class FeedProcess {
public:
    explicit FeedProcess(const std::vector<std::string>& args) {
        int errPipe[2];
        EXPECT_EQ(::pipe2(errPipe, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> all = {RTFEED_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, RTFEED_EXE, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(errPipe[1]);
        err_ = SocketFd(errPipe[0]);
        pidFd_ = SocketFd(static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0)));
    }
    ~FeedProcess() {
        if (!exitCode_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    void signal(int number) { ::kill(pid_, number); }

    // The exit code (128 + signal when killed), or nothing when it still runs after limit.
    std::optional<int> waitExit(std::chrono::milliseconds limit) {
        pollfd entry{pidFd_.get(), POLLIN, 0};
        if (!exitCode_ && ::poll(&entry, 1, static_cast<int>(limit.count())) > 0) {
            int status = 0;
            ::waitpid(pid_, &status, 0);
            exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        return exitCode_;
    }

    // What it wrote to standard error, once it has ended.
    std::string errorText() {
        std::string text;
        char chunk[4096];
        pollfd entry{err_.get(), POLLIN, 0};
        while (::poll(&entry, 1, 1000) > 0) {
            const ssize_t n = ::read(err_.get(), chunk, sizeof(chunk));
            if (n <= 0) {
                break;
            }
            text.append(chunk, static_cast<std::size_t>(n));
        }
        return text;
    }

private:
    pid_t pid_ = -1;
    SocketFd err_;
    SocketFd pidFd_;
    std::optional<int> exitCode_;
};

std::filesystem::path writeScenario(const TempDir& dir, const std::string& text) {
    const std::filesystem::path file = dir / "scenario.txt";
    std::ofstream(file) << text;
    return file;
}

std::vector<std::string> udpArgs(const UdpCollector& traffic, const UdpCollector& qnh) {
    return {"--traffic-port", std::to_string(traffic.port()), "--qnh-port", std::to_string(qnh.port())};
}

double utcNow() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TEST(RtFeedProgram, AScenarioArrivesCompleteAndInOrder) {
    TempDir dir;
    UdpCollector traffic;
    UdpCollector qnh;
    const auto file = writeScenario(dir, "# three traffic lines and a QNH\n"
                                         "0 T T,5000001,{now}\n"
                                         "0.1 Q {\"QNH\":1008}\n"
                                         "0.1 T T,5000002,{now},{now}\n"
                                         "0.2 T T,5000003,x\n");
    std::vector<std::string> args = udpArgs(traffic, qnh);
    args.insert(args.end(), {"--no-tcp", "--scenario", file.string()});
    const double before = utcNow();
    FeedProcess feed(args);

    const std::vector<std::string> prefixes = {"T,5000001,", "T,5000002,", "T,5000003,x"};
    for (const std::string& prefix : prefixes) {
        const auto datagram = traffic.next(kLivenessBound);
        ASSERT_TRUE(datagram.has_value()) << prefix;
        EXPECT_TRUE(datagram->starts_with(prefix)) << *datagram;
        const std::vector<std::string> fields = splitFields(*datagram);
        for (std::size_t k = 2; k < fields.size() && prefix != "T,5000003,x"; ++k) {
            EXPECT_NEAR(std::stod(fields[k]), before, 60) << *datagram;
            EXPECT_EQ(fields[k].find('.'), fields[k].size() - 3) << "two decimals: " << *datagram;
        }
    }
    EXPECT_EQ(qnh.next(kLivenessBound), "{\"QNH\":1008}");
    EXPECT_EQ(traffic.next(300ms), std::nullopt) << "played once";
    feed.signal(SIGTERM);
    EXPECT_EQ(feed.waitExit(kLivenessBound), 0);
}

TEST(RtFeedProgram, AMalformedScenarioEndsWith2BeforeSendingAnything) {
    TempDir dir;
    UdpCollector traffic;
    UdpCollector qnh;
    const auto file = writeScenario(dir, "0 T T,1\n0 Q {}\n0.5 Z T,2\n");
    std::vector<std::string> args = udpArgs(traffic, qnh);
    args.insert(args.end(), {"--scenario", file.string()});
    FeedProcess feed(args);
    EXPECT_EQ(feed.waitExit(kLivenessBound), 2);
    EXPECT_NE(feed.errorText().find("scenario line 3: "), std::string::npos);
    EXPECT_EQ(traffic.next(100ms), std::nullopt);
    EXPECT_EQ(qnh.next(100ms), std::nullopt);
}

TEST(RtFeedProgram, BadArgumentsEndWith2) {
    const std::vector<std::vector<std::string>> cases = {
        {"--tcp-port", "0"},
        {"--traffic-port", "65536"},
        {"--qnh-port"},
        {"--edition", "pro"},
        {"--auto", "x"},
        {"--qnh", "nan"},
        {"--loop"},
        {"--no-tcp", "--tcp-port", "5000"},
        {"--scenario", "/nonexistent/scenario.txt"},
        {"--clock-start", "2024-02-30T10:00:00Z"},
        {"--start-on-position"},
        {"--bogus"},
    };
    for (const auto& args : cases) {
        FeedProcess feed(args);
        EXPECT_EQ(feed.waitExit(kLivenessBound), 2) << fmt::format("{}", fmt::join(args, " "));
        EXPECT_FALSE(feed.errorText().empty()) << fmt::format("{}", fmt::join(args, " "));
    }
}

TEST(RtFeedProgram, SignalsEndItWith0) {
    for (int number : {SIGTERM, SIGINT}) {
        UdpCollector traffic;
        UdpCollector qnh;
        std::vector<std::string> args = udpArgs(traffic, qnh);
        args.insert(args.end(), {"--no-tcp", "--qnh", "1008"});
        FeedProcess feed(args);
        ASSERT_EQ(qnh.next(kLivenessBound), "{\"QNH\":1008}") << "running";
        feed.signal(number);
        EXPECT_EQ(feed.waitExit(kLivenessBound), 0) << "signal " << number;
    }
}

TEST(RtFeedProgram, ServesTheConnectionRecordsItAndReconnects) {
    TempDir dir;
    UdpCollector traffic;
    UdpCollector qnh;
    TestTcpServer server;
    std::vector<std::string> args = udpArgs(traffic, qnh);
    const auto record = dir / "record.txt";
    args.insert(args.end(), {"--tcp-port", std::to_string(server.port()), "--edition", "stnd", "--version",
                             "8.1", "--auto", "2", "--record", record.string()});
    FeedProcess feed(args);

    SocketFd peer = server.accept(kLivenessBound);
    ASSERT_TRUE(peer.valid());
    writeBytes(peer, "Qs999=version\r\n");
    EXPECT_EQ(readSome(peer, kLivenessBound), R"({"version":"8.1"})");
    writeBytes(peer, "Qs121=0;0;0;0;0;0.907571;0.078540\r\n");
    const auto datagram = traffic.next(kLivenessBound);
    ASSERT_TRUE(datagram.has_value()) << "auto traffic after the position";
    EXPECT_EQ(splitFields(*datagram)[9].substr(0, 4), "FEED");
    writeBytes(peer, "exit\r\n");
    peer.reset();

    SocketFd again = server.accept(kLivenessBound);
    ASSERT_TRUE(again.valid()) << "connected again after the end of the stream";
    writeBytes(again, "Qs999=version\r\n");
    EXPECT_EQ(readSome(again, kLivenessBound), R"({"version":"8.1"})");
    writeBytes(again, "Qs123=2000\r\n");

    // Both directions, the version replies with their connection and the datagrams with 0.
    const std::vector<std::string> expected = {R"(in 1 Qs999=version)",
                                               R"(out 1 {"version":"8.1"})",
                                               R"(in 1 Qs121=0;0;0;0;0;0.907571;0.078540)",
                                               R"(in 1 exit)",
                                               R"(in 1 )",
                                               R"(in 2 Qs999=version)",
                                               R"(out 2 {"version":"8.1"})",
                                               R"(in 2 Qs123=2000)"};
    std::vector<std::string> lines;
    std::int64_t lastWallMs = 0;
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    while (lines.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(20ms);
        lines.clear();
        for (const std::string& text : readFileLines(record)) {
            const nlohmann::json line = nlohmann::json::parse(text);
            if (line.at("conn") == 0) {
                EXPECT_EQ(line.at("dir"), "out");
                continue; // the auto traffic
            }
            EXPECT_EQ(line.value("eof", false), line.at("line") == "") << text;
            EXPECT_GE(line.at("wall_ms").get<std::int64_t>(), lastWallMs);
            lastWallMs = line.at("wall_ms").get<std::int64_t>();
            lines.push_back(fmt::format("{} {} {}", line.at("dir").get<std::string>(),
                                        line.at("conn").get<int>(), line.at("line").get<std::string>()));
        }
    }
    EXPECT_EQ(lines, expected);
    feed.signal(SIGTERM);
    EXPECT_EQ(feed.waitExit(kLivenessBound), 0);
    EXPECT_EQ(readSome(again, kLivenessBound), "") << "the connection is closed at the end";
}

TEST(RtFeedProgram, AScenarioCanWaitForThePositionAndRunOnItsOwnClock) {
    TempDir dir;
    UdpCollector traffic;
    UdpCollector qnh;
    TestTcpServer server;
    const auto file = writeScenario(dir, "0 T T,5000001,{now}\n0.2 T T,5000002,{now}\n");
    std::vector<std::string> args = udpArgs(traffic, qnh);
    args.insert(args.end(), {"--tcp-port", std::to_string(server.port()), "--scenario", file.string(),
                             "--start-on-position", "--clock-start", "2024-01-03T10:00:00Z"});
    FeedProcess feed(args);
    SocketFd peer = server.accept(kLivenessBound);
    ASSERT_TRUE(peer.valid());
    writeBytes(peer, "Qs123=1704276000000\r\n");
    EXPECT_EQ(traffic.next(500ms), std::nullopt) << "nothing before the first position";
    writeBytes(peer, "Qs121=0;0;0;0;0;0.907571;0.078540\r\n");
    for (const char* hexid : {"5000001", "5000002"}) {
        const auto datagram = traffic.next(kLivenessBound);
        ASSERT_TRUE(datagram.has_value()) << hexid;
        const std::vector<std::string> fields = splitFields(*datagram);
        EXPECT_EQ(fields[1], hexid);
        // 2024-01-03 10:00:00 UTC plus the seconds since the feed started, half a second of them waiting.
        EXPECT_GE(std::stod(fields[2]), 1704276000.5) << *datagram;
        EXPECT_LT(std::stod(fields[2]), 1704276000.0 + 3.0 * kSlowFactor) << *datagram;
    }
    feed.signal(SIGTERM);
    EXPECT_EQ(feed.waitExit(kLivenessBound), 0);
}

TEST(RtFeedProgram, AWriteErrorStopsTheRecordWithOneLineAndTheFeedGoesOn) {
    UdpCollector traffic;
    UdpCollector qnh;
    std::vector<std::string> args = udpArgs(traffic, qnh);
    args.insert(args.end(), {"--no-tcp", "--qnh", "1008", "--record", "/dev/full"});
    FeedProcess feed(args);
    EXPECT_TRUE(qnh.next(kLivenessBound).has_value());
    EXPECT_TRUE(qnh.next(kLivenessBound + 2s).has_value()) << "still sending after the failed write";
    feed.signal(SIGTERM);
    EXPECT_EQ(feed.waitExit(kLivenessBound), 0);
    EXPECT_EQ(feed.errorText(),
              "rtfeed: recording stopped: cannot write /dev/full: No space left on device\n");
}

} // namespace
} // namespace zeph::test
