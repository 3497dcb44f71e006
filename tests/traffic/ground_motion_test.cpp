#include <algorithm>
#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "airports/stands.h"
#include "sim/sim_ids.h"
#include "state/main_window_state.h"
#include "state/seam_trace.h"
#include "support/motion_fixture.h"
#include "support/pass_harness.h"
#include "traffic/ground_motion.h"
#include "traffic/stream_geometry.h"

namespace zeph {
namespace {

class GroundMotion : public test::MotionFixture {
protected:
    // TST123 (Large) taxiing north at 10 kt from its head at 47 N `lon` E, due now, then `next`.
    LiveAc& taxiing(double lon, const std::vector<StreamPos>& next = {}) {
        LiveAc& a = aircraft();
        a.phase = AcPhase::taxi, a.onGround = 1, a.position.heading = 0.0;
        a.position.longitude = a.stream[0].longitude = lon;
        a.position.altitude = a.stream[0].altitude = 0.0;
        a.stream[0].airborne = 0, a.stream[0].groundSpeed = 10.0, a.stream[0].verticalRate = 0.0;
        for (const StreamPos& p : next) {
            a.stream.push_back(p);
        }
        return a;
    }
    // A ground position at 47 N 8 E, 10 kt, due now.
    static StreamPos groundHead(double lon = 8.0) {
        StreamPos head;
        head.latitude = 47.0, head.longitude = lon, head.groundSpeed = 10.0, head.duePass = kNow;
        return head;
    }
    // Metres east and north of from.
    static std::pair<double, double> offset(GeoPoint from, GeoPoint to) {
        const double d = gf_greatCircleDistance(from, to) * kMetresPerNm, b = gf_initialBearing(from, to);
        return {d * std::sin(b), d * std::cos(b)};
    }
    std::vector<std::uint32_t> events() const {
        std::vector<std::uint32_t> out;
        for (const auto& e : fake_->clientEvents()) {
            out.push_back(e.event * 100000 + e.value);
        }
        return out;
    }
};

// An L corner, 40 m legs at 10 kt: one curve, inside the triangle, at the end on time; the same across 180.
TEST_F(GroundMotion, ATaxiCornerIsFlownAsOneCurveAlsoAcrossTheAntimeridian) {
    std::vector<std::pair<double, double>> runs[2];
    for (const double lon : {8.0, 179.9997}) {
        fresh();
        test::placeUserAircraft(UserAcPosition{.latitude = 47.05, .longitude = lon}, true);
        fake_->recordPositions(true);
        const StreamPos head = groundHead(lon);
        const StreamPos corner = moved(head, 0, 40, 778), end = moved(corner, 90, 40, 778);
        LiveAc& a = taxiing(lon, {corner, end});
        test::PassHarness harness(*fake_);
        harness.run(1);
        ASSERT_EQ(a.stream.size(), 1U); // the corner was only the control point
        EXPECT_FALSE(std::isnan(a.controlPointEast));
        EXPECT_EQ(a.stream[0].latitude, end.latitude);
        harness.run(a.stream[0].duePass - tickCounter.load());
        const auto sent = fake_->positions(100);
        for (const AiPositionData& p : sent) {
            const auto [east, north] = offset(pointOf(head), {p.latitude, p.longitude});
            EXPECT_TRUE(east >= -0.005 && north <= 40.005 && east <= north + 0.005) << east << "," << north;
            EXPECT_TRUE(p.longitude >= -180.0 && p.longitude <= 180.0);
            runs[lon > 100 ? 1 : 0].emplace_back(east, north);
        }
        EXPECT_LT(gf_greatCircleDistance(pointOf(end), {sent.back().latitude, sent.back().longitude}) * kMetresPerNm, 0.001);
    }
    ASSERT_EQ(runs[0].size(), runs[1].size());
    for (std::size_t i = 0; i < runs[0].size(); ++i) {
        EXPECT_NEAR(runs[0][i].first, runs[1][i].first, 0.001);
    }
}

TEST_F(GroundMotion, CornersAreCurvedCutOrLeftStraightAndSpeedChangesSplit) {
    const struct {
        const char* name;
        double turn, metres, speed, nextSpeed;
        std::int64_t after;
        bool third, curve;
        std::size_t added; // midpoints
    } cases[] = {
        {"60 degrees, 120 m at 15 kt, 1001 passes: cut", 60, 120, 15, 15, 1001, true, false, 1},
        {"the same at 44 kt: curved", 60, 120, 44, 44, 1001, true, true, 0},
        {"the same, 599 passes: curved", 60, 120, 15, 15, 599, true, true, 0},
        {"170 degrees at 44 kt: straight", 170, 120, 44, 44, 1001, true, false, 0},
        {"2.9 degrees: straight", 2.9, 120, 15, 15, 1001, true, false, 0},
        {"15 -> 5 kt over 150 m: split", 0, 150, 15, 5, 1001, false, false, 1},
        {"15 -> 10.1 kt", 0, 150, 15, 10.1, 1001, false, false, 0},
        {"15 -> 5 kt over 99 m", 0, 99, 15, 5, 1001, false, false, 0},
        {"standing speeds", 0, 150, 0, 0, 1001, false, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        StreamPos head = groundHead();
        head.groundSpeed = c.speed, head.duePass = kNow + 1000;
        StreamPos next = moved(head, 0, c.metres, c.after);
        next.groundSpeed = c.nextSpeed, next.altitude = 0.0;
        std::vector<StreamPos> stream{next};
        if (c.third) {
            stream.push_back(moved(next, c.turn, 40));
        }
        LiveAc& a = taxiing(8.0, stream);
        a.stream[0] = head, a.earlyWindow = a.lateWindow = 0; // position 1 keeps its due pass
        const std::size_t before = a.stream.size();
        nextPosGround(a);
        EXPECT_EQ(!std::isnan(a.controlPointEast), c.curve);
        ASSERT_EQ(a.stream.size(), before + c.added - (c.curve ? 1 : 0));
        if (c.added == 1) {
            const StreamPos& mid = a.stream[1];
            EXPECT_EQ(mid.groundSpeed, (c.speed + c.nextSpeed) / 2);
            EXPECT_EQ(mid.latitude, (head.latitude + next.latitude) / 2);
            EXPECT_TRUE(mid.airborne == 0 && mid.altitude == 0.0 && mid.stationary == 0);
            EXPECT_EQ(mid.duePass, kNow + 1000 + (c.after + 1) / 2); // 1501, halves away from zero
        }
    }
}

// A heading 10 degrees off the segment turns in place first, then the aircraft drives on to its targets; a
// Light's fast turn never goes past the wanted heading.
TEST_F(GroundMotion, AnAircraftTurnsInPlaceWithoutOvershootingThenDrives) {
    const struct {
        AcKind kind;
        double offDeg, metres;
    } cases[] = {{AcKind::Large, 10.0, 100.0}, {AcKind::Light, 45.0, 1.0}};
    for (const auto& c : cases) {
        fresh();
        const StreamPos head = groundHead();
        const StreamPos p1 = moved(head, 0, c.metres, 10), p2 = moved(p1, 0, 100, 1500);
        LiveAc& a = taxiing(8.0, {p1, p2});
        a.kind = c.kind, a.baseTurnRate = kindValuesOf(c.kind).turnRateDeg * kDegToRad;
        a.position.heading = c.offDeg * kDegToRad;
        test::PassHarness harness(*fake_);
        bool moved = false;
        for (int pass = 0; pass < 3000; ++pass) {
            const double before = a.position.heading;
            harness.run(1);
            const double change = std::fabs(wrapToPi(a.position.heading - before));
            ASSERT_LE(a.position.heading, c.offDeg * kDegToRad + 1e-12) << pass; // never past north
            ASSERT_LE(change, a.turnRate + 1e-12) << pass;
            const double fromStart = gf_greatCircleDistance(pointOf(head), pointOf(a.position)) * kMetresPerNm;
            if (!moved && fromStart > 0.001) {
                moved = true;
                EXPECT_LE(offHeadingDegrees(0.0, a.position.heading), 0.5) << pass;
            }
        }
        EXPECT_TRUE(moved);
        if (c.kind == AcKind::Large) { // the Light's second segment turns in place again
            EXPECT_LT(gf_greatCircleDistance(pointOf(p2), pointOf(a.position)) * kMetresPerNm, 0.001);
        }
    }
}

// A taxiing aircraft whose reports stop near their end hands over to the parking.
TEST_F(GroundMotion, AStopNearTheLastReportHandsOverToTheParking) {
    const struct {
        const char* name;
        double metres = 34.9, speed = 5.0;
        bool stands = true;
        AcPhase before = AcPhase::taxi;
        std::uint8_t towed = 0, landed = 0;
        std::int32_t timingMode = 0;
        const char* expected = "try2Park 0";
    } cases[] = {
        {"34.9 m at 5 kt"}, {"35.1 m", 35.1, 5.0, true, AcPhase::taxi, 0, 0, 0, ""},
        {"5.1 kt", 34.9, 5.1, true, AcPhase::taxi, 0, 0, 0, ""}, {"no stands", 34.9, 5.0, false, AcPhase::taxi, 0, 0, 0, ""},
        {"just pushed back", 34.9, 5.0, true, AcPhase::pushed_back, 0, 0, 0, ""},
        {"towed", 34.9, 5.0, true, AcPhase::pushed_back, 1},
        {"predicted, landed", 34.9, 5.0, true, AcPhase::taxi, 0, 1, 1, "try2Park 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        test::TestParkAirport airport;
        parkAirportLoaded = c.stands;
        StreamPos next = moved(groundHead(), 0, c.metres, 500);
        next.groundSpeed = c.speed, next.altitude = 0.0;
        StreamPos stop = next;
        stop.stationary = 1, stop.duePass += 500;
        LiveAc& a = taxiing(8.0, {next, stop});
        a.stream[0].groundSpeed = c.speed;
        a.previousPhase = c.before, a.towed = c.towed, a.landed = c.landed, a.timingMode = c.timingMode;
        resetSeamTrace();
        nextPosGround(a);
        const auto calls = takeSeamCalls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), std::string(c.expected)), *c.expected ? 1 : 0);
        EXPECT_EQ(std::count_if(calls.begin(), calls.end(), [](auto& s) { return s.starts_with("try2Park"); }),
                  *c.expected ? 1 : 0);
        parkAirportLoaded = false;
    }
}

TEST_F(GroundMotion, TheTakeOffRollSetsTheThrottleAndRotatesAtTheRotationSpeed) {
    const struct {
        double head, next;
        AcKind kind;
        std::uint32_t throttle;
    } throttles[] = {{25, 0, AcKind::Large, 4}, {0, 30, AcKind::Large, 4}, {24, 29, AcKind::Large, 2},
                     {19, 24, AcKind::Large, 1}, {14, 20, AcKind::Large, 1}, {14, 19, AcKind::Large, 0},
                     {0, 0, AcKind::Rotorcraft, 4}};
    for (const auto& t : throttles) {
        fresh();
        StreamPos next = moved(groundHead(), 0, 100);
        next.groundSpeed = t.next;
        LiveAc& a = taxiing(8.0, {next});
        a.stream[0].groundSpeed = t.head, a.kind = t.kind, a.takeOffRoll = 1, a.earlyWindow = 3000;
        lf_groundMoveStep(a);
        EXPECT_EQ(a.throttleIndex, t.throttle) << t.head << "/" << t.next;
        EXPECT_EQ(a.earlyWindow, 3000);
    }
    const struct {
        const char* name;
        double head = 43, speed = 140, rate = 200;
        bool oneSlow = false, oneOnGround = false;
        double step = 0.6; // -1: no rotation
    } checks[] = {
        {"at 140 kt, airborne, one climbing 200 ft/min"}, {"one at 139 kt", 43, 140, 200, true, false, -1},
        {"one on the ground", 43, 140, 200, false, true, -1}, {"all climbing 1500 ft/min", 43, 140, 1500, false, false, 0.25},
        {"head at 42.9 kt", 42.9, 140, 1500, false, false, -1},
    };
    for (const auto& c : checks) {
        SCOPED_TRACE(c.name);
        fresh();
        std::vector<StreamPos> after;
        StreamPos p = groundHead();
        for (int i = 0; i < 3; ++i) {
            p = moved(p, 0, 300, 400);
            p.groundSpeed = c.oneSlow && i == 2 ? 139 : c.speed, p.airborne = c.oneOnGround && i == 1 ? 0 : 1;
            p.verticalRate = c.rate, p.altitude = 100.0 * (i + 1);
            after.push_back(p);
        }
        LiveAc& a = taxiing(8.0, after);
        a.stream[0].groundSpeed = c.head, a.takeOffRoll = 1;
        resetSeamTrace();
        lf_groundMoveStep(a);
        const auto calls = takeSeamCalls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "lf_takeOffStep"), c.step < 0 ? 0 : 1);
        if (c.step >= 0) {
            EXPECT_NEAR(a.altitudeStep, c.step, 1e-12);
            EXPECT_EQ(a.phase, AcPhase::take_off);
        }
    }
}

