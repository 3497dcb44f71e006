#include "app/window_requests.h"

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "airports/airport_database.h"
#include "airports/park_airport_list.h"
#include "app/window/controls.h"
#include "settings/parameter_table.h"
#include "sim/sim_ids.h"
#include "sim/sim_link.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "support/aircraft_fixture.h"
#include "support/fake_simulator.h"
#include "support/main_window_fixture.h"
#include "support/traffic_builders.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

class WindowRequests : public test::MainWindowForRun {
public:
    void SetUp() override {
        MainWindowForRun::SetUp();
        clearTables();
        test::placeUserAircraft(GeoPoint{50.0, 8.0});
    }
    void TearDown() override {
        clearTables();
        MainWindowForRun::TearDown();
    }
    static void clearTables() {
        lf_clearTrafficTables();
        airportTable.clear();
        {
            const std::lock_guard lock(simConnectMutex);
            clientEventWork.clear();
        }
        const std::lock_guard lock(parkAirportListMutex);
        parkAirportList.clear();
    }
    static std::vector<AcState> liveStates() {
        std::vector<AcState> states;
        std::ranges::transform(liveAcTable, std::back_inserter(states), &LiveAc::state);
        return states;
    }
    static std::vector<std::uint32_t> navLightValues() {
        const std::lock_guard lock(simConnectMutex);
        std::vector<std::uint32_t> values;
        for (const QueuedClientEvent& event : clientEventWork) {
            EXPECT_EQ(event.clientEvent, simid::kEventNavLights);
            values.push_back(event.value);
        }
        clientEventWork.clear();
        return values;
    }
    const test::TestAircraft fleet_;
};

TEST_F(WindowRequests, TheLiveLimitAndTheNavLightsReachTheTablesOnlyWhenServed) {
    for (std::uint32_t n = 1; n <= 12; ++n) {
        liveAcTable.push_back(
            test::makeLiveAc({.hexid = 20000 + n, .distanceNm = double(n)}, AcState::active, 100 + n));
    }
    liveAcTable.front().phase = AcPhase::parked;
    liveAcTable.push_back(test::makeLiveAc({.hexid = 30000, .distanceNm = 20.0}, AcState::adding2sim));
    staticAcTable.push_back(test::makeStaticAc({.hexid = 1, .objectId = 201}));
    staticAcTable.push_back(test::makeStaticAc({.hexid = 2, .standNumber = 2, .objectId = 202}));
    std::vector<AcState> expected = liveStates();

    ASSERT_TRUE(selectEntry(MAX_LIVE_SEL.controlId, "10"));
    EXPECT_EQ(liveStates(), expected) << "the window changes no record";
    lf_serveWindowRequests();
    expected[10] = expected[11] = AcState::removingfromsim;
    EXPECT_EQ(liveStates(), expected) << "the 11 nm and 12 nm aircraft go";
    lf_serveWindowRequests();
    selectEntry(MAX_LIVE_SEL.controlId, "25");
    lf_serveWindowRequests();
    EXPECT_EQ(liveStates(), expected) << "served once; a higher limit removes nothing";

    ASSERT_TRUE(headless().click(NAV_LIGHTS_WHILE_PARKED.controlId)); // unticked
    EXPECT_TRUE(navLightValues().empty());
    lf_serveWindowRequests();
    EXPECT_EQ(navLightValues(), (std::vector<std::uint32_t>{0, 0, 0})) << "2 static, 1 parked live";
    headless().click(NAV_LIGHTS_WHILE_PARKED.controlId);
    lf_serveWindowRequests();
    EXPECT_EQ(navLightValues(), (std::vector<std::uint32_t>{1, 1, 1}));
}

using WindowRequestsThreads = WindowRequests;

TEST_F(WindowRequestsThreads, TheGuiThreadRequestsWhileTheTrafficThreadServes) {
    airportTable = {AirportRecord{"EDDF", "FRA", 50.03, 8.57}, AirportRecord{"EHAM", "AMS", 52.31, 4.76}};
    for (std::uint32_t n = 1; n <= 500; ++n) {
        liveAcTable.push_back(
            test::makeLiveAc({.hexid = 20000 + n, .distanceNm = 0.1 * n}, AcState::active, 100 + n));
    }
    enableForUse({&DESTINATION});
    test::FakeSimulator simulator;
    std::atomic<bool> done{false};
    std::jthread traffic([&] {
        while (!done.load()) {
            lf_serveWindowRequests();
            simulator.frame();
        }
    });
    const auto edit = handleOf(DESTINATION.controlId);
    std::int32_t lastLimit = 0;
    for (int i = 0; i < 200; ++i) {
        lastLimit = maxSelChoices[static_cast<std::size_t>(1 + i % 6)];
        headless().selectIndex(MAX_LIVE_SEL.controlId, 1 + i % 6);
        headless().click(NAV_LIGHTS_WHILE_PARKED.controlId);
        headless().setText(edit, i % 2 == 0 ? "EDDF" : "EHAM");
        headless().pressEnter(DESTINATION.controlId);
    }
    done.store(true);
    traffic.join();
    lf_serveWindowRequests();
    const auto active = std::count_if(liveAcTable.begin(), liveAcTable.end(),
                                      [](const LiveAc& ac) { return ac.state == AcState::active; });
    EXPECT_LE(active, lastLimit);
    const std::lock_guard lock(parkAirportListMutex);
    EXPECT_EQ(parkAirportList.front().code, "EHAM") << "the last destination is first";
}

} // namespace
} // namespace zeph
