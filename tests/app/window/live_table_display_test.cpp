#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/main_loop.h"
#include "app/window/status_display.h"
#include "app/window/test_window.h"
#include "app/window/ui_headless.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"
#include "traffic/live_table_services.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

constexpr ControlId callsignComboId = 32831;
constexpr ControlId blockId = 32832;
constexpr ControlId unblockId = 32829;

LiveAc liveAc(std::string callsign, AcState state, AcPhase phase) {
    LiveAc aircraft;
    aircraft.callsign = std::move(callsign);
    aircraft.state = state;
    aircraft.phase = phase;
    return aircraft;
}

LiveAc parked(std::uint32_t day, std::uint32_t halfHour) {
    LiveAc aircraft = liveAc("PRK1", AcState::active, AcPhase::parked);
    aircraft.parkingDay = day;
    aircraft.parkingHalfHour = halfHour;
    return aircraft;
}

// A window with the callsign combo and the two block buttons, the parameters at their defaults and the
// tables empty.
class LiveTableDisplay : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        ASSERT_NE(window_.create(), nullptr);
        fresh();
    }

    void TearDown() override {
        lf_clearTrafficTables();
        currentWeekSlot.store(0);
        {
            const std::lock_guard lock(callsignListMutex);
            *callsignList = {std::string()};
        }
        test::resetParametersForTests(appData_.path());
        resetMainWindowStateForTests();
        LogFixture::TearDown();
    }

    void fresh() {
        test::resetParametersForTests(appData_.path());
        resetMainWindowStateForTests();
        mainWindowState.mainWindow = window_.window();
        lf_clearTrafficTables();
        currentWeekSlot.store(packWeekSlot({3, 10}));
        // No static aircraft: the static mean shows 0, so only the live counts repaint.
        mainWindowState.staticAverageFit.store(0.0F);
        {
            const std::lock_guard lock(callsignListMutex);
            *callsignList = {std::string()};
        }
        headless().clearRecords();
    }

    HeadlessControl control(ControlId id) {
        const auto found = headless().control(id);
        EXPECT_TRUE(found.has_value()) << "no control " << id;
        return found.value_or(HeadlessControl{});
    }

    std::vector<std::string> listCopy() {
        const std::lock_guard lock(callsignListMutex);
        return *callsignList;
    }

    int invalidationsOf(const Rect& area) {
        int count = 0;
        for (const Rect& rect : headless().invalidations()) {
            count += rect == area ? 1 : 0;
        }
        return count;
    }

    HeadlessUi& headless() { return loop_.headless(); }

private:
    test::HeadlessWindowLoop loop_;
    test::TempDir appData_;
    test::TestWindow window_{{
        {ControlKind::DropDownList, callsignComboId, "", Rect::fromSize(375, 254, 100, 300)},
        {ControlKind::PushButton, blockId, "Block", Rect::fromSize(576, 257, 60, 20)},
        {ControlKind::PushButton, unblockId, "Unblock", Rect::fromSize(223, 257, 60, 20)},
    }};
};

