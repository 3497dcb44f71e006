#include "platform/local_pipe.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include <gtest/gtest.h>

#include "platform/tcp_connect.h"
#include "support/raw_peer.h"
#include "support/scoped_env.h"
#include "support/silent_name_server.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"
#include "support/thread_count.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;
using test::Bytes;
using test::RawPeer;
using test::ScopedEnv;
using test::TempDir;

const std::string kDefaultPipe = "\\\\.\\pipe\\Lockheed Martin Prepar3D v5\\SimConnect";

bool isBlocking(const SocketFd& fd) { return (::fcntl(fd.get(), F_GETFL) & O_NONBLOCK) == 0; }

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) >= 0; }

void sendText(const SocketFd& fd, std::string_view text) {
    ASSERT_EQ(::send(fd.get(), text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

// Reads until the peer closes or fails; the bytes read and the errno of a failure (0 after a clean EOF).
std::pair<std::string, int> readToEnd(const SocketFd& fd) {
    std::string bytes;
    char chunk[4096];
    for (;;) {
        ssize_t n = ::recv(fd.get(), chunk, sizeof(chunk), 0);
        if (n > 0) {
            bytes.append(chunk, static_cast<std::size_t>(n));
        } else if (n == 0) {
            return {bytes, 0};
        } else if (errno != EINTR) {
            return {bytes, errno};
        }
    }
}

TEST(LocalPipe, SocketPathMapsLocalPipesIntoThePipeFolder) {
    TempDir dir;
    ScopedEnv pipeDir("CORVANE_PIPE_DIR", dir.path().string());
    const std::string longName(108, 'n');
    struct Case {
        std::string name;
        std::optional<std::filesystem::path> expected;
    } cases[] = {
        {kDefaultPipe, dir / "Lockheed Martin Prepar3D v5" / "SimConnect"},
        {"\\\\.\\PIPE\\Test", dir / "Test"},
        {"\\\\.\\pipe\\a/b", dir / "a" / "b"},
        {"\\\\otherhost\\pipe\\SimConnect", std::nullopt},
        {"\\\\\\pipe\\SimConnect", std::nullopt}, // empty server: callers map it to "."
        {"\\\\.\\pipe\\..\\escape", std::nullopt},
        {"\\\\.\\pipe\\a\\..\\b", std::nullopt},
        {"\\\\.\\pipe\\a/../b", std::nullopt},
        {"\\\\.\\pipe\\.\\a", std::nullopt},
        {"\\\\.\\pipe\\\\absolute", std::nullopt}, // empty component
        {"\\\\.\\pipe\\a\\", std::nullopt},
        {"\\\\.\\pipe\\", std::nullopt},
        {"\\\\.\\pipes\\a", std::nullopt},
        {"\\\\.\\a", std::nullopt},
        {"\\.\\pipe\\a", std::nullopt},
        {std::string("\\\\.\\pipe\\a\0b", 12), std::nullopt},
        {"\\\\.\\pipe\\\xFF", std::nullopt},        // not UTF-8
        {"\\\\.\\pipe\\" + longName, std::nullopt}, // over the 107 bytes of sun_path
        {"\\\\.\\pipe\\" + std::string(260, 'n'), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LocalPipe::socketPath(c.name), c.expected) << c.name;
    }
}

TEST(LocalPipe, PathOfExactlySunPathLengthIsAccepted) {
    TempDir dir;
    ScopedEnv pipeDir("CORVANE_PIPE_DIR", dir.path().string());
    std::size_t room = 107 - dir.path().string().size() - 1;
    ASSERT_GT(room, 0u);
    EXPECT_TRUE(LocalPipe::socketPath("\\\\.\\pipe\\" + std::string(room, 'n')).has_value());
    EXPECT_FALSE(LocalPipe::socketPath("\\\\.\\pipe\\" + std::string(room + 1, 'n')).has_value());
}

TEST(LocalPipe, PipeDirFollowsItsVariables) {
    TempDir dir;
    const std::string uidFolder = "corvane-pipes-" + std::to_string(::getuid());
    struct Case {
        const char* name;
        std::optional<std::string> pipeDir;
        std::optional<std::string> runtimeDir;
        std::filesystem::path expected;
    } cases[] = {
        {"own variable", "/srv/pipes", "/run/user/7", "/srv/pipes"},
        {"runtime folder", std::nullopt, "/run/user/7", "/run/user/7/corvane-pipes"},
        {"relative own variable", "relative", "/run/user/7", "/run/user/7/corvane-pipes"},
        {"empty own variable", "", "/run/user/7", "/run/user/7/corvane-pipes"},
        {"temp folder", std::nullopt, std::nullopt, dir / uidFolder},
        {"relative runtime folder", std::nullopt, "run", dir / uidFolder},
    };
    ScopedEnv temp("TMPDIR", dir.path().string());
    for (const auto& c : cases) {
        ScopedEnv own("CORVANE_PIPE_DIR", c.pipeDir);
        ScopedEnv runtime("XDG_RUNTIME_DIR", c.runtimeDir);
        EXPECT_EQ(LocalPipe::pipeDir(), c.expected) << c.name;
    }
}

TEST(LocalPipe, ConnectReachesTheListenerAtTheMappedPath) {
    TempDir dir;
    ScopedEnv pipeDir("CORVANE_PIPE_DIR", dir.path().string());
    auto peer = RawPeer::listenUnix(*LocalPipe::socketPath(kDefaultPipe));
    ASSERT_TRUE(peer);
    SocketResult client = LocalPipe::connect(kDefaultPipe, 200ms);
    ASSERT_TRUE(client.ok()) << std::strerror(client.error);
    EXPECT_EQ(client.error, 0);
    EXPECT_TRUE(isBlocking(client.fd));
    EXPECT_TRUE(::fcntl(client.fd.get(), F_GETFD) & FD_CLOEXEC);
    sendText(client.fd, std::string("\x08\0\0\0ping", 8));
    ASSERT_TRUE(peer->waitForMessages(1));
    EXPECT_EQ(peer->received()[0], (Bytes{8, 0, 0, 0, 'p', 'i', 'n', 'g'}));
}

TEST(LocalPipe, ConnectFailsAtOnceWhenNothingServesThePipe) {
    TempDir dir;
    ScopedEnv pipeDir("CORVANE_PIPE_DIR", dir.path().string());
    // A socket file whose server has gone: bound, never listened on, closed.
    {
        SocketFd stale(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::string path = (dir / "stale").string();
        std::memcpy(address.sun_path, path.c_str(), path.size());
        ASSERT_EQ(::bind(stale.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
    }
    struct Case {
        const char* name;
        std::string pipe;
        int error;
    } cases[] = {
        {"no socket file", kDefaultPipe, ENOENT},
        {"server gone", "\\\\.\\pipe\\stale", ECONNREFUSED},
        {"other server", "\\\\host\\pipe\\SimConnect", EINVAL},
        {"escaping name", "\\\\.\\pipe\\..\\stale", EINVAL},
    };
    for (const auto& c : cases) {
        SocketResult result = LocalPipe::connect(c.pipe, 10s);
        EXPECT_FALSE(result.ok()) << c.name;
        EXPECT_EQ(result.error, c.error) << c.name << ": " << std::strerror(result.error);
    }
}

TEST(TcpConnect, ConnectsToLoopbackOfEitherFamily) {
    struct Case {
        const char* name;
        TcpFamily family;
        const char* host;
    } cases[] = {{"IPv4", TcpFamily::IPv4, "127.0.0.1"}, {"IPv6", TcpFamily::IPv6, "::1"}};
    for (const auto& c : cases) {
        auto peer = c.family == TcpFamily::IPv4 ? RawPeer::listenTcp4() : RawPeer::listenTcp6();
        if (!peer) {
            std::cout << "skipped " << c.name << ": no loopback listener of that family\n";
            continue;
        }
        SocketResult client = connectTcp(c.family, c.host, peer->portText(), 21s);
        ASSERT_TRUE(client.ok()) << c.name << ": " << std::strerror(client.error);
        EXPECT_TRUE(isBlocking(client.fd)) << c.name;
        EXPECT_EQ(setTcpNoDelay(client.fd), 0) << c.name;
        int noDelay = 0;
        socklen_t length = sizeof(noDelay);
        ::getsockopt(client.fd.get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, &length);
        EXPECT_EQ(noDelay, 1) << c.name;
        sendText(client.fd, std::string("\x05\0\0\0!", 5));
        ASSERT_TRUE(peer->waitForMessages(1)) << c.name;
        EXPECT_EQ(peer->received()[0].size(), 5u) << c.name;
    }
}

TEST(TcpConnect, FailuresGiveTheirErrno) {
    std::string closedPort;
    {
        auto peer = RawPeer::listenTcp4();
        ASSERT_TRUE(peer);
        closedPort = peer->portText();
    }
    struct Case {
        const char* name;
        TcpFamily family;
        const char* host;
        std::string port;
        int error;
    } cases[] = {
        {"nobody listens", TcpFamily::IPv4, "127.0.0.1", closedPort, ECONNREFUSED},
        {"service name", TcpFamily::IPv4, "127.0.0.1", "http", EHOSTUNREACH},
        {"empty port", TcpFamily::IPv4, "127.0.0.1", "", EHOSTUNREACH},
        {"port above 65535", TcpFamily::IPv4, "127.0.0.1", "99999", EHOSTUNREACH},
        {"negative port", TcpFamily::IPv4, "127.0.0.1", "-1", EHOSTUNREACH},
        {"IPv4 address as IPv6", TcpFamily::IPv6, "127.0.0.1", "500", EHOSTUNREACH},
        {"IPv6 address as IPv4", TcpFamily::IPv4, "::1", "500", EHOSTUNREACH},
    };
    for (const auto& c : cases) {
        SocketResult result = connectTcp(c.family, c.host, c.port, 21s);
        EXPECT_FALSE(result.ok()) << c.name;
        EXPECT_EQ(result.error, c.error) << c.name << ": " << std::strerror(result.error);
    }
}

// A connect that gets no answer: a busy pipe, TCP to a listener whose one backlog slot is taken, so its SYN
// is dropped, or a host name whose name server never answers. It is tried until its limit runs out, or gives
// up soon after the stop is asked.
TEST(TcpConnect, AnUnansweredConnectEndsAtItsLimitOrAtTheStop) {
    TempDir dir;
    ScopedEnv pipeDir("CORVANE_PIPE_DIR", dir.path().string());
    const auto nameServer = test::SilentNameServer::start();
    enum class Way { Tcp, Pipe, Name };
    struct Case {
        const char* name;
        Way way;
        std::chrono::milliseconds limit;
        std::optional<std::chrono::milliseconds> stopAfter;
        int error;
    } cases[] = {
        {"TCP, limit", Way::Tcp, 200ms, std::nullopt, ETIMEDOUT},
        {"TCP, stop", Way::Tcp, 21s, 500ms, ECANCELED},
        {"busy pipe, limit", Way::Pipe, 200ms, std::nullopt, EAGAIN},
        {"busy pipe, stop", Way::Pipe, 21s, 500ms, ECANCELED},
        {"name without answer, limit", Way::Name, 1s, std::nullopt, ETIMEDOUT},
        {"name without answer, stop", Way::Name, 21s, 500ms, ECANCELED},
    };
    for (const auto& c : cases) {
        if (c.way == Way::Name && test::skippedWithout(nameServer, c.name)) {
            continue;
        }
        std::unique_ptr<RawPeer> peer;
        if (c.way != Way::Name) {
            peer = c.way == Way::Pipe
                       ? RawPeer::listenUnix(dir / "busy", {.acceptClient = false, .backlog = 0})
                       : RawPeer::listenTcp4({.acceptClient = false, .backlog = 0});
            ASSERT_TRUE(peer) << c.name;
        }
        auto connect = [&](std::chrono::milliseconds limit, const StopAsked& stopAsked) {
            switch (c.way) {
            case Way::Pipe:
                return LocalPipe::connect("\\\\.\\pipe\\busy", limit, stopAsked);
            case Way::Tcp:
                return connectTcp(TcpFamily::IPv4, "127.0.0.1", peer->portText(), limit, stopAsked);
            default:
                return connectTcp(TcpFamily::IPv4, test::SilentNameServer::unansweredName(), "500", limit,
                                  stopAsked);
            }
        };
        if (peer) {
            SocketResult first = connect(200ms, {});
            ASSERT_TRUE(first.ok()) << c.name
                                    << ": the backlog holds one client: " << std::strerror(first.error);
        }
        const auto start = std::chrono::steady_clock::now();
        SocketResult second = connect(
            c.limit, [&] { return c.stopAfter && std::chrono::steady_clock::now() - start >= *c.stopAfter; });
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_FALSE(second.ok()) << c.name;
        EXPECT_EQ(second.error, c.error) << c.name << ": " << std::strerror(second.error);
        EXPECT_GE(waited, c.stopAfter.value_or(c.limit)) << c.name;
        EXPECT_LE(waited - c.stopAfter.value_or(c.limit), test::kLivenessBound)
            << c.name << ": the stop or the limit was not heard";
    }
}

TEST(TcpConnect, SocketLayerNeedsNoStartup) {
    EXPECT_EQ(socketLayerStartup(), 0);
    socketLayerCleanup();
    EXPECT_EQ(setTcpNoDelay(SocketFd()), EBADF);
}

TEST(SocketFd, ClosesItsDescriptorExactlyOnce) {
    int fd = ::eventfd(0, EFD_CLOEXEC);
    ASSERT_GE(fd, 0);
    {
        SocketFd owner(fd);
        SocketFd moved(std::move(owner));
        EXPECT_FALSE(owner.valid()); // NOLINT(bugprone-use-after-move): a moved-from owner holds nothing
        EXPECT_EQ(moved.get(), fd);
        SocketFd assigned;
        assigned = std::move(moved);
        EXPECT_EQ(assigned.get(), fd);
        EXPECT_TRUE(isOpen(fd));
    }
    EXPECT_FALSE(isOpen(fd)) << "closed when its last owner went";

    int kept = ::eventfd(0, EFD_CLOEXEC);
    {
        SocketFd owner(kept);
        EXPECT_EQ(owner.release(), kept);
        EXPECT_FALSE(owner.valid());
    }
    EXPECT_TRUE(isOpen(kept)) << "released, so left open";
    SocketFd replacing(kept);
    replacing.reset(::eventfd(0, EFD_CLOEXEC));
    EXPECT_FALSE(isOpen(kept)) << "reset closes the old descriptor";
}

TEST(RawPeerThreads, CutsWhatItReceivesByTheLeadingSize) {
    TempDir dir;
    auto peer = RawPeer::listenUnix(dir / "peer");
    ASSERT_TRUE(peer);
    ScopedEnv pipeDir("CORVANE_PIPE_DIR", dir.path().string());
    SocketResult client = LocalPipe::connect("\\\\.\\pipe\\peer", 0ms);
    ASSERT_TRUE(client.ok());
    sendText(client.fd, std::string("\x08\0\0\0abcd", 8));
    sendText(client.fd, std::string("\x02\0\0\0", 4)); // a size below 4 stands alone
    sendText(client.fd, std::string("\x0C\0\0\0ef", 6));
    ASSERT_TRUE(peer->waitForBytes(18));
    EXPECT_EQ(peer->messageCount(), 2u) << "a message is whole only with its last byte";
    sendText(client.fd, std::string("ghij\x09\0\0", 7));
    ASSERT_TRUE(peer->waitForBytes(25));
    auto messages = peer->received();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_EQ(messages[0].size(), 8u);
    EXPECT_EQ(messages[1], (Bytes{2, 0, 0, 0}));
    EXPECT_EQ(messages[2], (Bytes{12, 0, 0, 0, 'e', 'f', 'g', 'h', 'i', 'j', 0x09, 0}));
    EXPECT_EQ(peer->receivedBytes().size(), 25u);
}

TEST(RawPeerThreads, PlaysItsScriptInOrder) {
    auto peer = RawPeer::listenTcp4();
    ASSERT_TRUE(peer);
    peer->send("one").pause(20ms).awaitMessages(1).send(Bytes{'t', 'w', 'o'}).closeWrite();
    SocketResult client = connectTcp(TcpFamily::IPv4, "127.0.0.1", peer->portText(), 21s);
    ASSERT_TRUE(client.ok());
    ASSERT_TRUE(peer->waitForClient());
    char first[3];
    ASSERT_EQ(::recv(client.fd.get(), first, 3, MSG_WAITALL), 3);
    EXPECT_EQ(std::string(first, 3), "one");
    EXPECT_FALSE(peer->waitForScript(50ms)) << "waits for a message before going on";
    sendText(client.fd, std::string("\x04\0\0\0", 4));
    auto [rest, error] = readToEnd(client.fd);
    EXPECT_EQ(rest, "two");
    EXPECT_EQ(error, 0) << "closeWrite ends the stream with EOF";
    EXPECT_TRUE(peer->waitForScript());
    sendText(client.fd, std::string("\x04\0\0\0", 4));
    EXPECT_TRUE(peer->waitForMessages(2)) << "reading goes on after closeWrite";
}

TEST(RawPeerThreads, CloseAndResetEndTheConnectionDifferently) {
    struct Case {
        const char* name;
        bool reset;
        int error;
    } cases[] = {{"close", false, 0}, {"reset", true, ECONNRESET}};
    for (const auto& c : cases) {
        auto peer = RawPeer::listenTcp4();
        ASSERT_TRUE(peer);
        peer->send("data");
        if (c.reset) {
            peer->awaitMessages(1).reset();
        } else {
            peer->close();
        }
        SocketResult client = connectTcp(TcpFamily::IPv4, "127.0.0.1", peer->portText(), 21s);
        ASSERT_TRUE(client.ok()) << c.name;
        if (c.reset) {
            // Read the data first: a reset discards whatever the client has not read yet.
            char data[4];
            ASSERT_EQ(::recv(client.fd.get(), data, 4, MSG_WAITALL), 4) << c.name;
            sendText(client.fd, std::string("\x04\0\0\0", 4));
        }
        auto [bytes, error] = readToEnd(client.fd);
        EXPECT_EQ(error, c.error) << c.name << ": " << std::strerror(error);
        EXPECT_TRUE(peer->waitForScript()) << c.name;
    }
}

TEST(RawPeerThreads, SeesTheClientCloseAndReadsAtItsRate) {
    auto peer = RawPeer::listenTcp4({.receiveBuffer = 4096, .readRate = 4096});
    ASSERT_TRUE(peer);
    SocketResult client = connectTcp(TcpFamily::IPv4, "127.0.0.1", peer->portText(), 21s);
    ASSERT_TRUE(client.ok());
    std::string block;
    for (int i = 0; i < 2000; ++i) {
        block += std::string("\x40\0\0\0", 4) + std::string(60, static_cast<char>('a' + i % 26));
    }
    sendText(client.fd, block);
    client.fd.reset();
    ASSERT_TRUE(peer->waitForEof(test::kLivenessBound * 4));
    EXPECT_EQ(peer->readError(), 0);
    auto bytes = peer->receivedBytes();
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), block);
    EXPECT_EQ(peer->messageCount(), 2000u);
}

TEST(RawPeerThreads, ThreadCountStaysWhileAClientConnects) {
    auto peer = RawPeer::listenTcp4();
    ASSERT_TRUE(peer);
    const int before = test::threadCount();
    SocketResult client = connectTcp(TcpFamily::IPv4, "127.0.0.1", peer->portText(), 21s);
    ASSERT_TRUE(client.ok());
    ASSERT_TRUE(peer->waitForClient());
    EXPECT_EQ(test::threadCount(), before);
}

TEST(RawPeerThreads, AListenerThatNeverAcceptsSeesNoClient) {
    auto peer = RawPeer::listenTcp4({.acceptClient = false});
    ASSERT_TRUE(peer);
    SocketResult client = connectTcp(TcpFamily::IPv4, "127.0.0.1", peer->portText(), 21s);
    ASSERT_TRUE(client.ok()) << "the connection waits in the backlog";
    EXPECT_FALSE(peer->waitForClient(50ms));
    EXPECT_FALSE(peer->clientAccepted());
}

} // namespace
} // namespace zeph
