// Data written to objects and client events sent to them.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

class StandinWrites : public StandinTest {
protected:
    void SetUp() override {
        StandinTest::SetUp();
        client_ = setUpClient();
        send(client_, sc::aiCreate(client_.nextSendId(), "Airbus A320 Lufthansa", "DLH4AB", {}));
        objectId_ = sc::u32At(expectMessage(client_, 12), 16);
        expectMessage(client_, 5);
    }
    standin::SimObject object() {
        waitHandled();
        for (const standin::SimObject& o : standin().objects()) {
            if (o.id == objectId_) {
                return o;
            }
        }
        ADD_FAILURE() << "object " << objectId_ << " is gone";
        return {};
    }
    static std::string doubles(const std::vector<double>& values) {
        std::string data(values.size() * 8, '\0');
        for (std::size_t k = 0; k < values.size(); ++k) {
            sc::putF64(data, 8 * k, values[k]);
        }
        return data;
    }
    RawClient client_;
    std::uint32_t objectId_ = 0;
};

TEST_F(StandinWrites, PositionWritesAreKeptInTheHistory) {
    const std::vector<double> values = {50.01, 8.52, 0.05, -0.1, 1.5, 1200.0, 12.5, 160.0};
    send(client_, sc::setData(client_.nextSendId(), 402, objectId_, 1, 64, doubles(values)));
    waitHandled();
    standin().stepFrames(1);
    send(client_,
         sc::setData(client_.nextSendId(), 402, objectId_, 1, 64, doubles({1, 2, 3, 4, 5, 6, 7, 8})));
    waitHandled();
    const standin::PositionLog log = standin().positions(objectId_);
    ASSERT_EQ(log.samples.size(), 2U);
    const standin::PositionSample& first = log.samples[0];
    EXPECT_EQ(first.frame, 0U);
    EXPECT_EQ(log.samples[1].frame, 1U);
    EXPECT_EQ(first.clockMs, 1704070800000);
    const std::vector<double> got = {first.lat,     first.lon, first.pitch,         first.bank,
                                     first.heading, first.alt, first.verticalSpeed, first.airspeed};
    EXPECT_EQ(got, values);
    EXPECT_EQ(object().alt, 6.0) << "the object took the last write";
}

TEST_F(StandinWrites, ControlsWriteSpoilersAndThrottles) {
    send(client_, sc::setData(client_.nextSendId(), 401, objectId_, 1, 24, doubles({100.0, 55.0, 45.0})));
    const standin::SimObject o = object();
    EXPECT_EQ(o.spoilersPercent, 100.0);
    EXPECT_EQ(o.throttle1Percent, 55.0);
    EXPECT_EQ(o.throttle2Percent, 45.0);
    EXPECT_TRUE(standin().positions(objectId_).samples.empty()) << "no position was written";
}

