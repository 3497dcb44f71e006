#include <cmath>
#include <tuple>

#include <gtest/gtest.h>

#include "realtraffic/qnh.h"
#include "support/motion_fixture.h"
#include "traffic/flight_motion.h"
#include "traffic/park_airport_status.h"

namespace zeph {
namespace {

class FlightMotion : public test::MotionFixture {
protected:
    // TST123 (Large) with position 1 `rise` ft above it, `rate` ft/min, due `due` passes from now.
    LiveAc& flying(double rate, double rise = 0.0, std::int64_t due = 800, double height = 3000.0) {
        StreamPos next = moved(aircraft().stream[0], 0.0, 5000.0, due);
        liveAcTable.pop_back();
        next.verticalRate = rate, next.altitude = 12000.0 + rise, next.airborne = 1;
        LiveAc& a = aircraft({next});
        a.heightAboveGround = height, a.lightsLow = a.lightsHigh = 1;
        return a;
    }
    std::vector<std::uint32_t> events() {
        fake_->frame();
        std::vector<std::uint32_t> sent;
        for (const auto& e : fake_->clientEvents()) {
            sent.push_back(e.event * 100000 + e.value);
        }
        return sent;
    }
};

// Pitch toward the target of position 1's rate within the kind's step; altitude steps capped when climbing,
// not when descending, and never sinking low down without an approach.
TEST_F(FlightMotion, PitchAndAltitudeFollowPositionOneWithinTheKindsSteps) {
    // Kind, height, rate, rise, due; pitch after the due passes (deg), altitude step.
    for (const auto& [kind, height, rate, rise, due, pitch, step] :
         {std::tuple{AcKind::Large, 3000.0, 1200.0, 0.0, 100000, -7.4, 0.0},
          {AcKind::Large, 3000.0, -600.0, 0.0, 100000, -1.9, 0.0},
          {AcKind::Large, 3000.0, 3000.0, 0.0, 100000, -11.8, 0.0},
          {AcKind::Large, 3000.0, -4000.0, 0.0, 100000, 2.5, 0.0},
          {AcKind::Large, 3000.0, 0.0, 200.0, 800, -3.0, 0.25},
          {AcKind::Heavy, 3000.0, 1200.0, 1000.0, 800, -4.0, 0.6},
          {AcKind::Large, 3000.0, 1200.0, -1000.0, 800, -6.0, -1.25},
          {AcKind::Large, 800.0, 0.0, -100.0, 800, -3.0, 0.2},
          {AcKind::Large, 800.0, 0.0, 10.0, 800, -3.0, 0.2},
          {AcKind::Large, 800.0, 0.0, 1000.0, 800, -3.0, 0.6}}) {
        fresh();
        LiveAc& a = flying(rate, rise, due, height);
        a.kind = kind;
        lf_flyStep(a);
        EXPECT_NEAR(a.pitchStep * due * kRadToDeg, pitch, 1e-9) << rate << " " << due;
        EXPECT_NEAR(a.altitudeStep, step, 1e-12) << height << " " << rise;
    }
}

// Descent to a touch-down point by QNH and park airport; the approach rate at its limits.
TEST_F(FlightMotion, ADescentToTheGroundFollowsQnhOrTheParkAirport) {
    for (const auto& [qnh, parkAltitude, rate, step] : {std::tuple{1023, -1.0, -758.5, -0.126416667},
                                                        {1003, -1.0, -601.0, -0.100166667},
                                                        {1003, 400.0, -700.0, -1.0}}) {
        fresh();
        currentQnh = qnh;
        if (parkAltitude >= 0) {
            setParkAirportRecord(
                {.code = "ZZPA", .latitude = 47.0, .longitude = 8.0, .altitude = parkAltitude});
        }
        LiveAc& a = flying(-700.0, 0.0, 800, 1500.0);
        a.stream[0].verticalRate = -700.0, a.stream[1].airborne = 0, a.position.altitude = 1200.0;
        lf_flyStep(a);
        EXPECT_NEAR(a.altitudeStep, step, 1e-9) << qnh;
        EXPECT_DOUBLE_EQ(a.segmentVerticalRate, rate) << qnh;
        a.heightAboveGround = 100.0;
        EXPECT_EQ(lf_approachRate(a), -600.0);
    }
    currentQnh = 900;
    EXPECT_EQ(lf_approachRate(flying(0.0, 0.0, 800, 1500.0)), -601.0);
    currentQnh = 1013;
}

// Heading turn and bank: the turn ahead from the nose to the leg after position 1 (an offset from the line
// turned out, none with two positions), a reported heading low down, the kind's bank limits, a reported roll.
TEST_F(FlightMotion, HeadingAndBankTurnTowardTheNextLeg) {
    // Nose, leg to position 1, leg out (deg, NaN: two positions), reported heading (deg, <0 none), roll (rad,
    // NaN none), height, approach, kind; turn and bank after 800 passes (deg).
    const double none = std::nan("");
    for (const auto& [nose, in, out, heading, roll, height, approach, kind, turn, bank] :
         {std::tuple{350.0, 350.0, 10.0, -1.0, none, 3000.0, 0, AcKind::Large, 20.0, -16.0},
          {0.0, 10.0, 30.0, 95.0, 0.0, 900.0, 0, AcKind::Large, 95.0, 0.0},
          {0.0, 10.0, 30.0, 95.0, 0.0, 1100.0, 0, AcKind::Large, 30.0, 0.0},
          {0.0, 10.0, 30.0, 95.0, 0.0, 1900.0, 1, AcKind::Large, 95.0, 0.0},
          {0.0, 10.0, 60.0, -1.0, none, 3000.0, 0, AcKind::Heavy, 60.0, -12.0},
          {0.0, 10.0, 30.0, -1.0, 0.1, 3000.0, 0, AcKind::Large, 30.0, 0.1 * kRadToDeg},
          {70.0, 90.0, 90.0, -1.0, none, 3000.0, 0, AcKind::Large, 20.0, -16.0},
          {70.0, 90.0, none, -1.0, none, 3000.0, 0, AcKind::Large, 0.0, 0.0}}) {
        SCOPED_TRACE(::testing::Message()
                     << "nose " << nose << ", legs " << in << " " << out << ", " << height << " ft");
        fresh();
        LiveAc& a = flying(0.0, 0.0, 800, height);
        a.kind = kind, a.approach = approach;
        a.position.heading = nose * kDegToRad;
        a.stream[1] = moved(a.stream[0], in, 5000.0, 800);
        a.stream[1].airborne = 1, a.stream[1].altitude = 12000.0;
        if (!std::isnan(out)) {
            a.stream.push_back(moved(a.stream[1], out, 5000.0, 800));
        }
        if (heading >= 0) {
            a.stream[1].trueHeadingKnown = 1, a.stream[1].trueHeading = heading * kDegToRad;
        }
        if (!std::isnan(roll)) {
            a.stream[1].roll = roll;
        }
        lf_flyStep(a);
        EXPECT_NEAR(a.headingStep * 800 * kRadToDeg, turn, 1e-6);
        EXPECT_NEAR(a.bankStep * 800 * kRadToDeg, bank, 1e-6);
    }
}

// Configuration below 10000 ft by height and rate, and the start of the approach near the park airport.
TEST_F(FlightMotion, ConfigurationFollowsHeightRateAndTheParkAirport) {
    using Events = std::vector<std::uint32_t>;
    // Kind, height, head rate, flaps, throttle, park airport distance (nm, <0 none); events as event x 100000
    // + value.
    for (const auto& [kind, height, rate, flaps, throttle, nm, sent] :
         {std::tuple{AcKind::Large, 2100.0, 1500.0, 4U, 4U, -1.0, Events{21200001, 22311468}},
          {AcKind::Large, 2500.0, 1500.0, 1U, 3U, -1.0, Events{21200001, 22000000, 21800000}},
          {AcKind::Large, 2200.0, 0.0, 0U, 3U, -1.0, Events{21200001, 21803072}},
          {AcKind::Light, 1500.0, 0.0, 1U, 3U, -1.0, Events{21200001, 21810240}},
          {AcKind::Light, 1500.0, 0.0, 0U, 3U, -1.0, Events{21200001, 21803072}},
          {AcKind::Large, 1500.0, 700.0, 0U, 4U, -1.0, Events{21200000, 22000000}},
          {AcKind::Large, 1500.0, 500.0, 0U, 4U, -1.0, Events{21200000}},
          {AcKind::Large, 1500.0, -700.0, 0U, 4U, 8.0, Events{21200000, 22304914, 21816383, 22000001}},
          {AcKind::Large, 1500.0, -700.0, 0U, 4U, 10.5, Events{21200000}},
          {AcKind::Rotorcraft, 600.0, -700.0, 0U, 3U, 8.0, Events{21200000, 22316383}}}) {
        fresh();
        if (nm >= 0) {
            setParkAirportRecord(
                {.code = "ZZPA", .latitude = 47.0 + nm / 60.0, .longitude = 8.0, .altitude = 400.0});
        }
        LiveAc& a = flying(0.0, 0.0, 800, height);
        a.kind = kind, a.flapsIndex = flaps, a.throttleIndex = throttle, a.stream[0].verticalRate = rate;
        a.takeOffRoll = 1, a.standNumber = 7;
        lf_lowLevelStep(a);
        EXPECT_EQ(events(), sent) << height << " " << rate << " " << nm;
        const bool started = rate < 0 && nm == 8.0;
        EXPECT_EQ(a.approach == 1 && a.standNumber == 0 && a.earlyWindow == 3000, started);
        EXPECT_EQ(!coupleCheckList.empty() && coupleCheckList.back() == a.hexid, started);
        EXPECT_EQ(a.climbOutDone == 1, rate == 700.0);
    }
}

} // namespace
} // namespace zeph