TEST_F(LiveTableDisplay, RefreshCallsignListShowsActiveAircraftNotParkedInByteOrder) {
    struct Case {
        const char* name;
        std::vector<LiveAc> table;
        int result;
        std::vector<std::string> list;
    };
    const AcState active = AcState::active;
    const std::vector<Case> cases{
        {"byte order: upper case first",
         {liveAc("abc1", active, AcPhase::flying), liveAc("ZZZ1", active, AcPhase::taxi)},
         1,
         {"ZZZ1", "abc1"}},
        {"parked and not active left out",
         {liveAc("PRK1", active, AcPhase::parked), liveAc("BUF1", AcState::buffer, AcPhase::birth),
          liveAc("RMV1", AcState::removingfromsim, AcPhase::flying), liveAc("DLH4", active, AcPhase::flying)},
         1,
         {"DLH4"}},
        {"none", {liveAc("PRK1", active, AcPhase::parked)}, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        liveAcTable = c.table;
        EXPECT_EQ(lf_refreshCallsignList(), c.result);
        EXPECT_EQ(listCopy(), c.list);
        const HeadlessControl combo = control(callsignComboId);
        EXPECT_EQ(combo.items, c.list);
        EXPECT_EQ(combo.selection, c.list.empty() ? -1 : 0);
        EXPECT_EQ(combo.enabled, !c.list.empty());
        EXPECT_EQ(control(blockId).enabled, !c.list.empty());
        EXPECT_FALSE(control(unblockId).enabled);
        if (!c.list.empty()) {
            EXPECT_EQ(CALLSIGN_2_OBJECTID.get(), c.list.front());
        }
    }
}

TEST_F(LiveTableDisplay, ResetCallsignListLeavesOneEmptyEntryAndDisablesTheCombo) {
    liveAcTable = {liveAc("BAW12", AcState::active, AcPhase::flying)};
    ASSERT_EQ(lf_refreshCallsignList(), 1);
    ASSERT_EQ(CALLSIGN_2_OBJECTID.get(), "BAW12");
    lf_resetCallsignList();
    EXPECT_EQ(listCopy(), std::vector<std::string>{""});
    EXPECT_EQ(CALLSIGN_2_OBJECTID.get(), "");
    const HeadlessControl combo = control(callsignComboId);
    EXPECT_EQ(combo.items, std::vector<std::string>{""});
    EXPECT_EQ(combo.selection, 0);
    EXPECT_FALSE(combo.enabled);
    EXPECT_FALSE(control(blockId).enabled);
}

TEST_F(LiveTableDisplay, CountLiveForDisplayRepaintsTheCountersOnlyWhenTheMeanChanges) {
    liveAcTable = {parked(3, 4), parked(2, 46)};
    EXPECT_EQ(lf_countLiveForDisplay(true), 2);
    EXPECT_FLOAT_EQ(mainWindowState.liveAverageFit.load(), 5.0F);
    EXPECT_EQ(headless().invalidations(), std::vector<Rect>{countersArea}) << "first count";
    headless().clearRecords();
    EXPECT_EQ(lf_countLiveForDisplay(true), 2);
    EXPECT_TRUE(headless().invalidations().empty()) << "same mean again";
    EXPECT_EQ(lf_countLiveForDisplay(false), 2);
    EXPECT_TRUE(headless().invalidations().empty()) << "without parked hours";
}

TEST_F(LiveTableDisplay, RefreshCountersInvalidatesTheAreasOfTheCountsThatChanged) {
    struct Step {
        const char* name;
        std::vector<LiveAc> table;
        std::uint64_t live;
        std::uint64_t parkedLive;
        int topPanel;
        int counters;
    };
    const AcState active = AcState::active;
    const LiveAc flying = liveAc("AIR1", active, AcPhase::flying);
    const LiveAc taxiing = liveAc("AIR2", active, AcPhase::taxi);
    const LiveAc buffered = liveAc("BUF1", AcState::buffer, AcPhase::flying);
    // Steps run one after the other on the same window state. The mean parked time is set beforehand to
    // the value the parked aircraft gives (parked in the current slot: 0.5 h), so only the counts repaint.
    const std::vector<Step> steps{
        {"two flying and one parked", {flying, taxiing, parked(3, 10)}, 2, 1, 1, 1},
        {"nothing changed", {flying, taxiing, parked(3, 10)}, 2, 1, 0, 0},
        {"a buffered record does not count", {flying, taxiing, parked(3, 10), buffered}, 2, 1, 0, 0},
        {"only the live count changed", {flying, parked(3, 10)}, 1, 1, 1, 0},
        {"only the parked count changed", {flying, parked(3, 10), parked(3, 10)}, 1, 2, 0, 1},
    };
    mainWindowState.liveAverageFit.store(0.5F);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        headless().clearRecords();
        liveAcTable = s.table;
        lf_refreshCounters();
        EXPECT_EQ(mainWindowState.liveCount.load(), s.live);
        EXPECT_EQ(mainWindowState.parkedLiveCount.load(), s.parkedLive);
        EXPECT_EQ(mainWindowState.staticCount.load(), 0U);
        EXPECT_EQ(invalidationsOf(topPanelArea), s.topPanel);
        EXPECT_EQ(invalidationsOf(countersArea), s.counters);
        EXPECT_EQ(headless().invalidations().size(), static_cast<std::size_t>(s.topPanel + s.counters));
    }
}

TEST_F(LiveTableDisplay, RefreshCountersRepaintsTheCountersWhenOnlyTheMeanParkedTimeChanged) {
    liveAcTable = {parked(3, 4)};
    mainWindowState.parkedLiveCount.store(1);
    lf_refreshCounters();
    EXPECT_FLOAT_EQ(mainWindowState.liveAverageFit.load(), 3.5F);
    EXPECT_EQ(headless().invalidations(), std::vector<Rect>{countersArea});
}

} // namespace
} // namespace zeph
