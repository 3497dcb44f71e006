#include <functional>

#include <gtest/gtest.h>

#include "airports/stands.h"
#include "support/motion_fixture.h"
#include "traffic/live_update.h"
#include "traffic/position_stream.h"

namespace zeph {
namespace {

class LiveUpdate : public test::MotionFixture {};

TEST_F(LiveUpdate, ATravelTimeBeyond32BitsWritesOnePairOfLinesAndRemovesTheAircraft) {
    LiveAc& a = aircraft();
    a.stream[0].groundSpeed = 1.0;
    a.stream.push_back(moved(a.stream[0], 180, 6000 * kMetresPerNm)); // 6,000 nm at 1 kt
    EXPECT_FALSE(updateLiveAc(a) || updateLiveAc(a));
    EXPECT_EQ(a.state, AcState::removingfromsim);
    const auto log = readLog(); // without the mend, the pair comes again every pass
    ASSERT_EQ(log.size(), 2U);
    EXPECT_TRUE(log[0].starts_with("==> nextPosMain: narrowing_error TST123") &&
                log[1].starts_with("==> updateLiveAc: narrowing_error TST123"));
}

TEST_F(LiveUpdate, ADryStreamHoldsOrPredictsOrEndsTheAircraft) {
    struct Case {
        const char* name;
        std::function<void(LiveAc&)> setUp;
        double speed = -1, altitude = 0; // of the new copy; -1: no copy, the aircraft is to leave
        std::int64_t due = 0;            // of the copy, from now
    };
    const auto taxi = [](LiveAc& a) {
        a.phase = AcPhase::taxi, a.onGround = 1, a.stream[0].altitude = a.stream[0].airborne = 0;
    };
    const auto neighbour = [&](LiveAc& a) {
        taxi(a);
        LiveAc other = a;
        other.objectId = 101;
        other.position.latitude += 2 * other.radius * 1.1 / 60.0; // 1.1 times their radii
        liveAcTable.push_back(other);
    };
    const Case cases[] = {
        {"in the air: 95 %, 8 s ahead", [](LiveAc&) {}, 285, 12000, 800},
        {"approach, 4 left: 90 %", [](LiveAc& a) { a.approach = 1, a.timingMode = 5; }, 270, 11919.96, 800},
        {"39.6 nm from the user, range 40", [](LiveAc& a) { a.position.latitude = 47.05 - 39.6 / 60; }},
        {"airborne only, 550 ft above the park airport",
         [](LiveAc& a) {
             test::installTestParkAirport(), AIRBORNE_ONLY.setValue(true), a.position.altitude = 5500;
         }},
        {"a light aircraft, unwanted",
         [](LiveAc& a) { a.kind = AcKind::Light, LIGHT_AIRCRAFT.setValue(false); }},
        {"taxi: hold", taxi, 0, 0, 300},
        {"held 21 min", [&](LiveAc& a) { taxi(a), a.holdFlag = 1, a.holdStart = kNow - 126000; }},
        {"taxiing neighbour close", neighbour},
        {"held, airborne only", [&](LiveAc& a) { taxi(a), a.holdFlag = 1, AIRBORNE_ONLY.setValue(true); }},
        {"landing roll at 90 kt",
         [&](LiveAc& a) { taxi(a), a.landingRoll = 1, a.stream[0].groundSpeed = 90; }, 60, 0, 300},
        {"take-off roll at 120 kt",
         [&](LiveAc& a) { taxi(a), a.takeOffRoll = 1, a.stream[0].groundSpeed = 120; }, 150, 0, 300},
        {"parked",
         [&](LiveAc& a) {
             taxi(a), test::installTestParkAirport(), a.phase = AcPhase::parked, a.standNumber = 2,
                                                      gf_standByNumber(2)->occupied = true;
         },
         0, 0, 60480000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        LIGHT_AIRCRAFT.setValue(true);
        c.setUp(aircraft());
        LiveAc& a = liveAcTable.front();
        a.groundLogic = 1;
        ASSERT_EQ(lf_extendStream(a), c.speed >= 0);
        if (c.speed < 0) {
            continue;
        }
        const StreamPos& copy = a.stream.back();
        const bool parked = c.due == 60480000;
        EXPECT_EQ(copy.groundSpeed, c.speed);
        EXPECT_NEAR(copy.altitude, c.altitude, 1e-6);
        EXPECT_EQ(copy.duePass, kNow + c.due);
        const double seconds = c.due == 800 ? 8 : 3;
        EXPECT_NEAR(gf_greatCircleDistance({47, 8}, {copy.latitude, copy.longitude}),
                    c.speed * seconds / 3600, 1e-7);
        EXPECT_EQ(copy.stationary + 2 * a.holdFlag + 4 * a.groundLogic,
                  (c.speed == 0) + 2 * (c.speed == 0 && !parked) + 4 * !parked);
        EXPECT_TRUE(!parked || gf_standByNumber(2)->occupied) << "a parked aircraft keeps its stand";
    }
}

} // namespace
} // namespace zeph
