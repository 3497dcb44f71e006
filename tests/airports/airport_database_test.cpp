#include "airports/airport_database.h"

#include <gtest/gtest.h>

#include "aircraft/aircraft_database.h"
#include "airports/scan_log.h"
#include "core/errors.h"
#include "support/aircraft_fixture.h"
#include "support/airport_data.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

class AirportDatabase : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        resetAirportDatabaseForTests();
    }
    static std::string readError() {
        try {
            gf_readAirports();
        } catch (const UserErrorException& e) {
            return e.what();
        }
        return "no error";
    }
};

TEST_F(AirportDatabase, ReadOnceSortedWithItsLinesAndLookedUp) {
    EXPECT_EQ(gf_findAirport("EHAM"), nullptr) << "empty table";
    const std::string jfk = R"(code="KJFK" iata="JFK" lat="40.64" lon="-73.78" alt="13" stands="120")";
    for (const bool root : {true, false}) {
        resetAirportDatabaseForTests();
        test::AirportsXml xml;
        xml.airport(R"(code="EHAM" iata="AMS" lat="52.3" lon="4.76" alt="-11" stands="60")")
            .airport(R"(code="EGLL" iata="LHR" lat="51.47" lon="-0.46" alt="83")")
            .airport(R"(code="XAAA" lat="1" lon="1" alt="1" stands="1")")
            .airport(R"(code="XBBB" iata="XB" lat="1" lon="1" stands="1")")
            .airport(R"(code="XCCC" iata="XC" lat="1" alt="1" stands="1")")
            .airport(jfk)
            .airport(jfk)
            .airport(R"(code="ZZZZ" iata="" lat="2" lon="2" alt="2" stands="2")");
        (root ? xml : xml.withoutRoot()).seal(dir());
        ASSERT_TRUE(gf_readAirports());
        std::string codes;
        for (const AirportRecord& airport : airportTable) {
            codes += airport.code + " ";
        }
        EXPECT_EQ(codes, "EGLL EHAM KJFK KJFK ZZZZ ") << root;
        EXPECT_EQ(airportTable.front().stands, 0);
        EXPECT_FALSE(fs::exists(dir() / "input" / "airports.xml"));
    }
    for (const char* line : {"==> Missing stands for airport 'EGLL'", "==> Missing IATA for airport 'XAAA'",
                             "==> Missing alt for airport 'XBBB'", "==> Missing latLons for airport 'XCCC'",
                             "5 airports read"}) {
        EXPECT_TRUE(logHas(line)) << line;
    }
    fs::remove(dir() / "input" / "airports.enc");
    EXPECT_TRUE(gf_readAirports()) << "read once per process";
    ASSERT_NE(gf_findAirport("EHAM"), nullptr);
    EXPECT_EQ(gf_findAirport("EHAM")->altitude, -11.0);
    EXPECT_EQ(gf_findAirport("eham"), nullptr);
    EXPECT_TRUE(gf_isKnownAirport("EHAM") && !gf_isKnownAirport("eham"));
    EXPECT_EQ(gf_airportDisplayText(*gf_findAirport("EHAM")) +
                  gf_airportDisplayText(*gf_findAirport("ZZZZ")) + gf_airportDisplayText("", ""),
              "EHAM (AMS)ZZZZ?");
}

TEST_F(AirportDatabase, ReadFailuresLeaveNoPlainCopy) {
    test::AirportsXml().airport(R"(code="EHAM" iata="AMS" lat="1" lon="1" alt="1")").seal(dir());
    std::string bytes = test::readFileBytes(dir() / "input" / "airports.enc");
    bytes[bytes.size() / 2] = static_cast<char>(~bytes[bytes.size() / 2]);
    test::writeFileBytes(dir() / "input" / "airports.enc", bytes);
    EXPECT_TRUE(readError().starts_with("88: ")) << readError();
    test::AirportsXml().withoutAirports().seal(dir());
    EXPECT_EQ(readError(), "88: Missing <airports> root in: input/airports.xml");
    EXPECT_FALSE(airportsLoaded || fs::exists(dir() / "input" / "airports.xml"));
    test::AirportsXml().seal(dir());
    EXPECT_FALSE(gf_readAirports()) << "no airport";
}

TEST_F(AirportDatabase, ClosestAirportWithinFiveNauticalMiles) {
    const GeoPoint here{50.0, 8.0};
    const auto at = [&](const char* code, double bearingDeg, double nm) {
        const GeoPoint p = gf_destinationPoint(here, bearingDeg * kDegToRad, nm * kFeetPerNm);
        return AirportRecord{code, "", p.lat, p.lon, 0.0, 0};
    };
    airportTable = {at("A", 0.0, 4.0), at("B", 90.0, 3.0), at("C", 180.0, 3.5)};
    ASSERT_NE(gf_closestAirport(here), nullptr);
    EXPECT_EQ(gf_closestAirport(here)->code, "B") << "equal stand distances keep the closest";
    EXPECT_TRUE(logHas("Airport B is closest, neighbour is A"));
    airportTable = {at("A", 0.0, 4.9999)};
    EXPECT_NE(gf_closestAirport(here), nullptr);
    airportTable = {at("A", 0.0, 5.0001)};
    EXPECT_EQ(gf_closestAirport(here), nullptr);
}

TEST_F(AirportDatabase, PublisherFromNameAndThirdpartyEntries) {
    const test::TestAircraft fleet;
    publisherNames = {{"FlyTampa", "flytampa"}};
    EXPECT_EQ(lf_publisherFromFilename("/x/orbx/EHAM/scenery/a.bgl"), "simaddon");
    EXPECT_EQ(scanLog.back(), "from filename => publisher simaddon");
    EXPECT_EQ(lf_publisherFromFilename("/x/FLYTAMPA/a.bgl") + lf_publisherFromFilename("/x/y/a.bgl"),
              "FlyTampa");
    const std::string publisher = "Some Pub";
    const std::string code = "EHAM";
    int result = -1;
    const ThirdpartyEntryMatch match{publisher, code, result};
    EXPECT_TRUE(match("EHAM") && result == -1);
    EXPECT_TRUE(logHas("==> Some Pub EHAM EHAM invalid number"));
    EXPECT_TRUE(match("EHAM12") && result == 12);
    EXPECT_FALSE(match("EGLL7"));
}

} // namespace
} // namespace zeph
