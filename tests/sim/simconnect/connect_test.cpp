#include <sys/socket.h>

#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "sim/simconnect/calls.h"
#include "sim/simconnect/connect.h"
#include "sim/simconnect/sc_test_env.h"
#include "support/byte_corpus.h"

// Where a connection goes: SimConnect.cfg in Public Documents, Documents and the current folder, the
// registry ports, and the chain pipe -> IPv6 -> IPv4 -> pipe.

namespace zeph::test {
namespace {

enum class CfgCharset { Utf8, Utf16le };

void writeCfg(const std::filesystem::path& folder, const std::string& text,
              CfgCharset charset = CfgCharset::Utf8) {
    std::string bytes = text;
    if (charset == CfgCharset::Utf16le) {
        bytes = utf16Bytes(utf8ToUtf16(text).value(), false, true);
    }
    writeFileBytes(folder / "SimConnect.cfg", bytes);
}

TEST(SimConnectCfg, LaterPlacesOverrideEarlierOnesKeyByKey) {
    for (CfgCharset charset : {CfgCharset::Utf8, CfgCharset::Utf16le}) {
        SCOPED_TRACE(charset == CfgCharset::Utf8 ? "UTF-8" : "UTF-16LE with BOM");
        SimConnectTestEnv env;
        writeCfg(
            env.publicDocuments(),
            "[SimConnect]\r\nProtocol=IPv6\r\nAddress=public.example\r\nPort=1000\r\nMaxReceiveSize=50000\r\n"
            "DisableNagle=1\r\n",
            charset);
        writeCfg(env.documents(), "[SimConnect]\r\nAddress=documents.example\r\nPort=2000\r\n", charset);
        writeCfg(env.currentFolder(), "[SimConnect]\r\nPort=3000\r\nDisableNagle=0\r\n", charset);
        ConnectionSettings settings = lf_loadConnectionSettings(0);
        EXPECT_EQ(settings.protocol, ScProtocol::IPv6);
        EXPECT_EQ(settings.address, "documents.example");
        EXPECT_EQ(settings.port, "3000");
        EXPECT_EQ(settings.maxReceiveSize, 50000u);
        EXPECT_FALSE(settings.disableNagle);
    }
}

TEST(SimConnectCfg, KeysOfOneSection) {
    struct Case {
        std::string name;
        std::string cfg;
        std::uint32_t index;
        ScProtocol protocol;
        std::string address;
        std::string port;
        std::uint32_t maxReceiveSize;
        bool disableNagle;
    };
    const std::string longAddress(1500, 'a');
    const std::vector<Case> cases = {
        {"no file section", "", 0, ScProtocol::Pipe, "", "", 41088, false},
        {"ipv4 in lower case", "[SimConnect]\nProtocol=ipv4\n", 0, ScProtocol::IPv4, "", "", 41088, false},
        {"Auto is the pipe", "[SimConnect]\nProtocol=IPv6\nProtocol=Auto\n", 0, ScProtocol::IPv6, "", "",
         41088, false},
        {"unknown protocol ignored", "[SimConnect]\nProtocol=Carrier pigeon\n", 0, ScProtocol::Pipe, "", "",
         41088, false},
        {"MaxReceiveSize 1000 leaves the default", "[SimConnect]\nMaxReceiveSize=1000\n", 0, ScProtocol::Pipe,
         "", "", 41088, false},
        {"MaxReceiveSize 100000 raises it", "[SimConnect]\nMaxReceiveSize=100000\n", 0, ScProtocol::Pipe, "",
         "", 100000, false},
        {"MaxReceiveSize above 1 MiB is held there", "[SimConnect]\nMaxReceiveSize=4000000000\n", 0,
         ScProtocol::Pipe, "", "", 1048576, false},
        {"MaxReceiveSize -1 wraps and is held", "[SimConnect]\nMaxReceiveSize=-1\n", 0, ScProtocol::Pipe, "",
         "", 1048576, false},
        {"numbers that are not numbers", "[SimConnect]\nMaxReceiveSize=lots\nDisableNagle=yes\n", 0,
         ScProtocol::Pipe, "", "", 41088, false},
        {"DisableNagle 7", "[SimConnect]\nDisableNagle=7\n", 0, ScProtocol::Pipe, "", "", 41088, true},
        {"empty values change nothing", "[SimConnect]\nProtocol=\nAddress=\nPort=\n", 0, ScProtocol::Pipe, "",
         "", 41088, false},
        {"the first of two sections wins", "[SimConnect]\nPort=1\n[simconnect]\nPort=2\n", 0,
         ScProtocol::Pipe, "", "1", 41088, false},
        {"index 2 reads SimConnect.2", "[SimConnect]\nPort=1\n[SimConnect.2]\nPort=2\n", 2, ScProtocol::Pipe,
         "", "2", 41088, false},
        {"index 0xFFFFFFFF reads no file", "[SimConnect]\nPort=1\n[SimConnect.4294967295]\nPort=2\n",
         0xFFFFFFFFu, ScProtocol::Pipe, "", "", 41088, false},
        {"address kept to 1023 characters", "[SimConnect]\nAddress=" + longAddress + "\n", 0,
         ScProtocol::Pipe, std::string(1023, 'a'), "", 41088, false},
        {"bytes that are not UTF-8", "[SimConnect]\nAddress=M\xFCnchen\n", 0, ScProtocol::Pipe,
         "M\xC3\xBCnchen", "", 41088, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimConnectTestEnv env;
        if (!c.cfg.empty()) {
            writeCfg(env.currentFolder(), c.cfg);
        }
        ConnectionSettings settings = lf_loadConnectionSettings(c.index);
        EXPECT_EQ(settings.protocol, c.protocol);
        EXPECT_EQ(settings.address, c.address);
        EXPECT_EQ(settings.port, c.port);
        EXPECT_EQ(settings.maxReceiveSize, c.maxReceiveSize);
        EXPECT_EQ(settings.disableNagle, c.disableNagle);
    }
}

TEST(SimConnectCfg, ATcpProtocolAfterAPortTakesTheRegistryPort) {
    struct Case {
        std::string name;
        std::string registryIpv4;
        std::string documentsCfg;
        std::string expectedPort;
    };
    const std::vector<Case> cases = {
        {"registry port replaces the set port", "4567", "[SimConnect]\nProtocol=IPv4\n", "4567"},
        {"no registry port empties it", "", "[SimConnect]\nProtocol=IPv4\n", ""},
        {"a Port of the same file still wins", "4567", "[SimConnect]\nProtocol=IPv4\nPort=9999\n", "9999"},
        {"the pipe keeps the port", "4567", "[SimConnect]\nProtocol=Pipe\n", "1234"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimConnectTestEnv env;
        env.writeRegistryPorts(c.registryIpv4, "");
        writeCfg(env.publicDocuments(), "[SimConnect]\nPort=1234\n");
        writeCfg(env.documents(), c.documentsCfg);
        EXPECT_EQ(lf_loadConnectionSettings(0).port, c.expectedPort);
    }
}

TEST(SimConnectCfg, NumbersReadLikeTheSystemConversion) {
    const std::vector<std::pair<std::string, std::uint32_t>> cases = {
        {"0", 0},
        {"41088", 41088},
        {"  17", 17},
        {"+5", 5},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"4294967295", 0xFFFFFFFFu},
        {"4294967296", 0xFFFFFFFFu},
        {"99999999999999999999", 0xFFFFFFFFu},
        {"-1", 0xFFFFFFFFu},
        {"-0", 0},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(parseCfgNumber(text), expected);
    }
}

TEST(SimConnectCfg, RegistryPortsUpToNineCharacters) {
    struct Case {
        std::string name;
        std::string value; // "" leaves the value out
        bool read;
        std::string port;
    };
    const std::vector<Case> cases = {
        {"missing", "", false, ""},
        {"a port", "500", true, "500"},
        {"nine characters", "123456789", true, "123456789"},
        {"ten characters", "1234567890", false, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimConnectTestEnv env;
        env.writeRegistryPorts(c.value, "");
        std::string port = "left over";
        EXPECT_EQ(lf_readPortFromRegistry(false, port), c.read);
        EXPECT_EQ(port, c.port);
    }
}

// The listeners a chain can reach: the default pipe, [::1]:p6 and 127.0.0.1:p4 (as the registry says).
struct ChainPeers {
    std::unique_ptr<RawPeer> pipe;
    std::unique_ptr<RawPeer> v6;
    std::unique_ptr<RawPeer> v4;

    bool anyAccepted() const {
        for (const auto* peer : {pipe.get(), v6.get(), v4.get()}) {
            if (peer != nullptr && peer->clientAccepted()) {
                return true;
            }
        }
        return false;
    }
};

// Which listener the client's socket reached, from the socket itself (the peer's accept may come later).
std::string reachedBy(const SimConnectClient* client) {
    if (client == nullptr) {
        return "none";
    }
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (getpeername(client->transport.nativeHandle(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return "unconnected";
    }
    switch (address.ss_family) {
    case AF_UNIX:
        return "pipe";
    case AF_INET6:
        return "v6";
    case AF_INET:
        return "v4";
    default:
        return "other";
    }
}

RawPeer* peerNamed(const ChainPeers& peers, const std::string& name) {
    return name == "pipe" ? peers.pipe.get()
           : name == "v6" ? peers.v6.get()
           : name == "v4" ? peers.v4.get()
                          : nullptr;
}

TEST(SimConnectChain, TriesPipeThenIpv6ThenIpv4) {
    struct Case {
        std::string name;
        bool pipe;
        bool v6;
        std::string cfg;
        bool paddedV4Port; // the IPv4 port as 9 or, with padV4To10, 10 characters
        bool padV4To10;
        int result;
        std::string connectedTo;
    };
    const std::vector<Case> cases = {
        {"the default pipe first", true, true, "", false, false, 0, "pipe"},
        {"then [::1]", false, true, "", false, false, 0, "v6"},
        {"then 127.0.0.1", false, false, "", false, false, 0, "v4"},
        {"a 9-character registry port", false, false, "", true, false, 0, "v4"},
        {"a 10-character registry port is empty", false, false, "", true, true, 1, "none"},
        {"Protocol=IPv4 alone makes no attempt", true, true, "[SimConnect]\nProtocol=IPv4\n", false, false, 1,
         "none"},
        {"IPv6 at ::2 stops after its failure", true, true, "[SimConnect]\nProtocol=IPv6\nAddress=::2\n",
         false, false, 1, "none"},
        {"IPv6 at ::1 without a port falls back to IPv4", true, true,
         "[SimConnect]\nProtocol=IPv6\nAddress=::1\n", false, false, 0, "v4"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimConnectTestEnv env;
        ChainPeers peers;
        peers.v4 = RawPeer::listenTcp4();
        ASSERT_TRUE(peers.v4);
        if (c.pipe) {
            peers.pipe = RawPeer::listenUnix(env.defaultPipePath());
        }
        if (c.v6) {
            peers.v6 = RawPeer::listenTcp6();
            if (!peers.v6 && c.connectedTo == "v6") {
                std::cerr << "[  SKIPPED ] " << c.name << ": this machine has no IPv6 loopback\n";
                continue;
            }
        }
        // Without a v6 listener, p6 is the IPv4 listener's port, where nothing answers on ::1.
        std::string v6Port = peers.v6 ? peers.v6->portText() : peers.v4->portText();
        std::string v4Port = peers.v4->portText();
        if (c.paddedV4Port) {
            v4Port = std::string((c.padV4To10 ? 10 : 9) - v4Port.size(), '0') + v4Port;
        }
        env.writeRegistryPorts(v4Port, v6Port);
        if (!c.cfg.empty()) {
            writeCfg(env.currentFolder(), c.cfg);
        }
        SimConnectClient* client = nullptr;
        EXPECT_EQ(lf_openClient(&client, 0), c.result);
        ClientCloser closer{client};
        EXPECT_EQ(reachedBy(client), c.connectedTo);
        if (RawPeer* reached = peerNamed(peers, c.connectedTo)) {
            EXPECT_TRUE(reached->waitForClient());
        } else {
            EXPECT_FALSE(peers.anyAccepted()) << "no attempt reaches a listener";
        }
    }
}

TEST(SimConnectChain, NothingAnywhereMakesFourClientsAndCloses) {
    SimConnectTestEnv env;
    const std::uint64_t before = lf_clientsCreated();
    SimConnectClient* client = reinterpret_cast<SimConnectClient*>(&env);
    EXPECT_EQ(lf_openClient(&client, 0), 1);
    EXPECT_EQ(client, nullptr);
    EXPECT_EQ(lf_clientsCreated() - before, 4u) << "pipe, IPv6 without a port, IPv4 without a port, pipe";
    EXPECT_EQ(lf_clientCount(), 0);
    EXPECT_EQ(lf_liveTransportCount(), 0);
}

TEST(SimConnectChain, AMissingSectionOfAnIndexIsABadArgument) {
    SimConnectTestEnv env;
    auto pipe = RawPeer::listenUnix(env.defaultPipePath());
    ASSERT_TRUE(pipe);
    writeCfg(env.currentFolder(), "[SimConnect]\nPort=1\n[SimConnect.3]\n; no entries\n");
    struct Case {
        std::uint32_t index;
        std::int32_t expected;
    };
    for (const auto& c :
         {Case{2, static_cast<std::int32_t>(0x80070057u)}, Case{3, static_cast<std::int32_t>(0x80070057u)}}) {
        SCOPED_TRACE(c.index);
        SimConnectClient* handle = nullptr;
        EXPECT_EQ(SimConnect_Open(&handle, "Corvane_P3D", nullptr, 0, nullptr, c.index), c.expected);
        EXPECT_EQ(handle, nullptr);
    }
    EXPECT_FALSE(pipe->clientAccepted()) << "no attempt was made";
}

TEST(SimConnectChain, MaxReceiveSizeOfTheCfgReachesTheTransport) {
    struct Case {
        std::string name;
        std::string limitLine;
        bool delivered;
    };
    const std::vector<Case> cases = {
        {"100000 lets 50,000 bytes through", "MaxReceiveSize=100000\n", true},
        {"the default refuses them", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimConnectTestEnv env;
        auto peer = RawPeer::listenTcp4();
        ASSERT_TRUE(peer);
        writeCfg(env.currentFolder(), "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" +
                                          peer->portText() + "\n" + c.limitLine);
        SimConnectClient* handle = nullptr;
        ASSERT_EQ(SimConnect_Open(&handle, "Corvane_P3D", nullptr, 0, nullptr, 0), S_OK);
        ClientCloser closer{handle};
        ClientWatch watch(handle);
        Bytes big = zeroImage(50000);
        putHex(big, 0, "50 C3 00 00 23 00 00 00 08 00 00 00");
        peer->send(big);
        ASSERT_TRUE(watch.waitFor([&] {
            std::lock_guard lock(handle->mutex);
            return !handle->received.empty() || handle->transport.hasFailed();
        }));
        std::vector<Bytes> got;
        std::int32_t result = SimConnect_CallDispatch(handle, collectMessage, &got);
        if (c.delivered) {
            EXPECT_EQ(result, S_OK);
            ASSERT_EQ(got.size(), 1u);
            EXPECT_EQ(got[0], big);
        } else {
            EXPECT_EQ(result, static_cast<std::int32_t>(0x80004004u));
            EXPECT_TRUE(got.empty());
            EXPECT_EQ(handle->transport.closeReason(), 1u);
        }
    }
}

} // namespace
} // namespace zeph::test
