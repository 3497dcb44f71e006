#include "traffic/removal_rules.h"

#include <gtest/gtest.h>

#include "settings/parameter_table.h"
#include "support/aircraft_fixture.h"
#include "support/airport_fixture.h"
#include "support/log_fixture.h"
#include "support/test_clock.h"
#include "support/traffic_builders.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

constexpr double kFeetPerNm = 6076.11549;

class RemovalRules : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        lf_clearTrafficTables();
        test::installTestParkAirport();
    }
    void TearDown() override {
        lf_clearTrafficTables();
        LogFixture::TearDown();
    }
    LiveAc& parked(std::uint32_t hexid, const std::string& callsign, std::uint32_t stand,
                   AcPhase phase = AcPhase::parked, AcState state = AcState::active) {
        liveAcTable.push_back(test::makeLiveAc({.hexid = hexid, .callsign = callsign}, state, hexid - 19900));
        liveAcTable.back().phase = phase;
        liveAcTable.back().standNumber = stand;
        return liveAcTable.back();
    }
    test::TestAircraft fleet_;
};

TEST_F(RemovalRules, TwoLiveAircraftForOneStand) {
    struct Case {
        const char* existing;
        const char* newcomer;
        AcPhase phase;
        AcState state;
        std::uint8_t groundLogic;
        bool mayTake, removed;
        const char* line;
    };
    const Case cases[] = {
        {"ABC123", "ABC123", AcPhase::parked, AcState::active, 0, true, true,
         "C3      : ABC123   ac with same callsign ABC123 wants it, remove existing ... "},
        {"ABC123", "ABC123_", AcPhase::parked, AcState::active, 0, false, false, nullptr},
        {"ABC123_", "ABC123", AcPhase::parked, AcState::active, 0, true, true,
         "C3      : ABC123_  ghost, replace by ABC123"},
        {"ABC123", "DEF1_", AcPhase::parked, AcState::active, 0, false, false, nullptr},
        {"ABC123", "DEF1", AcPhase::parked, AcState::active, 1, false, false, nullptr},
        {"ABC123", "DEF1", AcPhase::parked, AcState::active, 0, true, true,
         "C3      : ABC123   removed because another live DEF1 wants the stand ..."},
        {"ABC123", "DEF1", AcPhase::taxi, AcState::active, 0, true, false, nullptr},
        {"ABC123", "DEF1", AcPhase::parked, AcState::adding2sim, 0, true, false, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.existing) + " / " + c.newcomer);
        lf_clearTrafficTables();
        test::installTestParkAirport();
        const std::size_t lines = readLog().size();
        // Ahead in the table, an aircraft already going from the stand still holds its number.
        parked(20000, "XYZ9", 3, AcPhase::parked, AcState::removingfromsim);
        parked(20001, c.existing, 3, c.phase, c.state).groundLogic = c.groundLogic;
        EXPECT_EQ(lf_sameCallsignOrGhost(3, c.newcomer), c.mayTake);
        EXPECT_EQ(liveAcTable[1].state == AcState::removingfromsim, c.removed);
        const auto log = readLog();
        ASSERT_EQ(log.size(), lines + (c.line != nullptr ? 1 : 0));
        if (c.line != nullptr) {
            EXPECT_EQ(log.back(), c.line);
        }
    }
}

