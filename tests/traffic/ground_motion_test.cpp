#include <algorithm>
#include <cmath>

#include <gtest/gtest.h>

#include "sim/sim_ids.h"
#include "state/main_window_state.h"
#include "support/motion_fixture.h"
#include "support/pass_harness.h"
#include "support/stand_builder.h"
#include "traffic/ground_motion.h"
#include "traffic/position_stream.h"
#include "traffic/stream_geometry.h"

namespace zeph {
namespace {

class GroundMotion : public test::MotionFixture {
protected:
    // A ground position at 47 N `lon` E, 10 kt, due now.
    static StreamPos groundHead(double lon = 8.0) {
        StreamPos h;
        h.latitude = 47.0, h.longitude = lon, h.groundSpeed = 10.0, h.duePass = kNow;
        return h;
    }
    // TST123 (Large) taxiing, heading north, from groundHead(lon), then `next`.
    LiveAc& taxiing(const std::vector<StreamPos>& next, double lon = 8.0) {
        LiveAc& a = aircraft(next);
        a.phase = AcPhase::taxi, a.onGround = 1, a.position.heading = a.position.altitude = 0.0;
        a.stream[0] = groundHead(lon), a.position.longitude = lon;
        return a;
    }
    static double metres(GeoPoint from, GeoPoint to) {
        return gf_greatCircleDistance(from, to) * kMetresPerNm;
    }
};

// An L corner, 40 m legs at 10 kt: one curve inside the triangle, at its end on time; the same across 180.
TEST_F(GroundMotion, ATaxiCornerIsFlownAsOneCurveAlsoAcrossTheAntimeridian) {
    std::vector<double> easts[2];
    for (const double lon : {8.0, 179.9997}) {
        fresh();
        test::placeUserAircraft(UserAcPosition{.latitude = 47.05, .longitude = lon}, true);
        fake_->recordPositions(true);
        const StreamPos head = groundHead(lon), corner = moved(head, 0, 40, 778),
                        end = moved(corner, 90, 40, 778);
        LiveAc& a = taxiing({corner, end}, lon);
        test::PassHarness harness(*fake_);
        harness.run(1);
        ASSERT_EQ(a.stream.size(), 1U); // the corner was only the control point
        EXPECT_TRUE(!std::isnan(a.controlPointEast) && a.stream[0].latitude == end.latitude);
        harness.run(a.stream[0].duePass - tickCounter.load());
        const auto sent = fake_->positions(100);
        for (const AiPositionData& p : sent) {
            const double d = metres(pointOf(head), {p.latitude, p.longitude});
            const double b = gf_initialBearing(pointOf(head), {p.latitude, p.longitude});
            const double east = d * std::sin(b), north = d * std::cos(b);
            EXPECT_TRUE(east >= -0.005 && north <= 40.005 && east <= north + 0.005) << east << "," << north;
            EXPECT_TRUE(p.longitude >= -180.0 && p.longitude <= 180.0);
            easts[lon > 100 ? 1 : 0].push_back(east);
        }
        EXPECT_LT(metres(pointOf(end), {sent.back().latitude, sent.back().longitude}), 0.001);
    }
    EXPECT_TRUE(std::equal(easts[0].begin(), easts[0].end(), easts[1].begin(), easts[1].end(),
                           [](double one, double other) { return std::fabs(one - other) < 0.001; }));
}

TEST_F(GroundMotion, CornersAreCurvedCutOrLeftStraightAndSpeedChangesSplit) {
    // Turn (-1: two positions only), metres and passes to position 1, speeds, curve, midpoints added.
    for (const auto& [turn, metresTo1, after, speed, nextSpeed, curve, added] :
         {std::tuple{60.0, 120.0, 1001, 15.0, 15.0, false, 1U},
          {60.0, 120.0, 1001, 44.0, 44.0, true, 0U},
          {60.0, 120.0, 599, 15.0, 15.0, true, 0U},
          {170.0, 120.0, 1001, 44.0, 44.0, false, 0U},
          {2.9, 120.0, 1001, 15.0, 15.0, false, 0U},
          {-1.0, 150.0, 1001, 15.0, 5.0, false, 1U},
          {-1.0, 150.0, 1001, 15.0, 10.1, false, 0U},
          {-1.0, 99.0, 1001, 15.0, 5.0, false, 0U}}) {
        SCOPED_TRACE(::testing::Message() << turn << " deg, " << metresTo1 << " m, " << speed << " kt");
        fresh();
        StreamPos head = groundHead(), next = moved(head, 0, metresTo1, after + 1000);
        head.groundSpeed = speed, head.duePass = kNow + 1000, next.groundSpeed = nextSpeed;
        LiveAc& a = taxiing(turn < 0 ? std::vector{next} : std::vector{next, moved(next, turn, 40)});
        a.stream[0] = head, a.earlyWindow = a.lateWindow = 0; // position 1 keeps its due pass
        const std::size_t before = a.stream.size();
        nextPosGround(a);
        EXPECT_EQ(!std::isnan(a.controlPointEast), curve);
        ASSERT_EQ(a.stream.size(), before + added - (curve ? 1 : 0));
        const StreamPos& mid = a.stream[1];
        EXPECT_TRUE(added == 0 ||
                    (mid.groundSpeed == (speed + nextSpeed) / 2 && mid.airborne == 0 &&
                     mid.latitude == (head.latitude + next.latitude) / 2 &&
                     mid.duePass == kNow + 1000 + (after + 1) / 2)); // 1501: halves away from zero
    }
    fresh(); // a split across 180 degrees lies between its ends
    LiveAc& a = taxiing({moved(groundHead(179.9995), 90, 150)}, 179.9995);
    a.stream[0].groundSpeed = 15.0, a.stream[1].groundSpeed = 5.0;
    lf_splitOnSpeedChange(a);
    EXPECT_NEAR(a.stream[1].longitude, -179.99951, 1e-5);
}

// 10 degrees off the segment: it turns in place, then drives to its targets; a Light's fast turn (1.032
// degrees a pass) never goes past the wanted heading and no pass turns more than the rate.
TEST_F(GroundMotion, AnAircraftTurnsInPlaceWithoutOvershootingThenDrives) {
    for (const auto& [kind, offDeg, legMetres] :
         {std::tuple{AcKind::Large, 10.0, 100.0}, {AcKind::Light, 45.0, 1.0}}) {
        fresh();
        const StreamPos p1 = moved(groundHead(), 0, legMetres, 10), p2 = moved(p1, 0, 100, 1500);
        LiveAc& a = taxiing({p1, p2});
        a.kind = kind, a.baseTurnRate = kindValuesOf(kind).turnRateDeg * kDegToRad;
        a.position.heading = offDeg * kDegToRad;
        test::PassHarness harness(*fake_);
        bool moving = false;
        for (int pass = 0; pass < 3000; ++pass) {
            const double before = a.position.heading;
            harness.run(1);
            ASSERT_LE(a.position.heading, offDeg * kDegToRad + 1e-12) << pass; // never past north
            ASSERT_LE(std::fabs(wrapToPi(a.position.heading - before)), a.turnRate + 1e-12) << pass;
            if (!moving && metres(pointOf(groundHead()), pointOf(a.position)) > 0.001) {
                moving = true;
                EXPECT_LE(offHeadingDegrees(0.0, a.position.heading), 0.5) << pass;
            }
        }
        EXPECT_TRUE(moving);
        // The Light's next segment turns in place again, so it is still short of position 2.
        EXPECT_TRUE(kind != AcKind::Large || metres(pointOf(p2), pointOf(a.position)) < 0.001);
    }
}

TEST_F(GroundMotion, AStopNearTheLastReportHandsOverToTheParking) {
    // Metres from the stop, previous phase, towed, timing mode (landed with it), whether it drives to the
    // stand that lies at the stop.
    for (const auto& [distance, before, towed, mode, parks] : {std::tuple{34.9, AcPhase::taxi, 0, 0, true},
                                                               {35.1, AcPhase::taxi, 0, 0, false},
                                                               {34.9, AcPhase::pushed_back, 0, 0, false},
                                                               {34.9, AcPhase::pushed_back, 1, 0, true},
                                                               {34.9, AcPhase::taxi, 0, 1, true}}) {
        fresh();
        parkAirportLoaded = true;
        StreamPos next = moved(groundHead(), 0, distance, 500), stop = next;
        next.groundSpeed = 5.0, stop.stationary = 1, stop.duePass += 500;
        test::StandBuilder(pointOf(stop)).stand({.id = "P1"}).install();
        LiveAc& a = taxiing({next, stop});
        a.stream[0].groundSpeed = 5.0, a.previousPhase = before, a.towed = towed,
        a.timingMode = a.landed = mode;
        nextPosGround(a);
        EXPECT_EQ(a.phase, parks ? AcPhase::parking : AcPhase::taxi) << distance;
        // Driving onto the stand ends at rest on it.
        EXPECT_EQ(a.standNumber == 1 && a.stream.back().groundSpeed == 0.0 &&
                      lf_samePoint(pointOf(a.stream.back()), pointOf(stop)),
                  parks)
            << distance;
        parkAirportLoaded = false;
    }
}

TEST_F(GroundMotion, TheTakeOffRollRotatesAtTheRotationSpeed) {
    // Head speed, climb of the positions after it, slowest of them, second airborne, altitude step (-1:
    // none).
    for (const auto& [head, rate, slowest, airborne, step] : {std::tuple{43.0, 200.0, 140.0, 1, 0.6},
                                                              {43.0, 200.0, 139.0, 1, -1.0},
                                                              {43.0, 200.0, 140.0, 0, -1.0},
                                                              {43.0, 1500.0, 140.0, 1, 0.25},
                                                              {42.9, 1500.0, 140.0, 1, -1.0}}) {
        fresh();
        std::vector<StreamPos> after{moved(groundHead(), 0, 300, 400)}; // position 1 due in 400 passes
        after.push_back(moved(after.back(), 0, 300, 400)), after.push_back(moved(after.back(), 0, 300, 400));
        for (std::size_t i = 0; i < after.size(); ++i) {
            after[i].groundSpeed = i == 2 ? slowest : 140, after[i].airborne = i == 1 ? airborne : 1;
            after[i].verticalRate = rate, after[i].altitude = 100.0 * static_cast<double>(i + 1);
        }
        LiveAc& a = taxiing(after);
        a.stream[0].groundSpeed = head, a.takeOffRoll = 1, a.earlyWindow = 3000;
        lf_groundMoveStep(a);
        const bool rotated = a.phase == AcPhase::take_off && a.phaseCountdown == 200 && a.onGround == 0;
        EXPECT_EQ(rotated, step >= 0) << head << rate;
        EXPECT_TRUE(a.throttleIndex == 4 && a.earlyWindow == 3000); // full throttle, windows kept on the roll
        EXPECT_NEAR(a.altitudeStep, std::max(step, 0.0), 1e-12) << head << "/" << rate << "/" << slowest;
    }
}

// Touch-down heading 355 degrees, flaps index 2, throttle index 0.
TEST_F(GroundMotion, LeavingTheRunwayPutsFlapsThrottleAndSpoilersBack) {
    const std::vector<std::uint32_t> exit{20800001, 20700001, 21100000, 20900001,
                                          21000000, 21300001, 21200001};
    const auto then = [&](std::vector<std::uint32_t> events) {
        return events.insert(events.end(), exit.begin(), exit.end()), events;
    };
    // Heading, head speed, kind, events as event x 100000 + value, a 401 write, runway left.
    for (const auto& [heading, speed, kind, events, write, left] :
         {std::tuple{10.0, 60.0, AcKind::Large, then({21800000, 21900000}), true, true},
          {9.9, 90.0, AcKind::Large, std::vector<std::uint32_t>{21900000, 21803072}, true, false},
          {10.0, 60.0, AcKind::Light, then({21800000, 21900000}), false, true},
          {10.0, 60.0, AcKind::Rotorcraft, then({22316383}), true, true}}) {
        fresh();
        LiveAc& a = taxiing({moved(groundHead(), 0, 100)});
        a.stream[0].groundSpeed = speed, a.kind = kind, a.landingRoll = 1, a.flapsIndex = 2,
        a.throttleIndex = 0;
        a.touchDownHeading = 355.0 * kDegToRad, a.position.heading = heading * kDegToRad;
        fake_->frame(), fake_->clearRecords(); // events queued by the cases before
        lf_groundMoveStep(a);
        fake_->frame();
        std::vector<std::uint32_t> sent;
        for (const auto& e : fake_->clientEvents()) {
            sent.push_back(e.event * 100000 + e.value);
        }
        EXPECT_EQ(sent, events) << heading << " " << gf_categoryName(kind);
        // The fake fails a write without simConnectMutex.
        EXPECT_EQ(std::count_if(fake_->portCalls().begin(), fake_->portCalls().end(),
                                [](const auto& call) {
                                    return call.values[0] == simid::kDefineControls &&
                                           call.bytes == std::string(24, '\0');
                                }),
                  write ? 1 : 0);
        EXPECT_EQ(a.landingRoll == 0 && a.touchDownHeading == 0.0, left);
    }
}

} // namespace
} // namespace zeph
