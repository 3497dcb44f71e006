#include "realtraffic/report_queue.h"
#include "traffic/traffic_pass.h"

#include <cstdint>
#include <mutex>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "app/main_loop.h"
#include "model/flight_texts.h"
#include "realtraffic/qnh.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/aircraft_fixture.h"
#include "support/fake_simulator.h"
#include "support/log_fixture.h"
#include "support/pass_harness.h"
#include "support/traffic_builders.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using test::FakeSimulator;
using test::PassHarness;

// A live record as spawning leaves it, waiting for its creation request, with one reported position.
LiveAc liveRecord(std::uint32_t hexid, std::string callsign, AcState state = AcState::adding2sim) {
    LiveAc aircraft;
    aircraft.hexid = hexid;
    aircraft.callsign = std::move(callsign);
    aircraft.state = state;
    aircraft.stream.emplace_back();
    return aircraft;
}

AiCreateRequest requestFor(std::uint32_t hexid) {
    AiCreateRequest request;
    request.callsign = "R" + std::to_string(hexid);
    request.hexid = hexid;
    return request;
}

class TrafficPass : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        fresh(1000);
    }
    void TearDown() override {
        lf_clearTrafficTables();
        fake_.reset();
        simConnectError.store(false);
        resetExitReasonForRestart();
        LogFixture::TearDown();
    }

    // Empty tables and work lists, a fresh fake, the pass clock at tick.
    void fresh(std::int64_t tick) {
        lf_clearTrafficTables();
        simConnectError.store(false);
        landingFlare = false;
        RANGE.setValue(40);
        {
            const std::lock_guard lock(simConnectMutex);
            positionBuffers.reset();
            creationWork.clear();
            removalWork.clear();
        }
        fake_.reset();
        fake_.emplace();
        tickCounter.store(tick);
    }

    std::size_t addingStackSize() {
        const std::lock_guard lock(addingStackMutex);
        return addingStack.size();
    }

    std::size_t logCount(const std::string& line) {
        std::size_t count = 0;
        for (const std::string& l : readLog()) {
            count += l == line ? 1 : 0;
        }
        return count;
    }

    std::optional<FakeSimulator> fake_;
};

TEST_F(TrafficPass, TakesAtMostTwoReportsAPass) {
    struct Case {
        std::size_t onStack;
        std::size_t afterFirst;
        std::size_t afterSecond;
    };
    for (const Case& c : {Case{3, 1, 0}, Case{1, 0, 0}, Case{0, 0, 0}, Case{6, 4, 2}}) {
        SCOPED_TRACE(testing::Message() << c.onStack << " on the stack");
        fresh(1001);
        setTrafficAccepting(true);
        for (std::size_t i = 0; i < c.onStack; ++i) {
            ASSERT_TRUE(gf_pushTrafficReport(TrafficReport{}));
        }
        lf_handleAddingStack();
        EXPECT_EQ(addingStackSize(), c.afterFirst);
        lf_handleAddingStack();
        EXPECT_EQ(addingStackSize(), c.afterSecond);
    }
}

