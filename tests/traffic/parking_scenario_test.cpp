#include <cmath>
#include <numbers>

#include <gtest/gtest.h>

#include "airports/stands.h"
#include "state/main_window_state.h"
#include "support/motion_fixture.h"
#include "support/pass_harness.h"
#include "support/stand_builder.h"
#include "support/week_clock.h"
#include "traffic/position_stream.h"

namespace zeph {
namespace {

class ParkingScenario : public test::MotionFixture {};

// A B738 that landed in this run taxis off the runway; its reports stop 25 m north of A2, facing south, and
// it holds there. It is driven onto A2 and parks facing the stand; two hours later it is reported moving off.
TEST_F(ParkingScenario, AnAircraftWhoseReportsStopNearAStandParksThereAndTeachesTheStand) {
    test::TestParkAirport airport;
    parkAirportLoaded = true;
    test::WeekClock clock(WeekSlot{3, 20});
    ParkPos& a2 = *gf_standByNumber(2);
    const GeoPoint stand{a2.latitude, a2.longitude}, stop = test::metresFrom(stand, 0, 25);
    LiveAc& a = aircraft();
    a.position.latitude = a.stream[0].latitude = stop.lat,
    a.position.longitude = a.stream[0].longitude = stop.lon;
    a.position.altitude = a.stream[0].altitude = a.stream[0].groundSpeed = a.stream[0].airborne = 0;
    a.phase = a.previousPhase = AcPhase::taxi, a.onGround = 1, a.position.heading = std::numbers::pi;
    a.landed = 1, a.timingMode = 1;
    a.stream.push_back(a.stream[0]), a.stream[1].stationary = 1, a.stream[1].duePass += 3000; // holding
    test::PassHarness harness(*fake_);
    harness.run(1); // 25 m at 4 kt: on the stand after 1215 passes, at rest 50 later
    EXPECT_TRUE(a.stream.size() == 2 && a.stream[0].duePass == kNow + 1215 &&
                a.stream[1].duePass == kNow + 1265);
    harness.runThrough(1264);
    EXPECT_EQ(a.phase, AcPhase::parking);
    harness.runThrough(1265);
    parkAirportLoaded = false;
    ASSERT_TRUE(a.phase == AcPhase::parked && a2.uses.size() == 1);
    EXPECT_TRUE(std::fabs(a.position.latitude - stand.lat) < 1e-7 &&
                std::fabs(a.position.longitude - stand.lon) < 1e-7);
    EXPECT_TRUE(a.position.heading == a2.heading && a2.uses[0].slots == HalfHourSet(1ULL << 20));
    clock.stepHalfHours(4);
    for (const double metres : {10.0, 13.5, 17.0, 20.5}) {
        EXPECT_EQ(a.leavingStand, 0) << metres;
        decodeExisting(a, moved(a.stream[0], 90, metres, 3000));
    }
    EXPECT_TRUE(a.leavingStand == 1 && !a2.occupied);
    EXPECT_TRUE(a2.uses.size() == 1 && a2.uses[0].slots == HalfHourSet(0x1FULL << 20) &&
                a2.uses[0].coupled == 1);
}

} // namespace
} // namespace zeph
