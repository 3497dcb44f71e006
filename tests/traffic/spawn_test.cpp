#include "traffic/spawning.h"

#include <cmath>
#include <functional>
#include <numbers>

#include <gtest/gtest.h>

#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "airports/park_airport_list.h"
#include "core/clock.h"
#include "core/geodesy.h"
#include "settings/parameter_table.h"
#include "support/aircraft_fixture.h"
#include "support/airport_fixture.h"
#include "support/fake_simulator.h"
#include "support/log_fixture.h"
#include "support/traffic_builders.h"
#include "support/week_clock.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

constexpr std::int64_t kDue = 100000;

// A buffered record of `count` positions due from kDue on, 10 s apart along its track.
LiveAc buffered(test::ReportSpec spec, std::size_t count = 2, bool stationarySecond = false) {
    LiveAc aircraft = test::makeLiveAc(spec);
    aircraft.stream.clear();
    for (std::size_t k = 0; k < count; ++k) {
        StreamPos p = test::makePosition(spec);
        spec.distanceNm += stationarySecond ? 0.0 : spec.groundSpeed / 360.0;
        p.duePass = kDue + 1000 * static_cast<std::int64_t>(k);
        p.stationary = (k == 1 && stationarySecond) ? 1 : 0;
        aircraft.stream.push_back(p);
    }
    return aircraft;
}

class Spawning : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        fresh();
    }
    // Empty tables and the settings of a new case; the log stays.
    void fresh() {
        lf_clearTrafficTables();
        failedLiveries.clear();
        MAX_LIVE_SEL.setValue(500);
        BLOCK_CALLSIGN.setValue("");
        COLLISION_USER_GND.setValue(true);
        COLLISION_USER_AIR.setValue(true);
        test::placeUserAircraft(UserAcPosition{.latitude = 47.0, .longitude = 8.0}, true);
        tickCounter = kDue - 100;
    }
    void TearDown() override {
        lf_clearTrafficTables();
        test::clearTestParkAirport();
        LogFixture::TearDown();
    }
    // The record's state after one buffer step, as the table holds it.
    LiveAc& step(LiveAc aircraft) {
        liveAcTable.push_back(std::move(aircraft));
        lf_handleBufferedAc(liveAcTable.back());
        return liveAcTable.back();
    }
    test::TestAircraft fleet_;
    test::FakeSimulator fake_;
};

