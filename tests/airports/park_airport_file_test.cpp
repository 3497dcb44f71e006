#include <algorithm>
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/airport_database.h"
#include "airports/airport_file_format.h"
#include "airports/airport_file_locator.h"
#include "airports/learned_airport_saver.h"
#include "airports/park_airport_file.h"
#include "core/errors.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "support/log_fixture.h"
#include "support/loopback_http_server.h"
#include "support/parameters_files.h"
#include "support/recording_control_sink.h"
#include "traffic/park_airport_status.h"
#include "update/download_config.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

class ParkAirportFile : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        test::resetParametersForTests(dir() / "AppData");
        setDownloadConfigForTests(DownloadConfig{server.baseUrl(), {}, 2, 2});
        setParkAirportRecord({"EHAM"});
        makeFolders();
    }
    static void makeFolders() {
        for (const char* folder : {"airports/my_thirdparty", "airports/my_ORBX", "airports/learned/stock"}) {
            fs::create_directories(folder);
        }
    }
    void TearDown() override {
        setDownloadConfigForTests(std::nullopt);
        resetAirportDatabaseForTests();
        lf_clearParkPositions();
        apfLearnedFile.clear();
        apfHandmade.store(false);
        setParkAirportRecord({});
        LogFixture::TearDown();
    }
    // A park file of five stands in a row (100 m apart by default), written as the scan writes airport files.
    static std::string parkFile(const std::string& publisher, double spacingDeg = 0.0015) {
        ApfData airport{"EHAM", "Schiphol", "", publisher, 0, 0, 0, -11, {}};
        for (int n = 1; n <= 5; ++n) {
            airport.stands.emplace_back(fmt::format("A{}", n), std::vector<StandUse>{},
                                        GeoPoint{52.3, 4.75 + n * spacingDeg}, 0.0, 20.0, false, false,
                                        false);
        }
        EXPECT_TRUE(gf_writeApf(airport, "made.xml", 1, 3));
        return test::readFileBytes("made.xml");
    }
    std::string read(const std::string& reference) {
        lf_clearParkPositions();
        ApfHeader header;
        const std::string result = gf_readApf(reference, header);
        apfHeader = header;
        return result;
    }
    test::LoopbackHttpServer server;
    test::RecordingControlSink sink;
};

TEST_F(ParkAirportFile, FailuresAreNamed) {
    EXPECT_EQ(read(""), "gf_readApf: xml is empty");
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", "<root>");
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"),
              "airports/my_thirdparty/EHAM.xml: could not load file: airports/my_thirdparty/EHAM.xml");
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", "<root/>");
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "airports/my_thirdparty/EHAM.xml: refused to load");
    std::string file = parkFile("");
    file.erase(file.find("<parkpos "), file.find("</parkpositions>") - file.find("<parkpos "));
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", file);
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "no stands found");
    file.erase(file.find("<parameter name=\"altitude\""),
               file.find("<parameter name=\"num_parkpos\"") - file.find("<parameter name=\"altitude\""));
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", file);
    EXPECT_THROW(read("airports/my_thirdparty/EHAM.xml"), UserErrorException);
    setParkAirportRecord({});
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "gf_readApf: no park airport set");
}

TEST_F(ParkAirportFile, TwoVisitsOfEveryReferenceKind) {
    const struct {
        const char* reference;
        const char* publisher;
    } cases[] = {
        {"archive/stock/EHAM.xml", "stock"},
        {"archive/simaddon/EHAM.xml", "simaddon"},
        {"archive/thirdparty/Some%20Publisher/EHAM.xml", "Some Publisher"},
        {"archive/thirdparty/Some%20Publisher/EHAM.xml", "Other Name"},
        {"airports/my_thirdparty/EHAM.xml", "My Pub"},
        {"airports/my_thirdparty/EHAM.xml", ""},
        {"airports/my_ORBX/EHAM.xml", "simaddon"},
    };
    for (const auto& c : cases) {
        fs::remove_all("airports");
        makeFolders();
        const std::string bytes = parkFile(c.publisher);
        lf_isLocalReference(c.reference) ? test::writeFileBytes(c.reference, bytes)
                                         : server.ok(std::string("P3D/") + c.reference, bytes);
        ASSERT_EQ(read(c.reference), "") << c.reference;
        EXPECT_TRUE(parkAirportLoaded.load());
        EXPECT_EQ(parkAirportRecord.altitude, -11.0);
        EXPECT_EQ(mainWindowState.standCount.load(), 5U);
        EXPECT_EQ(fs::exists("airports/park_airport.xml"), !lf_isLocalReference(c.reference));
        standList[2].uses.push_back({"DLH", "A320", "D-AIMA", "DLH1", "", 1U << 20, 1, 3, 0, 1, 0});
        standList[3].radius *= 1.5;
        standList[3].radiusChanged = true;
        learnedUpdateCount = 2;
        lf_saveLearnedAirports();
        ASSERT_EQ(read(c.reference), "") << c.reference;
        ASSERT_EQ(standList[2].uses.size(), 1U) << c.reference;
        EXPECT_EQ(standList[2].uses[0].reg, "D-AIMA");
        EXPECT_EQ(standList[2].uses[0].fromParkFile, 0U);
        EXPECT_TRUE(standList[3].radiusChanged) << c.reference;
    }
    EXPECT_TRUE(logHas("learned does not exist"));
}

