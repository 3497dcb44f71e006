#include <algorithm>
#include <functional>
#include <numbers>

#include <gtest/gtest.h>

#include "airports/park_airport_list.h"
#include "core/clock.h"
#include "settings/parameter_table.h"
#include "support/airport_fixture.h"
#include "support/motion_fixture.h"
#include "support/test_clock.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"

namespace zeph {
namespace {

class MakingWay : public test::MotionFixture {
protected:
    // An active static aircraft on a stand of the test airport, first callsign ABC123, coupled ABC124.
    static StaticAc on(std::uint32_t stand, const char* callsign, const char* registration = "",
                       const char* type = "B738") {
        StaticAc s =
            test::makeStaticAc({.hexid = stand, .standNumber = stand, .callsign = callsign, .type = type});
        s.standLatitude = gf_standByNumber(stand)->latitude,
        s.standLongitude = gf_standByNumber(stand)->longitude;
        s.registration = registration, s.firstCallsign = "ABC123", s.coupledCallsign = "ABC124",
        s.objectId = 700 + stand;
        return s;
    }
    // The live ABC123 D-ABCD, taxiing at `metres` east of stand C3.
    static LiveAc live(const char* callsign = "ABC123", const char* registration = "D-ABCD",
                       double metres = 100.0) {
        LiveAc a = test::makeLiveAc(
            {.hexid = 4000002, .callsign = callsign, .registration = registration, .airborne = false},
            AcState::active, 200);
        const GeoPoint at =
            gf_destinationPoint({gf_standByNumber(3)->latitude, gf_standByNumber(3)->longitude},
                                std::numbers::pi / 2, metres / 0.3048);
        a.position.latitude = at.lat, a.position.longitude = at.lon, a.firstCallsign = callsign,
        a.phase = AcPhase::taxi;
        return a;
    }
    // Every record that is no longer active, and the number of static records.
    static std::string summary() {
        std::string text;
        const auto add = [&](const StaticAc& a) {
            text += a.state == AcState::active
                        ? ""
                        : a.callsign + " " + std::string(gf_simStateName(a.state)) + ", ";
        };
        std::for_each(liveAcTable.begin(), liveAcTable.end(), add),
            std::for_each(staticAcTable.begin(), staticAcTable.end(), add);
        return text + std::to_string(staticAcTable.size()) + " statics";
    }
};

TEST_F(MakingWay, TheLoserGoesWithItsLine) {
    test::installTestParkAirport(); // the records below are placed at its stands
    const auto makeWay = [] { lf_makeWay(liveAcTable[0], *gf_standByNumber(2)); };
    const auto queued = [] {
        staticAcTable[0].state = AcState::adding2sim, staticAcTable[0].firstCallsign = "XYZ9",
        staticAddQueue.push_back({{}, "XYZ9*", {}, staticAcTable[0].hexid});
        lf_makeWay(liveAcTable[0], *gf_standByNumber(2));
    };
    const auto coupled = [] { lf_sameRegcodeOrCoupled(liveAcTable[0], true); };
    const auto removeAll = [] {
        staticAcTable[1].state = staticAcTable[2].state = AcState::adding2sim,
        staticAddQueue.push_back({{}, "Q*", {}, staticAcTable[1].hexid});
        lf_removeAllStatic();
    };
    struct Case {
        const char* name;
        std::vector<LiveAc> lives;
        std::vector<StaticAc> statics;
        std::function<void()> act;
        const char* line;
        const char* after;
    };
    const Case cases[] = {
        {"same live version",
         {live()},
         {on(2, "ABC123*", "D-ABCD")},
         makeWay,
         "A2      : ABC123*  D-ABCD makes way for the same live version ABC123 D-ABCD",
         "ABC123* removingfromsim, 1 statics"},
        {"no registrations",
         {live("ABC123", "")},
         {on(2, "XYZ9*")},
         [] {
             staticAcTable[0].firstCallsign = "XYZ9";
             lf_makeWay(liveAcTable[0], *gf_standByNumber(2));
         },
         "A2      : XYZ9*     makes way for ABC123 ",
         "XYZ9* removingfromsim, 1 statics"},
        {"queued",
         {live()},
         {on(2, "XYZ9*", "D-EFGH"), on(4, "KEEP*")},
         queued,
         "queued A2      : XYZ9*    D-EFGH makes way for ABC123 D-ABCD",
         "1 statics"},
        {"excluded stands",
         {live()},
         {on(1, "XYZ8*", "", "B77W"), on(3, "XYZ9*", "", "B77W"), on(3, "XYZ7*", "", "B77W")},
         makeWay,
         "C3      : XYZ9*    makes way for ABC123 parking at excluded stand A2",
         "XYZ8* removingfromsim, XYZ9* removingfromsim, 3 statics"},
        {"excluded B738 too far", {live()}, {on(3, "XYZ9*")}, makeWay, "", "1 statics"},
        {"collision at 38 m",
         {live("ABC123", "D-ABCD", 38.0)},
         {on(3, "XYZ9*")},
         [] { lf_collisionWithStatic(liveAcTable[0]); },
         "C3      : XYZ9*    removed for collision avoidance with static ABC123",
         "XYZ9* removingfromsim, 1 statics"},
        {"no collision at 45 m",
         {live("ABC123", "D-ABCD", 45.0)},
         {on(3, "XYZ9*")},
         [] { lf_collisionWithStatic(liveAcTable[0]); },
         "",
         "1 statics"},
        {"ghost",
         {live(), live("ABC123_")},
         {},
         [] { lf_ghostCheck("ABC123"); },
         "          ABC123_  is a ghost and will be removed, continue with ABC123",
         "ABC123_ removingfromsim, 0 statics"},
        {"same regcode",
         {live("ABC999")},
         {on(1, "XYZ8*"), on(2, "XYZ9*", "D-ABCD")},
         coupled,
         "A2      : XYZ9*    D-ABCD removed, new on ground 'ABC999' has same regcode D-ABCD",
         "XYZ9* removingfromsim, 2 statics"},
        {"coupled callsign",
         {live("ABC124", "D-EFGH")},
         {on(2, "XYZ9*", "D-ABCD"), on(3, "XYZ8*")},
         coupled,
         "A2      : XYZ9*    'ABC123' 'ABC124' removed, new on ground ABC124 'ABC124' '' has coupled "
         "callsign",
         "XYZ9* removingfromsim, 2 statics"},
        {"remove all",
         {},
         {on(1, "A*"), on(2, "Q*"), on(3, "H*")},
         removeAll,
         "",
         "A* removingfromsim, H* adding2sim, 2 statics"},
        {"reserved stand",
         {},
         {on(1, "A*"), on(3, "C*")},
         [] {
             {
                 const std::lock_guard lock(parkAirportListMutex);
                 reservedStand = "C3";
             }
             lf_clearReservedStand();
         },
         "",
         "C* removingfromsim, 2 statics"},
        {"static twin",
         {live()},
         {on(1, "XYZ8*"), on(3, "ABC123*"), on(2, "XYZ9*", "D-ABCD")},
         lf_removeStaticTwinOfLive,
         "",
         "ABC123* removingfromsim, 3 statics"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        test::installTestParkAirport();
        liveAcTable = c.lives, staticAcTable = c.statics;
        const std::size_t lines = readLog().size();
        c.act();
        const std::vector<std::string> log = readLog();
        EXPECT_EQ((log.size() == lines ? "" : log.back()) + " / " + summary(),
                  (*c.line != 0 ? "==> " + std::string(c.line) : "") + " / " + c.after);
    }
    const std::lock_guard lock(parkAirportListMutex);
    reservedStand.clear();
}

// Heavy aircraft may stay parked 180 minutes, the others 90; the list is shortest parked first.
TEST_F(MakingWay, LiveAircraftParkedTooLongLeave) {
    test::TestClock clock(1700000000);
    for (const bool initialLoadOnly : {false, true}) {
        fresh();
        INITIAL_LOAD_ONLY.setValue(initialLoadOnly);
        for (const auto& [type, minutes] :
             {std::pair{"B77W", 181}, {"B738", 91}, {"B77W", 180}, {"B738", 90}, {"B738", 500}}) {
            LiveAc& a = liveAcTable.emplace_back(
                test::makeLiveAc({.hexid = 4000000U + minutes, .type = type}, AcState::active, 300));
            a.phase = AcPhase::parked, a.parkedSince = nowSystemTicks() - minutes * 600'000'000LL,
            a.groundLogic = minutes == 500;
        }
        lf_listParkedLive();
        std::string listed = summary();
        for (const ParkedLive& p : liveParkedList)
            listed += " " + std::to_string(p.minutes);
        EXPECT_EQ(listed, initialLoadOnly
                              ? "0 statics 0 90 91 180 181"
                              : "DLH4AB removingfromsim, DLH4AB removingfromsim, 0 statics 0 90 180");
    }
    INITIAL_LOAD_ONLY.setValue(false);
}

} // namespace
} // namespace zeph