TEST_F(Spawning, BufferRulesDecideWhenAndWhether) {
    struct Case {
        const char* name;
        LiveAc aircraft;
        std::int64_t tick;
        std::function<void()> before;
        AcState state;
        bool erased;
        std::size_t streamLeft;
    };
    const test::ReportSpec air{.hexid = 20001, .callsign = "TST123", .airline = "TST"};
    test::ReportSpec ground = air;
    ground.airborne = false;
    ground.groundSpeed = 12.0;
    test::ReportSpec ghost = air;
    ghost.callsign = "ABC123_";
    LiveAc mixed = buffered(air);
    mixed.stream[1].airborne = 0;
    const auto none = [] {};
    const auto liveTwin = [](AcState state) {
        return [state] {
            liveAcTable.push_back(test::makeLiveAc({.hexid = 20009, .callsign = "ABC123"}, state, 109));
        };
    };
    const Case cases[] = {
        {"airborne at D - 101 waits", buffered(air), kDue - 101, none, AcState::buffer, false, 2},
        {"airborne at D - 100 spawns", buffered(air), kDue - 100, none, AcState::adding2sim, false, 2},
        {"rolling head at D - 301 waits", buffered(ground), kDue - 301, none, AcState::buffer, false, 2},
        {"rolling head at D - 300 spawns", buffered(ground), kDue - 300, none, AcState::adding2sim, false, 2},
        {"one position erased", buffered(air, 1), kDue - 100, none, AcState::buffer, true, 1},
        {"no position erased at once", buffered(air, 0), 0, none, AcState::buffer, true, 0},
        {"a known ghost erased", buffered(ghost), kDue, [] { ghostCallsigns.push_back("ABC123_"); },
         AcState::buffer, true, 2},
        {"air and ground mixed", mixed, kDue, none, AcState::buffer, false, 1},
        {"11 requests queued", buffered(air), kDue, [] { liveAddQueue.resize(11); }, AcState::buffer, false,
         1},
        {"MAX_LIVE_SEL 0", buffered(air), kDue, [] { MAX_LIVE_SEL.setValue(0); }, AcState::buffer, true, 2},
        {"blocked callsign", buffered(air), kDue, [] { BLOCK_CALLSIGN.setValue("TST123"); }, AcState::buffer,
         true, 2},
        {"in the no-match list",
         buffered(test::ReportSpec{
             .hexid = 20001, .callsign = "TST123", .airline = "TST", .registration = "D-ABCD"}),
         kDue, [] { noMatchList.insert("TST B738 D-ABCD"); }, AcState::buffer, true, 2},
        {"invalid callsign", buffered(test::ReportSpec{.hexid = 20001, .callsign = "@@@@@@@@"}), kDue, none,
         AcState::buffer, true, 2},
        {"ghost of a live twin", buffered(ghost), kDue, liveTwin(AcState::active), AcState::buffer, true, 2},
        {"ghost of a twin being removed", buffered(ghost), kDue, liveTwin(AcState::removingfromsim),
         AcState::adding2sim, false, 2},
        {"standing on the ground, no stand", buffered(ground, 3, true), kDue, none, AcState::buffer, false,
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        c.before();
        tickCounter = c.tick;
        const LiveAc& a = step(c.aircraft);
        EXPECT_EQ(a.state, c.state);
        EXPECT_EQ(a.remove != 0, c.erased);
        EXPECT_EQ(a.stream.size(), c.streamLeft);
        EXPECT_EQ(acIdsToAdd.size(), c.state == AcState::adding2sim ? 1U : 0U);
        EXPECT_EQ(coupleCheckList.size(), c.state == AcState::adding2sim ? 1U : 0U);
    }
}

TEST_F(Spawning, LiveLimitRemovesTheFarthestForANearerNewcomer) {
    MAX_LIVE_SEL.setValue(10);
    for (std::uint32_t k = 0; k < 10; ++k) {
        liveAcTable.push_back(
            test::makeLiveAc({.hexid = 30000 + k, .distanceNm = 5.0 + k}, AcState::active, 100 + k));
    }
    const LiveAc& far =
        step(buffered({.hexid = 20001, .callsign = "TST123", .airline = "TST", .distanceNm = 20.0}));
    EXPECT_TRUE(far.remove != 0 && removalQueue.empty());
    const LiveAc& near =
        step(buffered({.hexid = 20002, .callsign = "TST124", .airline = "TST", .distanceNm = 3.0}));
    EXPECT_EQ(near.state, AcState::adding2sim);
    EXPECT_EQ(liveAcTable[9].state, AcState::removingfromsim) << "the one 14 nm away";
}

TEST_F(Spawning, IdentityAndLivery) {
    struct Case {
        test::ReportSpec spec;
        std::string airline, callsign, livery;
        std::uint8_t cargo, reversed;
        bool erased;
        std::size_t noMatches;
    };
    const Case cases[] = {
        // A registration with a livery of its own takes it.
        {{.callsign = "DLH4AB", .airline = "", .registration = "D-AIMA"},
         "DLH",
         "DLH4AB",
         "Lufthansa A320 D-AIMA",
         0,
         0,
         false,
         0},
        // The operator's aircraft takes a livery of the airline its registration names.
        {{.callsign = "EWG1", .airline = "", .registration = "D-AEWG"},
         "EWG",
         "EWG1",
         "FSLTL_A320_DLH",
         1,
         1,
         false,
         0},
        {{.callsign = "", .airline = "", .registration = "D-AIMA"},
         "DLH",
         "D-AIMA",
         "Lufthansa A320 D-AIMA",
         0,
         0,
         false,
         0},
        {{.callsign = "N123AB", .airline = ""}, "PVT", "N123AB", "Generic B738", 0, 0, false, 0},
        {{.callsign = "abc45XY", .airline = ""}, "ABC", "abc45XY", "Generic B738", 0, 0, false, 0},
        {{.callsign = "TST123", .type = "E190", .airline = "XYZ", .registration = "D-ABCD"},
         "XYZ",
         "TST123",
         "",
         0,
         0,
         true,
         1},
        {{.callsign = "TST123", .type = "E190", .airline = "XYZ"}, "XYZ", "TST123", "", 0, 0, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.callsign + " " + c.spec.registration);
        fresh();
        test::ReportSpec spec = c.spec;
        spec.hexid = 20001;
        const LiveAc& a = step(buffered(spec));
        EXPECT_EQ(a.airline, c.airline);
        EXPECT_EQ(a.callsign, c.callsign);
        EXPECT_EQ(a.livery, c.livery);
        EXPECT_EQ(a.cargo, c.cargo);
        EXPECT_EQ(a.reversedThrottleLivery, c.reversed);
        EXPECT_EQ(a.remove != 0, c.erased);
        EXPECT_EQ(noMatchList.size(), c.noMatches);
        EXPECT_EQ(rememberedLiveries.contains(20001), !c.erased);
    }
    fresh();
    rememberedLiveries[20001] = "Remembered B738";
    EXPECT_EQ(step(buffered({.hexid = 20001, .callsign = "TST123"})).livery, "Remembered B738");
}

TEST_F(Spawning, InitialAttitude) {
    struct Case {
        const char* name;
        double verticalRate;
        bool airborne;
        std::function<void(LiveAc&)> change;
        double pitchDeg, verticalSpeed, headingDeg, bank;
    };
    const auto none = [](LiveAc&) {};
    const Case cases[] = {
        {"climbing 3000 ft/min", 3000.0, true, none, -11.8, 50.0, 90.0, 0.0},
        {"descending 4000 ft/min", -4000.0, true, none, 2.5, -4000.0 / 60.0, 90.0, 0.0},
        {"on the ground, rolling 0.1", 0.0, false, [](LiveAc& a) { a.stream[0].roll = 0.1; }, 0.6, 0.0, 90.0,
         0.1},
        {"respawn heading", 0.0, true,
         [](LiveAc& a) {
             a.respawnFlag = 1;
             a.respawnHeading = 10 * kDegToRad;
         },
         -3.0, 0.0, 10.0, 0.0},
        {"parked: the stand's heading", 0.0, false,
         [](LiveAc& a) {
             a.phase = AcPhase::parked;
             a.standHeading = 1.0;
         },
         0.6, 0.0, 1.0 / kDegToRad, 0.0},
        {"stationary second: the track", 0.0, false,
         [](LiveAc& a) {
             a.stream[0].track = 270.0;
             a.stream[1].stationary = 1;
         },
         0.6, 0.0, 270.0, 0.0},
        {"bearing west", 0.0, true, [](LiveAc& a) { a.stream[1].longitude = a.stream[0].longitude - 0.01; },
         -3.0, 0.0, 270.0, 0.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LiveAc a = buffered({.hexid = 20001, .airborne = c.airborne});
        a.stream[1].latitude = a.stream[0].latitude; // the second position due east
        a.stream[1].longitude = a.stream[0].longitude + 0.01;
        a.stream[0].verticalRate = c.verticalRate;
        c.change(a);
        lf_initialAttitude(a);
        EXPECT_NEAR(a.position.pitch, c.pitchDeg * kDegToRad, 1e-12);
        EXPECT_DOUBLE_EQ(a.position.verticalSpeed, c.verticalSpeed);
        EXPECT_NEAR(a.position.heading, c.headingDeg * kDegToRad, 1e-4);
        EXPECT_EQ(a.position.bank, c.bank);
        EXPECT_EQ(a.headingStep, c.airborne ? 0.0 : a.position.heading);
    }
}

TEST_F(Spawning, UserConflictWaits) {
    struct Case {
        const char* name;
        bool userOnGround;
        double userAltitude, userAboveGround, userSpeed;
        double distanceNm, bearingDeg, altitude,
            trackDeg; // P from the user; the second position along the track
        bool airborne;
        std::uint8_t flag;
        bool collisionGround;
        bool waits;
    };
    const Case cases[] = {
        {"ground, 140 m", true, 0, 0, 0, 140 / 1852.0, 0, 0, 0, false, 0, true, true},
        {"ground, 160 m", true, 0, 0, 0, 160 / 1852.0, 0, 0, 0, false, 0, true, false},
        {"ground, 140 m, COLLISION_USER_GND off", true, 0, 0, 0, 140 / 1852.0, 0, 0, 0, false, 0, false,
         false},
        {"flag set, user at 10 kt", true, 0, 0, 10, 3, 0, 3000, 0, true, 1, true, true},
        {"3 nm north flying south", false, 5000, 3000, 200, 3, 0, 6000, 180, true, 0, true, true},
        {"3 nm north flying east", false, 5000, 3000, 200, 3, 0, 6000, 90, true, 0, true, false},
        {"7 nm north flying south", false, 5000, 3000, 200, 7, 0, 6000, 180, true, 0, true, false},
        {"4000 ft above flying south", false, 5000, 3000, 200, 3, 0, 9000, 180, true, 0, true, false},
        {"ground ahead, user 800 ft up", false, 5800, 800, 150, 1, 0, 5000, 0, false, 0, true, true},
        {"ground ahead, user 1200 ft up", false, 6200, 1200, 150, 1, 0, 5000, 0, false, 0, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::placeUserAircraft(UserAcPosition{.latitude = 47.0,
                                               .longitude = 8.0,
                                               .altitude = c.userAltitude,
                                               .altitudeAboveGround = c.userAboveGround,
                                               .groundVelocity = c.userSpeed},
                                c.userOnGround);
        COLLISION_USER_GND.setValue(c.collisionGround);
        LiveAc a = buffered({.hexid = 20001,
                             .distanceNm = c.distanceNm,
                             .bearingDeg = c.bearingDeg,
                             .altitude = c.altitude,
                             .airborne = c.airborne});
        const GeoPoint next =
            gf_destinationPoint({a.stream[0].latitude, a.stream[0].longitude}, c.trackDeg * kDegToRad, 6000);
        a.stream[1].latitude = next.lat;
        a.stream[1].longitude = next.lon;
        a.userConflict = c.flag;
        EXPECT_EQ(lf_userConflictWait(a), c.waits);
        EXPECT_EQ(a.stream.size(), c.waits ? 1U : 2U);
        EXPECT_EQ(a.userConflict != 0, (c.waits && !c.userOnGround) || c.flag != 0);
    }
}

TEST_F(Spawning, StandOfAGroundAircraft) {
    struct Case {
        const char* name;
        GeoPoint at;
        std::function<void()> before;
        std::uint32_t stand; // 0: not parked
        bool erased;
    };
    test::installTestParkAirport();
    const auto near = [](double bearingDeg, double metres, double fromEastMetres = 0) {
        const GeoPoint base =
            gf_destinationPoint(test::kParkAirportPosition, 90 * kDegToRad, fromEastMetres / 0.3048);
        return gf_destinationPoint(base, bearingDeg * kDegToRad, metres / 0.3048);
    };
    const auto none = [] {};
    const Case cases[] = {
        {"15 m from A2", near(0, 15, 50), none, 2, false},
        {"60 m from A2", near(0, 60, 50), none, 0, false},
        {"at the user's A1", near(0, 0), none, 0, false},
        {"at A1, the user airborne", near(0, 0),
         [] {
             test::placeUserAircraft(
                 UserAcPosition{
                     .latitude = 47.25, .longitude = 8.75, .altitude = 8000, .altitudeAboveGround = 3000},
                 false);
         },
         1, false},
        {"C3 reserved", near(0, 0, 100),
         [] {
             const std::lock_guard lock(parkAirportListMutex);
             reservedStand = "C3";
         },
         0, false},
        {"a parked B77W next door", near(0, 15, 50),
         [] {
             LiveAc heavy =
                 test::makeLiveAc({.hexid = 30001, .callsign = "HVY1", .type = "B77W"}, AcState::active, 101);
             heavy.phase = AcPhase::parked;
             heavy.standNumber = 3;
             liveAcTable.push_back(heavy);
         },
         0, true},
        {"A2 taken by a parked spawn on its way", near(0, 15, 50),
         [&] {
             LiveAc first =
                 buffered({.hexid = 20002, .callsign = "TST9", .airline = "TST", .airborne = false}, 2, true);
             for (StreamPos& p : first.stream) {
                 p.latitude = near(0, 15, 50).lat, p.longitude = near(0, 15, 50).lon;
             }
             EXPECT_EQ(step(first).standNumber, 2U);
         },
         0, false},
    };
    test::WeekClock clock(WeekSlot{3, 20});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        test::installTestParkAirport();
        clock.set(WeekSlot{3, 20}); // the tables were cleared with the week slot
        COLLISION_USER_GND.setValue(false);
        test::placeUserAircraft(UserAcPosition{.latitude = 47.25, .longitude = 8.75}, true);
        c.before();
        LiveAc a = buffered({.hexid = 20001,
                             .callsign = "TST123",
                             .airline = "TST",
                             .registration = "D-ABCD",
                             .airborne = false},
                            2, true);
        for (StreamPos& p : a.stream) {
            p.latitude = c.at.lat;
            p.longitude = c.at.lon;
        }
        const LiveAc& spawned = step(a);
        EXPECT_EQ(spawned.remove != 0, c.erased);
        EXPECT_EQ(spawned.standNumber, c.stand);
        if (c.stand == 0) {
            EXPECT_EQ(spawned.state, AcState::buffer);
            continue;
        }
        const ParkPos& stand = *gf_standByNumber(c.stand);
        EXPECT_EQ(spawned.phase, AcPhase::parked);
        ASSERT_EQ(spawned.stream.size(), 1U);
        EXPECT_EQ(spawned.stream[0].latitude, stand.latitude);
        EXPECT_EQ(spawned.stream[0].track, stand.heading / kDegToRad);
        EXPECT_EQ(spawned.position.heading, stand.heading);
        EXPECT_EQ(spawned.parkedSince, clock.time() * 10'000'000);
        ASSERT_EQ(stand.uses.size(), 1U);
        EXPECT_TRUE(stand.uses[0].reg == "D-ABCD" && stand.uses[0].day == 3 &&
                    stand.uses[0].slots == HalfHourSet(1ULL << 20));
    }
}

} // namespace
} // namespace zeph
