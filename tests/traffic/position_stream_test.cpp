#include <cmath>
#include <tuple>

#include <gsl/narrow>
#include <gtest/gtest.h>

#include "support/motion_fixture.h"
#include "traffic/ground_motion.h"
#include "traffic/position_stream.h"

namespace zeph {
namespace {

class PositionStream : public test::MotionFixture {};

TEST_F(PositionStream, DuePassStaysWithinTheWindowsAndNeverBeforeNow) {
    struct Case {
        std::int64_t reported;
        std::int32_t travel, mode;
        std::int64_t due;
    };
    for (const Case& c :
         {Case{11000, 3000, 0, 12000}, Case{15000, 3000, 0, 14000}, Case{13500, 3000, 0, 13000},
          Case{11000, 3000, 2, 13000}, Case{5000, 25, 0, 10000}}) {
        fresh();
        LiveAc& a = aircraft({StreamPos{.duePass = c.reported, .roll = {}, .trueHeading = {}}});
        a.timingMode = c.mode;
        lf_setNextDue(a, c.travel);
        EXPECT_EQ(a.stream[1].duePass, c.due) << c.reported << " mode " << c.mode;
    }
    EXPECT_EQ(lf_travelPasses(0.8333333, 300.0), 1000);
    EXPECT_THROW(lf_travelPasses(6000.0, 1.0), gsl::narrowing_error);
}

// Segments flown in 400 passes (or due in the past, or to a stationary position).
TEST_F(PositionStream, ASegmentStartSetsItsStepsAndWindowsAndPopsTheHead) {
    struct Case {
        double north, east; // degrees from the head
        std::int64_t due;   // from now
        std::int32_t windowsAfter;
        double latitudeStep, longitudeStep;
    };
    for (const Case& c : {Case{0.01, 0, 400, 3000, 2.5e-5, 0}, Case{0.01, 0, -3100, 3000, 4e-4, 0},
                          Case{0, 0, 400, 2900, 0, 0}, Case{0, -359.998, 400, 3000, 0, 0.000005}}) {
        fresh();
        LiveAc& a = aircraft();
        a.earlyWindow = a.lateWindow = 3000;
        a.position.longitude = a.stream[0].longitude = c.east != 0 ? 179.999 : 8.0;
        StreamPos next = moved(a.stream[0], 0, 0, c.due);
        next.latitude += c.north;
        next.longitude += c.east;
        a.stream.insert(a.stream.end(), {next, moved(next, 0, 5000)});
        a.stream[0].groundSpeed = a.stream[1].groundSpeed = headToNextNm(a) * 360000.0 / 400.0;
        lf_nextSegment(a);
        SCOPED_TRACE(testing::Message() << c.north << " " << c.east << " " << c.due);
        EXPECT_NEAR(a.latitudeStep + 1000 * a.longitudeStep, c.latitudeStep + 1000 * c.longitudeStep, 1e-12);
        EXPECT_EQ(a.earlyWindow + a.lateWindow, 2 * c.windowsAfter);
        EXPECT_TRUE(a.stream.size() == 2 && std::isnan(a.controlPointEast) &&
                    std::isnan(a.curveStartParameter));
        EXPECT_NEAR(a.referenceHeading, c.east == 0 ? 0.0 : M_PI / 2, 1e-4);
        for (int pass = 0; pass < 400 && c.east != 0; ++pass) { // the short way, and on the globe
            lf_curveStep(a);
            ASSERT_TRUE(std::fabs(a.position.longitude) >= 179.998 - 1e-9 &&
                        std::fabs(a.position.longitude) <= 180);
        }
    }
}

// A stop the taxiing aircraft has not reached (it stands 60 m short, north of it) is driven to; within 5 m,
// or parked at its stand, it stays where it is.
TEST_F(PositionStream, ATaxiingAircraftShortOfItsStopDrivesThere) {
    for (const auto& [phase, metresShort, drives] : {std::tuple{AcPhase::taxi, 60.0, true},
                                                     {AcPhase::taxi, 2.0, false},
                                                     {AcPhase::parked, 60.0, false}}) {
        SCOPED_TRACE(testing::Message() << gf_groundStateName(phase) << " " << metresShort << " m short");
        fresh();
        LiveAc& a = aircraft();
        a.phase = phase;
        a.onGround = 1;
        a.stream[0].groundSpeed = 20;
        StreamPos stop = moved(a.stream[0], 0, 0, 3000);
        stop.stationary = 1;
        stop.groundSpeed = 0;
        a.stream.push_back(stop);
        const StreamPos there = moved(a.stream[0], 180, metresShort);
        a.position.latitude = there.latitude;
        a.position.longitude = there.longitude;
        lf_nextSegment(a);
        EXPECT_EQ(a.latitudeStep > 0, drives);
    }
}

// A report at the last point is stationary; within 0.00015 degrees of it, a stationary copy of it.
TEST_F(PositionStream, RepeatedOrJitteringPositionsStandOnTheGroundAndAreRefusedInTheAir) {
    struct Case {
        double degreesOff;
        int airborne, onGround, rotorcraft, accepted;
        std::int64_t due; // of the accepted position, from now
    };
    for (const Case& c :
         {Case{0, 1, 1, 1, 1, 3000}, Case{0, 1, 1, 0, 0, 0}, Case{0, 0, 0, 0, 0, 0},
          Case{0, 0, 1, 0, 1, 3000}, Case{0.0001, 0, 1, 0, 1, 0}, Case{0.0001, 0, 0, 0, 0, 0}}) {
        fresh();
        LiveAc& a = aircraft();
        a.kind = c.rotorcraft != 0 ? AcKind::Rotorcraft : AcKind::Large;
        a.onGround = static_cast<std::uint8_t>(c.onGround);
        StreamPos p = moved(a.stream[0], 0, 0, 3000);
        p.latitude += c.degreesOff;
        p.airborne = static_cast<std::uint8_t>(c.airborne);
        EXPECT_EQ(lf_acceptNewPos(a, p), c.accepted != 0) << c.degreesOff << " " << c.airborne << c.onGround;
        EXPECT_EQ(p.stationary, c.degreesOff == 0 || c.accepted ? 1 : 0);
        EXPECT_TRUE(!c.accepted || (p.duePass == kNow + c.due && (c.rotorcraft || p.groundSpeed == 0)));
    }
}

} // namespace
} // namespace zeph