TEST_F(TrafficPass, BuildsOneCreationRequestAPassFromTheLastWaitingHexid) {
    struct Case {
        const char* name;
        std::vector<LiveAc> table;
        std::vector<std::uint32_t> waiting;
        std::vector<std::uint32_t> queuedAfterFirst;
        std::vector<std::uint32_t> queuedAfterSecond;
        std::size_t logLines;
        std::size_t tableAfterSecond;
    };
    LiveAc removed = liveRecord(10001, "AAA1"); // taken out before its hexid became a request: gone
    removeAircraftFromSim(removed);
    const std::vector<Case> cases{
        {"the hexid added last first",
         {liveRecord(10001, "AAA1"), liveRecord(10002, "BBB2")},
         {10001, 10002},
         {10002},
         {10002, 10001},
         0,
         2},
        {"a hexid without a record is dropped",
         {liveRecord(10001, "AAA1")},
         {10001, 10009},
         {},
         {10001},
         0,
         1},
        {"an empty callsign is never handed over",
         {liveRecord(10001, ""), liveRecord(10002, "BBB2")},
         {10002, 10001},
         {},
         {10002},
         1,
         1},
        {"a record removed while waiting is withdrawn, never created",
         {removed, liveRecord(10002, "BBB2")},
         {10002, 10001},
         {},
         {10002},
         0,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh(1001);
        const std::size_t linesBefore = readLog().size();
        liveAcTable = c.table;
        acIdsToAdd = c.waiting;
        const auto queued = [] {
            std::vector<std::uint32_t> hexids;
            for (const AiCreateRequest& r : liveAddQueue) {
                hexids.push_back(r.hexid);
            }
            return hexids;
        };
        lf_handleAddingStack();
        EXPECT_EQ(queued(), c.queuedAfterFirst);
        lf_handleAddingStack();
        EXPECT_EQ(queued(), c.queuedAfterSecond);
        EXPECT_EQ(readLog().size() - linesBefore, c.logLines);
        EXPECT_EQ(liveAcTable.size(), c.tableAfterSecond);
    }
    EXPECT_EQ(
        logCount("==> " + gf_acLogPrefix(liveRecord(10001, "")) + " lf_handleAddingStack objectid = 0?"), 1U);
}

TEST_F(TrafficPass, CreationRequestCarriesThePositionInDegrees) {
    constexpr std::string_view kTitle = "Boeing 737-800 Test";
    for (const bool airborne : {true, false}) {
        SCOPED_TRACE(airborne ? "airborne" : "on the ground");
        fresh(1001);
        LiveAc aircraft = liveRecord(10042, "DLH42");
        aircraft.position = {50.1, 8.6, -0.05, 0.1, std::numbers::pi / 2.0, 3500.0, 12.0, 180.0};
        aircraft.stream.front().airborne = airborne ? 1 : 0;
        aircraft.stream.emplace_back().airborne = airborne ? 0 : 1; // only the first position counts
        aircraft.livery = kTitle;
        liveAcTable.push_back(aircraft);
        acIdsToAdd = {10042};
        lf_handleAddingStack();
        ASSERT_EQ(liveAddQueue.size(), 1U);
        const AiCreateRequest& r = liveAddQueue.front();
        EXPECT_EQ(r.position.latitude, 50.1);
        EXPECT_EQ(r.position.longitude, 8.6);
        EXPECT_EQ(r.position.altitude, 3500.0);
        EXPECT_DOUBLE_EQ(r.position.pitch, -2.8647889756541165);
        EXPECT_DOUBLE_EQ(r.position.bank, 5.729577951308233);
        EXPECT_DOUBLE_EQ(r.position.heading, 90.0);
        EXPECT_EQ(r.position.onGround, airborne ? 0U : 1U);
        EXPECT_EQ(r.position.airspeed, 0U);
        EXPECT_EQ(r.callsign, "DLH42");
        EXPECT_EQ(r.livery, kTitle);
        EXPECT_NE(r.livery.data(), kTitle.data()) << "the request owns a copy of the title";
        EXPECT_EQ(r.hexid, 10042U);
    }
}

TEST_F(TrafficPass, HandsOverOneRemovalEvery10PassesAndOneCreationEvery50LiveFirst) {
    using Handed = std::vector<std::pair<std::int64_t, std::uint32_t>>;
    struct Case {
        const char* name;
        std::int64_t start;
        std::vector<std::uint32_t> removals;
        bool liveRequest;   // a live request waits on liveAddQueue
        bool staticRequest; // and a static one on staticAddQueue
        bool waitingHexid;  // hexid 10007 waits on acIdsToAdd
        Handed creations;   // (pass, hexid)
        Handed removed;     // (pass, object id)
        std::size_t planLeft;
    };
    const std::vector<Case> cases{
        {"live before static, the plan only after a static request",
         1000,
         {},
         true,
         true,
         false,
         {{1000, 10001}, {1050, 5}},
         {},
         2},
        {"removals every 10 passes, the creation at 50",
         1001,
         {7, 8},
         false,
         false,
         true,
         {{1050, 10007}},
         {{1010, 7}, {1020, 8}},
         3},
        {"a request built in pass 1000 waits for 1050; the plan goes on meanwhile",
         1000,
         {},
         false,
         false,
         true,
         {{1050, 10007}},
         {},
         2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh(c.start);
        removalQueue.assign(c.removals.begin(), c.removals.end());
        if (c.liveRequest) {
            liveAddQueue.push_back(requestFor(10001));
        }
        if (c.staticRequest) {
            staticAddQueue.push_back(requestFor(5));
        }
        if (c.waitingHexid) {
            liveAcTable.push_back(liveRecord(10007, "WAIT7"));
            acIdsToAdd = {10007};
        }
        // Entries for no stand: each build drops one with its line.
        staticPlan.resize(3);
        gf_appendStand(ParkPos{});
        PassHarness harness(*fake_);
        harness.run(1);
        EXPECT_EQ(liveAddQueue.size(), c.waitingHexid ? 1U : 0U) << "after the first pass";
        harness.runThrough(1099 - c.start);
        Handed creations;
        for (const FakeSimulator::Creation& made : fake_->creations()) {
            creations.emplace_back(made.pass, made.hexid);
        }
        Handed removed;
        for (const FakeSimulator::Removal& gone : fake_->removals()) {
            removed.emplace_back(gone.pass, gone.objectId);
        }
        EXPECT_EQ(creations, c.creations);
        EXPECT_EQ(removed, c.removed);
        EXPECT_EQ(staticPlan.size(), c.planLeft);
    }
}

TEST_F(TrafficPass, AsksForTheAircraftInRangeOnceASecondAndFiveTimesInAFlare) {
    struct Case {
        const char* name;
        bool flare;
        bool errorBefore;
        std::size_t failAt;
        std::size_t calls;
        std::int64_t every;
    };
    const std::vector<Case> cases{
        {"once a second", false, false, 0, 10, 100},
        {"in a landing flare", true, false, 0, 50, 20},
        {"not after a failed call", false, true, 0, 0, 100},
        {"the first call fails", false, false, 1, 1, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh(1000);
        resetExitReasonForRestart();
        fake_->failAtCall(c.failAt);
        landingFlare = c.flare;
        simConnectError.store(c.errorBefore);
        PassHarness(*fake_).run(1000);
        ASSERT_EQ(fake_->rangeCalls().size(), c.calls);
        for (const FakeSimulator::RangeCall& call : fake_->rangeCalls()) {
            EXPECT_EQ(call.pass % c.every, 0) << "pass " << call.pass;
            EXPECT_EQ(call.requestId, 101U);
            EXPECT_EQ(call.defineId, 404U);
            EXPECT_EQ(call.radiusMeters, 74080U);
            EXPECT_EQ(call.objectType, 2U);
        }
        const bool failed = c.failAt != 0;
        EXPECT_EQ(logCount("==> SimConnect request ac within range fails"), failed ? 1U : 0U);
        EXPECT_EQ(exitReason.load() == ExitReason::SIMCONNECT_ERROR, failed);
        if (failed) {
            EXPECT_EQ(currentRestartDelay(), 9);
            EXPECT_TRUE(simConnectError.load());
            const std::lock_guard lock(mainWindowState.statusMutex);
            EXPECT_EQ(mainWindowState.statusText, "SimConnect request error");
        }
    }
}

TEST_F(TrafficPass, RefreshesTheUserPositionOnceASecond) {
    PassHarness harness(*fake_);
    const auto userLatitude = [] {
        const std::lock_guard lock(userDataMutex);
        return userAcPosition.latitude;
    };
    struct Step {
        double simulatorHas;
        std::int64_t runThrough; // relative to pass 1000
        double programHas;
    };
    for (const Step& s : {Step{50.5, 0, 50.5}, Step{51.5, 99, 50.5}, Step{51.5, 100, 51.5},
                          Step{52.5, 150, 51.5}, Step{52.5, 200, 52.5}}) {
        SCOPED_TRACE(testing::Message() << "through pass " << 1000 + s.runThrough);
        UserAcPosition data;
        data.latitude = s.simulatorHas;
        fake_->setUserData(data);
        harness.runThrough(s.runThrough);
        EXPECT_EQ(userLatitude(), s.programHas);
    }
}

TEST_F(TrafficPass, ReservesOnceAndClearsEveryTableButThePassClock) {
    lf_reserveTrafficTables();
    EXPECT_GE(liveAcTable.capacity(), 512U);
    EXPECT_GE(staticAcTable.capacity(), 256U);
    EXPECT_GE(staticPlan.capacity(), 512U);
    EXPECT_GE(standList.capacity(), 512U);
    EXPECT_GE(acIdsToAdd.capacity(), 64U);
    EXPECT_GE(simResultQueue.capacity(), 256U);

    tickCounter.store(4321);
    liveAcTable.push_back(liveRecord(10001, "A"));
    staticAcTable.emplace_back();
    staticPlan.emplace_back();
    standList.emplace_back();
    acIdsToAdd.push_back(10001);
    liveAddQueue.push_back(requestFor(10001));
    staticAddQueue.push_back(requestFor(1));
    removalQueue.push_back(7);
    simResultQueue.push_back(SimResult{7, 0, 0, 2, 0.0, 0.0});
    setTrafficAccepting(true);
    ASSERT_TRUE(gf_pushTrafficReport(TrafficReport{}));
    noMatchList.insert("DLH A320 D-AIMA");
    rememberedLiveries[10001] = "title";
    setParkAirportRecord({"ZZPA", "ZPA", "Test", 47.0, 8.0, 4950.0});
    ghostCallsigns.push_back("X_");
    parkAirportList.emplace_back();
    currentQnh.store(990);
    currentWeekSlot.store(packWeekSlot({3, 10}));
    landingFlare = true;
    mainWindowState.liveAverageFit.store(2.5F);

    lf_clearTrafficTables();

    EXPECT_TRUE(liveAcTable.empty() && staticAcTable.empty() && staticPlan.empty() && standList.empty());
    EXPECT_TRUE(acIdsToAdd.empty() && liveAddQueue.empty() && staticAddQueue.empty() && removalQueue.empty());
    EXPECT_TRUE(simResultQueue.empty());
    EXPECT_EQ(addingStackSize(), 0U);
    EXPECT_TRUE(noMatchList.empty() && rememberedLiveries.empty() && ghostCallsigns.empty());
    EXPECT_TRUE(parkAirportRecord.code.empty());
    EXPECT_EQ(parkAirportRecord.altitude, 0.0);
    EXPECT_TRUE(parkAirportList.empty());
    EXPECT_EQ(currentQnh.load(), 1013);
    EXPECT_EQ(currentWeekSlot.load(), 0U);
    EXPECT_FALSE(landingFlare);
    EXPECT_EQ(mainWindowState.liveAverageFit.load(), -1.0F);
    EXPECT_EQ(tickCounter.load(), 4321);
    EXPECT_GE(liveAcTable.capacity(), 512U) << "the room stays";
}

TEST_F(TrafficPass, ThePassClockRunsPast32Bits) {
    test::TestAircraft aircraft;
    constexpr std::int64_t kStart = 2'147'483'645;
    fresh(kStart);
    setTrafficAccepting(true);
    for (std::uint32_t i = 0; i < 10; ++i) {
        ASSERT_TRUE(gf_pushTrafficReport(
            test::makeReport({.hexid = 20001 + i, .callsign = "P" + std::to_string(i)})));
        lf_handleAddingStack();
    }
    EXPECT_EQ(tickCounter.load(), 2'147'483'655);
    ASSERT_EQ(liveAcTable.size(), 10U) << "every report became a buffered record";
    for (std::size_t i = 0; i < liveAcTable.size(); ++i) {
        ASSERT_EQ(liveAcTable[i].stream.size(), 1U);
        EXPECT_EQ(liveAcTable[i].stream.front().duePass, kStart + static_cast<std::int64_t>(i) + 3000);
    }
}

// Three aircraft reporting every 5 s for 20 s, on the pass clock only.
std::vector<test::ScriptedReport> threeAircraft() {
    std::vector<test::ScriptedReport> script;
    for (int k = 0; k < 4; ++k) {
        for (std::uint32_t a = 0; a < 3; ++a) {
            test::ReportSpec spec{.hexid = 30001 + a, .callsign = "SCR" + std::to_string(a)};
            spec.bearingDeg = 120.0 * a;
            spec.distanceNm = 5.0 + k;
            spec.altitude = 3000.0 + 100.0 * k;
            spec.reportTime = 1000.0 + 5.0 * k;
            script.push_back({500 * k + a, test::makeReport(spec)});
        }
    }
    return script;
}

TEST_F(TrafficPass, TheSameScriptGivesTheSameTablesTwice) {
    test::TestAircraft aircraft;
    struct Seen {
        std::uint32_t hexid;
        double lastReportTime;
        std::vector<std::pair<std::int64_t, double>> stream; // due pass from t0, altitude
        bool operator==(const Seen&) const = default;
    };
    const auto runOnce = [&] {
        fresh(tickCounter.load() + 77);
        PassHarness harness(*fake_, threeAircraft());
        harness.run(2000);
        std::vector<Seen> seen;
        for (const LiveAc& a : liveAcTable) {
            Seen s{a.hexid, a.lastReportTime, {}};
            for (const StreamPos& p : a.stream) {
                s.stream.emplace_back(p.duePass - harness.t0(), p.altitude);
            }
            seen.push_back(std::move(s));
        }
        return seen;
    };
    const std::vector<Seen> first = runOnce();
    ASSERT_EQ(first.size(), 3U);
    for (const Seen& s : first) {
        EXPECT_EQ(s.stream.size(), 4U) << "hexid " << s.hexid;
        EXPECT_EQ(s.lastReportTime, 1015.0) << "hexid " << s.hexid;
    }
    EXPECT_TRUE(runOnce() == first);
}

TEST_F(TrafficPass, AHandedOverCreationComesBackAfterTheNextRangeRequest) {
    fake_->setHeightAboveGround(1234.0);
    fake_->setGround(0.0); // 3500 ft above the ground: not among the aircraft in range
    LiveAc aircraft = liveRecord(10042, "DLH42", AcState::adding2sim);
    aircraft.position = {50.1, 8.6, 0.0, 0.0, 0.0, 3500.0, 0.0, 0.0};
    constexpr std::string_view kTitle = "Boeing 737-800 Test";
    aircraft.livery = kTitle;
    liveAcTable.push_back(aircraft);
    acIdsToAdd = {10042};
    PassHarness harness(*fake_);
    const auto queuedKinds = [] {
        const std::lock_guard lock(simResultMutex);
        std::vector<std::uint32_t> kinds;
        for (const SimResult& r : simResultQueue) {
            kinds.push_back(r.kind);
        }
        return kinds;
    };
    harness.runThrough(49);
    EXPECT_TRUE(fake_->creations().empty());
    harness.runThrough(50);
    ASSERT_EQ(fake_->creations().size(), 1U);
    const FakeSimulator::Creation& made = fake_->creations().front();
    EXPECT_EQ(made.pass, 1050);
    EXPECT_EQ(made.callsign, "DLH42");
    EXPECT_EQ(made.title, kTitle);
    EXPECT_EQ(made.position.latitude, 50.1);
    EXPECT_EQ(made.position.altitude, 3500.0);
    harness.runThrough(99);
    EXPECT_TRUE(queuedKinds().empty()) << "nothing before the next range request";
    harness.runThrough(100);
    EXPECT_EQ(queuedKinds(), std::vector<std::uint32_t>{0});
    {
        const std::lock_guard lock(simResultMutex);
        EXPECT_EQ(simResultQueue.front().hexid, 10042U);
        EXPECT_EQ(simResultQueue.front().objectId, made.objectId);
        EXPECT_EQ(simResultQueue.front().value2, 1234.0);
    }
    harness.runThrough(101);
    EXPECT_EQ(queuedKinds(), std::vector<std::uint32_t>{4}) << "drained by pass 1101, the static CG answered";
    EXPECT_EQ(fake_->creations().size(), 1U);
}

} // namespace
} // namespace zeph
