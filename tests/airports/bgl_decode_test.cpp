#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/airport_database.h"
#include "airports/bgl_airport_record.h"
#include "airports/bgl_file.h"
#include "airports/scan_log.h"
#include "gen/bgl_builder.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using namespace zeph::gen;

constexpr double kNm = 1.0 / 1852.0;

struct Decoded {
    std::vector<ApfData> airports;
    std::vector<std::uint32_t> helipadCounters;
};

class BglDecode : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        file = fs::current_path() / "scenery.bgl"; // the test's own folder, made by the log fixture
        for (const char* code : {"EHAM", "EGLL", "LFPG"}) {
            airportTable.push_back(AirportRecord{code, "", 0, 0, 0, 0});
            airportCodes.insert(code);
        }
        lf_clearScanLog();
    }
    void TearDown() override {
        resetAirportDatabaseForTests();
        lf_clearScanLog();
        LogFixture::TearDown();
    }

    // The file through the worker body with a sink that records and links nothing.
    Decoded decode(const std::vector<std::uint8_t>& bytes) {
        writeBytes(file, bytes);
        Decoded out;
        const BglAirportSink sink{[](ApfData&, std::uint32_t&, const fs::path&) { return false; },
                                  [&](ApfData& airport, const std::uint32_t& counter) {
                                      out.airports.push_back(airport);
                                      out.helipadCounters.push_back(counter);
                                  }};
        lf_processBGLfile(file, sink);
        return out;
    }
    Decoded decode(const BglAirport& airport) {
        return decode(buildBgl(BglFile{{BglSection{3, 1, {airport}, {}, {}, {}}}, {}, {}}));
    }

    bool scanLogHas(const std::string& line) {
        const std::lock_guard lock(scanLogMutex);
        return std::find(scanLog.begin(), scanLog.end(), line) != scanLog.end();
    }
    bool logContains(const std::string& part) {
        const std::vector<std::string> lines = readLog();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(part) != std::string::npos; });
    }

    fs::path file;
};

BglAirport schiphol(bool extended) {
    BglAirport a;
    a.extended = extended;
    a.altitudeMm = -3353;
    a.subrecords = {BglName{"Schiphol", {}}, BglHelipad{52.31, 4.75, 30.0F, 0.0F},
                    BglHelipad{52.32, 4.75, 30.0F, 90.0F},
                    BglParkingList{{{10, 1, 12, 20.0F, 90.0F, 52.30, 4.76, 0},
                                    {12, 5, 5, 30.0F, 180.0F, 52.30, 4.77, 2},
                                    {0, 14, 7, 40.0F, 270.0F, 52.30, 4.78, 0}},
                                   {}}};
    return a;
}

TEST_F(BglDecode, QuickTestOfTheHeader) {
    const auto airportFile = buildBgl(BglFile{{BglSection{}}, {}, {}});
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        bool expected;
    };
    auto withCount = [&](std::uint32_t count) {
        auto bytes = airportFile;
        putU32(bytes, 20, count);
        return bytes;
    };
    auto otherHeader = buildBgl(BglFile{{BglSection{}}, 0x40, {}});
    std::vector<Case> cases{
        {"56 bytes", std::vector<std::uint8_t>(airportFile.begin(), airportFile.begin() + 56), false},
        {"count 0", withCount(0), false},
        {"count past the file", withCount(static_cast<std::uint32_t>((airportFile.size() - 56) / 20 + 1)),
         false},
        {"a type-3 entry", airportFile, true},
        {"header size 0x40", otherHeader, true}};
    for (const Case& c : cases) {
        writeBytes(file, c.bytes);
        EXPECT_EQ(lf_hasAirportSection(file), c.expected) << c.name;
    }
    EXPECT_FALSE(lf_hasAirportSection("missing.bgl"));
    EXPECT_TRUE(decode(otherHeader).airports.empty()) << "the worker finds nothing without the 0x38 header";
}

