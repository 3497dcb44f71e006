#include "traffic/live_table_services.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/main_loop.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

// A live aircraft due north of the user aircraft at (0, 0); one minute of latitude is one nautical mile.
LiveAc liveAt(double distanceNm, AcState state = AcState::active, AcPhase phase = AcPhase::flying) {
    LiveAc aircraft;
    aircraft.position.latitude = distanceNm / 60.0;
    aircraft.position.longitude = 0.0;
    aircraft.state = state;
    aircraft.phase = phase;
    return aircraft;
}

LiveAc parkedAt(std::uint32_t day, std::uint32_t halfHour, AcState state = AcState::active) {
    LiveAc aircraft = liveAt(0.5, state, AcPhase::parked);
    aircraft.parkingDay = day;
    aircraft.parkingHalfHour = halfHour;
    return aircraft;
}

class LiveTableServices : public ::testing::Test {
protected:
    void SetUp() override { fresh(); }
    void TearDown() override {
        lf_clearTrafficTables();
        currentWeekSlot.store(0);
        resetMainWindowStateForTests();
    }

    static void fresh() {
        lf_clearTrafficTables();
        resetMainWindowStateForTests();
        const std::lock_guard lock(userDataMutex);
        userAcPosition = UserAcPosition{};
    }
};

TEST_F(LiveTableServices, RemoveFarthestLiveTakesOnlyAnAircraftClearlyBeyondTheDistance) {
    struct Case {
        const char* name;
        std::vector<LiveAc> table;
        bool result;
        std::vector<AcState> after;
    };
    const AcState active = AcState::active;
    const AcState removing = AcState::removingfromsim;
    const std::vector<Case> cases{
        {"empty table", {}, true, {}},
        {"only records not active",
         {liveAt(50.0, AcState::adding2sim), liveAt(60.0, AcState::liveryrespawn)},
         true,
         {AcState::adding2sim, AcState::liveryrespawn}},
        {"0.05 nm beyond is kept", {liveAt(10.05)}, true, {active}},
        {"0.2 nm beyond is removed", {liveAt(10.2)}, false, {removing}},
        {"of two within 0.1 nm the earlier", {liveAt(10.50), liveAt(10.55)}, false, {removing, active}},
        {"the clearly farther one",
         {liveAt(10.5), liveAt(20.0), liveAt(3.0)},
         false,
         {active, removing, active}},
        {"a farther record not active is ignored",
         {liveAt(10.5), liveAt(30.0, AcState::adding2sim)},
         false,
         {removing, AcState::adding2sim}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        liveAcTable = c.table;
        EXPECT_EQ(lf_removeFarthestLive(10.0), c.result);
        ASSERT_EQ(liveAcTable.size(), c.after.size());
        for (std::size_t i = 0; i < c.after.size(); ++i) {
            EXPECT_EQ(liveAcTable[i].state, c.after[i]) << "record " << i;
        }
    }
}

TEST_F(LiveTableServices, RemoveFarthestLiveMeasuresFromTheUserAircraft) {
    {
        const std::lock_guard lock(userDataMutex);
        userAcPosition.latitude = 1.0; // 60 nm north
    }
    liveAcTable = {liveAt(59.0), liveAt(0.0)};
    EXPECT_FALSE(lf_removeFarthestLive(50.0));
    EXPECT_EQ(liveAcTable[0].state, AcState::active) << "1 nm from the user";
    EXPECT_EQ(liveAcTable[1].state, AcState::removingfromsim) << "60 nm from the user";
    // The live limit's -1: any active aircraft is beyond it.
    liveAcTable = {liveAt(59.95)};
    EXPECT_FALSE(lf_removeFarthestLive(-1.0));
    EXPECT_EQ(liveAcTable[0].state, AcState::removingfromsim);
}

TEST_F(LiveTableServices, CountLiveForDisplayCountsActiveParkedAndKeepsTheMeanParkedTime) {
    struct Case {
        const char* name;
        std::pair<int, int> current;
        std::vector<LiveAc> table;
        std::int64_t count;
        float fit;
    };
    const std::vector<Case> cases{
        {"none parked", {3, 10}, {liveAt(1.0), liveAt(2.0)}, 0, 0.0F},
        {"same day and the day before", {3, 10}, {parkedAt(3, 4), parkedAt(2, 46)}, 2, 5.0F},
        {"parked late on Sunday, now Monday", {1, 1}, {parkedAt(7, 47)}, 1, 1.5F},
        {"parked in the current slot", {4, 20}, {parkedAt(4, 20)}, 1, 0.5F},
        {"not active or not parked do not count",
         {3, 10},
         {parkedAt(3, 4), parkedAt(1, 0, AcState::removingfromsim),
          liveAt(1.0, AcState::active, AcPhase::parking), parkedAt(1, 0, AcState::buffer)},
         1,
         3.5F},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        currentWeekSlot.store(packWeekSlot(c.current));
        liveAcTable = c.table;
        EXPECT_EQ(lf_countLiveForDisplay(false), c.count) << "without parked hours";
        EXPECT_EQ(mainWindowState.liveAverageFit.load(), -1.0F) << "without parked hours nothing is kept";
        EXPECT_EQ(lf_countLiveForDisplay(true), c.count);
        EXPECT_FLOAT_EQ(mainWindowState.liveAverageFit.load(), c.fit);
    }
}

} // namespace
} // namespace zeph