TEST_F(GroundMotion, LeavingTheRunwayPutsFlapsThrottleAndSpoilersBack) {
    constexpr std::uint32_t kLeaveLights[] = {20800001, 20700001, 21100000, 20900001, 21000000, 21300001, 21200001};
    const struct {
        const char* name;
        double heading, speed;
        AcKind kind;
        std::vector<std::uint32_t> events; // event x 100000 + value, lights left out
        bool write, lights;
    } cases[] = {
        {"15.0 degrees", 10.0, 60, AcKind::Large, {21800000, 21900000}, true, true},
        {"14.9 degrees at 90 kt", 9.9, 90, AcKind::Large, {21900000, 21803072}, true, false},
        {"a Light at 15 degrees", 10.0, 60, AcKind::Light, {21800000, 21900000}, false, true},
        {"a Rotorcraft at 15 degrees", 10.0, 60, AcKind::Rotorcraft, {22316383}, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        LiveAc& a = taxiing(8.0, {moved(groundHead(), 0, 100)});
        a.stream[0].groundSpeed = c.speed, a.kind = c.kind, a.landingRoll = 1, a.flapsIndex = 2, a.throttleIndex = 0;
        a.touchDownHeading = 355.0 * kDegToRad, a.position.heading = c.heading * kDegToRad;
        fake_->frame(), fake_->clearRecords(); // events queued by the cases before
        lf_groundMoveStep(a);
        fake_->frame();
        std::vector<std::uint32_t> sent = events();
        const auto lightsAt = std::search(sent.begin(), sent.end(), std::begin(kLeaveLights), std::end(kLeaveLights));
        EXPECT_EQ(lightsAt != sent.end(), c.lights);
        if (lightsAt != sent.end()) {
            sent.erase(lightsAt, lightsAt + 7);
        }
        EXPECT_EQ(sent, c.events);
        const auto writes = std::count_if(fake_->portCalls().begin(), fake_->portCalls().end(), [](const auto& call) {
            return call.name == "setDataOnSimObject" && call.values[0] == simid::kDefineControls && call.bytes == std::string(24, '\0');
        });
        EXPECT_EQ(writes, c.write ? 1 : 0); // the fake fails the test for a write without simConnectMutex
        EXPECT_EQ(a.landingRoll == 0 && a.touchDownHeading == 0.0, c.lights);
    }
}

} // namespace
} // namespace zeph
