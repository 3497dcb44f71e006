#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simconnect/calls.h"
#include "sim/simconnect/sc_test_env.h"
#include "support/thread_count.h"

namespace zeph::test {
namespace {

Bytes eventMessage() {
    Bytes m = zeroImage(24);
    putHex(m, 0, "18 00 00 00 23 00 00 00 04 00 00 00 2D 01 00 00 C9 00 00 00 01 00 00 00");
    return m;
}

Bytes frameMessage() {
    Bytes m = zeroImage(32);
    putHex(m, 0, "20 00 00 00 23 00 00 00 07 00 00 00 00 00 00 00 CC 00 00 00 00 00 00 00 00 00 70 42");
    return m;
}

void throwOnEvent(const std::uint8_t* message, std::uint32_t size, void* context) {
    if (size >= 12 && message[8] == 4) {
        throw std::runtime_error("event refused");
    }
    collectMessage(message, size, context);
}

class SimConnectDispatch : public ::testing::Test {
protected:
    void SetUp() override {
        peer_ = listenPeer(env_, PeerFamily::Unix);
        ASSERT_TRUE(peer_);
        client_ = connectClient(*peer_, PeerFamily::Unix);
        ASSERT_NE(client_, nullptr);
        watch_ = std::make_unique<ClientWatch>(client_);
        // An event, a message too short to have a header, then a frame.
        peer_->send(eventMessage()).send(hexBytes("08 00 00 00 23 00 00 00")).send(frameMessage());
        ASSERT_TRUE(watch_->waitForQueued(3));
    }

    SimConnectTestEnv env_;
    std::unique_ptr<RawPeer> peer_;
    SimConnectClient* client_ = nullptr;
    ClientCloser closer_{client_};
    std::unique_ptr<ClientWatch> watch_;
};

TEST_F(SimConnectDispatch, DeliversWholeMessagesInOrderAndSkipsShortOnes) {
    std::vector<Bytes> got;
    EXPECT_EQ(SimConnect_CallDispatch(client_, collectMessage, &got), S_OK);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], eventMessage());
    EXPECT_EQ(got[1], frameMessage());

    got.clear();
    EXPECT_EQ(SimConnect_CallDispatch(client_, collectMessage, &got), S_OK)
        << "empty queue, healthy transport";
    EXPECT_TRUE(got.empty());
}

TEST_F(SimConnectDispatch, AThrowingProcedureLeavesTheRestQueued) {
    std::vector<Bytes> got;
    EXPECT_THROW(SimConnect_CallDispatch(client_, throwOnEvent, &got), std::runtime_error);
    EXPECT_TRUE(got.empty());
    EXPECT_EQ(SimConnect_CallDispatch(client_, throwOnEvent, &got), S_OK);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], frameMessage());
}

TEST_F(SimConnectDispatch, RefusesMissingHandleOrProcedure) {
    std::vector<Bytes> got;
    struct Case {
        std::string name;
        SimConnectClient* handle;
        SimConnectDispatchProc procedure;
    };
    const std::vector<Case> cases = {
        {"null procedure, no stored callback", client_, nullptr},
        {"null handle", nullptr, collectMessage},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(SimConnect_CallDispatch(c.handle, c.procedure, &got),
                  static_cast<std::int32_t>(0x80004005u));
    }
    EXPECT_TRUE(got.empty());
    std::uint32_t id = 0;
    EXPECT_EQ(SimConnect_GetLastSentPacketID(nullptr, &id), static_cast<std::int32_t>(0x80004005u));
    EXPECT_EQ(SimConnect_GetLastSentPacketID(client_, nullptr), static_cast<std::int32_t>(0x80004005u));
    EXPECT_EQ(SimConnect_Close(nullptr), static_cast<std::int32_t>(0x80004005u));
    EXPECT_EQ(lf_closeClient(nullptr), 1);
}

TEST(SimConnectClose, WaitsThenLeavesNoThreadOrSocketBehind) {
    SimConnectTestEnv env;
    SimConnectTimings timings = simConnectTimings();
    timings.closeBefore = std::chrono::milliseconds(10);
    timings.closeAfter = std::chrono::milliseconds(25);
    setSimConnectTimingsForTest(timings);

    // A sanitizer's runtime starts a helper thread with the process's first thread; let that happen first.
    std::thread([] {}).join();
    // Counted before the peer exists: its reader thread ends at EOF, so only the peer's absence gives a
    // count that the client alone decides.
    const int threadsBefore = threadCount();
    auto peer = listenPeer(env, PeerFamily::Unix);
    ASSERT_TRUE(peer);
    const int clientsBefore = lf_clientCount();
    SimConnectClient* client = connectClient(*peer, PeerFamily::Unix);
    ASSERT_NE(client, nullptr);
    ASSERT_TRUE(peer->waitForClient());
    EXPECT_EQ(lf_clientCount(), clientsBefore + 1);
    EXPECT_EQ(SimConnect_TransmitClientEvent(client, 0, 214, 0, 301, 0), S_OK);

    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SimConnect_Close(client), S_OK);
    auto took = std::chrono::steady_clock::now() - start;

    EXPECT_GE(took, std::chrono::milliseconds(35));
    EXPECT_TRUE(peer->waitForEof());
    EXPECT_EQ(peer->readError(), 0);
    EXPECT_EQ(peer->messageCount(), 1u) << "what was queued before the close went out";
    peer.reset();
    EXPECT_EQ(settledThreadCount(threadsBefore), threadsBefore);
    EXPECT_EQ(lf_clientCount(), clientsBefore);
    EXPECT_EQ(lf_liveTransportCount(), 0);
}

} // namespace
} // namespace zeph::test