TEST_F(ParkAirportFile, DefaultsWithoutLearnedFileAndOverlaps) {
    airportTable = {{"EHAM", "", 52.3, 4.75, 0.0, 2}};
    std::string file = parkFile("", 0.00044); // 30 m apart
    const std::size_t end = file.find("</parameters>");
    file.insert(end, R"(<parameter name="Qf_real" value="2"/><parameter name="Qf_soft" value="5"/>)");
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", file);
    const std::string parameters = test::readFileBytes(dir() / "AppData/Corvane_P3D/parameters.xml");
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "");
    EXPECT_TRUE(PARK_SOFT.get() && WEEK.get());
    const std::vector<std::string> calls = sink.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "selectComboEntry MAX_FIT_FL 24.0"), calls.end());
    EXPECT_EQ(parking_percentage.get(), 50);
    EXPECT_EQ(parkQf, std::make_pair(2, 5));
    EXPECT_EQ(test::readFileBytes(dir() / "AppData/Corvane_P3D/parameters.xml"), parameters);
    EXPECT_EQ(standList[1].number, 2U);
    EXPECT_EQ(standList[1].adjacentStands, (std::vector<std::uint32_t>{1, 3}))
        << "30 m apart with 20 m radii";
    EXPECT_FALSE(fs::exists("airports/park_airport.xml"));
}

// The file's quality values are taken only within their range; others leave the values as they were.
TEST_F(ParkAirportFile, QualityValuesOutOfRangeAreNotTaken) {
    const struct {
        const char* real;
        const char* soft;
        std::pair<std::int32_t, std::int32_t> expected;
    } cases[] = {{"2", "5", {2, 5}},     {"100", "0", {100, 0}}, {"-1", "-1", {-1, -1}},
                 {"140", "5", {33, 33}}, {"2", "-7", {33, 33}},  {"-1", "5", {33, 33}}};
    for (const auto& c : cases) {
        std::string file = parkFile("");
        file.insert(
            file.find("</parameters>"),
            fmt::format(R"(<parameter name="Qf_real" value="{}"/><parameter name="Qf_soft" value="{}"/>)",
                        c.real, c.soft));
        test::writeFileBytes("airports/my_thirdparty/EHAM.xml", file);
        parkQf = {33, 33};
        EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "") << c.real << "/" << c.soft;
        EXPECT_EQ(parkQf, c.expected) << c.real << "/" << c.soft;
    }
}

TEST_F(ParkAirportFile, IncompleteLearnedFileIsKeptAside) {
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", parkFile("stock"));
    const std::string learned =
        "<root><parkpositions><parkpos id=\"A1\" radius_change=\"true\" radius=\"30.0\"/>"
        "</parkpositions></root>";
    test::writeFileBytes("airports/learned/stock/EHAM.xml", learned);
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "");
    EXPECT_TRUE(learnedMergeIncomplete) << "no meta header: nothing of it was merged";
    lf_saveLearnedAirports();
    EXPECT_EQ(test::readFileBytes("airports/learned/stock/EHAM0.xml"), learned);
    EXPECT_TRUE(logHas("airports/learned/stock/EHAM.xml was not read completely, saved as *.0.xml"));
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "");
    EXPECT_FALSE(learnedMergeIncomplete);
    lf_saveLearnedAirports();
    EXPECT_EQ(test::readFileBytes("airports/learned/stock/EHAM0.xml"), learned) << "the kept original stays";
}

// A learned file that cannot be loaded and cannot be copied aside is the user's only one: no save replaces
// it.
TEST_F(ParkAirportFile, ADamagedLearnedFileIsNeverReplacedUnseen) {
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", parkFile("stock"));
    fs::create_directories("airports/learned/stock/EHAM0.xml/x"); // the copy fails
    test::writeFileBytes("airports/learned/stock/EHAM.xml", "<root>");
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "");
    EXPECT_TRUE(
        logHas("==> airports/learned/stock/EHAM.xml found, but could not be loaded nor saved as *.0.xml, "
               "it stays as it is: Start-end tags mismatch"));
    lf_saveLearnedAirports();
    EXPECT_EQ(test::readFileBytes("airports/learned/stock/EHAM.xml"), "<root>");
}

