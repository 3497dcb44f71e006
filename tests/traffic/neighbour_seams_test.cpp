#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "traffic/park_airport_status.h"

namespace zeph {
namespace {

TEST(ParkAirportRecordSeam, SetStoresEveryFieldAndDefaultsAreEmpty) {
    struct Case {
        const char* name;
        ParkAirportRecord record;
    };
    ParkAirportRecord full;
    full.code = "EDDF";
    full.iata = "FRA";
    full.name = "Frankfurt";
    full.latitude = 50.0333;
    full.longitude = 8.5706;
    full.altitude = 364.0;
    const std::vector<Case> cases = {
        {"default-built", ParkAirportRecord{}},
        {"code only", ParkAirportRecord{"KDEN"}},
        {"every field", full},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Start from a different record so a field the setter skipped would show.
        ParkAirportRecord other;
        other.code = "XXXX";
        other.iata = "XXX";
        other.name = "other";
        other.latitude = -1.0;
        other.longitude = -2.0;
        other.altitude = 9999.0;
        setParkAirportRecord(other);
        setParkAirportRecord(c.record);
        EXPECT_EQ(parkAirportRecord.code, c.record.code);
        EXPECT_EQ(parkAirportRecord.iata, c.record.iata);
        EXPECT_EQ(parkAirportRecord.name, c.record.name);
        EXPECT_EQ(parkAirportRecord.latitude, c.record.latitude);
        EXPECT_EQ(parkAirportRecord.longitude, c.record.longitude);
        EXPECT_EQ(parkAirportRecord.altitude, c.record.altitude);
    }
    setParkAirportRecord({});
    // Nothing set: no park airport, position and altitude zero.
    EXPECT_TRUE(parkAirportRecord.code.empty());
    EXPECT_TRUE(parkAirportRecord.iata.empty());
    EXPECT_TRUE(parkAirportRecord.name.empty());
    EXPECT_EQ(parkAirportRecord.latitude, 0.0);
    EXPECT_EQ(parkAirportRecord.longitude, 0.0);
    EXPECT_EQ(parkAirportRecord.altitude, 0.0);
}

} // namespace
} // namespace zeph
