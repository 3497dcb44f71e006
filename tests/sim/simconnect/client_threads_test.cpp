#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simconnect/calls.h"
#include "sim/simconnect/sc_test_env.h"

// Two threads share one client, as the traffic thread and the simulator thread do: one writes positions,
// the other creates aircraft and asks for the send id of each creation.

namespace zeph::test {
namespace {

constexpr std::uint32_t kPositionPackets = 20000;
constexpr std::uint32_t kCreations = 2000;

Bytes positionBlock(std::uint32_t i) {
    Bytes block(24);
    for (std::size_t b = 0; b < block.size(); ++b) {
        block[b] = static_cast<std::uint8_t>(i >> (8 * (b % 3)) ^ b);
    }
    std::memcpy(block.data(), &i, sizeof i);
    return block;
}

TEST(SimConnectClientThreads, OneClientTwoThreadsKeepsEveryPacketWhole) {
    SimConnectTestEnv env;
    auto peer = listenPeer(env, PeerFamily::Unix);
    ASSERT_TRUE(peer);
    SimConnectClient* client = connectClient(*peer, PeerFamily::Unix);
    ASSERT_NE(client, nullptr);
    ClientCloser closer{client};

    std::vector<std::int32_t> positionResults(kPositionPackets);
    std::thread positions([&] {
        for (std::uint32_t i = 0; i < kPositionPackets; ++i) {
            Bytes block = positionBlock(i);
            positionResults[i] = SimConnect_SetDataOnSimObject(client, 401, 100, 0, 1, 24, block.data());
        }
    });
    std::vector<std::uint32_t> creationIds(kCreations);
    std::vector<std::int32_t> creationResults(kCreations);
    std::thread creations([&] {
        Bytes init(56, 0x11);
        for (std::uint32_t i = 0; i < kCreations; ++i) {
            std::string title = "T" + std::to_string(i);
            creationResults[i] =
                SimConnect_AICreateNonATCAircraft(client, title.c_str(), "D-TEST", init.data(), 104);
            SimConnect_GetLastSentPacketID(client, &creationIds[i]);
        }
    });
    positions.join();
    creations.join();
    for (std::uint32_t i = 0; i < kPositionPackets; ++i) {
        ASSERT_EQ(positionResults[i], S_OK) << "position " << i;
    }
    for (std::uint32_t i = 0; i < kCreations; ++i) {
        ASSERT_EQ(creationResults[i], S_OK) << "creation " << i;
    }
    ASSERT_TRUE(peer->waitForMessages(kPositionPackets + kCreations, 10 * kLivenessBound));

    std::map<Bytes, int> blocksLeft;
    for (std::uint32_t i = 0; i < kPositionPackets; ++i) {
        ++blocksLeft[positionBlock(i)];
    }
    std::map<std::string, std::uint32_t> idOfTitle;
    std::uint32_t expectedId = 1;
    auto messages = peer->received();
    ASSERT_EQ(messages.size(), kPositionPackets + kCreations);
    for (const auto& m : messages) {
        ASSERT_GE(m.size(), 16u);
        std::uint32_t size = readU32(m.data());
        std::uint32_t version = readU32(m.data() + 4);
        std::uint32_t id = readU32(m.data() + 8);
        std::uint32_t sendId = readU32(m.data() + 12);
        ASSERT_EQ(size, m.size());
        ASSERT_EQ(version, 35u);
        ASSERT_EQ(sendId, expectedId) << "send ids are strictly consecutive";
        ++expectedId;
        if (id == 0xF0000010u) {
            ASSERT_EQ(size, 60u);
            ASSERT_EQ(readU32(m.data() + 16), 401u);
            Bytes block(m.begin() + 36, m.end());
            auto found = blocksLeft.find(block);
            ASSERT_TRUE(found != blocksLeft.end() && found->second > 0)
                << "a position block is not one of A's";
            --found->second;
        } else {
            ASSERT_EQ(id, 0xF0000029u) << "unknown packet id";
            ASSERT_EQ(size, 344u);
            std::string title(reinterpret_cast<const char*>(m.data() + 16));
            ASSERT_TRUE(idOfTitle.emplace(title, sendId).second) << title << " twice";
        }
    }
    for (std::uint32_t i = 0; i < kCreations; ++i) {
        std::string title = "T" + std::to_string(i);
        ASSERT_EQ(idOfTitle.count(title), 1u) << title;
        EXPECT_EQ(idOfTitle[title], creationIds[i]) << title;
    }
}

} // namespace
} // namespace zeph::test
