// Opening the listeners: clear failures, stale socket files, and clean-up at the end.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "simstandin/standin.h"
#include "support/temp_dir.h"
#include "tools/simstandin/raw_client.h"
#include "tools/simstandin/request_bytes.h"

namespace zeph::test {
namespace {

namespace st = zeph::standin;

// Leaves a socket file behind as a crashed server would.
void makeStaleSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

TEST(StandinListeners, StartFailsWithAClearMessage) {
    TempDir dir;
    st::StandinOptions first;
    first.tcp4 = "127.0.0.1:0";
    st::SimStandin holder(first);
    holder.start();
    writeFileBytes(dir / "plain.txt", "not a socket");
    struct Case {
        const char* name;
        std::optional<std::string> tcp4;
        std::optional<std::string> unixPath;
        std::string messagePart;
    };
    const std::vector<Case> cases = {
        {"port in use", "127.0.0.1:" + std::to_string(*holder.tcp4Port()), std::nullopt,
         "cannot bind 127.0.0.1"},
        {"not host:port", "localhost", std::nullopt, "not host:port"},
        {"not an address", "loopback:0", std::nullopt, "not an IPv4 address"},
        {"path too long for sun_path", std::nullopt, (dir / std::string(110, 'x')).string(), "sun_path"},
        {"a file that is not a socket", std::nullopt, (dir / "plain.txt").string(), "is not a socket"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        st::StandinOptions options;
        options.tcp4 = c.tcp4;
        options.unixPath = c.unixPath;
        st::SimStandin standin(options);
        try {
            standin.start();
            ADD_FAILURE() << "start() succeeded";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.messagePart), std::string::npos) << e.what();
        }
    }
    EXPECT_TRUE(std::filesystem::exists(dir / "plain.txt")) << "a file that is not a socket is left alone";
}

TEST(StandinListeners, StaleSocketIsReplacedAndRemovedAtTheEnd) {
    TempDir dir;
    const std::string path = (dir / "sc.sock").string();
    makeStaleSocket(path);
    {
        st::StandinOptions options;
        options.unixPath = path;
        st::SimStandin standin(options);
        standin.start();
        RawClient client = RawClient::unixSocket(path);
        ASSERT_TRUE(client.connected());
        client.send(sc::open(1));
        ASSERT_TRUE(client.readMessage().has_value());
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

} // namespace
} // namespace zeph::test
