// AI aircraft: creation and its reports, the range request, release and removal.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

class StandinAi : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        placeUser();
        client_ = setUpClient();
    }
    void placeUser() {
        standin::UserUpdate user;
        user.lat = 50.0333;
        user.lon = 8.5706;
        user.alt = 364.0;
        standin().setUser(user);
        standin().setGround(364.0);
    }
    // Creates an accepted aircraft and reads its two reports; gives the new object id.
    std::uint32_t create(const std::string& tail, std::uint32_t requestId = 104) {
        send(client_, sc::aiCreate(client_.nextSendId(), "Airbus A320 Lufthansa", tail, {}, requestId));
        const std::string assigned = expectMessage(client_, 12);
        EXPECT_EQ(assigned.size(), 20U);
        EXPECT_EQ(sc::u32At(assigned, 12), requestId);
        const std::string added = expectMessage(client_, 5);
        EXPECT_EQ(added.size(), 28U);
        EXPECT_EQ(sc::u32At(added, 16), 202U) << "the client's ObjectAdded id";
        EXPECT_EQ(sc::u32At(added, 20), sc::u32At(assigned, 16)) << "object id";
        EXPECT_EQ(sc::u32At(added, 24), 2U) << "object type aircraft";
        return sc::u32At(assigned, 16);
    }
    // The objects of one reply by type, in order.
    std::vector<std::uint32_t> byType(std::uint32_t radius, std::vector<std::string>* atcIds = nullptr) {
        send(client_, sc::requestByType(client_.nextSendId(), 101, 404, radius));
        std::vector<std::uint32_t> ids;
        std::uint32_t outOf = 1;
        for (std::uint32_t entry = 1; entry <= outOf; ++entry) {
            const std::string message = expectMessage(client_, 9);
            EXPECT_EQ(message.size(), 40U + 56U);
            EXPECT_EQ(sc::u32At(message, 12), 101U);
            EXPECT_EQ(sc::u32At(message, 28), entry) << "entry";
            outOf = sc::u32At(message, 32);
            ids.push_back(sc::u32At(message, 16));
            if (atcIds != nullptr) {
                atcIds->push_back(sc::textAt(message, 64, 32));
            }
        }
        return ids;
    }
    RawClient client_;
};

TEST_F(StandinAi, CreationIsReportedAndListedByType) {
    EXPECT_EQ(create("DLH4AB"), 100U);
    std::vector<std::string> atcIds;
    EXPECT_EQ(byType(50000, &atcIds), (std::vector<std::uint32_t>{1, 100}));
    EXPECT_EQ(atcIds, (std::vector<std::string>{"D-ASTA", "DLH4AB"}));
    const std::vector<standin::SimObject> objects = standin().objects();
    ASSERT_EQ(objects.size(), 2U);
    EXPECT_EQ(objects[1].atcId, "DLH4AB");
    EXPECT_NEAR(objects[1].heading, 90.0 * 3.141592653589793 / 180.0, 1e-12) << "attitude is kept in radians";
}

