#include "traffic/auto_range.h"

#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/park_airport_list.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/parameters_file.h"
#include "settings/range.h"
#include "sim/user_aircraft.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"
#include "support/traffic_builders.h"

namespace zeph {
namespace {

class AutoRange : public ::testing::Test {
protected:
    void SetUp() override { test::resetParametersForTests(appData_.path()); }
    void TearDown() override {
        const std::lock_guard lock(parkAirportListMutex);
        parkAirportList.clear();
    }
    static void placeUser(bool onGround, double altitude, double nmFromAirport, bool withAirport = true) {
        test::placeUserAircraft(GeoPoint{50.0, 8.0}, altitude);
        {
            const std::lock_guard lock(userDataMutex);
            userOnGround = onGround ? 1 : 0;
        }
        const GeoPoint airport = test::pointFromUser(nmFromAirport, 90.0);
        const std::lock_guard lock(parkAirportListMutex);
        parkAirportList.clear();
        if (withAirport) {
            parkAirportList.push_back(ParkAirport{"EDDF", "", airport.lat, airport.lon, 0.0});
        }
    }
    test::TempDir appData_;
};

TEST_F(AutoRange, TheRangeFollowsGroundHeightAndTheDistanceToTheParkAirport) {
    struct Row {
        const char* name;
        bool onGround;
        double altitude;
        double distance;
        bool withAirport;
        std::int32_t range;
    };
    for (const Row& r : {Row{"ground", true, 0, 20.4, true, 10}, Row{"48001 ft", false, 48001, 20.4, true, 100},
                         Row{"18001 ft", false, 18001, 20.4, true, 40}, Row{"no list", false, 5000, 0, false, 40},
                         Row{"20.4", false, 5000, 20.4, true, 20}, Row{"8.6", false, 5000, 8.6, true, 10},
                         Row{"8.4", false, 5000, 8.4, true, 8}, Row{"7.0", false, 5000, 7.0, true, 10},
                         Row{"37.0", false, 5000, 37.0, true, 40}, Row{"32.6", false, 5000, 32.6, true, 35},
                         Row{"13.4", false, 5000, 13.4, true, 14}, Row{"12.4", false, 5000, 12.4, true, 12}}) {
        SCOPED_TRACE(r.name);
        placeUser(r.onGround, r.altitude, r.distance, r.withAirport);
        lf_autoRange();
        EXPECT_EQ(lateralRangeNm.load(), r.range);
        EXPECT_EQ(rememberedRange.load(), 40) << "the auto range is never the user's range";
    }
}

TEST_F(AutoRange, UntickingReturnsToTheUsersRangeAndAnAirportsRangeSurvives) {
    placeUser(true, 0, 5.0);
    gf_setRange(50);
    AUTO_RANGE.setValue(true);
    lf_applyAutoRange();
    EXPECT_EQ(lateralRangeNm.load(), 10.0);
    AUTO_RANGE.setValue(false);
    lf_applyAutoRange();
    EXPECT_EQ(lateralRangeNm.load(), 50.0);
    EXPECT_EQ(RANGE.get(), 50);
    gf_setRange(65);
    lf_applyAutoRange();
    EXPECT_EQ(lateralRangeNm.load(), 65.0);
}

TEST_F(AutoRange, TheStoredRangeIsTheRangeInUseFromTheStart) {
    test::ParametersFileBuilder().storedDefaults("11.10.5").without("RANGE").parameter("RANGE", "100").write(
        parametersFile());
    gf_initParameters();
    EXPECT_EQ(lateralRangeNm.load(), 100.0);
    EXPECT_EQ(rememberedRange.load(), 100);
}

} // namespace
} // namespace zeph
