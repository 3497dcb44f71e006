// Data requests on the user aircraft: the reply layouts and the periods.
#include <gtest/gtest.h>

#include <numbers>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

class StandinRequests : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        standin::UserUpdate user;
        user.lat = 50.0333;
        user.lon = 8.5706;
        user.alt = 1364.0;
        user.pitchDeg = 2.0;
        user.bankDeg = -5.0;
        user.headingDeg = 90.0;
        user.groundSpeed = 140.0;
        user.lightMask = 0x105;
        standin().setUser(user);
        standin().setGround(364.0);
        client_ = setUpClient();
    }
    RawClient client_;
};

TEST_F(StandinRequests, UserPositionOnObjectZero) {
    send(client_, sc::requestData(client_.nextSendId(), 109, 403, 0, 1));
    const std::string reply = expectMessage(client_, 8);
    ASSERT_EQ(reply.size(), 136U);
    struct Field {
        const char* name;
        std::size_t offset;
        std::uint32_t expected;
    };
    for (const Field& f : {Field{"request", 12, 109}, Field{"object id, the user's real one", 16, 1},
                           Field{"define", 20, 403}, Field{"flags", 24, 0}, Field{"entry", 28, 1},
                           Field{"out of", 32, 1}, Field{"define count", 36, 12}}) {
        EXPECT_EQ(sc::u32At(reply, f.offset), f.expected) << f.name;
    }
    constexpr double kDeg = std::numbers::pi / 180.0;
    struct Value {
        const char* name;
        std::size_t offset;
        double expected;
    };
    for (const Value& v :
         {Value{"latitude", 40, 50.0333}, Value{"longitude", 48, 8.5706}, Value{"pitch", 56, 2.0 * kDeg},
          Value{"bank", 64, -5.0 * kDeg}, Value{"heading", 72, 90.0 * kDeg}, Value{"altitude", 80, 1364.0},
          Value{"height above ground", 88, 1000.0}, Value{"ground speed", 96, 140.0}}) {
        EXPECT_NEAR(sc::f64At(reply, v.offset), v.expected, 1e-12) << v.name;
    }
    EXPECT_EQ(sc::i64At(reply, 104), 3600) << "zulu time";
    EXPECT_EQ(sc::i64At(reply, 112), 1) << "day of year";
    EXPECT_EQ(sc::i64At(reply, 120), 2024) << "year";
    EXPECT_EQ(sc::i64At(reply, 128), 0x105) << "light states";
}

TEST_F(StandinRequests, TextDatumsInTheirLayouts) {
    struct Case {
        const char* name;
        std::uint32_t define;
        std::string expectedData;
    };
    const std::vector<Case> cases = {
        {"TITLE as a text of variable length", 407, std::string("Standin A320") + std::string(4, '\0')},
        {"ATC MODEL in 32 characters", 408, std::string("A320") + std::string(28, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        send(client_, sc::requestData(client_.nextSendId(), 106, c.define, 0, 1));
        const std::string reply = expectMessage(client_, 8);
        EXPECT_EQ(reply.size(), 40 + c.expectedData.size());
        EXPECT_EQ(sc::toHex(reply.substr(40)), sc::toHex(c.expectedData));
    }
}

TEST_F(StandinRequests, EverySecondFollowsTheClock) {
    send(client_, sc::requestData(client_.nextSendId(), 108, 409, 0, 4));
    waitHandled();
    standin().advanceClock(3500);
    for (int k = 0; k < 3; ++k) {
        const std::string reply = expectMessage(client_, 8);
        EXPECT_EQ(sc::u32At(reply, 12), 108U);
        EXPECT_EQ(sc::i64At(reply, 40), 1) << "on the ground";
    }
    EXPECT_TRUE(client_.quietFor(std::chrono::milliseconds(50))) << "3.5 s cross three whole seconds";
    standin().advanceClock(500);
    expectMessage(client_, 8);
    send(client_, sc::requestData(client_.nextSendId(), 108, 409, 0, 0));
    waitHandled();
    standin().advanceClock(5000);
    EXPECT_TRUE(client_.quietFor(std::chrono::milliseconds(50))) << "period 0 stops the request";
}

TEST_F(StandinRequests, EveryFrameFollowsTheFrames) {
    send(client_, sc::requestData(client_.nextSendId(), 120, 409, 0, 3));
    waitHandled();
    standin().stepFrames(2);
    for (int k = 0; k < 2; ++k) {
        expectMessage(client_, 7);
        EXPECT_EQ(sc::u32At(expectMessage(client_, 8), 12), 120U);
    }
}

TEST_F(StandinRequests, UnknownDefinitionsAndObjectsAreRefused) {
    struct Case {
        const char* name;
        std::uint32_t define;
        std::uint32_t object;
        std::uint32_t period;
        std::uint32_t index;
    };
    const std::vector<Case> cases = {
        {"object 55", 403, 55, 1, 3},
        {"define 499", 499, 0, 1, 2},
        {"period 5", 403, 0, 5, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint32_t sendId = client_.nextSendId();
        send(client_, sc::requestData(sendId, 109, c.define, c.object, c.period));
        expectException(client_, c.name == std::string("period 5") ? 31 : 3, sendId, c.index);
    }
}

} // namespace
} // namespace zeph::test
