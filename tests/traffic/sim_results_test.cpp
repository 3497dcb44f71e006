#include "traffic/sim_results.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <tuple>

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "aircraft/livery_memory.h"
#include "airports/stands.h"
#include "core/errors.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/commands.h"
#include "sim/flight_plans.h"
#include "state/exit_reason.h"
#include "support/aircraft_fixture.h"
#include "support/fake_simulator.h"
#include "support/log_fixture.h"
#include "support/slow_factor.h"
#include "support/traffic_builders.h"
#include "traffic/flight_motion.h"
#include "traffic/ground_motion.h"
#include "traffic/report_intake.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

constexpr std::uint32_t kObject = 100;

void push(std::vector<SimResult> results) {
    const std::lock_guard lock(simResultMutex);
    simResultQueue.insert(simResultQueue.end(), results.begin(), results.end());
}

// The queued client events as (event, value), and forgets them.
std::vector<std::pair<std::uint32_t, std::uint32_t>> takeEvents() {
    const std::lock_guard lock(simConnectMutex);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> events;
    for (const QueuedClientEvent& e : clientEventWork) {
        events.emplace_back(e.clientEvent, e.value);
    }
    clientEventWork.clear();
    return events;
}

class SimResults : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        fresh();
    }
    // Empty tables and the settings of a new case; the log stays.
    void fresh() {
        lf_clearTrafficTables();
        takeEvents();
        simConnectError = false;
        flightPlanFolder = dir();
        tickCounter = 1000;
    }
    void TearDown() override {
        lf_clearTrafficTables();
        takeEvents();
        simConnectError = false;
        resetExitReasonForRestart();
        LogFixture::TearDown();
    }
    LiveAc& addLive(test::ReportSpec spec, AcState state, std::uint32_t objectId = 0) {
        spec.registration = "D-ABCD";
        liveAcTable.push_back(test::makeLiveAc(spec, state, objectId));
        liveAcTable.back().stream.resize(2, liveAcTable.back().stream.front());
        return liveAcTable.back();
    }
    // Passes until the created list is empty or the limit; the pass at which each light toggle went out.
    std::vector<std::int64_t> passes(int count) {
        std::vector<std::int64_t> toggles;
        for (int k = 0; k < count; ++k) {
            lf_handleSimResults();
            tickCounter = tickCounter + 1;
        }
        for (const auto& call : fake_.portCalls()) {
            if (call.name == "transmitClientEvent" && call.values[0] == kObject) {
                EXPECT_EQ(call.values, (std::vector<std::uint32_t>{kObject, 214, 0, 301, 0}));
                toggles.push_back(call.pass);
            }
        }
        return toggles;
    }
    test::TestAircraft fleet_;
    test::FakeSimulator fake_;
};

