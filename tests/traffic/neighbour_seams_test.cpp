#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/regcodes.h"
#include "traffic/park_airport_status.h"

namespace zeph {
namespace {

class RegcodeLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        regcodeTable = {{"D-AIMA", {"DLH", "A320", "", false}},
                        {"N123AB", {"AAL", "B738", "AAX", true}},
                        {"", {"EMP", "B77W", "", false}}};
    }
    void TearDown() override { regcodeTable.clear(); }
};

TEST_F(RegcodeLookupTest, FindsOnlyTheExactKey) {
    struct Case {
        const char* name;
        std::string registration;
        std::optional<RegcodeInfo> expected;
    };
    const std::vector<Case> cases = {
        // The table holds an empty key, yet an empty registration is never looked up.
        {"empty registration", "", std::nullopt},
        {"exact hit with dash", "D-AIMA", RegcodeInfo{"DLH", "A320", "", false}},
        {"exact hit, cargo and operator", "N123AB", RegcodeInfo{"AAL", "B738", "AAX", true}},
        {"miss", "G-EZAB", std::nullopt},
        {"case differs", "d-aima", std::nullopt},
        {"dashless form not expanded yet", "DAIMA", std::nullopt},
        {"prefix of a key", "D-AIM", std::nullopt},
        {"key is a prefix of the registration", "D-AIMAX", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<RegcodeInfo> found = gf_lookupRegcode(c.registration);
        ASSERT_EQ(found.has_value(), c.expected.has_value());
        if (found) {
            EXPECT_EQ(found->airl, c.expected->airl);
            EXPECT_EQ(found->type, c.expected->type);
            EXPECT_EQ(found->opr, c.expected->opr);
            EXPECT_EQ(found->cargo, c.expected->cargo);
        }
    }
}

TEST(RegcodeLookup, EmptyTableFindsNothing) {
    regcodeTable.clear();
    EXPECT_FALSE(gf_lookupRegcode("D-AIMA").has_value());
    EXPECT_FALSE(gf_lookupRegcode("").has_value());
}

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
