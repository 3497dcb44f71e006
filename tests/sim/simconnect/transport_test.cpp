#include <sys/socket.h>

#include <cerrno>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simconnect/calls.h"
#include "sim/simconnect/sc_test_env.h"
#include "sim/simconnect/transport.h"

// Faults of the peer, the same over AF_UNIX, TCP 127.0.0.1 and TCP ::1: each is recorded once and returned
// by every later call, and nothing crashes, hangs or goes out half.

namespace zeph::test {
namespace {

constexpr std::int32_t kAbort = static_cast<std::int32_t>(0x80004004u);
constexpr std::int32_t kLinkFailed = static_cast<std::int32_t>(0xC000013Eu);
constexpr std::int32_t kConnectionReset = static_cast<std::int32_t>(0xC000020Du);

const std::vector<PeerFamily> kFamilies = {PeerFamily::Unix, PeerFamily::Tcp4, PeerFamily::Tcp6};

// An object-data message of the given size with a recognisable body.
Bytes objectData(std::uint32_t size) {
    Bytes m = zeroImage(size);
    putHex(m, 4, "23 00 00 00 08 00 00 00");
    m[0] = static_cast<std::uint8_t>(size);
    m[1] = static_cast<std::uint8_t>(size >> 8);
    m[2] = static_cast<std::uint8_t>(size >> 16);
    for (std::size_t i = 12; i < size; ++i) {
        m[i] = static_cast<std::uint8_t>(i * 13);
    }
    return m;
}

struct Connection {
    std::unique_ptr<RawPeer> peer;
    SimConnectClient* client = nullptr;
    std::unique_ptr<ClientWatch> watch;

