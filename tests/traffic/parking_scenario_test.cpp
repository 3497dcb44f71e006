#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <set>
#include <string>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/stands.h"
#include "realtraffic/report_queue.h"
#include "sim/ai_objects.h"
#include "state/main_window_state.h"
#include "support/motion_fixture.h"
#include "support/pass_harness.h"
#include "support/stand_builder.h"
#include "support/week_clock.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/position_stream.h"
#include "traffic/respawn.h"
#include "traffic/stand_parking.h"

namespace zeph {
namespace {

class ParkingScenario : public test::MotionFixture {
protected:
    static LiveAc* live(std::uint32_t n) { return gf_findLiveAc(4000000 + n); }
    // KLMn, at rest 5 m south of a stand after landing, sent onto it.
    static void arrive(std::uint32_t n, const std::string& type, std::uint32_t standNumber) {
        const ParkPos& stand = *gf_standByNumber(standNumber);
        const GeoPoint at = test::metresFrom({stand.latitude, stand.longitude}, 180, 5);
        LiveAc a = test::makeLiveAc({.hexid = 4000000 + n,
                                     .callsign = fmt::format("KLM{}", n),
                                     .type = type,
                                     .airline = "KLM",
                                     .airborne = false},
                                    AcState::active, 900 + n);
        StreamPos& head = a.stream[0];
        a.position.latitude = head.latitude = at.lat, a.position.longitude = head.longitude = at.lon;
        a.position.altitude = head.altitude = head.groundSpeed = 0, head.duePass = tickCounter;
        a.phase = a.previousPhase = AcPhase::taxi, a.timingMode = 1;
        a.stream.push_back(head), a.stream[1].stationary = 1, a.stream[1].duePass += 3000;
        try2Park(liveAcTable.emplace_back(std::move(a)), 1);
    }
    // Reports moving the parked KLMn off its stand along a bearing; it leaves at the fourth.
    static void leave(std::uint32_t n, double bearingDeg) {
        for (const double metres : {10.0, 13.5, 17.0, 20.5}) {
            decodeExisting(*live(n), moved(live(n)->stream[0], bearingDeg, metres, 3000));
        }
    }
    // A report of KLMn as the Traffic Reader hands it over, `metres` from its stream's head along a bearing.
    static TrafficReport reportOf(std::uint32_t n, double bearingDeg, double metres, double seconds) {
        return {*live(n), moved(live(n)->stream[0], bearingDeg, metres, 0), seconds, 4000000 + n};
    }
    static bool going(const LiveAc& a) {
        return a.state == AcState::removingfromsim || a.remove + a.withdrawn != 0;
    }
    static bool onStandPhase(AcPhase phase) {
        return phase == AcPhase::parked || phase == AcPhase::parking || phase == AcPhase::pushing_back ||
               phase == AcPhase::pushed_back;
    }
    // What breaks the marks, read from the engine's tables: a stand is marked exactly while one live aircraft
    // stands on it or a parked creation is on its way to it, and the mark's holder is that aircraft; nothing
    // parked lacks a stand, nothing off a stand keeps one's number; no object is queued for removal twice.
    static std::string markFaults() {
        std::map<std::uint32_t, int> standing;
        std::string faults;
        for (const LiveAc& a : liveAcTable) {
            if (going(a)) {
                continue;
            }
            faults += a.phase == AcPhase::parked && a.standNumber == 0
                          ? fmt::format("{} parked without a stand; ", a.callsign)
                          : "";
            faults += !onStandPhase(a.phase) && a.standNumber != 0
                          ? fmt::format("{} off its stand with number {}; ", a.callsign, a.standNumber)
                          : "";
            if (a.phase != AcPhase::parked || a.leavingStand != 0 || a.standNumber == 0) {
                continue;
            }
            const ParkPos* stand = gf_standByNumber(a.standNumber);
            if (stand == nullptr || stand->latitude != a.standLatitude ||
                stand->longitude != a.standLongitude) {
                faults +=
                    fmt::format("{} holds stand number {} of another airport; ", a.callsign, a.standNumber);
            } else if (++standing[a.standNumber], !stand->occupied) {
                faults += fmt::format("{} parked on {} without its mark; ", a.callsign, stand->id);
            }
        }
        for (const ParkPos& stand : standList) {
            const int on = standing[stand.number];
            const LiveAc* holder = gf_findLiveAc(stand.occupant);
            const bool holderOn = holder != nullptr && !going(*holder) && holder->phase == AcPhase::parked &&
                                  holder->leavingStand == 0 && holder->standNumber == stand.number;
            faults += stand.occupied && !holderOn
                          ? fmt::format("{} marked for {}, who does not stand on it; ", stand.id,
                                        holder ? holder->callsign : "nobody")
                          : "";
            faults += on > 1 ? fmt::format("{} aircraft parked on {}; ", on, stand.id) : "";
        }
        std::set<std::uint32_t> queued;
        for (const std::uint32_t id : removalQueue) {
            faults += queued.insert(id).second ? "" : fmt::format("object {} queued for removal twice; ", id);
        }
        return faults;
    }
};

// A B738 that landed in this run taxis off the runway; its reports stop 25 m north of A2, facing south, and
// it holds there. It is driven onto A2 and parks facing the stand; two hours later it is reported moving off.
TEST_F(ParkingScenario, AnAircraftWhoseReportsStopNearAStandParksThereAndTeachesTheStand) {
    test::TestParkAirport airport;
    parkAirportLoaded = true;
    test::WeekClock clock(WeekSlot{3, 20});
    ParkPos& a2 = *gf_standByNumber(2);
    const GeoPoint stand{a2.latitude, a2.longitude}, stop = test::metresFrom(stand, 0, 25);
    LiveAc& a = aircraft();
    a.position.latitude = a.stream[0].latitude = stop.lat,
    a.position.longitude = a.stream[0].longitude = stop.lon;
    a.position.altitude = a.stream[0].altitude = a.stream[0].groundSpeed = a.stream[0].airborne = 0;
    a.phase = a.previousPhase = AcPhase::taxi, a.onGround = 1, a.position.heading = std::numbers::pi;
    a.landed = 1, a.timingMode = 1;
    a.stream.push_back(a.stream[0]), a.stream[1].stationary = 1, a.stream[1].duePass += 3000; // holding
    test::PassHarness harness(*fake_);
    harness.run(1); // 25 m at 4 kt: on the stand after 1215 passes, at rest 50 later
    EXPECT_TRUE(a.stream.size() == 2 && a.stream[0].duePass == kNow + 1215 &&
                a.stream[1].duePass == kNow + 1265);
    harness.runThrough(1264);
    EXPECT_EQ(a.phase, AcPhase::parking);
    harness.runThrough(1265);
    parkAirportLoaded = false;
    ASSERT_TRUE(a.phase == AcPhase::parked && a2.uses.size() == 1);
    EXPECT_TRUE(std::fabs(a.position.latitude - stand.lat) < 1e-7 &&
                std::fabs(a.position.longitude - stand.lon) < 1e-7);
    EXPECT_TRUE(a.position.heading == a2.heading && a2.uses[0].slots == HalfHourSet(1ULL << 20));
    clock.stepHalfHours(4);
    for (const double metres : {10.0, 13.5, 17.0, 20.5}) {
        EXPECT_EQ(a.leavingStand, 0) << metres;
        decodeExisting(a, moved(a.stream[0], 90, metres, 3000));
    }
    EXPECT_TRUE(a.leavingStand == 1 && !a2.occupied);
    EXPECT_TRUE(a2.uses.size() == 1 && a2.uses[0].slots == HalfHourSet(0x1FULL << 20) &&
                a2.uses[0].coupled == 1);
}

// Arrivals, departures forwards and backwards, a parked spawn, a livery respawn, removals of every kind, two
// reports of one aircraft in one pass, a new route after a push back and a change of park airport during a
// respawn on the four stands of the test airport, the marks checked after every pass.
TEST_F(ParkingScenario, AStandIsMarkedExactlyWhileOneAircraftStandsOnIt) {
    test::TestParkAirport airport;
    test::WeekClock clock(WeekSlot{3, 20});
    const std::int32_t maxPark = MAX_PARK_SEL.get();
    MAX_PARK_SEL.setValue(0), AIRBORNE_ONLY.setValue(true), GUID_CHANGES.setValue(true);
    test::PassHarness harness(*fake_);
    const auto runUntil = [&](const std::function<bool()>& done) {
        for (int k = 0; k < 8000 && !done(); ++k) {
            harness.run(1);
            if (const std::string faults = markFaults(); !faults.empty()) {
                ADD_FAILURE() << "pass " << harness.passesRun() << ": " << faults;
                return false;
            }
        }
        return done();
    };
    const auto parked = [](std::uint32_t n) { return live(n) && live(n)->phase == AcPhase::parked; };
    arrive(1, "B738", 1), arrive(2, "B738", 2);
    ASSERT_TRUE(runUntil([&] { return parked(1) && parked(2); }));
    {
        SCOPED_TRACE("KLM1 pulls out of A1, KLM3 parks there, KLM1's stream ends");
        leave(1, 0.0);
        ASSERT_TRUE(runUntil([] { return live(1)->phase == AcPhase::taxi; }));
        arrive(3, "B738", 1);
        ASSERT_TRUE(runUntil([&] { return parked(3) && live(1) == nullptr; }));
    }
    {
        SCOPED_TRACE("KLM2 pushes back from A2, KLM4 parks there, KLM2's stream ends");
        leave(2, 270.0);
        ASSERT_TRUE(runUntil([] { return live(2)->phase == AcPhase::pushing_back; }));
        arrive(4, "B738", 2);
        ASSERT_TRUE(runUntil([&] { return parked(4) && live(2) == nullptr; }));
    }
    {
        SCOPED_TRACE("TST5_ spawns parked on C3, respawns for a livery and goes as a ghost of TST5");
        LiveAc spawn =
            test::makeLiveAc({.hexid = 4000005, .callsign = "TST5_", .airline = "TST", .airborne = false});
        const ParkPos& c3 = *gf_standByNumber(3);
        spawn.stream.assign(2, spawn.stream[0]);
        for (std::int64_t k = 0; k < 2; ++k) {
            spawn.stream[k].latitude = c3.latitude, spawn.stream[k].longitude = c3.longitude;
            spawn.stream[k].duePass = tickCounter + 50 + 1000 * k, spawn.stream[k].stationary = k;
        }
        liveAcTable.push_back(spawn);
        ASSERT_TRUE(runUntil([] { return live(5)->state == AcState::active; }));
        liveryRespawn(*live(5)), lf_ghostCheck("TST5");
        ASSERT_EQ(markFaults(), "");
        ASSERT_TRUE(runUntil([] { return live(5) == nullptr; }));
    }
    {
        SCOPED_TRACE("KLM3 and KLM4 parked too long, KLM7 removed by the B77W KLM6 parking next door, KLM6 "
                     "taken away by the simulator");
        clock.stepHalfHours(4), lf_listParkedLive();
        ASSERT_TRUE(runUntil([] { return live(3) == nullptr && live(4) == nullptr; }));
        arrive(7, "B738", 2);
        ASSERT_TRUE(runUntil([&] { return parked(7); }));
        arrive(6, "B77W", 1);
        ASSERT_TRUE(runUntil([&] { return parked(6) && live(7) == nullptr; }));
        {
            const std::lock_guard lock(simResultMutex);
            simResultQueue.push_back({live(6)->objectId, 0, 0, 2, 0.0, 0.0});
        }
        ASSERT_TRUE(runUntil([] { return live(6) == nullptr; }));
    }
    // Two reports of one aircraft pushed at once are taken in one pass: the intake takes two a pass.
    {
        SCOPED_TRACE("KLM9 is reported leaving A1 and then as KLM90 in one pass; it respawns and pulls out");
        arrive(9, "B738", 1);
        ASSERT_TRUE(runUntil([&] { return parked(9); }));
        TrafficReport renamed = reportOf(9, 0.0, 185.0, 2030.0);
        renamed.identity.callsign = "KLM90";
        gf_pushTrafficReport(reportOf(9, 0.0, 185.0, 2000.0)), gf_pushTrafficReport(std::move(renamed));
        ASSERT_TRUE(runUntil([] { return live(9) == nullptr; }));
    }
    {
        SCOPED_TRACE("KLM10 is reported leaving A2 and back on it in one pass; it pushes back");
        arrive(10, "B738", 2);
        ASSERT_TRUE(runUntil([&] { return parked(10); }));
        gf_pushTrafficReport(reportOf(10, 270.0, 185.0, 2000.0));
        gf_pushTrafficReport(reportOf(10, 270.0, 5.0, 2030.0));
        ASSERT_TRUE(runUntil([] { return live(10) == nullptr; }));
    }
    {
        SCOPED_TRACE("KLM11 pushes back from A1; KLM13 parks there and goes for the B77W KLM14 parking on "
                     "A2, while KLM11 waits pushed back with A1's number; KLM11 is reported on a new route");
        arrive(11, "B738", 1);
        live(11)->from = "AMS", live(11)->to = "LHR";
        ASSERT_TRUE(runUntil([&] { return parked(11); }));
        leave(11, 180.0);
        AIRBORNE_ONLY.setValue(false); // the ground traffic holds where its reports stop
        ASSERT_TRUE(runUntil([] { return live(11)->phase == AcPhase::pushed_back; }));
        arrive(13, "B738", 1);
        ASSERT_TRUE(runUntil([&] { return parked(13); }));
        arrive(14, "B77W", 2);
        ASSERT_TRUE(runUntil([&] { return parked(14) && live(13) == nullptr; }));
        ASSERT_EQ(live(11)->phase, AcPhase::pushed_back);
        AIRBORNE_ONLY.setValue(true);
        {
            const std::lock_guard lock(simResultMutex);
            simResultQueue.push_back({live(14)->objectId, 0, 0, 2, 0.0, 0.0});
        }
        TrafficReport rerouted = reportOf(11, 0.0, 0.0, 2000.0);
        rerouted.identity.from = "CDG", rerouted.identity.to = "FRA";
        gf_pushTrafficReport(std::move(rerouted));
        ASSERT_TRUE(runUntil([] { return live(11) == nullptr && live(14) == nullptr; }));
    }
    {
        SCOPED_TRACE("KLM8 drives onto C3 and KLM12 respawns on A2 when the park airport is left for EDDF");
        arrive(12, "B738", 2);
        ASSERT_TRUE(runUntil([&] { return parked(12); }));
        arrive(8, "B738", 3), liveryRespawn(*live(12));
        lf_resetParkAirport(), test::installEddfStands();
        ASSERT_TRUE(runUntil(
            [] { return (live(8) == nullptr || live(8)->phase == AcPhase::parked) && live(12) == nullptr; }));
    }
    MAX_PARK_SEL.setValue(maxPark), AIRBORNE_ONLY.setValue(false);
}

} // namespace
} // namespace zeph
