#include "platform/sockets.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/tcp_connect.h"
#include "support/slow_factor.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::kLivenessBound;

// A TCP port that was free a moment ago on 127.0.0.1.
std::string freeLoopbackPort() {
    SocketFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    socklen_t length = sizeof(address);
    EXPECT_EQ(::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    return std::to_string(ntohs(address.sin_port));
}

// Sends one datagram to 127.0.0.1:port from a socket of its own.
void sendDatagram(std::uint16_t port, const std::string& bytes) {
    SocketFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::sendto(fd.get(), bytes.data(), bytes.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
              static_cast<ssize_t>(bytes.size()));
}

UdpSocket boundUdp(bool loopbackOnly, std::uint16_t port = 0) {
    UdpSocket socket;
    EXPECT_TRUE(socket.open());
    EXPECT_TRUE(socket.bind(loopbackOnly, port));
    return socket;
}

// A listener on a free loopback port and a client connected to it, with the accepted stream.
struct TcpPair {
    TcpListener listener;
    SocketFd client;
    TcpStream server;
};

void connectPair(TcpPair& pair) {
    const std::string port = freeLoopbackPort();
    ASSERT_TRUE(pair.listener.open(port, true).ok());
    SocketResult connected = connectTcp(TcpFamily::IPv4, "127.0.0.1", port, kLivenessBound);
    ASSERT_TRUE(connected.ok()) << connected.error;
    pair.client = std::move(connected.fd);
    auto accepted = pair.listener.acceptFor(kLivenessBound);
    ASSERT_TRUE(accepted.has_value());
    pair.server = std::move(*accepted);
}

TEST(Sockets, ErrnoValuesMapToTheWindowsNumbers) {
    const struct {
        const char* name;
        int errnoValue;
        int windows;
    } cases[] = {
        {"EINTR", EINTR, 10004},
        {"EBADF", EBADF, 10009},
        {"EACCES", EACCES, 10013},
        {"EFAULT", EFAULT, 10014},
        {"EINVAL", EINVAL, 10022},
        {"EMFILE", EMFILE, 10024},
        {"EAGAIN", EAGAIN, 10035},
        {"EINPROGRESS", EINPROGRESS, 10036},
        {"EALREADY", EALREADY, 10037},
        {"ENOTSOCK", ENOTSOCK, 10038},
        {"EDESTADDRREQ", EDESTADDRREQ, 10039},
        {"EMSGSIZE", EMSGSIZE, 10040},
        {"EPROTOTYPE", EPROTOTYPE, 10041},
        {"ENOPROTOOPT", ENOPROTOOPT, 10042},
        {"EPROTONOSUPPORT", EPROTONOSUPPORT, 10043},
        {"ESOCKTNOSUPPORT", ESOCKTNOSUPPORT, 10044},
        {"EOPNOTSUPP", EOPNOTSUPP, 10045},
        {"EPFNOSUPPORT", EPFNOSUPPORT, 10046},
        {"EAFNOSUPPORT", EAFNOSUPPORT, 10047},
        {"EADDRINUSE", EADDRINUSE, 10048},
        {"EADDRNOTAVAIL", EADDRNOTAVAIL, 10049},
        {"ENETDOWN", ENETDOWN, 10050},
        {"ENETUNREACH", ENETUNREACH, 10051},
        {"ENETRESET", ENETRESET, 10052},
        {"ECONNABORTED", ECONNABORTED, 10053},
        {"ECONNRESET", ECONNRESET, 10054},
        {"EPIPE", EPIPE, 10054},
        {"ENOBUFS", ENOBUFS, 10055},
        {"EISCONN", EISCONN, 10056},
        {"ENOTCONN", ENOTCONN, 10057},
        {"ESHUTDOWN", ESHUTDOWN, 10058},
        {"ETOOMANYREFS", ETOOMANYREFS, 10059},
        {"ETIMEDOUT", ETIMEDOUT, 10060},
        {"ECONNREFUSED", ECONNREFUSED, 10061},
        {"ELOOP", ELOOP, 10062},
        {"ENAMETOOLONG", ENAMETOOLONG, 10063},
        {"EHOSTDOWN", EHOSTDOWN, 10064},
        {"EHOSTUNREACH", EHOSTUNREACH, 10065},
        {"ENOTEMPTY", ENOTEMPTY, 10066},
        {"EUSERS", EUSERS, 10068},
        {"EDQUOT", EDQUOT, 10069},
        {"ESTALE", ESTALE, 10070},
        {"EREMOTE", EREMOTE, 10071},
        {"ENOENT passes through", ENOENT, ENOENT},
        {"ENOMEM passes through", ENOMEM, ENOMEM},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(socketErrorNumber(c.errnoValue), c.windows) << c.name;
    }
}

TEST(Sockets, ResolverFailuresMapToTheWindowsNumbers) {
    const struct {
        const char* name;
        int eai;
        int savedErrno;
        int windows;
    } cases[] = {
        {"EAI_NONAME", EAI_NONAME, 0, 11001},
        {"EAI_NODATA", EAI_NODATA, 0, 11004},
        {"EAI_SERVICE", EAI_SERVICE, 0, 10109},
        {"EAI_AGAIN", EAI_AGAIN, 0, 11003},
        {"EAI_FAIL", EAI_FAIL, 0, 11003},
        {"EAI_SYSTEM with errno", EAI_SYSTEM, EMFILE, 10024},
        {"EAI_SYSTEM without errno", EAI_SYSTEM, 0, 11003},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(resolverErrorNumber(c.eai, c.savedErrno), c.windows) << c.name;
    }
}

TEST(Sockets, UdpBindsLoopbackOrEveryInterfaceOnAFreePort) {
    const struct {
        bool loopbackOnly;
        const char* address;
    } cases[] = {{true, "127.0.0.1"}, {false, "0.0.0.0"}};
    for (const auto& c : cases) {
        UdpSocket socket = boundUdp(c.loopbackOnly);
        EXPECT_NE(socket.boundPort(), 0) << c.address;
        EXPECT_EQ(socket.boundAddress(), c.address);
        socket.close();
        EXPECT_FALSE(socket.isOpen());
        EXPECT_EQ(socket.boundPort(), 0) << "closed";
        EXPECT_EQ(socket.boundAddress(), "") << "closed";
    }
}

TEST(Sockets, BindingATakenUdpPortGives10048) {
    UdpSocket first = boundUdp(true);
    UdpSocket second;
    ASSERT_TRUE(second.open());
    EXPECT_FALSE(second.bind(true, first.boundPort()));
    EXPECT_EQ(lastSocketError(), 10048);
}

TEST(Sockets, UdpReceiveGivesTheRealLengthOfEveryDatagram) {
    UdpSocket socket = boundUdp(true);
    const struct { std::size_t length; } cases[] = {{1}, {16383}, {16384}, {20000}, {65000}};
    for (const auto& c : cases) {
        const std::string datagram = std::string(c.length - 1, 'd') + 'e';
        sendDatagram(socket.boundPort(), datagram);
        ASSERT_EQ(socket.waitReadable(kLivenessBound), WaitResult::Ready) << c.length;
        std::string buffer(16385, '\0');
        EXPECT_EQ(socket.receive(buffer.data(), 16384), static_cast<std::int64_t>(c.length)) << c.length;
        const std::size_t kept = std::min<std::size_t>(c.length, 16384);
        EXPECT_EQ(buffer.substr(0, kept), datagram.substr(0, kept)) << c.length;
        EXPECT_EQ(buffer[16384], '\0') << "nothing written past the capacity, " << c.length;
    }
    // The cut datagrams are gone: nothing is left to read.
    EXPECT_EQ(socket.waitReadable(50ms), WaitResult::TimedOut);
    char byte = 0;
    EXPECT_EQ(socket.receive(&byte, 1), 0) << "nothing waiting is not an error";
}

TEST(Sockets, UdpWaitAndReceiveOnAClosedSocketFail) {
    UdpSocket socket;
    char byte = 0;
    EXPECT_EQ(socket.waitReadable(10s), WaitResult::Failed);
    EXPECT_EQ(lastSocketError(), 10009);
    EXPECT_EQ(socket.receive(&byte, 1), -1);
    EXPECT_EQ(lastSocketError(), 10009);
}

TEST(Sockets, ListenerRejectsPortTextsThatNameNoPort) {
    for (const char* port :
         {"", "0", "70000", "65536", "99999", "123456", "12a", "+80", " 80", "-1", "http"}) {
        TcpListener listener;
        const auto result = listener.open(port, true);
        EXPECT_EQ(result.failedStep, TcpListener::Step::Resolve) << "'" << port << "'";
        EXPECT_EQ(result.error, 10109) << "'" << port << "'";
        EXPECT_EQ(lastSocketError(), 10109) << "'" << port << "'";
        EXPECT_FALSE(listener.isOpen());
    }
}

TEST(Sockets, ListenerBindsLoopbackOnTheGivenPort) {
    const std::string port = freeLoopbackPort();
    TcpListener listener;
    ASSERT_TRUE(listener.open(port, true).ok());
    EXPECT_EQ(std::to_string(listener.boundPort()), port);
    EXPECT_EQ(listener.boundAddress(), "127.0.0.1");

    TcpListener everywhere;
    ASSERT_TRUE(everywhere.open(freeLoopbackPort(), false).ok());
    EXPECT_EQ(everywhere.boundAddress(), "0.0.0.0");
}

TEST(Sockets, ASecondListenerOnATakenPortFailsAtBindWith10048) {
    const std::string port = freeLoopbackPort();
    TcpListener first;
    ASSERT_TRUE(first.open(port, true).ok());
    TcpListener second;
    const auto result = second.open(port, true);
    EXPECT_EQ(result.failedStep, TcpListener::Step::Bind);
    EXPECT_EQ(result.error, 10048);
    EXPECT_FALSE(second.isOpen());
}

TEST(Sockets, AcceptOnAClosedListenerReturnsAtOnce) {
    TcpListener never;
    TcpListener closed;
    ASSERT_TRUE(closed.open(freeLoopbackPort(), true).ok());
    closed.close();
    for (TcpListener* listener : {&never, &closed}) {
        const auto start = Clock::now();
        EXPECT_FALSE(listener->acceptFor(10s).has_value());
        EXPECT_LT(Clock::now() - start, kLivenessBound);
    }
}

TEST(Sockets, AcceptWaitsForAClientAndGivesUpAfterItsLimit) {
    TcpListener listener;
    const std::string port = freeLoopbackPort();
    ASSERT_TRUE(listener.open(port, true).ok());
    EXPECT_FALSE(listener.acceptFor(20ms).has_value()) << "no client yet";

    std::thread late([&] {
        std::this_thread::sleep_for(100ms);
        SocketResult client = connectTcp(TcpFamily::IPv4, "127.0.0.1", port, kLivenessBound);
        EXPECT_TRUE(client.ok());
        std::this_thread::sleep_for(200ms);
    });
    auto stream = listener.acceptFor(kLivenessBound * 2);
    late.join();
    ASSERT_TRUE(stream.has_value());
    EXPECT_TRUE(stream->isOpen());
}

TEST(Sockets, StreamSetsNoDelay) {
    TcpPair pair;
    connectPair(pair);
    EXPECT_TRUE(pair.server.setNoDelay());
    pair.server.close();
    EXPECT_FALSE(pair.server.setNoDelay()) << "closed stream";
    EXPECT_EQ(lastSocketError(), 10009);
}

TEST(Sockets, StreamSendsAndReceives) {
    TcpPair pair;
    connectPair(pair);
    ASSERT_TRUE(pair.server.send("Qs999=version\r\n"));
    char buffer[64] = {};
    ASSERT_EQ(::recv(pair.client.get(), buffer, sizeof(buffer), 0), 15);
    EXPECT_EQ(std::string(buffer, 15), "Qs999=version\r\n");

    std::array<char, 16> in{};
    EXPECT_EQ(pair.server.receiveFor(in, 20ms).status, TcpStream::Status::TimedOut);
    ASSERT_EQ(::send(pair.client.get(), "{\"level\":2}", 11, MSG_NOSIGNAL), 11);
    const auto got = pair.server.receiveFor(in, kLivenessBound);
    ASSERT_EQ(got.status, TcpStream::Status::Data);
    EXPECT_EQ(std::string(in.data(), got.count), "{\"level\":2}");

    pair.client.reset();
    EXPECT_EQ(pair.server.receiveFor(in, kLivenessBound).status, TcpStream::Status::Closed);
}

TEST(Sockets, SendingToAPeerThatStopsReadingGivesUpWith10060) {
    TcpPair pair;
    connectPair(pair);
    // The peer reads nothing: the send buffers fill, and the send may wait only its limit.
    const std::string block(1 << 20, 'x');
    bool failed = false;
    for (int sent = 0; !failed && sent < 256; ++sent) {
        failed = !pair.server.send(block, 50ms);
    }
    ASSERT_TRUE(failed) << "256 MB went into a peer that reads nothing";
    EXPECT_EQ(lastSocketError(), 10060);
}

TEST(Sockets, SendingToAClosedPeerFailsWith10054WithoutSigpipe) {
    TcpPair pair;
    connectPair(pair);
    pair.client.reset();
    // The first send may still be taken by the socket; the peer's reset makes a later one fail.
    bool failed = false;
    const auto deadline = Clock::now() + kLivenessBound;
    for (int attempt = 0; !failed && Clock::now() < deadline; ++attempt) {
        failed = !pair.server.send("exit\r\n");
        if (!failed) {
            std::this_thread::sleep_for(10ms);
        }
    }
    ASSERT_TRUE(failed);
    EXPECT_EQ(lastSocketError(), 10054);
    EXPECT_FALSE(pair.server.send("exit\r\n")) << "and again";
    EXPECT_EQ(lastSocketError(), 10054);
}

TEST(Sockets, LastErrorBelongsToTheCallingThread) {
    UdpSocket never;
    char byte = 0;
    EXPECT_EQ(never.receive(&byte, 1), -1);
    ASSERT_EQ(lastSocketError(), 10009);
    int other = -1;
    std::thread([&] {
        other = lastSocketError();
        TcpListener listener;
        listener.open("x", true);
    }).join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(lastSocketError(), 10009);
}

} // namespace
} // namespace zeph