TEST_F(SimResults, ACreatedLiveAircraftIsActiveAfter200PassesWithItsLights) {
    using Events = std::vector<std::pair<std::uint32_t, std::uint32_t>>;
    struct Case {
        const char* name;
        double altitude, height;
        bool airborne;
        AcPhase phase;
        const char* type;
        Events events; // after the light toggles
    };
    const Events airHigh{{221, 0}, {219, 0}, {208, 1}, {207, 1}, {211, 0},
                         {209, 0}, {210, 1}, {213, 0}, {212, 1}};
    const Events airLow{{221, 0}, {219, 0}, {208, 1}, {207, 1}, {211, 1},
                        {209, 0}, {210, 1}, {213, 1}, {212, 0}};
    const Events taxi{{219, 0}, {221, 0}, {208, 1}, {207, 1}, {211, 0},   {209, 1},
                      {210, 0}, {213, 1}, {212, 1}, {223, 0}, {218, 3072}};
    const Events parked{{219, 0}, {222, 0}, {208, 0}, {207, 0}, {211, 0}, {209, 0},
                        {210, 0}, {213, 1}, {212, 1}, {223, 0}, {218, 0}};
    const Events rotor{{222, 0}, {208, 0}, {207, 0}, {211, 0},    {209, 0},
                       {210, 0}, {213, 1}, {212, 1}, {223, 16383}};
    const Case cases[] = {
        {"airborne at 12,000 ft", 12000, 10600, true, AcPhase::flying, "B738", airHigh},
        {"airborne at 8,000 ft", 8000, 1500, true, AcPhase::flying, "B738", airLow},
        {"taxi", 1400, 0, false, AcPhase::taxi, "B738", taxi},
        {"parked", 1400, 0, false, AcPhase::parked, "B738", parked},
        {"rotorcraft on the ground", 1400, 0, false, AcPhase::parked, "EC35", rotor},
    };
    NAV_LIGHTS_WHILE_PARKED.setValue(false);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        fake_.clearRecords();
        LiveAc& a = addLive({.hexid = 20001, .type = c.type, .altitude = c.altitude, .airborne = c.airborne},
                            AcState::adding2sim);
        a.phase = c.phase;
        push({{kObject, 20001, 0, 0, 0.0, c.height}});
        EXPECT_EQ(passes(200), (std::vector<std::int64_t>{1049, 1099}));
        EXPECT_EQ(liveAcTable[0].state, AcState::adding2sim);
        EXPECT_EQ(liveAcTable[0].heightAboveGround, c.height);
        passes(1);
        EXPECT_EQ(liveAcTable[0].state, AcState::active);
        EXPECT_EQ(takeEvents(), c.events);
        EXPECT_TRUE(createdList.empty());
    }
    fresh();
    fake_.clearRecords();
    fake_.answerCall("transmitClientEvent", 1, -1);
    addLive({.hexid = 20001}, AcState::adding2sim);
    push({{kObject, 20001, 0, 0, 0.0, 0.0}});
    passes(60);
    EXPECT_TRUE(simConnectError.load());
    const auto log = readLog();
    EXPECT_NE(std::find(log.begin(), log.end(), "==> SimConnect gf_allLightsToggle fails"), log.end());
}

