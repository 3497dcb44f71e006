#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include <gtest/gtest.h>

#include "support/motion_fixture.h"
#include "support/pass_harness.h"
#include "support/traffic_script.h"
#include "traffic/flight_motion.h"
#include "traffic/ground_motion.h"
#include "traffic/park_airport_status.h"
#include "traffic/position_stream.h"
#include "traffic/stream_geometry.h"

namespace zeph {
namespace {

class TakeOffLanding : public test::MotionFixture {
protected:
    // Throttle, flaps, gear and spoilers events since the last call, as event x 100000 + value.
    std::vector<std::uint32_t> controls() {
        fake_->frame();
        std::vector<std::uint32_t> sent;
        for (const auto& e : fake_->clientEvents()) {
            if (e.event == 218 || e.event == 219 || e.event == 220 || e.event == 223) {
                sent.push_back(e.event * 100000 + e.value);
            }
        }
        fake_->clearRecords();
        return sent;
    }
};

// The rotation, the staged climb with the gear up in its 500th pass, and the climb-out at 800 ft.
TEST_F(TakeOffLanding, TheRotationClimbsOutInStages) {
    LiveAc& a = aircraft();
    a.takeOffRoll = 1, a.onGround = 1, a.altitudeStep = 0.6, a.heightAboveGround = 0.0;
    lf_takeOffStep(a);
    EXPECT_TRUE(a.phase == AcPhase::take_off && a.phaseCountdown == 200 && a.onGround == 0 &&
                a.headingStep == 0.0);
    EXPECT_TRUE(std::isnan(a.curveStartParameter) && std::isnan(a.controlPointEast) && a.bankStep == 0.0);
    controls();
    const std::map<std::int32_t, double> shares{{0, 0.0}, {-50, 0.1}, {-150, 0.2}, {-250, 0.5}, {-301, 1.0}};
    for (int pass = 0; pass < 700; ++pass) {
        const double before = a.position.altitude;
        lf_verticalStep(a);
        if (a.phaseCountdown == 0) {
            EXPECT_NEAR(a.position.pitch, a.rotationPitch, std::fabs(a.pitchStep));
        }
        if (shares.contains(a.phaseCountdown)) {
            EXPECT_NEAR(a.position.altitude - before, shares.at(a.phaseCountdown) * 0.6, 1e-9)
                << a.phaseCountdown;
        }
        EXPECT_EQ(controls().size(), pass == 499 ? 1U : 0U) << pass;
        if (pass == 499) {
            EXPECT_NEAR(a.position.altitude - 12000.0, 48.54, 1e-6);
        }
    }
    EXPECT_TRUE(a.phase == AcPhase::take_off && a.position.pitch <= a.climbPitch) << "799 ft and below";
    a.heightAboveGround = 800.0;
    lf_verticalStep(a);
    EXPECT_TRUE(a.phase == AcPhase::flying && a.phaseCountdown == 1);
    EXPECT_EQ(controls(), std::vector<std::uint32_t>{22311468});
}

// The start of the take-off roll, and a rotation on the landing roll (touch and go) retracting the spoilers.
TEST_F(TakeOffLanding, TheTakeOffRollAndTheTouchAndGoSetTheControls) {
    for (const auto& [towed, landingRoll, sent] :
         {std::tuple{1, 0, std::vector<std::uint32_t>{22300000, 21900000, 21803072}},
          {0, 1, std::vector<std::uint32_t>{22316383, 21900000, 21803072}}}) {
        fresh();
        LiveAc& a = aircraft();
        a.towed = towed, a.landingRoll = landingRoll, a.takeOffRoll = landingRoll, a.approach = a.landed = 1;
        landingRoll != 0 ? lf_takeOffStep(a) : lf_towedTakesOff(a);
        EXPECT_EQ(controls(), sent);
        EXPECT_TRUE(a.takeOffRoll == 1 && a.landingRoll == 0 && a.approach == 0 && a.landed == 0);
        EXPECT_EQ(a.lateWindow, landingRoll != 0 ? 1000 : 5000);
    }
    fresh(); // a touch and go seen in the reports: airborne again on the landing roll
    LiveAc& a = aircraft();
    a.onGround = a.landingRoll = a.approach = a.landed = 1;
    decodeExisting(a, moved(a.stream[0], 0, 300, 400));
    EXPECT_TRUE(a.takeOffRoll == 1 && a.approach == 0 && a.landed == 0);
    const auto lines = readLog();
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.starts_with("==> towed aircraft takes-off? "); }),
        1)
        << "the towed one only";
}

