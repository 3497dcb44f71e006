#include "airports/auto_range.h"

#include <mutex>

#include <gtest/gtest.h>

#include "airports/park_airport_list.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/parameters_file.h"
#include "settings/range.h"
#include "state/user_position.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"
#include "support/traffic_builders.h"

namespace zeph {
namespace {

class AutoRange : public ::testing::Test {
protected:
    void SetUp() override { test::resetParametersForTests(appData_.path()); }
    void TearDown() override { placeUser(false, 0, -1); }
    // The park-airport list holds one airport at nmFromAirport, east of the user; none for a negative
    // distance.
    static void placeUser(bool onGround, double altitude, double nmFromAirport) {
        test::placeUserAircraft(GeoPoint{50.0, 8.0}, altitude);
        {
            const std::lock_guard lock(userDataMutex);
            userOnGround = onGround ? 1 : 0;
        }
        const GeoPoint airport = test::pointFromUser(nmFromAirport, 90.0);
        const std::lock_guard lock(parkAirportListMutex);
        parkAirportList.clear();
        if (nmFromAirport >= 0) {
            parkAirportList.push_back(ParkAirport{"EDDF", "", airport.lat, airport.lon, 0.0});
        }
    }
    test::TempDir appData_;
};

TEST_F(AutoRange, TheRangeFollowsGroundHeightAndTheDistanceToTheParkAirport) {
    struct Row {
        bool onGround;
        double altitude, distance;
        std::int32_t range;
    };
    for (const Row& r :
         {Row{true, 0, 20.4, 10}, Row{false, 48001, 20.4, 100}, Row{false, 18001, 20.4, 40},
          Row{false, 5000, -1, 40}, Row{false, 5000, 20.4, 20}, Row{false, 5000, 8.6, 10},
          Row{false, 5000, 8.4, 8}, Row{false, 5000, 7.0, 10}, Row{false, 5000, 37.0, 40},
          Row{false, 5000, 32.6, 35}, Row{false, 5000, 13.4, 14}, Row{false, 5000, 12.4, 12}}) {
        SCOPED_TRACE(testing::Message() << (r.onGround ? "ground " : "") << r.altitude << " ft, "
                                        << r.distance << " nm (-1: empty list)");
        placeUser(r.onGround, r.altitude, r.distance);
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
    test::ParametersFileBuilder()
        .storedDefaults("11.10.5")
        .without("RANGE")
        .parameter("RANGE", "100")
        .write(parametersFile());
    gf_initParameters();
    EXPECT_EQ(lateralRangeNm.load(), 100.0);
    EXPECT_EQ(rememberedRange.load(), 100);
}

} // namespace
} // namespace zeph
