// System events and frames.
#include <gtest/gtest.h>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

TEST_F(StandinTest, SimStateFollowsTheControl) {
    RawClient client = openClient();
    send(client, sc::subscribe(2, 201, "Sim"));
    struct Step {
        const char* name;
        std::function<void()> action;
        std::uint32_t data;
    };
    const std::vector<Step> steps = {
        {"right after the subscription", [] {}, 1},
        {"simulation paused", [&] { standin().setSimRunning(false); }, 0},
        {"simulation running again", [&] { standin().setSimRunning(true); }, 1},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        s.action();
        const std::string event = expectMessage(client, 4);
        ASSERT_EQ(event.size(), 24U);
        EXPECT_EQ(sc::u32At(event, 12), 0xFFFFFFFFU) << "group";
        EXPECT_EQ(sc::u32At(event, 16), 201U) << "the client's event id";
        EXPECT_EQ(sc::u32At(event, 20), s.data);
    }
}

TEST_F(StandinTest, SimStateIsNotSentWhenSwitchedOff) {
    standin::StandinOptions options;
    options.simRunningOnSubscribe = false;
    restart(options);
    RawClient client = openClient();
    send(client, sc::subscribe(2, 201, "Sim"));
    waitHandled();
    EXPECT_TRUE(client.quietFor(std::chrono::milliseconds(50)));
}

TEST_F(StandinTest, FramesComeOnePerStep) {
    RawClient client = setUpClient();
    standin().stepFrames(3);
    for (int k = 0; k < 3; ++k) {
        const std::string frame = expectMessage(client, 7);
        ASSERT_EQ(frame.size(), 32U);
        EXPECT_EQ(sc::u32At(frame, 16), 204U) << "the client's event id for Frame";
        EXPECT_EQ(sc::u32At(frame, 20), 0U);
        EXPECT_EQ(sc::f32At(frame, 24), 30.0F) << "frame rate";
        EXPECT_EQ(sc::f32At(frame, 28), 1.0F) << "sim speed";
    }
    EXPECT_TRUE(client.quietFor(std::chrono::milliseconds(50)));
    standin().setFrameRate(61.5);
    standin().stepFrames(1);
    EXPECT_EQ(sc::f32At(expectMessage(client, 7), 24), 61.5F);
}

TEST_F(StandinTest, FlightEventsUseTheClientsIds) {
    RawClient client = setUpClient();
    standin().sendPositionChanged();
    const std::string position = expectMessage(client, 4);
    EXPECT_EQ(sc::u32At(position, 16), 205U);

    standin().sendFlightLoaded("x.fxml");
    const std::string file = expectMessage(client, 6);
    ASSERT_EQ(file.size(), 288U);
    EXPECT_EQ(sc::u32At(file, 16), 206U);
    EXPECT_EQ(sc::textAt(file, 24, 260), "x.fxml");
    EXPECT_EQ(sc::u32At(file, 284), 0U) << "flags";

    standin().sendFlightLoaded("y.fxml", true);
    const std::string event = expectMessage(client, 4);
    EXPECT_EQ(event.size(), 24U);
    EXPECT_EQ(sc::u32At(event, 16), 206U);
}

TEST_F(StandinTest, UnknownSystemEventIsRefused) {
    RawClient client = openClient();
    send(client, sc::subscribe(2, 299, "SimStartX"));
    expectException(client, 7, 2, 2);
    send(client, sc::subscribe(3, 201, "sim"));
    EXPECT_EQ(sc::u32At(expectMessage(client, 4), 16), 201U) << "names match in any case";
}

TEST_F(StandinTest, EventsGoOnlyToSubscribers) {
    RawClient subscribed = setUpClient();
    RawClient bare = openClient();
    standin().stepFrames(1);
    standin().sendPositionChanged();
    expectMessage(subscribed, 7);
    expectMessage(subscribed, 4);
    EXPECT_TRUE(bare.quietFor(std::chrono::milliseconds(50)));
}

} // namespace
} // namespace zeph::test
