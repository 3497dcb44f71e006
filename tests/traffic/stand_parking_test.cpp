#include "traffic/stand_parking.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "airports/park_airport_list.h"
#include "model/flight_texts.h"
#include "sim/ai_objects.h"
#include "sim/sim_ids.h"
#include "support/motion_fixture.h"
#include "support/stand_builder.h"
#include "support/week_clock.h"
#include "traffic/park_airport_status.h"
#include "traffic/position_stream.h"
#include "traffic/stream_geometry.h"

namespace zeph {
namespace {

constexpr GeoPoint kParkPoint = test::kParkAirportPosition;

class StandParking : public test::MotionFixture {
protected:
    void SetUp() override { MotionFixture::SetUp(), again(); }
    void again() { fresh(), clock_.set(WeekSlot{3, 20}); } // fresh() clears the week slot with the tables
    // An active A320 (D-ABYA) at rest at `at`, taxiing, heading 90 degrees; its head due now.
    LiveAc& resting(GeoPoint at, const char* callsign = "DLH4AB", const char* type = "A320") {
        LiveAc a = test::makeLiveAc({.hexid = 20001 + static_cast<std::uint32_t>(liveAcTable.size()),
                                     .callsign = callsign,
                                     .type = type,
                                     .registration = "D-ABYA",
                                     .airborne = false},
                                    AcState::active, 100);
        a.position.latitude = a.stream[0].latitude = at.lat,
        a.position.longitude = a.stream[0].longitude = at.lon;
        a.stream[0].duePass = kNow, a.stream[0].groundSpeed = 0, a.phase = AcPhase::taxi;
        return liveAcTable.emplace_back(std::move(a));
    }
    // Phase parking, the stream [head, stand point, copy at rest].
    static bool drivesTo(const LiveAc& a, GeoPoint stand) {
        return a.phase == AcPhase::parking && a.stream.size() == 3 &&
               lf_samePoint(pointOf(a.stream[1]), stand) && a.stream[2].stationary == 1;
    }
    test::WeekClock clock_{WeekSlot{3, 20}};
};

// Stands S1 at the origin and S2 60 m east; the aircraft rests west of S1. user: 0 far away, 1 on the ground
// 10 m from S1, 2 in the air there.
TEST_F(StandParking, AStandIsTakenWithinReachUnlessItIsTheUsers) {
    struct Case {
        double metres;
        std::uint8_t landed;
        const char* reserved;
        int user;
        bool parks;
    };
    for (const Case& c : {Case{19.9, 0, "", 0, true},
                          {20.1, 0, "", 0, false},
                          {54.9, 1, "", 0, true},
                          {55.1, 1, "", 0, false},
                          {0, 0, "S1", 0, false},
                          {0, 0, "", 1, false},
                          {0, 0, "", 2, true}}) {
        again();
        test::StandBuilder(kParkPoint).row(2, 60).install();
        {
            const std::lock_guard lock(parkAirportListMutex);
            reservedStand = c.reserved;
        }
        const GeoPoint user = c.user != 0 ? test::metresFrom(kParkPoint, 0, 10) : GeoPoint{47.05, 8.10};
        test::placeUserAircraft(UserAcPosition{.latitude = user.lat, .longitude = user.lon}, c.user != 2);
        LiveAc& a = resting(test::metresFrom(kParkPoint, 270, c.metres));
        try2Park(a, c.landed);
        EXPECT_EQ(drivesTo(a, kParkPoint), c.parks)
            << c.metres << " m, landed " << int(c.landed) << ", user " << c.user;
    }
    reservedStand.clear();
    LiveAc& a = resting(
        kParkPoint); // S1 taken, then freed: the same point is not searched again, one 1e-7 degrees away is
    standList[0].occupied = true, try2Park(a, 0), standList[0].occupied = false, try2Park(a, 0);
    EXPECT_EQ(a.phase, AcPhase::taxi);
    a.stream[0].latitude += 1e-7, try2Park(a, 0);
    EXPECT_TRUE(drivesTo(a, kParkPoint));
    // 30 m out nothing is in reach of the narrow search, but the landed one at the same point still looks.
    LiveAc& landed = resting(test::metresFrom(kParkPoint, 270, 30), "EZY45");
    standList[0].occupied = false, try2Park(landed, 0), try2Park(landed, 0);
    EXPECT_EQ(landed.phase, AcPhase::taxi);
    try2Park(landed, 1);
    EXPECT_TRUE(drivesTo(landed, kParkPoint));
}

// KLM12, an active A320, on stand `on` of S1 and S2 (radius 22 m, `apart` m), the static ABC123* on S1;
// DLH4AB takes S1. A neighbour stand at 0, 0 counts as absent.
TEST_F(StandParking, AircraftOnTheStandAndTooCloseNextToItMakeRoom) {
    const std::string wish = "S1      : KLM12    removed, DLH4AB wants to park there";
    const std::string next =
        "S2      : KLM12    removed by parking DLH4AB at adjacent and possibly colliding stand S1";
    struct Case {
        double apart;
        std::uint32_t on;
        AcPhase phase;
        bool neighbourAtZero;
        std::string line;
    };
    for (const Case& c : {Case{39.3, 1, AcPhase::parked, false, wish},
                          {39.3, 1, AcPhase::pushing_back, false, ""},
                          {39.3, 2, AcPhase::parked, false, next},
                          {39.5, 2, AcPhase::parked, false, ""},
                          {39.3, 2, AcPhase::pushing_back, false, next},
                          {39.3, 2, AcPhase::parked, true, ""}}) {
        again();
        test::StandBuilder(kParkPoint).row(2, c.apart, 90, 22).install();
        staticAcTable.push_back(test::makeStaticAc({.callsign = "ABC123*", .objectId = 700}));
        LiveAc& other = resting(kParkPoint, "KLM12");
        other.phase = c.phase, other.standNumber = c.on;
        if (c.neighbourAtZero)
            standList[1].latitude = standList[1].longitude = 0.0;
        try2Park(resting(kParkPoint), 0);
        EXPECT_EQ(liveAcTable[0].state == AcState::removingfromsim, !c.line.empty())
            << c.apart << " on S" << c.on;
        EXPECT_TRUE((c.line.empty() || logHas(c.line)) && staticAcTable[0].state == AcState::removingfromsim)
            << c.line;
    }
}

// DLH4AB in phase parking for A2 of the test park airport, `metres` north of it.
TEST_F(StandParking, ArrivingParksAtTheStandOrTaxisOnOrGivesWay) {
    struct Case {
        double metres;
        bool occupied;
        std::uint8_t towed;
        AcPhase phase;
    };
    for (const Case& c : {Case{0, false, 0, AcPhase::parked},
                          {2.1, false, 0, AcPhase::taxi},
                          {0, true, 0, AcPhase::parking},
                          {1.9, false, 1, AcPhase::parked}}) {
        again();
        test::installTestParkAirport();
        ParkPos& a2 = *gf_standByNumber(2);
        LiveAc& a = resting(test::metresFrom({a2.latitude, a2.longitude}, 0, c.metres));
        a.phase = AcPhase::parking, a.towed = c.towed, a.standNumber = 2, a.standLatitude = a2.latitude,
        a.standLongitude = a2.longitude;
        a2.occupied = c.occupied, nextPosMain(a), fake_->frame(); // the stream ran dry
        const bool parked = c.phase == AcPhase::parked;
        EXPECT_TRUE(a.phase == c.phase && a2.occupied == (parked || c.occupied) &&
                    a2.uses.size() == (parked ? 1U : 0U))
            << c.metres;
        EXPECT_EQ(a.state == AcState::removingfromsim && removalQueue.size() == 1, c.occupied);
        EXPECT_EQ(logHas("A2      : DLH4AB   arrived at stand") && coupleCheckList.back() == a.hexid &&
                      a.leaveCount == 0,
                  parked);
        EXPECT_EQ(logHas("          towed aircraft " + gf_acLogPrefix(a) + " parks"), c.towed == 1);
        const auto shutdowns = std::ranges::count(fake_->clientEvents(), simid::kEventEngineShutdown,
                                                  &test::FakeSimulator::ClientEvent::event);
        EXPECT_EQ(a.stream[0].stationary == 1 && a.parkedSince == clock_.time() * 10'000'000 &&
                      shutdowns == 1,
                  parked);
    }
}

TEST_F(StandParking, ACargoAircraftFreesACargoStandAndOneCreatedParkedTakesItsStand) {
    test::TestParkAirport airport;
    LiveAc& a = resting(kParkPoint);
    a.cargo = 1, a.cargoStand = 1, a.standNumber = 3, learnedUpdateCount = 0;
    lf_clearCargoStand(a); // taken as a cargo stand: kept
    a.cargoStand = 0, lf_clearCargoStand(a);
    EXPECT_TRUE(!gf_standByNumber(3)->cargo && gf_standByNumber(3)->cargoChanged && learnedUpdateCount == 1);
    EXPECT_TRUE(logHas("==> Test Park Airport stand: C3, cargo attribute set to false, " + gf_acLogPrefix(a) +
                       " parked here"));
    a.altitudeStep = 5, a.phaseCountdown = 9, a.standNumber = 2;
    lf_parksAt(a); // taxiing: on the ground, nothing else
    EXPECT_TRUE(a.onGround == 1 && a.altitudeStep == 0 && a.phaseCountdown == 1 &&
                !gf_standByNumber(2)->occupied);
    for (const std::uint32_t stand : {1, 2, 3, 2, 4})
        staticPlan.emplace_back().standId = stand;
    staticAcTable = {
        test::makeStaticAc({.standNumber = 2, .callsign = "DEF1*", .state = AcState::adding2sim}),
        test::makeStaticAc({.standNumber = 2, .callsign = "ABC123*", .objectId = 700})};
    a.phase = AcPhase::parked, lf_parksAt(a);
    EXPECT_TRUE(a.parkingDay == 3 && a.parkingHalfHour == 20 && gf_standByNumber(2)->occupied &&
                logHas("A2      : DLH4AB   parks"));
    EXPECT_TRUE(staticPlan.size() == 3 && staticPlan[0].standId == 1 && staticPlan[1].standId == 3 &&
                staticPlan[2].standId == 4);
    EXPECT_TRUE(staticAcTable[0].state == AcState::adding2sim &&
                staticAcTable[1].state == AcState::removingfromsim &&
                logHas("A2      : DLH4AB   parks over static ABC123* \xE2\x80\x94 static will be removed"));
}

} // namespace
} // namespace zeph
