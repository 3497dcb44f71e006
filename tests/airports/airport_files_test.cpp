#include <chrono>
#include <functional>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/airport_database.h"
#include "airports/airport_file_format.h"
#include "airports/airport_file_locator.h"
#include "airports/closest_stand.h"
#include "airports/learned_airport_saver.h"
#include "airports/park_airport_file.h"
#include "core/run_flags.h"
#include "support/log_fixture.h"
#include "support/loopback_http_server.h"
#include "support/test_clock.h"
#include "traffic/park_airport_status.h"
#include "update/download_config.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

const std::string kStands =
    "<root><parkpositions><parkpos id=\"g1\" latitude=\"50.0\" longitude=\"8.0\"/>"
    "<parkpos id=\"g2\" latitude=\"50.001\" longitude=\"8.0\"/></parkpositions></root>";

class AirportFiles : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        fs::create_directories("airports/my_thirdparty");
        fs::create_directories("airports/my_ORBX");
        setDownloadConfigForTests(DownloadConfig{server.baseUrl(), {}, 2, 2});
    }
    void TearDown() override {
        setDownloadConfigForTests(std::nullopt);
        resetDownloadedStandsForTests();
        resetAirportDatabaseForTests();
        lf_clearParkPositions();
        apfLearnedFile.clear();
        learnedMergeIncomplete = false;
        apfHandmade.store(false);
        setParkAirportRecord({});
        LogFixture::TearDown();
    }
    test::LoopbackHttpServer server;
};

TEST_F(AirportFiles, FindsTheReference) {
    const struct {
        const char* link; // my_thirdparty/EHAM.txt; null: none
        const char* expected;
    } cases[] = {
        {"archive/stock/EHAM.xml  \r\nsecond.xml", "archive/stock/EHAM.xml"},
        {" archive/x.XML", " archive/x.XML"},
        {"", "airports/my_thirdparty/EHAM.xml"},
        {"archive/x.xmlx", "airports/my_thirdparty/EHAM.xml"},
        {"abc", "airports/my_thirdparty/EHAM.xml"},
        {"../x.xml", "airports/my_thirdparty/EHAM.xml"},
        {"airports/../../etc/x.xml", "airports/my_thirdparty/EHAM.xml"},
        {"/x/y.xml", "airports/my_thirdparty/EHAM.xml"},
    };
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", kStands);
    for (const auto& c : cases) {
        test::writeFileBytes("airports/my_thirdparty/EHAM.txt", c.link);
        EXPECT_EQ(lf_stockArchiveFile("EHAM"), c.expected) << c.link;
    }
    fs::remove_all("airports/my_thirdparty");
    test::writeFileBytes("airports/my_ORBX/EHAM.xml", kStands);
    EXPECT_EQ(lf_stockArchiveFile("EHAM"), "airports/my_ORBX/EHAM.xml");
    fs::remove("airports/my_ORBX/EHAM.xml");
    airportTable = {{"EHAM", "", 52.3, 4.7, 0.0, 1}, {"EHAN", "", 52.3, 4.7, 0.0, 0}};
    EXPECT_EQ(lf_stockArchiveFile("EHAM"), "archive/stock/EHAM.xml");
    EXPECT_EQ(lf_stockArchiveFile("EHAN"), "");
    EXPECT_FALSE(gf_myAirportFileExists("EHAN"));
    test::writeFileBytes("airports/my_ORBX/EHAN.txt", "abc");
    EXPECT_TRUE(gf_myAirportFileExists("EHAN")) << "a link file counts by its existence";
}