// A learned file is outside input: its settings go through their bounds, a radius must be a positive number.
TEST_F(ParkAirportFile, LearnedValuesOutOfBoundsAreNotTaken) {
    const struct {
        const char* percentage;
        const char* radius;
        std::int32_t percentageTaken;
        double radiusMetres; // of A1, 20 in the park file
    } cases[] = {{"150", "-1e300", 100, 20.0},
                 {"-5", "0", 0, 20.0},
                 {"45", "nan", 45, 20.0},
                 {"45", "35.5", 45, 35.5}};
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", parkFile("stock"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.radius);
        test::writeFileBytes(
            "airports/learned/stock/EHAM.xml",
            fmt::format(
                R"(<root><meta><info name="copyright" value="c"/><info name="version" value="11.10.0"/></meta><parameters>
            <parameter name="airport_name" value="Schiphol"/><parameter name="parking_percentage" value="{0}"/>
            </parameters><parkpositions><parkpos id="A1" radius_change="true" radius="{1}"/>
            <parkpos id="M1" manual="true" latitude="52.31" longitude="4.76" radius="{1}"/></parkpositions></root>)",
                c.percentage, c.radius));
        EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "");
        EXPECT_EQ(parking_percentage.get(), c.percentageTaken);
        ASSERT_FALSE(standList.empty());
        EXPECT_NEAR(standList[0].radius * kMetresPerNm, c.radiusMetres, 1e-6);
        EXPECT_EQ(standList.size(), c.radiusMetres == 20.0 ? 5U : 6U) << "a manual stand needs a radius";
    }
    EXPECT_TRUE(logHas("==> Parking position 'A1' has invalid coordinates, skipped"));
}

TEST_F(ParkAirportFile, MergesTheLearnedFile) {
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", parkFile("stock"));
    const std::string meta =
        R"(<meta><info name="copyright" value="c"/><info name="version" value="11.9.9"/></meta>)";
    const std::string learned = "<root>" + meta + R"(<parameters><parameter name="airport_name" value="X"/>
        <parameter name="RANGE" value="150"/><parameter name="MAX_FIT" value="60"/>
        <parameter name="INITIAL_LOAD_ONLY" value="true"/></parameters><parkpositions>
        <parkpos id="A1" radius_change="true" radius="30.0"><opt day="3" hh="20" reg="D-AIMA"/></parkpos>
        <parkpos id="Q9"/><parkpos id="A5" manual="true" latitude="52.31" longitude="4.76" radius="20.0"/>
        <parkpos id="M1" manual="true" latitude="52.31" longitude="4.76" radius="0.0"/><parkpos manual="true" latitude="52.31" longitude="4.76" radius="20.0"/>
        <parkpos id="M2" manual="true" latitude="52.31" longitude="4.76" radius="20.0"><opt day="3" hh="20" reg="D-AIMB"/></parkpos>
        </parkpositions></root>)";
    test::writeFileBytes("airports/learned/stock/EHAM.xml", learned);
    const std::string parameters = test::readFileBytes(dir() / "AppData/Corvane_P3D/parameters.xml");
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "");
    EXPECT_TRUE(standList[0].radiusChanged);
    EXPECT_TRUE(standList[0].uses.empty()) << "11.9.9 keeps no use of a non-manual stand";
    ASSERT_EQ(standList.size(), 6U);
    EXPECT_TRUE(standList[5].manual);
    EXPECT_EQ(standList[5].uses.size(), 1U);
    EXPECT_EQ(RANGE.get(), 100);
    EXPECT_EQ(MAX_FIT.get(), 47);
    const std::vector<std::string> calls = sink.calls();
    EXPECT_NE(std::find(calls.begin(), calls.end(), "showEnabled Now false"), calls.end());
    EXPECT_TRUE(mainWindowState.nowButtonEnabled.load()) << "the program's own state of the button stays";
    for (const char* line :
         {"learned stand Q9 in airports/learned/stock/EHAM.xml not found?",
          "==> manually created standid A5 already exists in airports/learned/stock/EHAM.xml",
          "==> manually created standid M1 misses correct attributes in airports/learned/stock/EHAM.xml",
          "==> manually created standid  misses correct attributes in airports/learned/stock/EHAM.xml",
          "Warning: learned file airport name: 'X' differs from archived file airport name: 'Schiphol'"}) {
        EXPECT_TRUE(logHas(line)) << line;
    }
    EXPECT_EQ(test::readFileBytes(dir() / "AppData/Corvane_P3D/parameters.xml"), parameters);
    test::writeFileBytes("airports/learned/stock/EHAM.xml", "<root>");
    EXPECT_EQ(read("airports/my_thirdparty/EHAM.xml"), "");
    EXPECT_EQ(test::readFileBytes("airports/learned/stock/EHAM0.xml"), "<root>");
}

} // namespace
} // namespace zeph
