// The traffic line's field layout: 29 fields in the receiver's places, the ignored ones empty.
#include "rtfeed/traffic_line.h"

#include <gtest/gtest.h>

#include "tools/rtfeed/test_sockets.h"

namespace zeph::rtfeed {
namespace {

using test::splitFields;

TEST(TrafficLine, DefaultsGiveTheAcceptedAirborneLine) {
    EXPECT_EQ(TrafficLine().toDatagram(),
              "T,4735190,52.308600,4.763900,3500,-700,,241.0,165,TST101,B738,PH-TST,AMS,LHR,1733560000.25,,,"
              "adsb_icao,,,172,,,-2.5,,240.3,,,A3");
}

TEST(TrafficLine, NamedValuesGoToTheirFields) {
    TrafficLine line;
    line.hexid = 5000001;
    line.latitude = -33.946111;
    line.longitude = 151.177222;
    line.altitude = 0;
    line.verticalRate = 1280;
    line.track = std::nullopt;
    line.groundSpeed = 12.5;
    line.callsign = "QFA1";
    line.type = "A388";
    line.registration = "VH-OQA";
    line.from = "null";
    line.to = "SYD";
    line.time = 1796541918.7;
    line.source = "mlat";
    line.trueAirspeed = -1;
    line.roll = 0;
    line.trueHeading = 0;
    line.category = "";
    const std::vector<std::string> fields = splitFields(line.toDatagram());
    ASSERT_EQ(fields.size(), 29u);
    const struct {
        std::size_t n;
        const char* text;
    } cases[] = {
        {0, "T"},    {1, "5000001"},        {2, "-33.946111"}, {3, "151.177222"},
        {4, "0"},    {5, "1280"},           {7, ""},           {8, "12.5"},
        {9, "QFA1"}, {10, "A388"},          {11, "VH-OQA"},    {12, "null"},
        {13, "SYD"}, {14, "1796541918.70"}, {17, "mlat"},      {20, "-1"},
        {23, "0"},   {25, "0.0"},           {28, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fields[c.n], c.text) << "field " << c.n;
    }
}

TEST(TrafficLine, IgnoredFieldsAreEmpty) {
    const std::vector<std::string> fields = splitFields(TrafficLine().toDatagram());
    ASSERT_EQ(fields.size(), TrafficLine::kFieldCount);
    for (std::size_t n : {6, 15, 16, 18, 19, 21, 22, 24, 26, 27}) {
        EXPECT_EQ(fields[n], "") << "field " << n;
    }
    for (std::size_t n : {0, 1, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 17, 20, 23, 25, 28}) {
        EXPECT_NE(fields[n], "") << "field " << n;
    }
}

TEST(TrafficLine, SetOverridesAnyFieldAndLengthensTheLine) {
    const struct {
        std::string name;
        std::size_t n;
        std::string text;
        std::size_t fieldCount;
    } cases[] = {
        {"hexid text", 1, "12a", 29},  {"latitude", 2, "nan", 29},       {"ignored field", 6, "x", 29},
        {"field 0", 0, "X", 29},       {"last field", 28, "C2", 29},     {"field 29", 29, "extra", 30},
        {"far beyond", 40, "far", 41}, {"a comma inside", 9, "A,B", 30},
    };
    for (const auto& c : cases) {
        TrafficLine line;
        line.set(c.n, c.text);
        const std::vector<std::string> fields = splitFields(line.toDatagram());
        EXPECT_EQ(fields.size(), c.fieldCount) << c.name;
        if (c.text.find(',') != std::string::npos) {
            continue; // the text itself splits into two fields
        }
        EXPECT_EQ(fields[c.n], c.text) << c.name;
        for (std::size_t n = 29; n < fields.size() && n != c.n; ++n) {
            EXPECT_EQ(fields[n], "") << c.name << ", field " << n;
        }
    }
}

TEST(TrafficLine, SetWinsOverTheNamedValueAndTheLastSetCounts) {
    TrafficLine line;
    line.callsign = "NAMED";
    line.set(9, "FIRST").set(9, "SECOND");
    EXPECT_EQ(splitFields(line.toDatagram())[9], "SECOND");
}

TEST(TrafficLine, UtcTimesAreReadInOneShape) {
    const std::vector<std::pair<std::string, std::optional<double>>> cases = {
        {"2024-01-03T10:00:00Z", 1704276000.0}, {"2024-02-29T23:59:59.5Z", 1709251199.5},
        {"1970-01-01T00:00:00Z", 0.0},          {"2023-02-29T00:00:00Z", std::nullopt},
        {"2024-01-03T24:00:00Z", std::nullopt}, {"2024-01-03 10:00:00Z", std::nullopt},
        {"2024-01-03T10:00:00", std::nullopt},  {"2024-01-03T10:00:00.Z", std::nullopt},
        {"2024-1-03T10:00:00Z", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseUtcIso(text), expected) << text;
    }
}

} // namespace
} // namespace zeph::rtfeed
