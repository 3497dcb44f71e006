#include <cmath>

#include <gtest/gtest.h>

#include "airports/stands.h"
#include "state/main_window_state.h"
#include "support/motion_fixture.h"
#include "support/pass_harness.h"
#include "traffic/ground_motion.h"
#include "traffic/stand_departure.h"
#include "traffic/stream_geometry.h"

namespace zeph {
namespace {

// Nav, beacon, taxi and logo on: the lights of leaving a stand, as (event, value).
const std::vector<std::pair<std::uint32_t, std::uint32_t>> kLeaveLights{
    {208, 1}, {207, 1}, {211, 0}, {209, 1}, {210, 0}, {213, 1}, {212, 0}};

class StandDeparture : public test::MotionFixture {
protected:
    void TearDown() override {
        parkAirportLoaded = false;
        MotionFixture::TearDown();
    }
    // TST123 (Large, radius 17.9 m) parked at "A2" (heading 90), throttle and flaps index 0; its last report
    // 60 m from the stand at offDeg off the stand heading.
    LiveAc& parkedAtA2(double offDeg) {
        test::installTestParkAirport();
        parkAirportLoaded = true;
        stand_ = *gf_standByNumber(2);
        test::placeUserAircraft(UserAcPosition{.latitude = stand_.latitude + 0.01, .longitude = stand_.longitude}, true);
        LiveAc& a = aircraft();
        StreamPos& head = a.stream[0];
        head.latitude = a.position.latitude = stand_.latitude;
        head.longitude = a.position.longitude = stand_.longitude;
        head.altitude = a.position.altitude = head.groundSpeed = head.verticalRate = head.airborne = 0;
        a.position.heading = stand_.heading;
        a.phase = AcPhase::parked, a.onGround = 1, a.standNumber = 2, a.leavingStand = 1;
        a.throttleIndex = 0, a.flapsIndex = 0;
        a.stream.push_back(moved(head, 90 + offDeg, 60, 3000));
        return a;
    }
    std::vector<std::pair<std::uint32_t, std::uint32_t>> events() const {
        std::vector<std::pair<std::uint32_t, std::uint32_t>> out;
        for (const auto& e : fake_->clientEvents()) {
            out.emplace_back(e.event, e.value);
        }
        return out;
    }
    double metresFrom(GeoPoint from, GeoPoint to) const { return gf_greatCircleDistance(from, to) * kMetresPerNm; }
    GeoPoint standPoint() const { return {stand_.latitude, stand_.longitude}; }
    ParkPos stand_;
};

// Straight back 2.5 stand radii, or on along a curve to the side the reports asked for.
TEST_F(StandDeparture, APushBackGoesStraightBackThenCurvesToTheAskedSide) {
    const struct {
        const char* name;
        std::uint8_t curved, side;
        double endBearing, endHeading; // degrees, from B; of the aircraft at the end
    } cases[] = {{"straight", 0, 0, 0, 90}, {"right", 1, 1, 0, 180}, {"left", 1, 0, 180, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        STRAIGHT_PBS_ONLY.setValue(c.curved == 0);
        LiveAc& a = parkedAtA2(180.0);
        a.curvedPushBack = c.curved, a.pushBackSide = c.side;
        test::PassHarness harness(*fake_);
        harness.run(1);
        ASSERT_EQ(a.phase, AcPhase::pushing_back);
        const StreamPos behind = a.stream[1];
        EXPECT_NEAR(metresFrom(standPoint(), pointOf(behind)), 50.0, 0.01);
        EXPECT_NEAR(gf_initialBearing(standPoint(), pointOf(behind)) * kRadToDeg, 270.0, 0.01);
        EXPECT_EQ(a.stream[0].duePass - harness.t0(), 1215);
        EXPECT_EQ(behind.duePass - harness.t0(), 2430);
        EXPECT_EQ(a.segmentTrueAirspeed, -4.0);
        harness.runThrough(1215);
        const StreamPos end = a.stream[0];
        const std::int64_t endDue = c.curved != 0 ? end.duePass - harness.t0() : 2430;
        if (c.curved != 0) {
            EXPECT_EQ(endDue, 1215 + 1494);
            EXPECT_NEAR(metresFrom(pointOf(behind), pointOf(end)), 17.9, 0.05);
            EXPECT_NEAR(offHeadingDegrees(gf_initialBearing(pointOf(behind), pointOf(end)), c.endBearing * kDegToRad), 0.0, 0.05);
        }
        harness.runThrough(endDue - 1);
        EXPECT_LT(metresFrom(c.curved != 0 ? pointOf(end) : pointOf(behind), pointOf(a.position)), 0.001);
        EXPECT_LT(offHeadingDegrees(c.endHeading * kDegToRad, a.position.heading), c.curved != 0 ? 1.0 : 1e-7);
        harness.run(1);
        EXPECT_EQ(a.phase, AcPhase::pushed_back);
        EXPECT_EQ(a.pushBackPieces, 1);
        EXPECT_EQ(a.lastPushBackDistance, 900.0);
        auto expected = kLeaveLights;
        expected.insert(expected.end(), {{221, 0}, {218, 3072}});
        EXPECT_EQ(events(), expected); // no throttle: already at 0
    }
}

TEST_F(StandDeparture, ReportsAheadOfTheStandPullOutOthersPushBack) {
    EXPECT_TRUE(lf_leavesForwards(89.49) && lf_leavesForwards(-89.49));
    EXPECT_FALSE(lf_leavesForwards(89.5) || lf_leavesForwards(-89.5));
    for (const double off : {89.3, 89.7}) {
        SCOPED_TRACE(off);
        fresh();
        LiveAc& a = parkedAtA2(off);
        fake_->frame(), fake_->clearRecords(); // events queued by the cases before
        nextPosGround(a);
        fake_->frame();
        if (off > 89.5) {
            EXPECT_EQ(a.phase, AcPhase::pushing_back);
            continue;
        }
        EXPECT_EQ(a.phase, AcPhase::taxi);
        ASSERT_EQ(a.stream.size(), 2U);
        EXPECT_NEAR(metresFrom(standPoint(), pointOf(a.stream[1])), 35.8, 0.05);
        EXPECT_NEAR(gf_initialBearing(standPoint(), pointOf(a.stream[1])) * kRadToDeg, 90.0, 0.01);
        auto expected = kLeaveLights;
        expected.insert(expected.end(), {{221, 0}, {218, 3072}});
        EXPECT_EQ(events(), expected);
        const auto log = readLog();
        EXPECT_NE(std::find(log.begin(), log.end(), "A2      : TST123   pulling out"), log.end());
    }
}

} // namespace
} // namespace zeph