TEST_F(BglDecode, ValidAirportsThroughTheWorker) {
    for (const bool extended : {false, true}) {
        const Decoded d = decode(schiphol(extended));
        ASSERT_EQ(d.airports.size(), 1U) << extended;
        const ApfData& a = d.airports.front();
        EXPECT_EQ(a.code, "EHAM");
        EXPECT_EQ(a.airportName, "Schiphol");
        EXPECT_EQ(a.altitude, -11) << "below sea level stays negative";
        std::vector<std::string> ids;
        for (const ParkPos& s : a.stands) {
            ids.push_back(s.id);
        }
        EXPECT_EQ(ids, (std::vector<std::string>{"helipad1", "helipad2", "g12", "A5", "7"})) << extended;
        EXPECT_EQ(d.helipadCounters.front(), 3U);
        EXPECT_NEAR(a.stands[2].radius, 20.0 * kNm, 1e-9);
        EXPECT_NEAR(a.stands[2].heading, M_PI / 2, 1e-6);
        EXPECT_NEAR(a.stands[2].latitude, 52.30, 1e-6);
        EXPECT_NEAR(a.stands[2].longitude, 4.76, 1e-6);
        EXPECT_TRUE(a.stands[3].cargo && a.stands[3].ramp);
        EXPECT_TRUE(!a.stands[4].cargo && a.stands[4].ramp);
        EXPECT_TRUE(a.stands[0].heli && !a.stands[0].ramp);
        EXPECT_NEAR(a.stands[0].radius, 15.0 * kNm, 1e-9);
        EXPECT_NEAR(a.stands[0].heading, 6.283185307179586, 1e-12) << "north is 2 pi";
    }
    BglSection two{3, 1, {schiphol(false), schiphol(true)}, {BglRaw{0x22, 8}}, {}, {}};
    two.airports[1].ident = "EGLL";
    BglSection third{3, 1, {schiphol(false)}, {}, {}, {}};
    third.airports[0].ident = "LFPG";
    const Decoded all =
        decode(buildBgl(BglFile{{two, BglSection{0x65, 1, {}, {BglRaw{}}, {}, {}}, third}, {}, {}}));
    ASSERT_EQ(all.airports.size(), 3U);
    EXPECT_EQ(all.airports[1].code, "EGLL");
    EXPECT_EQ(all.airports[2].code, "LFPG");
}

TEST_F(BglDecode, MalformedFilesEndWithOneLine) {
    const std::string dash = "\xE2\x80\x94";
    auto flagged = BglSection{3, 0x10001, {schiphol(false)}, {}, {}, {}};
    EXPECT_TRUE(decode(buildBgl(BglFile{{flagged}, {}, {}})).airports.empty())
        << "a flag with bit 16 skips the section";

    auto pastEnd = BglSection{3, 1, {schiphol(false)}, {}, 0x7FFFFFF0U, {}};
    EXPECT_THROW(decode(buildBgl(BglFile{{pastEnd}, {}, {}})), std::out_of_range);
    EXPECT_TRUE(
        logContains(fmt::format("Exception in lf_processBGLfile (std::ex): {} {} ", file.string(), dash)));

    BglAirport empty = schiphol(false);
    empty.size = 0;
    BglSection second{3, 1, {schiphol(false)}, {}, {}, {}};
    second.airports[0].ident = "EGLL";
    const Decoded afterZero =
        decode(buildBgl(BglFile{{BglSection{3, 1, {empty}, {}, {}, {}}, second}, {}, {}}));
    EXPECT_TRUE(logContains("   Warning: decodeSizeAtBoundary returned 0 at o2 = "));
    ASSERT_EQ(afterZero.airports.size(), 1U) << "the next section is still read";

    BglAirport longer = schiphol(false);
    longer.size = 4000;
    longer.subrecords.pop_back(); // no parking list: the walk runs on to the end of the file
    decode(longer);
    EXPECT_TRUE(logContains("   Error: o3=") && logContains("exceeded data buffer size"));

    // A name or helipad subrecord too small is an event line, another a plain one.
    for (const auto& [id, prefix] :
         {std::pair<std::uint16_t, std::string>{0x99, ""}, {0x19, "==> "}, {0x26, "==> "}}) {
        BglAirport tiny = schiphol(false);
        tiny.subrecords.insert(tiny.subrecords.begin(), BglRaw{id, 2});
        decode(tiny);
        const std::vector<std::string> lines = readLog();
        const auto warning = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& l) {
            return l.find("decodeSizeAtBoundary") != std::string::npos;
        });
        EXPECT_TRUE(warning != lines.rend() &&
                    warning->starts_with(prefix + "   Warning: decodeSizeAtBoundary returned 0 at o3 = "))
            << id;
    }

    decode(buildBgl(
        BglFile{{BglSection{3, 1, {}, std::vector<BglRaw>(9001, BglRaw{0x22, 8}), {}, {}}}, {}, {}}));
    EXPECT_TRUE(logContains("Error: Maximum loop iterations reached (2) " + dash + " possible corrupt BGL"));
    BglAirport many = schiphol(false);
    many.subrecords.assign(9001, BglRaw{0, 4});
    decode(many);
    EXPECT_TRUE(logContains("Error: Maximum loop iterations reached (1) " + dash + " possible corrupt SIA"));
}