    ~Connection() {
        if (client != nullptr) {
            lf_closeClient(client);
        }
    }
};

// nullptr (with a note) where the family cannot listen here, which is only TCP ::1 without IPv6 loopback.
std::unique_ptr<Connection> connect(const SimConnectTestEnv& env, PeerFamily family,
                                    RawPeerOptions options = {}) {
    auto connection = std::make_unique<Connection>();
    connection->peer = listenPeer(env, family, options);
    if (!connection->peer) {
        EXPECT_EQ(family, PeerFamily::Tcp6) << "only ::1 may be missing";
        std::cerr << "[  SKIPPED ] " << familyName(family) << ": this machine has no IPv6 loopback\n";
        return nullptr;
    }
    connection->client = connectClient(*connection->peer, family);
    EXPECT_NE(connection->client, nullptr);
    if (connection->client == nullptr) {
        return nullptr;
    }
    connection->watch = std::make_unique<ClientWatch>(connection->client);
    return connection;
}

std::int32_t anyPacketCall(SimConnectClient* client) {
    return SimConnect_SetNotificationGroupPriority(client, 301, 1);
}

TEST(SimConnectTransportFaults, SizeLimitsCloseWithAbort) {
    struct Case {
        std::string name;
        Bytes stream;
        std::uint32_t reason;
        std::vector<Bytes> deliveredFirst;
    };
    const Bytes largest = objectData(41088);
    const std::vector<Case> cases = {
        {"41,088 bytes, then a size of 41,089",
         [&] {
             Bytes s = largest;
             appendU32(s, 41089);
             return s;
         }(),
         1,
         {largest}},
        {"a size of 2", hexBytes("02 00 00 00 23 00 00 00"), 2, {}},
    };
    for (PeerFamily family : kFamilies) {
        for (const auto& c : cases) {
            SCOPED_TRACE(familyName(family) + ": " + c.name);
            SimConnectTestEnv env;
            auto connection = connect(env, family);
            if (!connection) {
                continue;
            }
            connection->peer->send(c.stream);
            ASSERT_TRUE(connection->watch->waitForFailure());
            EXPECT_EQ(connection->client->transport.closeReason(), c.reason);
            EXPECT_EQ(anyPacketCall(connection->client), kAbort);
            std::vector<Bytes> got;
            EXPECT_EQ(SimConnect_CallDispatch(connection->client, collectMessage, &got), kAbort);
            EXPECT_EQ(got, c.deliveredFirst);
            EXPECT_EQ(SimConnect_CallDispatch(connection->client, collectMessage, &got), kAbort)
                << "it stays";
        }
    }
}

TEST(SimConnectTransportFaults, APeerCloseIsRecordedAndReturnedByEveryLaterCall) {
    for (PeerFamily family : kFamilies) {
        SCOPED_TRACE(familyName(family));
        SimConnectTestEnv env;
        auto connection = connect(env, family);
        if (!connection) {
            continue;
        }
        connection->peer->closeWrite();
        ASSERT_TRUE(connection->watch->waitForFailure());
        EXPECT_EQ(connection->client->transport.closeReason(), 4u);
        EXPECT_EQ(connection->client->transport.failureCode(), kLinkFailed);
        for (int call = 0; call < 3; ++call) {
            EXPECT_EQ(anyPacketCall(connection->client), kLinkFailed);
        }
        std::vector<Bytes> got;
        EXPECT_EQ(SimConnect_CallDispatch(connection->client, collectMessage, &got), kLinkFailed);
        EXPECT_TRUE(connection->peer->waitForEof());
        EXPECT_EQ(connection->peer->messageCount(), 0u) << "nothing is sent after the failure";
    }
}

TEST(SimConnectTransportFaults, ATcpResetIsADisconnect) {
    for (PeerFamily family : {PeerFamily::Tcp4, PeerFamily::Tcp6}) {
        SCOPED_TRACE(familyName(family));
        SimConnectTestEnv env;
        auto connection = connect(env, family);
        if (!connection) {
            continue;
        }
        ASSERT_TRUE(connection->peer->waitForClient());
        connection->peer->reset();
        ASSERT_TRUE(connection->watch->waitForFailure());
        EXPECT_EQ(connection->client->transport.closeReason(), 5u);
        EXPECT_EQ(connection->client->transport.failureCode(), kConnectionReset);
        EXPECT_EQ(connection->client->transport.osError(), ECONNRESET);
        EXPECT_EQ(anyPacketCall(connection->client), kConnectionReset);
    }
}

TEST(SimConnectTransportFaults, ASlowPeerGetsEveryPacketWhole) {
    constexpr std::uint32_t kPackets = 5000;
    for (PeerFamily family : kFamilies) {
        SCOPED_TRACE(familyName(family));
        SimConnectTestEnv env;
        RawPeerOptions options;
        options.receiveBuffer = 1; // the system's minimum
        options.readRate = 4096;   // 4 KiB per millisecond
        auto connection = connect(env, family, options);
        if (!connection) {
            continue;
        }
        int smallest = 1;
        ASSERT_EQ(setsockopt(connection->client->transport.nativeHandle(), SOL_SOCKET, SO_SNDBUF, &smallest,
                             sizeof smallest),
                  0);
        Bytes block(64);
        for (std::uint32_t i = 0; i < kPackets; ++i) {
            for (std::size_t b = 0; b < block.size(); ++b) {
                block[b] = static_cast<std::uint8_t>(i * 31 + b);
            }
            ASSERT_EQ(SimConnect_SetDataOnSimObject(connection->client, 402, i, 0, 1, 64, block.data()),
                      S_OK);
        }
        ASSERT_TRUE(connection->peer->waitForMessages(kPackets, 5 * kLivenessBound));
        auto received = connection->peer->received();
        ASSERT_EQ(received.size(), kPackets);
        for (std::uint32_t i = 0; i < kPackets; ++i) {
            Bytes expected = zeroImage(100);
            putHex(expected, 0, "64 00 00 00 23 00 00 00 10 00 00 F0");
            const std::uint32_t words[6] = {i + 1, 402, i, 0, 1, 64};
            for (std::size_t w = 0; w < 6; ++w) {
                for (std::size_t k = 0; k < 4; ++k) {
                    expected[12 + w * 4 + k] = static_cast<std::uint8_t>(words[w] >> (8 * k));
                }
            }
            for (std::size_t b = 0; b < 64; ++b) {
                expected[36 + b] = static_cast<std::uint8_t>(i * 31 + b);
            }
            if (received[i] != expected) {
                ADD_FAILURE() << "packet " << i << " differs: " << hexOf(received[i]);
                break;
            }
        }
        EXPECT_FALSE(connection->client->transport.hasFailed());
    }
}

TEST(SimConnectTransportFaults, ErrnoMapsToTheRecordedStatus) {
    struct Case {
        int error;
        std::uint32_t reason;
        std::uint32_t code;
    };
    const std::vector<Case> cases = {
        {ECONNRESET, 5, 0xC000020Du}, {EPIPE, 5, 0xC000014Bu},     {ECONNABORTED, 5, 0xC000013Cu},
        {ECANCELED, 8, 0xC0000120u},  {ETIMEDOUT, 9, 0x8007006Eu}, {EIO, 9, 0x80070005u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.error);
        TransportCloseCause cause = closeCauseOfErrno(c.error);
        EXPECT_EQ(cause.reason, c.reason);
        EXPECT_EQ(static_cast<std::uint32_t>(cause.failureCode), c.code);
    }
}

TEST(SimConnectTransportFaults, OnlyTheFirstFailureIsRecorded) {
    SimConnectTestEnv env;
    auto connection = connect(env, PeerFamily::Unix);
    ASSERT_TRUE(connection);
    SimConnectTransport& transport = connection->client->transport;
    transport.close(2, kAbort);
    transport.close(5, kConnectionReset, ECONNRESET);
    transport.close(0, 0);
    EXPECT_EQ(transport.closeReason(), 2u);
    EXPECT_EQ(transport.failureCode(), kAbort);
    EXPECT_EQ(transport.osError(), 0);
    EXPECT_EQ(transport.state(), 0u);
    EXPECT_EQ(transport.connectionSerial(), 0u);
}

} // namespace
} // namespace zeph::test
