#include <optional>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "airports/stands.h"
#include "support/motion_fixture.h"
#include "support/week_clock.h"
#include "traffic/live_update.h"
#include "traffic/position_stream.h"

namespace zeph {
namespace {

class ExtendingChecks : public test::MotionFixture {};

// A B738 (r/2 = 8.95 m) on stand "A2" of the test airport, reported again east of the stand.
TEST_F(ExtendingChecks, ReportsAtAStandOrAfterAPushBackKeepOrMoveTheAircraft) {
    using P = AcPhase;
    struct Case {
        P phase;
        std::vector<double> metres;
        std::size_t appended;
        P phaseAfter;
        bool learned; // a coupled use of D-ABCD on A2
        bool removed;
    };
    const Case cases[] = {
        {P::parked, {10, 13.5, 17, 20.5}, 1, P::parked, true, false}, // moving off
        {P::parked, {10, 12, 11, 13}, 0, P::parked, false, false},    // drifting
        {P::parked, {250}, 0, P::parked, true, true},                 // gone
        {P::parked, {150}, 1, P::parked, true, false},                // driving off
        {P::parking, {100}, 1, P::taxi, false, false},
        {P::pushing_back, {30, 120}, 0, P::pushing_back, false, false},
        {P::pushed_back, {55, 60}, 1, P::taxi, false, false}, // past 2.75 r and the last distance
        {P::pushed_back, {110}, 1, P::taxi, false, false},    // past 6 r
    };
    test::WeekClock clock(WeekSlot{3, 20});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << gf_groundStateName(c.phase) << " " << c.metres.back());
        fresh();
        test::installTestParkAirport();
        clock.set(WeekSlot{3, 20}); // the tables were cleared with the week slot
        LiveAc& a = aircraft();
        ParkPos& stand = *gf_standByNumber(2);
        a.position.latitude = a.stream[0].latitude = a.standLatitude = stand.latitude;
        a.position.longitude = a.stream[0].longitude = a.standLongitude = stand.longitude;
        a.stream[0].altitude = a.stream[0].groundSpeed = a.stream[0].airborne = 0;
        // Only a parked aircraft holds its stand's mark; another holds it once this one is off the stand.
        a.stream[0].stationary = a.onGround = 1, gf_occupyStand(2, c.phase == P::parked ? a.hexid : 4000099);
        a.phase = c.phase;
        a.standNumber = 2;
        a.lastPushBackDistance = 900;
        for (double metres : c.metres) {
            decodeExisting(a, moved(a.stream[0], 90, metres, 3000));
        }
        EXPECT_EQ(a.stream.size(), 1 + c.appended);
        EXPECT_EQ(a.stream.back().stationary + 2 * (a.phase == c.phaseAfter), (c.appended == 0) + 2);
        EXPECT_EQ(stand.uses.size() == 1 && stand.uses[0].reg == "D-ABCD" && stand.uses[0].coupled == 1,
                  c.learned);
        EXPECT_EQ(a.state == AcState::removingfromsim, c.removed);
        EXPECT_EQ(stand.occupied, !c.learned);
        EXPECT_TRUE(c.phaseAfter != P::taxi || a.standNumber + a.holdFlag == 0U)
            << "off the stand: forgotten";
        EXPECT_TRUE(c.phase != P::parked || c.metres[0] > 85 || a.parkedSince == clock.time() * 10000000);
    }
}

// On the landing roll (heading 250) a report behind the queued roll takes back the roll position past it; a
// report at taxi speed beside it has turned off towards the stand and joins the queue.
TEST_F(ExtendingChecks, ALandingRollTakesBackOnlyAReportThatStillRolls) {
    for (const auto& [bearing, metres, knots, queued] : {std::tuple{70.0, 100.0, 100.0, 2U},
                                                         {340.0, 50.0, 20.0, 3U},
                                                         {20.0, 50.0, 60.0, 2U},
                                                         {20.0, 50.0, 20.0, 3U}}) {
        SCOPED_TRACE(testing::Message() << bearing << " at " << knots << " kt");
        fresh();
        LiveAc& a = aircraft();
        a.phase = AcPhase::taxi;
        a.onGround = a.landingRoll = 1;
        a.position.heading = 250.0 * kDegToRad;
        a.stream[0].airborne = 0;
        a.stream.push_back(moved(a.stream[0], 250, 300, 3000));
        StreamPos report = moved(a.stream[1], bearing, metres, 3000);
        report.groundSpeed = knots;
        decodeExisting(a, report);
        EXPECT_EQ(a.stream.size(), queued);
    }
}

// The first straight piece of a push back takes its curve side from the reported heading, else the track.
TEST_F(ExtendingChecks, APushBackTakesItsCurveSideFromTheReports) {
    for (const auto& [heading, trueHeading, track, side] : {std::tuple{0.0, 10.0, 0.0, 1},
                                                            {0.0, -1.0, -10.0, 0},
                                                            {350.0, -1.0, 5.0, 1},
                                                            {10.0, -1.0, 355.0, 0}}) {
        fresh();
        LiveAc& a = aircraft();
        a.phase = AcPhase::pushing_back;
        a.pushBackPieces = 2;
        a.position.heading = heading * kDegToRad;
        StreamPos p = moved(a.stream[0], 0, 5);
        p.trueHeadingKnown = trueHeading >= 0 ? 1 : 0;
        p.trueHeading = trueHeading >= 0 ? std::optional(trueHeading * kDegToRad) : std::nullopt;
        p.track = track;
        EXPECT_FALSE(checkExtendingSituations(a, p));
        EXPECT_EQ(a.pushBackSide + 2 * a.curvedPushBack, side + 2) << heading << " " << track;
    }
    LiveAc& a = aircraft(); // a report while predicting, with nothing left to go on from
    a.timingMode = 2;
    a.stream.clear();
    StreamPos p;
    EXPECT_FALSE(checkExtendingSituations(a, p));
    EXPECT_EQ(readLog().back(), "==> checkExtendingSituations empty sz?");
}

} // namespace
} // namespace zeph