TEST_F(BglDecode, ValuesOfStandsNamesAndIdents) {
    const std::string path = file.string();
    BglAirport a = schiphol(false);
    BglParkingList list;
    list.entries = {{10, 1, 1, 1.0F, 0.0F, 52.3, 4.7, 0},
                    {10, 1, 2, 200.0F, 0.0F, 52.3, 4.7, 0},
                    {10, 12, 3, 20.0F, 0.0F, 52.3, 4.7, 0},
                    {10, 13, 4, 20.0F, 0.0F, 52.3, 4.7, 0},
                    {10, 1, 5, 20.0F, 0.0F, 0.0, 0.0, 0}};
    for (int i = 0; i < 12; ++i) {
        list.entries.push_back({10, 1, 12, 20.0F, 0.0F, 52.3, 4.7 + i * 0.001, 0});
    }
    a.subrecords = {BglName{"Schiphol", {}}, BglHelipad{52.31, 4.75, 30.0F, 0.0F},
                    BglHelipad{52.31, 4.75, 30.0F, 0.0F}, list, BglHelipad{52.33, 4.75, 30.0F, 0.0F}};
    const Decoded d = decode(a);
    ASSERT_EQ(d.airports.size(), 1U);
    std::vector<std::string> ids;
    for (const ParkPos& s : d.airports[0].stands) {
        ids.push_back(s.id);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"helipad1", "g12", "g12a", "g12b", "g12c", "g12d", "g12e",
                                             "g12f", "g12g", "g12h", "g12i", "g12j"}))
        << "no helipad after the parking list";
    for (const std::string& line :
         {"Skipped position with radius 1.0 m in " + path, "Skipped position with radius 200.0 m in " + path,
          std::string("LatLon 0.000000,0.000000 invalid (skipped)"),
          "===> Warning: more than 10 duplicate IDs g12 in " + path,
          std::string("double helipad Schiphol (skipped) 52.310000,4.750000")}) {
        EXPECT_TRUE(scanLogHas(line)) << line;
    }

    struct NameCase {
        std::vector<BglSubrecord> names;
        std::string expected;
    };
    const std::string sixty(60, 'x');
    for (const NameCase& c : std::vector<NameCase>{{{BglName{"Schiphol", 6}}, ""},
                                                   {{BglName{sixty, {}}}, sixty.substr(0, 45)},
                                                   {{BglName{"One", {}}, BglName{"Two", {}}}, ""},
                                                   {{BglName{"Caf\xE9", {}}}, "Caf\xC3\xA9"}}) {
        BglAirport named = schiphol(false);
        named.subrecords = c.names;
        named.subrecords.push_back(BglParkingList{{{10, 1, 1, 20.0F, 0.0F, 52.3, 4.7, 0}}, {}});
        const Decoded n = decode(named);
        ASSERT_EQ(n.airports.size(), 1U);
        EXPECT_EQ(n.airports[0].airportName, c.expected);
    }

    struct IdentCase {
        std::uint32_t packed;
        std::size_t airports;
    };
    for (const IdentCase& c : std::vector<IdentCase>{{packIdent("EHAM"), 1},
                                                     {(38U * 38 * 38 * 14) << 5, 0},
                                                     {packIdent("AMS"), 0},
                                                     {packIdent("QQQQ"), 0}}) {
        BglAirport id = schiphol(false);
        id.packedIdent = c.packed;
        EXPECT_EQ(decode(id).airports.size(), c.airports) << c.packed;
    }
    EXPECT_TRUE(scanLogHas("QQQQ is not an airport supported by RealTraffic "));
    EXPECT_FALSE(scanLogHas("AMS is not an airport supported by RealTraffic "));
}

// A name subrecord at the file's end: the bytes inside the file are the name, and the log says what was cut.
TEST_F(BglDecode, ANameCutByTheFileEnd) {
    struct Case {
        std::string text;
        std::size_t words;
        std::string expected, line; // line empty: none
    };
    for (const Case& c :
         {Case{"ABCDEFG", 4, "ABCDEFG", ""}, Case{"ABCDEFG", 3, "ABCDEF", "lf_decodeAirportNAME EXCEPTION"},
          Case{"ABCDEFGHIJK", 3, "ABCDEF", "! name blocks truncated at o3=0, available=1"}}) {
        std::string bytes{'\x19', '\0', static_cast<char>(6 + c.text.size()), '\0', '\0', '\0'};
        bytes += c.text;
        bytes.resize(c.words * 4, '\0');
        std::vector<std::uint32_t> words(c.words);
        std::memcpy(words.data(), bytes.data(), bytes.size());
        const std::size_t before = readLog().size();
        EXPECT_EQ(lf_decodeAirportNAME(words, 0), c.expected) << c.text << " in " << c.words << " words";
        EXPECT_EQ(readLog().size() > before ? readLog().back() : "", c.line) << c.text << " in " << c.words;
    }
}

TEST_F(BglDecode, NamesStayInsideTheirRecord) {
    BglAirport a = schiphol(false);
    BglSection section{3, 1, {a}, {}, {}, {}};
    section.trailing.push_back(BglRaw{0x19, 12});
    section.trailing.insert(section.trailing.end(), 9100, BglRaw{0x22, 8});
    const Decoded d = decode(buildBgl(BglFile{{section}, {}, {}}));
    ASSERT_EQ(d.airports.size(), 1U);
    EXPECT_EQ(d.airports[0].airportName, "Schiphol")
        << "a stray name record after the airport is not its name";
    EXPECT_FALSE(logContains("Maximum loop iterations reached (3)"));
}

} // namespace
} // namespace zeph