// Flare stages by height above ground over a standing CG of 8.5 ft; stage 1 also on the park airport's
// height.
TEST_F(TakeOffLanding, TheFlareGoesThroughItsStagesAndHoldsThePitch) {
    // Stage before, height above ground, altitude over the park airport (<0 no park airport); stage after,
    // altitude step and head rate when it changed.
    for (const auto& [stage, height, over, after, step, rate] : {std::tuple{0U, 38.5, 38.5, 1U, -0.1, -601.0},
                                                                 {0U, 39.0, 39.0, 0U, 0.0, 0.0},
                                                                 {0U, 50.0, 37.0, 1U, -0.1, -601.0},
                                                                 {0U, 38.5, -1.0, 1U, -0.1, -601.0},
                                                                 {0U, 39.0, -1.0, 0U, 0.0, 0.0},
                                                                 {1U, 28.5, 1.0, 2U, -0.075, -450.0},
                                                                 {2U, 18.5, 1.0, 3U, -0.05, -300.0},
                                                                 {3U, 11.5, 1.0, 4U, -0.025, -150.0},
                                                                 {3U, 11.6, 1.0, 3U, 0.0, 0.0}}) {
        fresh();
        LiveAc& a = aircraft();
        if (over >= 0) {
            setParkAirportRecord(
                {.code = "ZZPA", .latitude = 47.0, .longitude = 8.0, .altitude = 12000.0 - over});
        }
        landingFlare = false;
        a.approach = 1, a.staticCgHeight = 8.5, a.heightAboveGround = height, a.landingStage = stage;
        a.position.pitch = -3.999 * kDegToRad, a.pitchStep = -0.01 * kDegToRad, a.altitudeStep = 0.0;
        lf_verticalStep(a);
        EXPECT_EQ(a.landingStage, after) << stage << " " << height << " " << over;
        EXPECT_NEAR(a.altitudeStep, step, 1e-12);
        EXPECT_EQ(a.stream[0].verticalRate, rate);
        EXPECT_EQ(landingFlare, stage == 0 && after == 1);
        EXPECT_TRUE(after == 0 || a.position.pitch >= -4.0 * kDegToRad - 1e-15) << "held while flaring";
    }
}

// A take-off stream with ground positions after the head: the aircraft aims at the first airborne one and
// reaches it at its due pass; with none in reach it climbs at 601 ft/min with the gear down.
TEST_F(TakeOffLanding, SkippingGroundPositionsAimsAtTheAirborneOne) {
    for (const int airborneFrom : {3, 9}) {
        fresh();
        LiveAc& a = aircraft();
        a.phase = AcPhase::take_off, a.onGround = 0, a.stream[0].airborne = 0, a.heightAboveGround = 0.0;
        for (int k = 1; k <= 4; ++k) {
            a.stream.push_back(moved(a.stream.back(), 0.0, 600.0, 400));
            a.stream.back().airborne = k >= airborneFrom ? 1 : 0, a.stream.back().verticalRate = 1500.0;
        }
        const StreamPos target = a.stream[3];
        lf_nextSegment(a);
        if (airborneFrom == 9) {
            EXPECT_TRUE(a.stream.size() == 4 && a.segmentVerticalRate == 1500.0 && a.altitudeStep == 0.25);
            EXPECT_EQ(controls().front(), 22000001U);
            continue;
        }
        ASSERT_EQ(a.stream.size(), 2U);
        for (std::int64_t pass = kNow; pass < a.stream[0].duePass; ++pass) {
            lf_curveStep(a);
        }
        EXPECT_NEAR(a.position.latitude, target.latitude, 1e-6);
        EXPECT_NEAR(a.position.longitude, target.longitude, 1e-6);
    }
}

// An airliner on a straight descent from 3000 ft above ZZPA, 12 nm out, to a ground report at the airport:
// the approach starts inside 10 nm, the flare stages follow in order, the simulator reports the touch-down
// and the landing roll begins; it never sinks below the ground nor pitches below -4 degrees.
TEST_F(TakeOffLanding, AnAirlinerApproachesFlaresAndLandsAtTheParkAirport) {
    using test::kParkAirportAltitude, test::kParkAirportPosition;
    const test::TestParkAirport airport;
    fake_->setGround(kParkAirportAltitude), fake_->setStaticCg("Test Air B738", 8.5, 0.0);
    fake_->setHeightAboveGround(3000.0);
    std::vector<test::ScriptedReport> script;
    const int reports = 29; // 150 kt, 10 s apart: 12 nm
    for (int k = 0; k <= reports; ++k) {
        TrafficReport r = test::airlinerReport();
        const double left = 12.0 * (reports - k) / reports;
        const GeoPoint at = gf_destinationPoint(kParkAirportPosition, kTwoPi / 2.0, left * kFeetPerNm);
        r.position.latitude = at.lat, r.position.longitude = at.lon, r.position.groundSpeed = 150.0;
        r.position.altitude = kParkAirportAltitude + 3000.0 * (reports - k) / reports;
        r.position.verticalRate = -620.0, r.position.airborne = k < reports ? 1 : 0, r.reportTime += 10.0 * k;
        script.push_back({k * 1000, r});
    }
    test::PassHarness harness(*fake_, script);
    std::vector<std::uint32_t> stages{0};
    bool approached = false, rolled = false;
    for (std::int64_t pass = 0; pass < 40000 && !rolled; ++pass) {
        harness.run(1);
        if (liveAcTable.empty() || liveAcTable.front().state != AcState::active) {
            continue;
        }
        const LiveAc& a = liveAcTable.front();
        if (!approached && a.approach != 0) {
            approached = true;
            EXPECT_TRUE(a.heightAboveGround < 2050.0 &&
                        gf_greatCircleDistance(pointOf(a.position), kParkAirportPosition) <= 10.0);
        }
        if (a.landingStage != stages.back() && a.landingStage != 0) {
            stages.push_back(a.landingStage);
        }
        rolled = a.landingRoll != 0;
        EXPECT_GE(a.position.altitude, kParkAirportAltitude + 8.5 - 1.0) << pass;
        EXPECT_GE(a.position.pitch, -4.0 * kDegToRad - 1e-12) << pass;
    }
    EXPECT_TRUE(approached && rolled && !landingFlare) << harness.passesRun();
    EXPECT_EQ(stages, (std::vector<std::uint32_t>{0, 1, 2, 3, 4}));
}

} // namespace
} // namespace zeph