TEST_F(StandinAi, RangeRequestLimits) {
    create("DLH4AB");
    standin::TrafficSpec far;
    far.atcId = "FAR1";
    far.lat = 51.0; // about 108 km north
    far.lon = 8.5706;
    far.agl = 3000.0;
    const std::uint32_t farId = standin().addTraffic(far);
    expectMessage(client_, 5); // its ObjectAdded
    struct Case {
        const char* name;
        std::uint32_t radius;
        std::vector<std::uint32_t> expected;
    };
    const std::vector<Case> cases = {
        {"radius 0: the user only", 0, {1}},
        {"50 km", 50000, {1, 100}},
        {"200 km, the largest allowed", 200000, {1, 100, farId}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(byType(c.radius), c.expected);
    }
    const std::uint32_t sendId = client_.nextSendId();
    send(client_, sc::requestByType(sendId, 101, 404, 200001));
    expectException(client_, 31, sendId, 3);
}

TEST_F(StandinAi, RefusedTitlesGetTheirException) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
    };
    const std::vector<Case> cases = {
        {"refused by name", [&] { standin().refuseTitles({"Airbus A320 Lufthansa"}); }},
        {"not installed",
         [&] {
             standin().refuseTitles({});
             standin().installedTitles(std::vector<std::string>{"Boeing 737-800"});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.setUp();
        const std::uint32_t sendId = client_.nextSendId();
        send(client_, sc::aiCreate(sendId, "Airbus A320 Lufthansa", "DLH4AB", {}));
        expectException(client_, 22, sendId, 1);
        EXPECT_EQ(standin().objects().size(), 1U) << "no object is made";
    }
}

TEST_F(StandinAi, ReleaseAndRemove) {
    const std::uint32_t id = create("DLH4AB");
    struct Case {
        const char* name;
        std::function<std::string(std::uint32_t)> packet;
        std::uint32_t exceptionCode; // 0: no exception
        std::uint32_t messageId;     // the message that follows when there is no exception
    };
    const std::vector<Case> cases = {
        {"release the AI object", [&](std::uint32_t s) { return sc::aiRelease(s, id); }, 0, 0},
        {"release the user", [&](std::uint32_t s) { return sc::aiRelease(s, 1); }, 24, 0},
        {"release an unknown object", [&](std::uint32_t s) { return sc::aiRelease(s, 77); }, 3, 0},
        {"remove the user", [&](std::uint32_t s) { return sc::aiRemove(s, 1); }, 24, 0},
        {"remove the AI object", [&](std::uint32_t s) { return sc::aiRemove(s, id); }, 0, 5},
        {"remove it again", [&](std::uint32_t s) { return sc::aiRemove(s, id); }, 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint32_t sendId = client_.nextSendId();
        send(client_, c.packet(sendId));
        if (c.exceptionCode != 0) {
            expectException(client_, c.exceptionCode, sendId, 1);
        } else if (c.messageId == 5) {
            const std::string removed = expectMessage(client_, 5);
            EXPECT_EQ(sc::u32At(removed, 16), 203U) << "the client's ObjectRemoved id";
            EXPECT_EQ(sc::u32At(removed, 20), id);
        } else {
            waitHandled();
            const auto objects = standin().objects();
            EXPECT_TRUE(std::any_of(objects.begin(), objects.end(),
                                    [&](const standin::SimObject& o) { return o.id == id && o.released; }));
        }
    }
    const std::vector<standin::RemovalRecord> removed = standin().removed();
    ASSERT_EQ(removed.size(), 1U);
    EXPECT_EQ(removed[0].objectId, id);
    EXPECT_EQ(removed[0].reason, "request");
}

TEST_F(StandinAi, CreationReportKnobs) {
    // Delayed by two frames: nothing until the second frame, then message 12 and ObjectAdded.
    standin().creationDelayFrames(2);
    send(client_, sc::aiCreate(client_.nextSendId(), "Airbus A320 Lufthansa", "DLH1", {}));
    waitHandled();
    standin().stepFrames(1);
    expectMessage(client_, 7);
    EXPECT_TRUE(client_.quietFor(std::chrono::milliseconds(50)));
    standin().stepFrames(1);
    expectMessage(client_, 7);
    EXPECT_EQ(sc::u32At(expectMessage(client_, 12), 16), 100U);
    expectMessage(client_, 5);
    standin().creationDelayFrames(0);

    // Never reported: no message and no object.
    standin().neverReportCreations(true);
    send(client_, sc::aiCreate(client_.nextSendId(), "Airbus A320 Lufthansa", "DLH2", {}));
    waitHandled();
    EXPECT_TRUE(client_.quietFor(std::chrono::milliseconds(50)));
    EXPECT_EQ(standin().objects().size(), 2U);
    standin().neverReportCreations(false);

    // ObjectAdded held until after the next reply by type, which already lists the object.
    standin().objectAddedAfterNextByType(true);
    send(client_, sc::aiCreate(client_.nextSendId(), "Airbus A320 Lufthansa", "DLH3", {}));
    const std::uint32_t id = sc::u32At(expectMessage(client_, 12), 16);
    EXPECT_EQ(byType(50000), (std::vector<std::uint32_t>{1, 100, id}));
    EXPECT_EQ(sc::u32At(expectMessage(client_, 5), 20), id);
}

} // namespace
} // namespace zeph::test