TEST_F(StandinWrites, BadWritesAreRefused) {
    struct Case {
        const char* name;
        std::uint32_t define;
        std::uint32_t object;
        std::uint32_t count;
        std::uint32_t unit;
        std::uint32_t code;
        std::uint32_t index;
    };
    const std::vector<Case> cases = {
        {"unit 60 for a 64-byte definition", 402, 0, 1, 60, 19, 5},
        {"count 2", 402, 0, 2, 64, 19, 4},
        {"unknown definition", 499, 0, 1, 64, 3, 1},
        {"unknown object", 402, 4711, 1, 64, 3, 2},
        {"definition of variable size", 407, 0, 1, 16, 19, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::uint32_t sendId = client_.nextSendId();
        const std::uint32_t object = c.object == 0 ? objectId_ : c.object;
        send(client_,
             sc::setData(sendId, c.define, object, c.count, c.unit, std::string(c.count * c.unit, '\0')));
        expectException(client_, c.code, sendId, c.index);
    }
    EXPECT_TRUE(standin().positions(objectId_).samples.empty());
}

TEST_F(StandinWrites, PositionWriteToTheUserIsAViolation) {
    const std::uint32_t sendId = client_.nextSendId();
    send(client_, sc::setData(sendId, 402, 1, 1, 64, doubles({1, 2, 3, 4, 5, 6, 7, 8})));
    waitHandled();
    const std::vector<standin::Violation> violations = standin().violations();
    ASSERT_EQ(violations.size(), 1U);
    EXPECT_EQ(violations[0].sendId, sendId);
    EXPECT_NE(violations[0].text.find("user aircraft"), std::string::npos);
    EXPECT_EQ(standin().objects()[0].lat, 0.0) << "the user did not move";
}

TEST_F(StandinWrites, ClientEventsChangeTheObject) {
    struct Case {
        const char* name;
        std::uint32_t event;
        std::uint32_t data;
        std::function<bool(const standin::SimObject&)> check;
    };
    const std::vector<Case> cases = {
        {"FLAPS_SET", 218, 16383, [](const auto& o) { return o.flaps == 16383U; }},
        {"GEAR_SET up", 220, 0, [](const auto& o) { return o.gear == 0U; }},
        {"THROTTLE_SET", 223, 11468, [](const auto& o) { return o.throttle == 11468U; }},
        {"SPOILERS_SET", 219, 16383, [](const auto& o) { return o.spoilers == 16383U; }},
        {"FREEZE_LATITUDE_LONGITUDE_SET", 215, 1, [](const auto& o) { return o.freezeLatLon; }},
        {"FREEZE_ALTITUDE_SET", 216, 1, [](const auto& o) { return o.freezeAltitude; }},
        {"FREEZE_ATTITUDE_SET", 217, 1, [](const auto& o) { return o.freezeAttitude; }},
        {"ENGINE_AUTO_START", 221, 0, [](const auto& o) { return o.engineRunning; }},
        {"ENGINE_AUTO_SHUTDOWN", 222, 0, [](const auto& o) { return !o.engineRunning; }},
        {"NAV_LIGHTS_SET on", 208, 1, [](const auto& o) { return o.lightMask == 0x1U; }},
        {"LOGO_LIGHTS_SET on", 213, 1, [](const auto& o) { return o.lightMask == 0x101U; }},
        {"NAV_LIGHTS_SET off", 208, 0, [](const auto& o) { return o.lightMask == 0x100U; }},
        {"ALL_LIGHTS_TOGGLE", 214, 0, [](const auto& o) { return o.lightMask == 0x2FFU; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        send(client_, sc::transmit(client_.nextSendId(), objectId_, c.event, c.data));
        EXPECT_TRUE(c.check(object()));
    }
    const std::vector<standin::ClientEventRecord> events = standin().clientEvents(objectId_);
    ASSERT_EQ(events.size(), cases.size());
    EXPECT_EQ(events[0].eventName, "FLAPS_SET");
    EXPECT_EQ(events[0].data, 16383U);
    EXPECT_EQ(events[0].groupId, 301U);
    EXPECT_EQ(events[0].flags, 0U);
}

TEST_F(StandinWrites, UnmappedEventsAndUnknownObjectsAreRefused) {
    struct Case {
        const char* name;
        std::uint32_t object;
        std::uint32_t event;
        std::uint32_t index;
    };
    for (const Case& c : {Case{"unmapped event 299", 0, 299, 2}, Case{"unknown object", 4711, 218, 1}}) {
        SCOPED_TRACE(c.name);
        const std::uint32_t sendId = client_.nextSendId();
        send(client_, sc::transmit(sendId, c.object == 0 ? objectId_ : c.object, c.event, 1));
        expectException(client_, 3, sendId, c.index);
    }
    const std::uint32_t sendId = client_.nextSendId();
    send(client_, sc::mapEvent(sendId, 230, "FLAPS_SETX"));
    expectException(client_, 7, sendId, 2);
}

} // namespace
} // namespace zeph::test