// A live creation result: the object id and height kept, the flight plan handed over when the route is known,
// one request for the static CG; a refused plan or request is logged.
TEST_F(SimResults, TheCreationResultHandsOverThePlanAndAsksForTheStaticCg) {
    struct Case {
        const char* name;
        std::uint32_t objectId;
        const char* to;
        const char* failing; // the port method whose first call fails
        std::vector<std::string> calls;
        bool flightPlan;
        const char* line; // the end of a new event line, or nothing new in the log
    };
    const std::vector<std::string> both{"setAiFlightPlan", "requestDataOnSimObject"};
    const Case cases[] = {
        {"object id 2", 2, "FRA", "", {}, false, ""},
        {"a route", kObject, "FRA", "", both, true, ""},
        {"no destination", kObject, "", "", {"requestDataOnSimObject"}, false, ""},
        {"the plan refused", kObject, "FRA", "setAiFlightPlan", both, false,
         " creating a flight plan failed"},
        {"the request refused", kObject, "FRA", "requestDataOnSimObject", both, true,
         "SimConnect request StaticCG fails"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        resetExitReasonForRestart();
        fake_.clearRecords();
        const std::string_view failing = c.failing;
        fake_.answerCall("setAiFlightPlan", 1, failing == "setAiFlightPlan" ? 1 : 0);
        fake_.answerCall("requestDataOnSimObject", 1, failing == "requestDataOnSimObject" ? -1 : 0);
        LiveAc& a = addLive({.hexid = 20001, .callsign = "TST123", .airline = "TST"}, AcState::adding2sim);
        a.from = "ZRH";
        a.to = c.to;
        const std::size_t logged = readLog().size();
        const double heightBefore = a.heightAboveGround;
        push({{c.objectId, 20001, 0, 0, 0.0, 1234.0}});
        lf_handleSimResults();
        std::vector<std::string> calls;
        for (const auto& call : fake_.portCalls()) {
            calls.push_back(call.name);
            if (call.name == "setAiFlightPlan") {
                EXPECT_EQ(call.bytes, (dir() / "100.pln").string());
                EXPECT_NE(call.fileText.find("FRA"), std::string::npos);
            }
        }
        EXPECT_EQ(calls, c.calls);
        EXPECT_EQ(liveAcTable[0].objectId, c.objectId == 2 ? 0U : kObject);
        EXPECT_EQ(liveAcTable[0].heightAboveGround, c.objectId == 2 ? heightBefore : 1234.0);
        EXPECT_EQ(liveAcTable[0].hasFlightPlan != 0, c.flightPlan);
        EXPECT_EQ(createdList.size(), c.objectId == 2 ? 0U : 1U);
        const auto log = readLog();
        const bool found =
            std::any_of(log.begin() + static_cast<std::ptrdiff_t>(logged), log.end(),
                        [&](const std::string& l) { return l.starts_with("==> ") && l.ends_with(c.line); });
        EXPECT_EQ(log.size() > logged, *c.line != 0);
        EXPECT_TRUE(*c.line == 0 || found);
        EXPECT_EQ(exitReason.load() == ExitReason::SIMCONNECT_ERROR, failing == "requestDataOnSimObject");
    }
}

TEST_F(SimResults, RemovalsAfterTheHandOverAndOrphansAreNotLost) {
    // F1: a removal asked after the hand-over goes out once the creation is complete.
    addLive({.hexid = 20001}, AcState::adding2sim);
    removeAircraftFromSim(liveAcTable[0]);
    push({{kObject, 20001, 0, 0, 0.0, 0.0}});
    passes(201);
    EXPECT_EQ(liveAcTable[0].state, AcState::removingfromsim);
    EXPECT_EQ(removalQueue, std::deque<std::uint32_t>{kObject});
    push({{kObject, 0, 0, 2, 0.0, 0.0}});
    passes(1);
    EXPECT_TRUE(liveAcTable.empty());
    // F2: an object without a record goes again; an entry whose record went is dropped.
    removalQueue.clear();
    push({{kObject + 1, 20077, 0, 0, 0.0, 0.0}});
    addLive({.hexid = 20002}, AcState::adding2sim);
    push({{kObject + 2, 20002, 0, 0, 0.0, 0.0}});
    passes(120);
    liveAcTable.clear();
    passes(100);
    EXPECT_EQ(removalQueue, std::deque<std::uint32_t>{kObject + 1});
    EXPECT_EQ(readLog().front(),
              "==> ! lf_handleSimResults: no aircraft for hexid 20077, object 101 removed");
    EXPECT_TRUE(createdList.empty());
    // A static entry: active at 200 with its object id, and removed when its removal came meanwhile.
    staticAcTable.push_back(test::makeStaticAc(
        {.hexid = 12, .standNumber = 3, .callsign = "ABC123*", .state = AcState::adding2sim}));
    staticAcTable[0].gone = 1;
    push({{kObject + 3, 12, 0, 1, 0.0, 0.0}});
    passes(201);
    EXPECT_EQ(staticAcTable[0].objectId, kObject + 3);
    EXPECT_EQ(removalQueue, (std::deque<std::uint32_t>{kObject + 1, kObject + 3}));
}

// Stands 1 to 4, each held by the parked record with its number: the one taken away by the simulator on its
// own (20002) frees its stand; the one going back to the buffer (20004) comes back on it and keeps it; the
// removal of 20001 freed its stand before, so the mark there now is another aircraft's and stays.
TEST_F(SimResults, RemovedObjectsAreErasedWithTheirFlightPlans) {
    standList.resize(4);
    for (std::uint32_t k = 0; k < 3; ++k) {
        LiveAc& a =
            addLive({.hexid = 20001 + k}, k == 1 ? AcState::active : AcState::removingfromsim, kObject + k);
        a.hasFlightPlan = 1, a.standNumber = k + 1;
    }
    liveAcTable.push_back(test::makeLiveAc({.hexid = 20004}, AcState::liveryrespawn, 200));
    liveAcTable.back().standNumber = 4;
    for (std::uint32_t k = 0; k < 4; ++k) {
        standList[k].number = k + 1, liveAcTable[k].phase = AcPhase::parked;
        gf_occupyStand(k + 1, liveAcTable[k].hexid);
    }
    std::filesystem::create_directories(dir() / "101.pln" / "inside");
    std::ofstream(dir() / "100.pln") << "plan";
    push({{kObject, 0, 0, 2, 0, 0}, {kObject + 1, 0, 0, 2, 0, 0}, {200, 0, 0, 2, 0, 0}});
    lf_handleSimResults();
    EXPECT_FALSE(std::filesystem::exists(dir() / "100.pln"));
    ASSERT_EQ(liveAcTable.size(), 2U);
    EXPECT_EQ(liveAcTable[0].hexid, 20004U) << "the last record moved into the gap";
    EXPECT_EQ(liveAcTable[0].state, AcState::buffer);
    EXPECT_EQ(liveAcTable[0].objectId, 0U);
    EXPECT_EQ(liveAcTable[1].hexid, 20003U);
    EXPECT_EQ(readLog().back().rfind("gf_removeFlightPlan: ", 0), 0U);
    EXPECT_TRUE(standList[0].occupied && !standList[1].occupied && standList[2].occupied &&
                standList[3].occupied);
}

TEST_F(SimResults, TouchDownAndStaticCg) {
    struct Case {
        const char* name;
        const char* type;
        std::uint8_t approach, reversed;
        AcPhase phase;
        bool landed;
        std::vector<std::string> levers; // setDataOnSimObject bytes as three doubles
    };
    const Case cases[] = {
        {"large with approach", "B738", 1, 0, AcPhase::flying, true, {"100 100 100"}},
        {"reversed throttle", "B738", 1, 1, AcPhase::flying, true, {"100 -100 -100"}},
        {"light", "C172", 1, 0, AcPhase::flying, true, {}},
        {"no approach", "B738", 0, 0, AcPhase::flying, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        fake_.clearRecords();
        LiveAc& a = addLive({.hexid = 20001, .type = c.type}, AcState::active, kObject);
        a.approach = c.approach;
        a.reversedThrottleLivery = c.reversed;
        a.staticCgHeight = 8.0;
        a.phase = c.phase;
        push({{kObject, 1, 0, 3, 1400.0, 3.0}});
        lf_handleSimResults();
        std::vector<std::string> levers;
        for (const auto& call : fake_.portCalls()) {
            const auto* v = reinterpret_cast<const double*>(call.bytes.data());
            levers.push_back(fmt::format("{} {} {}", v[0], v[1], v[2]));
        }
        EXPECT_EQ(levers, c.levers);
        EXPECT_EQ(liveAcTable[0].landed != 0, c.landed);
        EXPECT_EQ(liveAcTable[0].onGround, 1);
        EXPECT_EQ(liveAcTable[0].position.altitude, 1408.0);
        EXPECT_EQ(liveAcTable[0].heightAboveGround, 3.0);
        EXPECT_EQ(takeEvents().size(), c.landed ? 1U : 0U) << "spoilers out";
        // A ground segment at once (no flare began) sets the standing pitch: a later flight climbs again.
        lf_groundMoveStep(a), lf_verticalStep(a), a.onGround = 0, a.altitudeStep = 1.0, lf_verticalStep(a);
        EXPECT_TRUE(a.touchDownEasing == 0 && a.position.altitude == 1409.0);
    }
    const double deg = 0.017453292519943295;
    for (const auto& [cg, pitch, cgAfter, pitchAfter] :
         std::vector<std::tuple<double, double, double, double>>{
             {0.4, 3 * deg, 8.0, 0.012217304763960306},
             {12.0, -1 * deg, 12.0, 0.012217304763960306},
             {12.0, 2.5 * deg, 12.0, 2.5 * deg},
             {12.0, std::nan(""), 12.0, 0.012217304763960306}}) {
        liveAcTable[0].staticCgHeight = 8.0;
        push({{kObject, 0, 0, 4, cg, pitch}});
        lf_handleSimResults();
        EXPECT_EQ(liveAcTable[0].staticCgHeight, cgAfter) << cg;
        EXPECT_EQ(liveAcTable[0].staticPitch, pitchAfter) << pitch;
    }
}

TEST_F(SimResults, RefusedCreationsEraseTheRecordAndTwentyEndTheRun) {
    failedLiveries.clear();
    addLive({.hexid = 20001, .callsign = "TST123"}, AcState::adding2sim).livery = "Test Air B738";
    standList.resize(1), standList[0].number = liveAcTable[0].standNumber = 1, gf_occupyStand(1, 20001);
    staticAcTable.push_back(test::makeStaticAc({.hexid = 12, .callsign = "ABC123*"}));
    staticAcTable.back().livery = "Static B738";
    push({{0, 20001, 0, 6, 0, 0}, {0, 12, 0, 6, 0, 0}});
    lf_handleSimResults();
    EXPECT_TRUE(liveAcTable.empty() && !standList[0].occupied) << "a refused parked spawn frees its stand";
    EXPECT_TRUE(staticAcTable.empty());
    const auto log = readLog();
    for (const char* line : {"TST123 'Test Air B738' could not be created by your Sim!",
                             "ABC123* 'Static B738' could not be created by your Sim!"}) {
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
    }
    std::vector<std::string> titles;
    titles.reserve(20); // the records' liveries are views of these texts
    for (int k = 0; k < 20; ++k) {
        titles.push_back("Title " + std::to_string(k));
        addLive({.hexid = 20100u + k}, AcState::adding2sim).livery = titles.back();
        push({{0, 20100u + k, 0, 6, 0, 0}});
    }
    EXPECT_THROW(lf_handleSimResults(), UserErrorException);
    EXPECT_TRUE(simResultMutex.try_lock());
    simResultMutex.unlock();
    failedLiveries.clear();
}

// The simulator took away the object of a parked spawn before the creation was matched to it: the record and
// its stand's mark go without a refusal of the livery, and the aircraft's next report makes a new record.
TEST_F(SimResults, ACreationLostBeforeItsMatchLeavesTheAircraftToItsNextReport) {
    failedLiveries.clear();
    addLive({.hexid = 20001, .callsign = "TST123"}, AcState::adding2sim).livery = "Test Air B738";
    standList.resize(1), standList[0].number = liveAcTable[0].standNumber = 1, gf_occupyStand(1, 20001);
    push({{kObject, 20001, 0, 7, 0, 0}, {kObject, 0, 0, 2, 0, 0}});
    lf_handleSimResults();
    EXPECT_TRUE(liveAcTable.empty() && !standList[0].occupied);
    EXPECT_TRUE(failedLiveries.empty());
    TrafficReport next = test::makeReport({.hexid = 20001, .callsign = "TST123"});
    lf_processRtRecord(next);
    ASSERT_EQ(liveAcTable.size(), 1U);
    EXPECT_EQ(liveAcTable[0].state, AcState::buffer);
}

TEST(SimResultsThreads, ThePusherAndTheDrainNeverWaitForEachOther) {
    lf_clearTrafficTables();
    test::TestAircraft fleet;
    test::FakeSimulator fake;
    for (std::uint32_t k = 0; k < 200; ++k) {
        liveAcTable.push_back(test::makeLiveAc({.hexid = 20001 + k}, AcState::adding2sim));
    }
    std::atomic<int> pushed{0};
    std::jthread pusher([&] {
        for (std::uint32_t k = 0; k < 200; ++k) {
            const std::lock_guard sim(simConnectMutex);
            const std::lock_guard results(simResultMutex);
            simResultQueue.push_back({100 + k, 20001 + k, 0, 0, 0.0, 0.0});
            ++pushed;
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound;
    while ((pushed.load() < 200 || createdList.size() < 200) && std::chrono::steady_clock::now() < deadline) {
        lf_handleSimResults();
    }
    pusher.join();
    std::size_t requests = 0;
    for (const auto& call : fake.portCalls()) {
        requests += call.name == "requestDataOnSimObject" ? 1 : 0;
    }
    EXPECT_EQ(requests, 200U) << "each result handled once";
    lf_clearTrafficTables();
}

} // namespace
} // namespace zeph
