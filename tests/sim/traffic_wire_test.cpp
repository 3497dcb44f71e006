#include <algorithm>
#include <cstring>

#include <gtest/gtest.h>

#include "settings/parameter_table.h"
#include "sim/flight_plans.h"
#include "support/aircraft_fixture.h"
#include "support/fake_simulator.h"
#include "support/standin_harness.h"
#include "support/traffic_script.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

class TrafficWireThreads : public test::StandinHarness {};

// The airliner's first 8,000 passes in-process against the fake, then over the wire against the stand-in.
TEST_F(TrafficWireThreads, AnAirlinerIsSentTheSamePositionsOverTheWireAsInProcess) {
    constexpr std::int64_t kPasses = 8000;
    const test::TestAircraft fleet;
    flightPlanFolder = programDir();
    RANDOM.setValue(false);
    const auto script = test::straightFlight(test::airlinerReport());
    std::vector<AiPositionData> local;
    test::FlightSpan localSpan;
    {
        lf_clearTrafficTables();
        tickCounter = 10000;
        test::FakeSimulator fake;
        fake.recordPositions(true);
        fake.setHeightAboveGround(12000.0); // as the stand-in reports over its ground at 0 ft
        test::PassHarness harness(fake, script);
        localSpan = test::watchFlight(harness, 4000001, kPasses);
        local = fake.positions(100);
    }
    lf_clearTrafficTables();
    tickCounter = 10000;
    test::PassHarness harness = passHarness(script);
    EXPECT_EQ(test::watchFlight(harness, 4000001, kPasses).activeAt, localSpan.activeAt);
    ASSERT_EQ(static_cast<std::int64_t>(local.size()), kPasses - localSpan.activeAt) << "one a pass";
    waitUntilSentHandled(); // the last frame's positions
    const auto samples = standin().positions(100).samples;
    ASSERT_EQ(samples.size(), local.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto& s = samples[i];
        const double wire[] = {s.lat, s.lon, s.pitch, s.bank, s.heading, s.alt, s.verticalSpeed, s.airspeed};
        ASSERT_EQ(std::memcmp(wire, &local[i], sizeof wire), 0) << "position " << i;
    }
    const auto events = standin().clientEvents(100);
    EXPECT_EQ(std::count_if(events.begin(), events.end(),
                            [](const auto& e) { return e.eventName == "ALL_LIGHTS_TOGGLE"; }),
              2);
    const auto plans = standin().flightPlans();
    ASSERT_EQ(plans.size(), 1U);
    EXPECT_EQ(std::to_string(plans[0].objectId) + plans[0].type + plans[0].departure + plans[0].destination,
              "100IFRZRHFRA");
    EXPECT_TRUE(standin().violations().empty());
    lf_clearTrafficTables();
}

// Another program's aircraft with the airliner's callsign appears while the simulator holds the airliner's
// creation back: it gets nothing from the program, and the airliner's own object gets the positions.
TEST_F(TrafficWireThreads, AForeignAircraftWithOurCallsignIsLeftAloneAndOursIsMoved) {
    const test::TestAircraft fleet;
    flightPlanFolder = programDir();
    RANDOM.setValue(false);
    lf_clearTrafficTables();
    tickCounter = 10000;
    standin().creationDelayFrames(250); // more than two range requests
    test::PassHarness harness = passHarness(test::straightFlight(test::airlinerReport()));
    while (pendingCreations.empty() && harness.passesRun() < 6000) {
        harness.run(1);
    }
    ASSERT_EQ(pendingCreations.size(), 1U);
    standin::TrafficSpec traffic;
    traffic.atcId = test::airlinerReport().identity.callsign;
    traffic.lat = 47.0;
    traffic.lon = 8.0;
    traffic.agl = 12000.0;
    traffic.onGround = false;
    const std::uint32_t foreign = standin().addTraffic(traffic);
    EXPECT_GE(test::watchFlight(harness, 4000001, 1000).activeAt, 0);
    waitUntilSentHandled();

    const auto created = standin().created();
    ASSERT_EQ(created.size(), 1U);
    EXPECT_FALSE(standin().positions(created[0].objectId).samples.empty());
    EXPECT_TRUE(standin().positions(foreign).samples.empty());
    EXPECT_TRUE(standin().clientEvents(foreign).empty());
    EXPECT_TRUE(standin().violations().empty());
    lf_clearTrafficTables();
}

} // namespace
} // namespace zeph
