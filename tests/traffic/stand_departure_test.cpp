#include <algorithm>
#include <cmath>
#include <iterator>

#include <gtest/gtest.h>

#include "airports/stands.h"
#include "state/main_window_state.h"
#include "support/motion_fixture.h"
#include "support/pass_harness.h"
#include "traffic/ground_motion.h"
#include "traffic/position_stream.h"
#include "traffic/stand_departure.h"
#include "traffic/stream_geometry.h"

namespace zeph {
namespace {

using Events = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
// The lights of leaving a stand, then engines started and flaps to index 1.
const Events kLeaving{{208, 1}, {207, 1}, {211, 0}, {209, 1},   {210, 0},
                      {213, 1}, {212, 0}, {221, 0}, {218, 3072}};

class StandDeparture : public test::MotionFixture {
protected:
    void TearDown() override {
        parkAirportLoaded = false;
        MotionFixture::TearDown();
    }
    // TST123 (radius 17.9 m) parked at "A2" (radius 20 m, heading 90), throttle and flaps index 0; its last
    // report 60 m from the stand at offDeg off the stand heading.
    LiveAc& parkedAtA2(double offDeg) {
        test::installTestParkAirport();
        parkAirportLoaded = true;
        const ParkPos& stand = *gf_standByNumber(2);
        stand_ = {stand.latitude, stand.longitude};
        test::placeUserAircraft(UserAcPosition{.latitude = stand_.lat + 0.01, .longitude = stand_.lon}, true);
        LiveAc& a = aircraft();
        StreamPos& head = a.stream[0];
        head.latitude = a.position.latitude = stand_.lat, head.longitude = a.position.longitude = stand_.lon;
        head.altitude = a.position.altitude = head.groundSpeed = head.verticalRate = head.airborne = 0;
        a.position.heading = stand.heading, a.phase = AcPhase::parked, a.onGround = 1;
        a.standNumber = 2, a.leavingStand = 1, a.throttleIndex = 0, a.flapsIndex = 0;
        a.stream.push_back(moved(head, 90 + offDeg, 60, 3000));
        return a;
    }
    Events events() const {
        Events out;
        std::ranges::transform(fake_->clientEvents(), std::back_inserter(out), [](const auto& e) {
            return std::pair{e.event, e.value};
        });
        return out;
    }
    static double metres(GeoPoint from, GeoPoint to) {
        return gf_greatCircleDistance(from, to) * kMetresPerNm;
    }
    GeoPoint stand_;
};

// Straight back 2.5 stand radii; with a reported heading 10 degrees to a side during the first piece, on
// along a curve to that side, nose against the travel.
TEST_F(StandDeparture, APushBackGoesStraightBackThenCurvesToTheReportedSide) {
    for (const auto& [turnDeg, endBearing, endHeading] :
         {std::tuple{0.0, 0.0, 90.0}, {10.0, 0.0, 180.0}, {-10.0, 180.0, 0.0}}) {
        SCOPED_TRACE(turnDeg);
        fresh();
        STRAIGHT_PBS_ONLY.setValue(turnDeg == 0.0);
        LiveAc& a = parkedAtA2(180.0);
        test::PassHarness harness(*fake_);
        harness.run(1);
        ASSERT_EQ(a.phase, AcPhase::pushing_back);
        const StreamPos behind = a.stream[1];
        EXPECT_NEAR(metres(stand_, pointOf(behind)), 50.0, 0.01);
        EXPECT_NEAR(gf_initialBearing(stand_, pointOf(behind)) * kRadToDeg, 270.0, 0.01);
        EXPECT_TRUE(a.stream[0].duePass - harness.t0() == 1215 && behind.duePass - harness.t0() == 2430);
        EXPECT_EQ(a.segmentTrueAirspeed, -4.0);
        StreamPos report = a.stream.back();
        report.trueHeadingKnown = 1, report.trueHeading = (90.0 + turnDeg) * kDegToRad;
        decodeExisting(a, report);
        harness.runThrough(1215);
        const StreamPos end = turnDeg != 0.0 ? a.stream[0] : behind;
        if (turnDeg != 0.0) {
            EXPECT_EQ(end.duePass - harness.t0(), 1215 + 1494);
            EXPECT_NEAR(metres(pointOf(behind), pointOf(end)), 17.9, 0.05);
            EXPECT_NEAR(
                offHeadingDegrees(gf_initialBearing(pointOf(behind), pointOf(end)), endBearing * kDegToRad),
                0, 0.05);
        }
        harness.runThrough(end.duePass - harness.t0() - 1);
        EXPECT_LT(metres(pointOf(end), pointOf(a.position)), 0.001);
        EXPECT_LT(offHeadingDegrees(endHeading * kDegToRad, a.position.heading), turnDeg != 0.0 ? 1.0 : 1e-7);
        harness.run(1);
        EXPECT_TRUE(a.phase == AcPhase::pushed_back && a.pushBackPieces == 1 &&
                    a.lastPushBackDistance == 900.0);
        EXPECT_EQ(events(), kLeaving); // no throttle event: already at index 0
    }
}

TEST_F(StandDeparture, ReportsAheadOfTheStandPullOutOthersPushBack) {
    EXPECT_TRUE(lf_leavesForwards(89.49) && lf_leavesForwards(-89.49));
    EXPECT_FALSE(lf_leavesForwards(89.5) || lf_leavesForwards(-89.5));
    LiveAc& a = parkedAtA2(89.3);
    nextPosGround(a);
    fake_->frame();
    ASSERT_TRUE(a.phase == AcPhase::taxi && a.stream.size() == 2U);
    EXPECT_EQ(a.standNumber, 0U) << "pulled out: the stand is forgotten";
    EXPECT_NEAR(metres(stand_, pointOf(a.stream[1])), 35.8, 0.05);
    EXPECT_NEAR(gf_initialBearing(stand_, pointOf(a.stream[1])) * kRadToDeg, 90.0, 0.01);
    EXPECT_EQ(events(), kLeaving);
    const auto log = readLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "A2      : TST123   pulling out"), log.end());
    fresh();
    LiveAc& back = parkedAtA2(89.7);
    nextPosGround(back);
    EXPECT_EQ(back.phase, AcPhase::pushing_back);
}

} // namespace
} // namespace zeph
