#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/flight_texts.h"
#include "model/records.h"

namespace zeph {
namespace {

FlightIdentity flight(std::string callsign, std::string registration, std::string from, std::string to,
                      std::string airline, std::string type) {
    FlightIdentity identity;
    identity.callsign = std::move(callsign);
    identity.registration = std::move(registration);
    identity.from = std::move(from);
    identity.to = std::move(to);
    identity.airline = std::move(airline);
    identity.type = std::move(type);
    return identity;
}

TEST(FlightTexts, TextsOfAFlight) {
    struct Case {
        const char* name;
        FlightIdentity identity;
        std::string route;
        std::string logPrefix;
        std::string shortText;
        std::string regKey;
    };
    const std::vector<Case> cases{
        {"full", flight("ABC12", "N123AB", "KAAA", "KBBB", "ABC", "B738"), "KAAA->KBBB",
         "ABC12    N123AB   KAAA->KBBB ABC B738", "ABC12    N123AB ABC B738", "ABC B738 N123AB"},
        {"no route", flight("ABC12", "N123AB", "", "", "ABC", "B738"), "        ",
         "ABC12    N123AB            ABC B738", "ABC12    N123AB ABC B738", "ABC B738 N123AB"},
        {"departure only", flight("ABC12", "N123AB", "KAAA", "", "ABC", "B738"), "KAAA->   ",
         "ABC12    N123AB   KAAA->    ABC B738", "ABC12    N123AB ABC B738", "ABC B738 N123AB"},
        {"destination only", flight("ABC12", "N123AB", "", "FRA", "ABC", "B738"), "   ->FRA",
         "ABC12    N123AB      ->FRA ABC B738", "ABC12    N123AB ABC B738", "ABC B738 N123AB"},
        {"short codes padded", flight("X", "D-A", "MUC", "FRA", "", "C17"), "MUC->FRA",
         "X        D-A      MUC->FRA     C17 ", "X        D-A     C17 ", "    C17  D-A"},
        {"long texts not cut", flight("ABCDEFGHIJ", "REGISTRAT1", "LONGER", "TO", "ABCD", "TYPE5"),
         "LONGER->TO ", "ABCDEFGHIJ REGISTRAT1 LONGER->TO  ABCD TYPE5", "ABCDEFGHIJ REGISTRAT1 ABCD TYPE5",
         "ABCD TYPE5 REGISTRAT1"},
        {"empty", FlightIdentity{}, std::string(8, ' '), std::string(35, ' '), std::string(18, ' '),
         std::string(9, ' ')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(lf_routeText(c.identity), c.route);
        EXPECT_EQ(gf_acLogPrefix(c.identity), c.logPrefix);
        EXPECT_EQ(gf_acShortText(c.identity), c.shortText);
        EXPECT_EQ(gf_airlineTypeRegKey(c.identity), c.regKey);
    }
}

TEST(FlightTexts, ComponentsOfThePrefix) {
    const FlightIdentity identity = flight("ABC12", "N123AB", "KAAA", "KBBB", "ABC", "B738");
    EXPECT_EQ(gf_callsign8(identity), "ABC12   ");
    EXPECT_EQ(gf_describeFlight(identity), "ABC12    N123AB   KAAA->KBBB");
    EXPECT_EQ(gf_airlineTypeKey("TST", "B738"), "TST B738");
    EXPECT_EQ(gf_airlineTypeKey("", ""), "        ");
    EXPECT_EQ(gf_airlineTypeKey("DL", "A20N"), "DL  A20N");
    EXPECT_EQ(gf_airlineTypeRegKey(flight("", "D-ABCD", "", "", "TST", "B738")), "TST B738 D-ABCD");
}

TEST(FlightTexts, LargerRecordsGiveTheirIdentitysTexts) {
    LiveAc aircraft;
    static_cast<FlightIdentity&>(aircraft) = flight("ABC12", "N123AB", "KAAA", "KBBB", "ABC", "B738");
    aircraft.hexid = 40000;
    EXPECT_EQ(gf_acLogPrefix(aircraft), "ABC12    N123AB   KAAA->KBBB ABC B738");
    const StaticAc& parked = aircraft;
    EXPECT_EQ(gf_acShortText(parked), "ABC12    N123AB ABC B738");
}

TEST(FlightTexts, SameAirlineType) {
    struct Case {
        const char* name;
        FlightIdentity other;
        bool same;
    };
    const FlightIdentity one = flight("A", "R1", "X", "Y", "DLH", "A320");
    const std::vector<Case> cases{
        {"other callsign, registration, route", flight("B", "R2", "P", "Q", "DLH", "A320"), true},
        {"other airline", flight("A", "R1", "X", "Y", "DLA", "A320"), false},
        {"other type", flight("A", "R1", "X", "Y", "DLH", "A321"), false},
        {"case differs", flight("A", "R1", "X", "Y", "dlh", "A320"), false},
        {"type with a trailing blank", flight("A", "R1", "X", "Y", "DLH", "A320 "), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gf_sameAirlineType(one, c.other), c.same) << c.name;
        EXPECT_EQ(gf_sameAirlineType(c.other, one), c.same) << c.name << " (swapped)";
    }
    EXPECT_TRUE(gf_sameAirlineType(FlightIdentity{}, FlightIdentity{}));
}

TEST(FlightTexts, ValidCallsign) {
    struct Case {
        std::string callsign;
        bool valid;
    };
    const std::vector<Case> cases{
        {"", false},       {"ABCDEFGH", true}, {"ABCDEFGHI", false}, {"@@@@@@@@", false},
        {"@@@@@@@", true}, {"A", true},        {"DLH4AB", true},     {"ABC DEFG", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gf_hasValidCallsign(flight(c.callsign, "", "", "", "", "")), c.valid)
            << "callsign '" << c.callsign << "'";
    }
}

TEST(FlightTexts, AirlineFromCallsign) {
    struct Case {
        std::string callsign;
        bool taken;
        std::string airline;
    };
    const std::vector<Case> cases{
        {"abc45XY", true, "ABC"}, {"DLH4AB", true, "DLH"},   {"aBc0", true, "ABC"},
        {"ABC", false, "OLD"},    {"AB1234", false, "OLD"},  {"ABCD12", false, "OLD"},
        {"", false, "OLD"},       {"A-C1", false, "OLD"},    {"\xC4XY1", false, "OLD"},
        {"AB C1", false, "OLD"},  {"ABC\xD9", false, "OLD"}, {"123456", false, "OLD"},
    };
    for (const Case& c : cases) {
        FlightIdentity identity = flight(c.callsign, "", "", "", "OLD", "");
        EXPECT_EQ(gf_airlineFromCallsign(identity), c.taken) << "callsign '" << c.callsign << "'";
        EXPECT_EQ(identity.airline, c.airline) << "callsign '" << c.callsign << "'";
        EXPECT_EQ(identity.callsign, c.callsign) << "the callsign itself never changes";
    }
}

} // namespace
} // namespace zeph
