// The simstandin program as a child process: its port line, the control channel and a clean end.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "support/child_process.h"
#include "support/temp_dir.h"
#include "tools/simstandin/raw_client.h"
#include "tools/simstandin/request_bytes.h"

extern char** environ;

namespace zeph::test {
namespace {

using nlohmann::json;

// Reads one line from a descriptor within the time limit; nothing on timeout or end of stream.
std::optional<std::string> readLine(int fd, std::string& buffer, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const std::size_t end = buffer.find('\n');
        if (end != std::string::npos) {
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return std::nullopt;
        }
        char chunk[4096];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0) {
            return std::nullopt;
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
    }
}

// The stand-in program, started with a pipe on its standard output; killed at the end if still running.
class StandinProcess {
public:
    explicit StandinProcess(const std::vector<std::string>& args) {
        int pipeFds[2];
        EXPECT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
        std::vector<std::string> all = {SIMSTANDIN_EXE};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        EXPECT_EQ(::posix_spawn(&pid_, SIMSTANDIN_EXE, &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
        pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
    }
    ~StandinProcess() {
        if (pid_ > 0 && !exitCode_) {
            ::kill(pid_, SIGKILL);
            waitExit(kLivenessBound);
        }
        ::close(out_);
        ::close(pidFd_);
    }
    StandinProcess(const StandinProcess&) = delete;
    StandinProcess& operator=(const StandinProcess&) = delete;

    std::optional<json> portLine() {
        const std::optional<std::string> line = readLine(out_, buffer_, kLivenessBound);
        if (!line) {
            return std::nullopt;
        }
        return json::parse(*line, nullptr, false);
    }
    void signal(int number) { ::kill(pid_, number); }
    // The exit code when the program ends within the limit.
    std::optional<int> waitExit(std::chrono::milliseconds limit) {
        pollfd p{pidFd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(limit.count())) <= 0) {
            return std::nullopt;
        }
        int status = 0;
        ::waitpid(pid_, &status, 0);
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return exitCode_;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int pidFd_ = -1;
    std::string buffer_;
    std::optional<int> exitCode_;
};

// One line out, one line back over the control socket.
class ControlClient {
public:
    explicit ControlClient(const std::string& path) {
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~ControlClient() { ::close(fd_); }
    bool connected() const { return connected_; }
    json ask(const std::string& line) {
        const std::string bytes = line + "\n";
        if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size())) {
            return json();
        }
        const std::optional<std::string> reply = readLine(fd_, buffer_, kLivenessBound);
        return reply ? json::parse(*reply, nullptr, false) : json();
    }

private:
    int fd_ = -1;
    bool connected_ = false;
    std::string buffer_;
};

TEST(StandinProgram, ReportsItsPortsAndServesTheControlChannel) {
    TempDir dir;
    const std::string unixPath = (dir / "sc.sock").string();
    const std::string controlPath = (dir / "ctl.sock").string();
    StandinProcess process({"--tcp4", "127.0.0.1:0", "--unix", unixPath, "--control", controlPath});
    const std::optional<json> ports = process.portLine();
    ASSERT_TRUE(ports.has_value());
    ASSERT_TRUE(ports->at("tcp4").is_number_unsigned());
    EXPECT_TRUE(ports->at("tcp6").is_null());
    EXPECT_EQ(ports->at("unix"), unixPath);
    EXPECT_EQ(ports->at("control"), controlPath);

    std::vector<RawClient> clients;
    clients.push_back(RawClient::tcp4(ports->at("tcp4").get<std::uint16_t>()));
    clients.push_back(RawClient::unixSocket(unixPath));
    for (RawClient& client : clients) {
        ASSERT_TRUE(client.connected());
        client.send(sc::open(1));
        const std::optional<std::string> reply = client.readMessage();
        ASSERT_TRUE(reply.has_value());
        EXPECT_EQ(reply->size(), 308U);
    }

    ControlClient control(controlPath);
    ASSERT_TRUE(control.connected());
    struct Case {
        const char* name;
        std::string line;
        bool ok;
        std::string errorPart;
    };
    const std::vector<Case> cases = {
        {"objects", R"({"cmd":"objects"})", true, ""},
        {"malformed JSON", R"({"cmd":"objects")", false, "malformed JSON"},
        {"unknown command", R"({"cmd":"fly"})", false, "unknown command"},
        {"not an object", R"([1,2])", false, "JSON object"},
        {"wrong field type", R"({"cmd":"stepFrames","count":"three"})", false, "stepFrames.count"},
        {"missing field", R"({"cmd":"setGround"})", false, "setGround.feet: is missing"},
        {"still open after the errors", R"({"cmd":"connections"})", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const json reply = control.ask(c.line);
        ASSERT_TRUE(reply.is_object());
        EXPECT_EQ(reply.at("ok"), c.ok);
        if (!c.ok) {
            EXPECT_NE(reply.at("error").get<std::string>().find(c.errorPart), std::string::npos)
                << reply.dump();
        }
    }
    const json objects = control.ask(R"({"cmd":"objects"})");
    ASSERT_EQ(objects.at("objects").size(), 1U);
    EXPECT_EQ(objects.at("objects")[0].at("kind"), "user");
    EXPECT_EQ(objects.at("objects")[0].at("id"), 1);
    const json waited = control.ask(R"({"cmd":"waitPackets","id":1,"count":2,"timeoutMs":2000})");
    EXPECT_EQ(waited.at("reached"), true) << "both Opens arrived";
}

TEST(StandinProgram, EndsCleanlyOnEveryStopSignal) {
    struct Case {
        const char* name;
        std::function<void(StandinProcess&, const std::string&)> stop;
    };
    const std::vector<Case> cases = {
        {"shutdown command",
         [](StandinProcess&, const std::string& control) {
             ControlClient client(control);
             EXPECT_EQ(client.ask(R"({"cmd":"shutdown"})").at("ok"), true);
         }},
        {"SIGTERM", [](StandinProcess& p, const std::string&) { p.signal(SIGTERM); }},
        {"SIGINT", [](StandinProcess& p, const std::string&) { p.signal(SIGINT); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const std::string unixPath = (dir / "sc.sock").string();
        const std::string controlPath = (dir / "ctl.sock").string();
        StandinProcess process({"--tcp4", "127.0.0.1:0", "--unix", unixPath, "--control", controlPath});
        ASSERT_TRUE(process.portLine().has_value());
        RawClient client = RawClient::unixSocket(unixPath);
        ASSERT_TRUE(client.connected());
        c.stop(process, controlPath);
        EXPECT_EQ(process.waitExit(kLivenessBound), std::optional<int>(0));
        EXPECT_FALSE(std::filesystem::exists(unixPath));
        EXPECT_FALSE(std::filesystem::exists(controlPath));
        EXPECT_TRUE(client.readEof()) << "open connections are closed";
    }
}

TEST(StandinProgram, DefaultWorldIsAParkedRunningAircraft) {
    TempDir dir;
    const std::string controlPath = (dir / "ctl.sock").string();
    StandinProcess process(
        {"--tcp4", "127.0.0.1:0", "--world", SIMSTANDIN_DEFAULT_WORLD, "--control", controlPath});
    const std::optional<json> ports = process.portLine();
    ASSERT_TRUE(ports.has_value());
    ControlClient control(controlPath);
    const json user = control.ask(R"({"cmd":"objects"})").at("objects")[0];
    EXPECT_EQ(user.at("title"), "Standin A320");
    EXPECT_EQ(user.at("atcModel"), "A320");
    EXPECT_NEAR(user.at("lat").get<double>(), 50.0333, 1e-9);
    EXPECT_NEAR(user.at("lon").get<double>(), 8.5706, 1e-9);
    EXPECT_EQ(user.at("onGround"), true);
    EXPECT_EQ(user.at("groundSpeed"), 0.0);
    EXPECT_EQ(control.ask(R"({"cmd":"status"})").at("simRunning"), true);

    RawClient client = RawClient::tcp4(ports->at("tcp4").get<std::uint16_t>());
    client.send(sc::open(1));
    ASSERT_TRUE(client.readMessage().has_value());
    client.send(sc::subscribe(2, 201, "Sim"));
    const std::optional<std::string> sim = client.readMessage();
    ASSERT_TRUE(sim.has_value());
    EXPECT_EQ(sc::u32At(*sim, 20), 1U) << "the simulation runs";
}

TEST(StandinProgram, ControlClientsCannotStopTheChannel) {
    TempDir dir;
    const std::string controlPath = (dir / "ctl.sock").string();
    StandinProcess process({"--tcp4", "127.0.0.1:0", "--control", controlPath});
    ASSERT_TRUE(process.portLine().has_value());
    {
        ControlClient leaving(controlPath); // goes away without a word
        ASSERT_TRUE(leaving.connected());
    }
    {
        ControlClient flooding(controlPath);
        const json reply = flooding.ask(std::string(1024 * 1024 + 10, ' ') + "x");
        ASSERT_TRUE(reply.is_object());
        EXPECT_EQ(reply.at("error"), "line longer than 1 MiB");
        EXPECT_TRUE(flooding.ask(R"({"cmd":"status"})").is_null()) << "that channel is closed";
    }
    ControlClient next(controlPath);
    EXPECT_EQ(next.ask(R"({"cmd":"status"})").at("ok"), true) << "other control clients go on";
}

TEST(StandinProgram, RunsInRealTimeByDefault) {
    StandinProcess process({"--tcp4", "127.0.0.1:0"});
    const std::optional<json> ports = process.portLine();
    ASSERT_TRUE(ports.has_value());
    RawClient client = RawClient::tcp4(ports->at("tcp4").get<std::uint16_t>());
    client.send(sc::open(1));
    ASSERT_TRUE(client.readMessage().has_value());
    client.send(sc::subscribe(2, 204, "Frame"));
    client.send(sc::addDatum(3, 409, "SIM ON GROUND", "Bool", 2));
    client.send(sc::requestData(4, 108, 409, 0, 4));
    // Frames at 30 Hz and the wall clock's seconds come without any control.
    int frames = 0;
    int seconds = 0;
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    while ((frames < 3 || seconds < 1) && std::chrono::steady_clock::now() < deadline) {
        const std::optional<std::string> message = client.readMessage();
        ASSERT_TRUE(message.has_value());
        frames += sc::u32At(*message, 8) == 7 ? 1 : 0;
        seconds += sc::u32At(*message, 8) == 8 ? 1 : 0;
    }
    EXPECT_GE(frames, 3);
    EXPECT_GE(seconds, 1);
}

TEST(StandinProgram, BadStartsEndWithOneLineOnStandardError) {
    TempDir dir;
    writeFileBytes(dir / "bad.json", "{\"setUser\": ");
    writeFileBytes(dir / "field.json", R"({"setUser": {"lat": "north"}})");
    writeFileBytes(dir / "key.json", R"({"setWeather": {}})");
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::vector<std::string> parts;
    };
    const std::string longPath = (dir / std::string(120, 'p')).string();
    const std::vector<Case> cases = {
        {"missing world file", {"--world", (dir / "none.json").string()}, 2, {"none.json", "cannot read"}},
        {"world file that is not JSON", {"--world", (dir / "bad.json").string()}, 2, {"bad.json", "JSON"}},
        {"world field of the wrong type",
         {"--world", (dir / "field.json").string()},
         2,
         {"field.json", "setUser.lat"}},
        {"unknown world key", {"--world", (dir / "key.json").string()}, 2, {"key.json", "setWeather"}},
        {"unknown argument", {"--fast"}, 2, {"--fast"}},
        {"bad frame rate", {"--frames", "fast"}, 2, {"--frames"}},
        {"socket path too long", {"--unix", longPath}, 1, {"sun_path"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ChildResult result = runChild(SIMSTANDIN_EXE, c.args, dir.path());
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_TRUE(result.out.empty()) << result.out;
        for (const std::string& part : c.parts) {
            EXPECT_NE(result.err.find(part), std::string::npos) << result.err;
        }
        EXPECT_EQ(result.err.find("simstandin: "), 0U) << result.err;
        if (std::string(c.name).find("world") != std::string::npos) {
            EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1)
                << "one line: " << result.err;
        }
    }
}

} // namespace
} // namespace zeph::test
