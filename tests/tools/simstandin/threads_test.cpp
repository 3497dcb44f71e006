// Several connections and control threads at once: shared world, disconnects, waiting without polling.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

class StandinThreads : public StandinTest {};

TEST_F(StandinThreads, DisconnectRemovesTheClientsObjects) {
    RawClient owner = setUpClient();
    RawClient other = setUpClient();
    for (const char* tail : {"DLH1", "DLH2"}) {
        send(owner, sc::aiCreate(owner.nextSendId(), "Airbus A320 Lufthansa", tail, {}));
        expectMessage(owner, 12);
        expectMessage(owner, 5);
        const std::string added = expectMessage(other, 5);
        EXPECT_EQ(sc::u32At(added, 16), 202U) << "the other connection hears of it too";
    }
    ASSERT_EQ(standin().objects().size(), 3U);
    owner.close();
    std::vector<std::uint32_t> removedIds;
    for (int k = 0; k < 2; ++k) {
        const std::string removed = expectMessage(other, 5);
        EXPECT_EQ(sc::u32At(removed, 16), 203U);
        removedIds.push_back(sc::u32At(removed, 20));
    }
    EXPECT_EQ(removedIds, (std::vector<std::uint32_t>{100, 101}));
    EXPECT_EQ(standin().objects().size(), 1U) << "only the user is left";
    for (const standin::RemovalRecord& r : standin().removed()) {
        EXPECT_EQ(r.reason, "disconnect");
    }
}

TEST_F(StandinThreads, ObjectsStayWhenSwitchedOff) {
    standin::StandinOptions options;
    options.removeObjectsOnDisconnect = false;
    restart(options);
    RawClient owner = setUpClient();
    send(owner, sc::aiCreate(owner.nextSendId(), "Airbus A320 Lufthansa", "DLH1", {}));
    expectMessage(owner, 12);
    owner.close();
    ASSERT_TRUE(standin().waitFor([&] { return !standin().connections()[0].open; }, kLivenessBound));
    EXPECT_EQ(standin().objects().size(), 2U);
}

TEST_F(StandinThreads, ClientsAndControlsRunTogether) {
    constexpr int kClients = 4;
    constexpr int kWrites = 200;
    std::vector<RawClient> clients;
    std::vector<std::uint32_t> objects;
    for (int k = 0; k < kClients; ++k) {
        clients.push_back(setUpClient());
        RawClient& c = clients.back();
        send(c, sc::aiCreate(c.nextSendId(), "Airbus A320 Lufthansa", "T" + std::to_string(k), {}));
        objects.push_back(sc::u32At(expectMessage(c, 12), 16));
    }
    std::atomic<bool> stop{false};
    // A control thread steps frames and moves the clock while the clients write positions.
    std::thread controls([&] {
        for (int round = 0; round < 300 && !stop.load(); ++round) {
            standin().stepFrames(1);
            standin().advanceClock(100);
            standin().moveUser({});
            (void)standin().objects();
        }
    });
    std::vector<std::thread> writers;
    for (int k = 0; k < kClients; ++k) {
        writers.emplace_back([&, k] {
            RawClient& c = clients[static_cast<std::size_t>(k)];
            std::string data(64, '\0');
            for (int n = 0; n < kWrites; ++n) {
                sc::putF64(data, 0, n);
                c.send(sc::setData(c.nextSendId(), 402, objects[static_cast<std::size_t>(k)], 1, 64, data));
            }
        });
    }
    for (std::thread& t : writers) {
        t.join();
    }
    const bool all = standin().waitFor(
        [&] {
            for (std::uint32_t id : objects) {
                const standin::PositionLog log = standin().positions(id);
                if (log.samples.size() + log.dropped < static_cast<std::size_t>(kWrites)) {
                    return false;
                }
            }
            return true;
        },
        kLivenessBound * 5);
    stop = true;
    controls.join();
    ASSERT_TRUE(all);
    for (std::uint32_t id : objects) {
        const standin::PositionLog log = standin().positions(id);
        ASSERT_FALSE(log.samples.empty());
        EXPECT_EQ(log.samples.back().lat, kWrites - 1.0) << "the last write of object " << id;
    }
    EXPECT_TRUE(standin().violations().empty());
}

TEST_F(StandinThreads, WaitForWakesOnPackets) {
    RawClient client = openClient();
    std::thread sender([&] {
        for (std::uint32_t id = 2; id <= 6; ++id) {
            client.send(sc::groupPriority(id, 301, 1));
        }
    });
    EXPECT_TRUE(standin().waitPackets(0x09, 5, kLivenessBound));
    sender.join();
    EXPECT_FALSE(standin().waitPackets(0x09, 6, std::chrono::milliseconds(20)))
        << "a count never reached times out";
}

TEST_F(StandinThreads, PacketLogAndHistoryAreBounded) {
    standin::StandinOptions options;
    options.packetLogLimit = 10;
    options.positionHistory = 4;
    restart(options);
    RawClient client = openClient();
    send(client, sc::addDatum(client.nextSendId(), 402, "Plane Latitude", "degree", 4));
    send(client, sc::aiCreate(client.nextSendId(), "Airbus A320 Lufthansa", "DLH1", {}));
    const std::uint32_t id = sc::u32At(expectMessage(client, 12), 16);
    for (int n = 0; n < 20; ++n) {
        std::string data(8, '\0');
        sc::putF64(data, 0, n);
        send(client, sc::setData(client.nextSendId(), 402, id, 1, 8, data));
    }
    waitHandled();
    const standin::PacketLog log = standin().packets();
    EXPECT_EQ(log.packets.size(), 10U);
    EXPECT_EQ(log.dropped, 13U);
    const standin::PositionLog positions = standin().positions(id);
    ASSERT_EQ(positions.samples.size(), 4U);
    EXPECT_EQ(positions.dropped, 16U);
    EXPECT_EQ(positions.samples.front().lat, 16.0);
}

} // namespace
} // namespace zeph::test