TEST_F(RemovalRules, TheUserAircraftInTheAir) {
    struct Case {
        const char* name;
        double userAboveGround;
        double aheadFeet, abeamFeet, altitude, heading;
        bool onGround, removed;
    };
    const Case cases[] = {
        {"600 ft ahead, heading 0", 3000, 600, 0, 5000, 0, false, true},
        {"heading 45", 3000, 600, 0, 5000, 45, false, true},
        {"heading 90", 3000, 600, 0, 5000, 90, false, true},
        {"heading 180", 3000, 600, 0, 5000, 180, false, true},
        {"heading 270", 3000, 600, 0, 5000, 270, false, true},
        {"2 nm abeam, parallel", 3000, 0, 2 * kFeetPerNm, 5000, 0, false, false},
        {"999 ft above, converging", 3000, 0, 0.9 * kFeetPerNm, 5999, 270, false, true},
        {"1000 ft above", 3000, 0, 0.9 * kFeetPerNm, 6000, 270, false, false},
        {"ground, 40 ft off the line", 400, 0.5 * kFeetPerNm, 40, 0, 90, true, true},
        {"ground, 60 ft off the line", 400, 0.5 * kFeetPerNm, 60, 0, 90, true, false},
        {"ground, 40 ft left of the line", 400, 0.5 * kFeetPerNm, -40, 0, 90, true, true},
        {"ground, far to the left", 400, 0.3 * kFeetPerNm, -0.5 * kFeetPerNm, 0, 90, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lf_clearTrafficTables();
        test::placeUserAircraft(UserAcPosition{.latitude = 47.0,
                                               .longitude = 8.0,
                                               .altitude = 5000,
                                               .altitudeAboveGround = c.userAboveGround},
                                false);
        const GeoPoint ahead = test::pointFromUser(c.aheadFeet / kFeetPerNm, 0);
        const GeoPoint at = gf_destinationPoint(
            ahead, c.abeamFeet >= 0 ? 1.5707963267948966 : 4.71238898038469, std::abs(c.abeamFeet));
        for (int k = 0; k < 2; ++k) {
            LiveAc a =
                test::makeLiveAc({.hexid = 20001u + k, .altitude = c.altitude, .airborne = !c.onGround},
                                 AcState::active, 100 + k);
            a.position.latitude = at.lat;
            a.position.longitude = at.lon;
            a.position.heading = c.heading * 0.017453292519943295;
            liveAcTable.push_back(a);
        }
        lf_avoidUserAircraft();
        EXPECT_EQ(liveAcTable[0].state == AcState::removingfromsim, c.removed);
        EXPECT_EQ(liveAcTable[1].state, AcState::active) << "one a call";
    }
}

TEST_F(RemovalRules, ParkedLimitAndLongestParked) {
    MAX_PARK_SEL.setValue(10);
    CUSTOM_PARKING_PERCENTAGE.setValue(50);
    INITIAL_LOAD_ONLY.setValue(false);
    test::TestClock clock(1'700'000'000);
    parked(20001, "LIV1", 1).parkedSince = (1'700'000'000LL - 30 * 60) * 10'000'000;
    parked(20002, "LIV2", 2).parkedSince = (1'700'000'000LL - 90 * 60) * 10'000'000;
    lf_maxParkExceeded(1);
    EXPECT_EQ(liveAcTable[1].state, AcState::removingfromsim);
    EXPECT_EQ(readLog().back(), "A2      : LIV2 live max park exceeded, removed");

    INITIAL_LOAD_ONLY.setValue(true);
    liveAcTable[1].state = AcState::active;
    for (const auto& [hexid, day, halfHour] : {std::tuple{1U, 3U, 0U}, std::tuple{2U, 2U, 10U}}) {
        staticAcTable.push_back(test::makeStaticAc({.hexid = hexid, .objectId = 200 + hexid}));
        staticAcTable.back().parkingDay = day;
        staticAcTable.back().parkingHalfHour = halfHour;
    }
    lf_maxParkExceeded(1);
    EXPECT_EQ(liveAcTable[1].state, AcState::active);
    EXPECT_EQ(staticAcTable[1].state, AcState::removingfromsim) << "the slot (2, 10) first";
    EXPECT_EQ(staticAcTable[0].state, AcState::active);

    lf_clearTrafficTables();
    test::installTestParkAirport();
    for (const auto& [hexid, seconds] :
         {std::pair{20001U, 600}, std::pair{20002U, 300}, std::pair{20003U, 900}}) {
        parked(hexid, "LIV", 1).parkedSince = (1'700'000'000LL - seconds) * 10'000'000;
    }
    std::vector<std::pair<std::uint32_t, std::int64_t>> longest;
    lf_listLongestParked(longest);
    EXPECT_EQ(longest, (std::vector<std::pair<std::uint32_t, std::int64_t>>{
                           {20003, 900}, {20001, 600}, {20002, 300}}));
    lf_removeLiveParked(2);
    EXPECT_EQ(liveAcTable[2].state, AcState::removingfromsim);
    EXPECT_EQ(liveAcTable[0].state, AcState::removingfromsim);
    EXPECT_EQ(liveAcTable[1].state, AcState::active);
}

TEST_F(RemovalRules, BlockedCallsigns) {
    for (const AcState state : {AcState::buffer, AcState::active, AcState::adding2sim}) {
        lf_clearTrafficTables();
        liveAcTable.push_back(test::makeLiveAc(
            {.hexid = 20001, .callsign = "TST123", .airline = "TST", .registration = "D-ABCD"}, state, 101));
        liveAcTable[0].from = "ZRH";
        liveAcTable[0].to = "FRA";
        lf_callsignBlocked(20001);
        EXPECT_EQ(liveAcTable[0].remove != 0, state == AcState::buffer);
        EXPECT_EQ(liveAcTable[0].state == AcState::removingfromsim, state == AcState::active);
    }
    EXPECT_EQ(readLog().front(),
              "TST123   D-ABCD   ZRH->FRA TST B738 will be removed from buffer while blocked");
}

} // namespace
} // namespace zeph