TEST_F(AirportFiles, LearnedFileOfEveryReference) {
    const struct {
        const char* reference;
        const char* publisher;
        fs::path expected;
    } cases[] = {
        {"archive/thirdparty/Some%20Publisher/EHAM.xml", "",
         "airports/learned/thirdparty/Some Publisher/EHAM.xml"},
        {"airports\\my_thirdparty\\EHAM.xml", "My Pub", "airports/learned/thirdparty/My Pub/EHAM.xml"},
        {"airports/my_thirdparty/EHAM.xml", "", "airports/learned/thirdparty/EHAM.xml"},
        {"airports/my_thirdparty/EHAM.xml", "..", "airports/learned/thirdparty/EHAM.xml"},
        {"archive/stock/EHAM.xml", "stock", "airports/learned/stock/EHAM.xml"},
        {"airports/my_ORBX/EHAM.xml", "simaddon", "airports/learned/simaddon/EHAM.xml"},
        {"archive/stock/EHAM.txt", "stock", ""},
        {"archive/thirdparty/%20/EHAM.xml", "", ""},
        {"archive/thirdparty/../EHAM.xml", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(lf_archivePathOf(c.reference, c.publisher), c.expected) << c.reference;
    }
    EXPECT_EQ(lf_learnedFileByPublisher("EHAM", "../../x"), "airports/learned/thirdparty/.. .. x/EHAM.xml");
    EXPECT_EQ(lf_learnedFileByPublisher("EHAM", "a\x01/b"), "airports/learned/thirdparty/a b/EHAM.xml");
}

TEST_F(AirportFiles, DownloadsArchivedFiles) {
    server.ok("P3D/archive/stock/EHAM.xml", kStands);
    EXPECT_EQ(lf_downloadAirportFile("archive/stock/EHAM.xml", "airports/park_airport.xml"), "");
    EXPECT_EQ(test::readFileBytes("airports/park_airport.xml"), kStands);
    EXPECT_EQ(server.requests().back().userAgent, "Corvane");
    const std::string failed = "failed to download: '" + server.urlOf("P3D/archive/stock/EHAM.xml") + "'";
    // Fast enough for the low-speed limit, but the traffic loop may wait only so long in all.
    setDownloadConfigForTests(DownloadConfig{server.baseUrl(), {}, 2, 2, 1});
    const std::function<void()> serves[] = {
        [&] { server.status("P3D/archive/stock/EHAM.xml", 404); },
        [&] { server.ok("P3D/archive/stock/EHAM.xml", "<html><p>moved</html", "text/html"); },
        [&] { server.crawl("P3D/archive/stock/EHAM.xml", 4096, 100, 20000, 10 << 20); },
    };
    for (const auto& serve : serves) {
        serve();
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(lf_downloadAirportFile("archive/stock/EHAM.xml", "airports/park_airport.xml"), failed);
        EXPECT_LT(std::chrono::steady_clock::now() - start, test::kLivenessBound);
        EXPECT_FALSE(fs::exists("airports/park_airport.xml")) << "an older file goes too";
        test::writeFileBytes("airports/park_airport.xml", kStands);
    }
    EXPECT_TRUE(logHas(failed));
}

TEST_F(AirportFiles, ClosestStandOfLocalAndDownloadedFiles) {
    const GeoPoint near{50.0004, 8.0};
    std::string id = "unchanged";
    EXPECT_EQ(gf_readDestApfForClosestStand("EHAM", near, id), 100.0);
    EXPECT_EQ(id, "unchanged");
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml", kStands);
    EXPECT_NEAR(gf_readDestApfForClosestStand("EHAM", near, id), 0.024, 0.001);
    EXPECT_EQ(id, "g1");
    test::writeFileBytes("airports/my_thirdparty/EHAM.xml",
                         "<parkpositions><parkpos id=\"z\"/><parkpos id=\"y\"/>"
                         "</parkpositions>");
    EXPECT_NEAR(gf_readDestApfForClosestStand("EHAM", {0.0, 0.001}, id), 0.06, 0.001);
    EXPECT_EQ(id, "z") << "a stand without coordinates lies at 0,0, and the first of equally near ones wins";
    airportTable = {{"EDDA", "", 50.0, 8.0, 0.0, 5}, {"EDDB", "", 50.0, 8.0, 0.0, 5}};
    server.ok("P3D/archive/stock/EDDA.xml", kStands);
    runStopping.store(true);
    EXPECT_EQ(gf_readDestApfForClosestStand("EDDA", {50.0012, 8.0}, id), 100.0) << "cut short by the stop";
    runStopping.store(false);
    const std::size_t requests = server.paths().size();
    for (int call = 0; call < 2; ++call) {
        EXPECT_NEAR(gf_readDestApfForClosestStand("EDDA", {50.0012, 8.0}, id), 0.012, 0.001);
        EXPECT_EQ(id, "g2");
        EXPECT_FALSE(fs::exists("airport.xml"));
    }
    EXPECT_EQ(server.paths().size(), requests + 1) << "asked again after the stop, then no more";
    server.ok("P3D/archive/stock/EDDB.xml", "<root><parkpositions>");
    EXPECT_EQ(gf_readDestApfForClosestStand("EDDB", near, id), 100.0);
    EXPECT_FALSE(fs::exists("airport.xml"));
}

TEST_F(AirportFiles, AFailedDownloadOfAClosestStandIsTriedAgainOnlyWhenItMayGoThrough) {
    const std::string path = "P3D/archive/stock/EDDA.xml";
    const struct {
        const char* name;
        std::function<void()> fail;
        bool triedAgain;
    } cases[] = {
        {"server error", [&] { server.status(path, 503); }, true},
        {"closed without an answer", [&] { server.closeWithoutResponse(path); }, true},
        {"not found", [&] { server.status(path, 404); }, false},
        {"not the file", [&] { server.ok(path, "<html><p>moved</html", "text/html"); }, false},
    };
    airportTable = {{"EDDA", "", 50.0, 8.0, 0.0, 5}};
    test::TestClock clock(1'800'000'000);
    for (const auto& c : cases) {
        resetDownloadedStandsForTests();
        clock.set(1'800'000'000);
        c.fail();
        std::string id = "unchanged";
        EXPECT_EQ(gf_readDestApfForClosestStand("EDDA", {50.0012, 8.0}, id), 100.0) << c.name;
        server.ok(path, kStands);
        const std::size_t requests = server.paths().size();
        clock.set(1'800'000'000 + 4 * 60);
        EXPECT_EQ(gf_readDestApfForClosestStand("EDDA", {50.0012, 8.0}, id), 100.0) << c.name;
        EXPECT_EQ(server.paths().size(), requests) << c.name << ": not asked again at once";
        clock.set(1'800'000'000 + 6 * 60);
        EXPECT_EQ(gf_readDestApfForClosestStand("EDDA", {50.0012, 8.0}, id) < 0.02, c.triedAgain) << c.name;
        EXPECT_EQ(id, c.triedAgain ? "g2" : "unchanged") << c.name;
        EXPECT_FALSE(fs::exists("airport.xml"));
    }
    EXPECT_TRUE(logHas("failed to download: '" + server.urlOf(path) + "'"));
}

TEST_F(AirportFiles, ClosestAirportByItsNearestStand) {
    const GeoPoint here{50.0, 8.0};
    const auto at = [&](const char* code, double nm) {
        const GeoPoint p = gf_destinationPoint(here, 0.0, nm * kFeetPerNm);
        return AirportRecord{code, "", p.lat, p.lon, 0.0, 0};
    };
    airportTable = {at("XBBA", 3.5), at("XBBB", 3.0)};
    const auto standAt = [](const char* id, double lat) {
        return fmt::format("<parkpos id=\"{}\" latitude=\"{}\" longitude=\"8.0\"/>", id, lat);
    };
    test::writeFileBytes("airports/my_thirdparty/XBBA.xml",
                         "<parkpositions>" + standAt("g3", 50.00036) + "</parkpositions>");
    test::writeFileBytes("airports/my_thirdparty/XBBB.xml",
                         "<parkpositions>" + standAt("b1", 50.001) + "</parkpositions>");
    EXPECT_EQ(gf_closestAirport(here)->code, "XBBA");
    EXPECT_TRUE(logHas(
        "Airport XBBB is closest, but stand g3 at neighbouring airport XBBA is closer at 40 meters ..."));
    test::writeFileBytes("airports/my_thirdparty/XBBA.xml",
                         "<parkpositions>" + standAt("g3", 50.001) + "</parkpositions>");
    EXPECT_EQ(gf_closestAirport(here)->code, "XBBB") << "equal stand distances keep the closest airport";
}

TEST_F(AirportFiles, QualityFactorOfTheUses) {
    for (int n = 0; n < 10; ++n) {
        gf_appendStand(ParkPos(fmt::format("s{}", n), {}, GeoPoint{50.0, 8.0 + n * 0.001}, 0.0, 20.0, false,
                               false, false));
    }
    parkQf = lf_qualityFactor();
    EXPECT_EQ(parkQf, std::make_pair(-1, -1));
    EXPECT_EQ(lf_qualityText(), "  ");
    standList[4].uses = {{"", "", "A", "", "", 0b1111, 1, 1, 0, 1, 0},
                         {"", "", "B", "", "", 0b111, 2, 1, 0, 1, 0},
                         {"", "", "C", "", "", 0b111, 3, 2, 0, 1, 0}};
    parkQf = lf_qualityFactor();
    EXPECT_EQ(parkQf, std::make_pair(6, 0));
    EXPECT_EQ(lf_qualityText(), " 6/ 0");
}

TEST_F(AirportFiles, SavesWhereTheNextReadLooks) {
    setParkAirportRecord({"EHAM"});
    apfHeader = {"Schiphol", "Some Pub", -11};
    const auto stand = [](const char* id) {
        return ParkPos(id, {}, GeoPoint{52.3, 4.75}, 0.0, 20.0, false, false, false);
    };
    for (const char* id : {"parkonly", "radius", "learned"}) {
        gf_appendStand(stand(id));
    }
    standList[0].uses = {{"KLM", "B738", "PH-A", "", "", 1, 1, 3, 1, 1, 0}};
    standList[1].radiusChanged = true;
    standList[2].uses = {{"KLM", "B738", "PH-B", "", "", 1, 1, 3, 0, 1, 0}};
    learnedUpdateCount = 1;
    lf_saveLearnedAirports();
    const fs::path file = "airports/learned/thirdparty/Some Pub/EHAM.xml";
    const std::string saved = test::readFileBytes(file);
    EXPECT_EQ(saved.find("parkonly"), std::string::npos);
    EXPECT_NE(saved.find("<parkpos id=\"radius\" radius_change=\"true\" radius=\"20.0\" />"),
              std::string::npos);
    EXPECT_TRUE(standList[0].uses.empty()) << "the park file's uses leave the list";
    EXPECT_NE(readLog().back().find(" '" + file.string() + "' saved with 1 update"), std::string::npos);
    // A folder that cannot be made is a failed save, and the run goes on.
    test::writeFileBytes("airports/learned/blocked", "");
    apfLearnedFile = "airports/learned/blocked/EHAM.xml";
    learnedUpdateCount = 2;
    lf_saveLearnedAirports();
    EXPECT_NE(readLog().back().find(" saving 'airports/learned/blocked/EHAM.xml' did not succeed: "),
              std::string::npos);
    EXPECT_EQ(learnedUpdateCount, 0U);
}

} // namespace
} // namespace zeph
