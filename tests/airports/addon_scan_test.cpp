#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <zip.h>

#include "aircraft/aircraft_database.h"
#include "airports/addon_airport_files.h"
#include "airports/addon_scan.h"
#include "airports/airport_database.h"
#include "airports/airport_file_locator.h"
#include "airports/bgl_file.h"
#include "airports/offline_package.h"
#include "airports/scan_log.h"
#include "core/errors.h"
#include "core/run_flags.h"
#include "core/scan_tasks.h"
#include "core/scan_throttle.h"
#include "gen/scenery_tree.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/xml_parameters.h"
#include "state/run_state.h"
#include "support/aircraft_fixture.h"
#include "support/child_process.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/recording_shell_open.h"
#include "support/recording_window_port.h"
#include "support/thread_count.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class AddonScan : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        test::resetParametersForTests(dir() / "appdata");
        for (const char* code : {"EGLL", "EHAM", "KBOS", "KJFK", "KSEA", "LFPG"}) {
            airportTable.push_back(AirportRecord{code, "", 0, 0, 0, 0});
            airportCodes.insert(code);
        }
        test::clearTestAircraft();
        publisherNames = {{"Some Publisher"}};
        simAddonAirports = {"EHAM"};
        thirdPartyAirports = {{"Some Publisher", {"EGLL12", "LFPG"}}};
        maxScanTasks = 2;
        runningScanTasks = 0;
        fs::create_directories(myOrbxDir);
        fs::create_directories(myThirdpartyDir);
    }
    void TearDown() override {
        setAirportScanSinkForTests({});
        setAirportScanFutureWaitForTests(10s);
        stockAirportsPath.clear();
        resetAirportDatabaseForTests();
        test::clearTestAircraft();
        lf_clearScanLog();
        offlineLearningCount = 0;
        LogFixture::TearDown();
    }

    std::string scanLogText() { return test::readFileBytes(airportsScanLogFile); }
    bool scanLogHas(const std::string& line) {
        const std::lock_guard lock(scanLogMutex);
        return std::find(scanLog.begin(), scanLog.end(), line) != scanLog.end();
    }
    static std::string parameterOf(const fs::path& file, const char* key) {
        pugi::xml_document doc;
        doc.load_file(file.c_str());
        return findParameterElement(doc, key).attribute("value").as_string();
    }
    static std::vector<std::string> standIds(const fs::path& file) {
        pugi::xml_document doc;
        EXPECT_TRUE(doc.load_file(file.c_str())) << file;
        std::vector<std::string> ids;
        for (pugi::xml_node stand : doc.child("root").child("parkpositions").children("parkpos")) {
            ids.emplace_back(stand.attribute("id").as_string());
        }
        return ids;
    }
};

class AddonScanThreads : public AddonScan {};

TEST_F(AddonScan, LinksOrGeneratesEachAirport) {
    const fs::path root = dir() / "scenery";
    struct Case {
        fs::path bgl;
        gen::BglAirport airport;
        std::string file;
        std::string content; // of a link; empty: a generated file
        std::string line;
    };
    const std::vector<Case> cases{
        {root / "ORBX/EHAM/a.bgl", gen::sampleAirport("EHAM", 5, 0), "airports/my_ORBX/EHAM.txt",
         "archive/simaddon/EHAM.xml\n", "simaddon airport EHAM linked to archive/simaddon/EHAM.xml"},
        {root / "ORBX/LFPG/a.bgl", gen::sampleAirport("LFPG", 2, 3), "airports/my_ORBX/LFPG.xml", "",
         "Generated LFPG.xml: 5 positions, of which 3 helipads"},
        {root / "Some Publisher/EGLL.bgl", gen::sampleAirport("EGLL", 14, 0),
         "airports/my_thirdparty/EGLL.txt", "archive/thirdparty/Some%20Publisher/EGLL.xml\n",
         "===> EGLL has 14 parkpos while archived one has 12"},
        {root / "Other/KJFK.bgl", gen::sampleAirport("KJFK", 1, 1), "airports/my_thirdparty/KJFK.xml", "",
         "Generated KJFK.xml: 2 positions, of which 1 helipad"},
    };
    const BglAirportSink sink{lf_linkAirport, lf_generateAirportFile};
    for (const Case& c : cases) {
        gen::writeAirportBgl(c.bgl, {c.airport});
        lf_processBGLfile(c.bgl, sink);
        EXPECT_TRUE(scanLogHas(c.line)) << c.line;
        if (!c.content.empty()) {
            EXPECT_EQ(test::readFileBytes(c.file), c.content);
            continue;
        }
        const std::vector<std::string> ids = standIds(c.file);
        EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end())) << c.file;
        EXPECT_EQ(parameterOf(c.file, "num_parkpos"), std::to_string(ids.size()));
    }
    EXPECT_EQ(parameterOf("airports/my_thirdparty/KJFK.xml", "BGLpath"), (root / "Other/KJFK.bgl").string());
    EXPECT_TRUE(scanLogHas("LFPG does not exist as simaddon"));
    EXPECT_EQ(standIds("airports/my_thirdparty/EGLL.xml").size(), 14U)
        << "more stands than archived: generated too";
    EXPECT_TRUE(scanLogHas("Generated EGLL.xml: 14 positions"));

    // A link that cannot be written is no link: the airport is generated.
    fs::remove("airports/my_thirdparty/EGLL.txt");
    fs::remove("airports/my_thirdparty/EGLL.xml");
    fs::create_directories("airports/my_thirdparty/EGLL.txt");
    const fs::path few = root / "Some Publisher/EGLL10.bgl";
    gen::writeAirportBgl(few, {gen::sampleAirport("EGLL", 10, 0)});
    lf_processBGLfile(few, sink);
    EXPECT_TRUE(scanLogHas("===> Linking airports/my_thirdparty/EGLL.txt did not succeed"));
    EXPECT_EQ(standIds("airports/my_thirdparty/EGLL.xml").size(), 10U);
}

TEST_F(AddonScan, ScansAGeneratedTreeKeepingTheUsersFiles) {
    const test::RecordingWindowPort port;
    const fs::path tree = gen::writeScanTree(dir() / "tree");
    gen::writeAirportBgl(tree / "Other/LFPG/LFPG.bgl",
                         {gen::sampleAirport("LFPG", 4, 0, "De Gaulle", 119000)});
    gen::writeAirportBgl(tree / "Other/KBOS/KBOS.bgl", {gen::sampleAirport("KBOS", 4, 0)});
    stockAirportsPath = tree / "P3D/Scenery";
    afolder[0].setValue(tree.string());
    afolder[1].setValue((dir() / "missing").string());
    afolder[2].setValue((dir() / "tree/file.txt").string());
    test::writeFileBytes(dir() / "tree/file.txt", "x");
    SCAN_AIRPORTS.set(true);
    // The previous scan's files go; the user's own stay.
    test::writeFileBytes("airports/my_ORBX/LFPG.txt", "archive/simaddon/LFPG.xml\n");
    test::writeFileBytes(
        "airports/my_thirdparty/EDDM.xml",
        "<root><parameters><parameter name=\"num_parkpos\" value=\"1\"/></parameters></root>");
    test::writeFileBytes("airports/my_ORBX/EDDF.txt", "airports/x/EDDF.xml\n");
    const std::string handmade = "<root><parameters airport_name=\"Logan\"/><parkpositions/></root>";
    test::writeFileBytes("airports/my_thirdparty/KBOS.xml", handmade);
    fs::create_directories("tblo");
    test::writeFileBytes("tblo/tblo.zip", "old");

    gf_scanAddonAirports();

    EXPECT_FALSE(fs::exists("airports/my_ORBX/LFPG.txt") || fs::exists("airports/my_thirdparty/EDDM.xml"));
    EXPECT_EQ(test::readFileBytes("airports/my_ORBX/EDDF.txt"), "airports/x/EDDF.xml\n");
    EXPECT_EQ(test::readFileBytes("airports/my_thirdparty/KBOS.xml"), handmade);
    EXPECT_TRUE(fs::exists("airports/my_ORBX/EHAM.txt")) << "an upper-case .BGL is scanned";
    for (const char* notScanned : {"airports/my_thirdparty/KJFK.xml", "airports/my_thirdparty/KSEA.xml"}) {
        EXPECT_FALSE(fs::exists(notScanned)) << notScanned;
    }
    const std::string scanText = scanLogText();
    EXPECT_EQ(scanText.find('\r'), std::string::npos);
    for (const std::string& part :
         {fmt::format("Scanning for addon  airports in {}\n", tree.string()),
          std::string("===> airports/my_ORBX/EDDF.txt kept: not made by an airport scan\n"),
          std::string("===> Generating airports/my_thirdparty/KBOS.xml skipped: a file not made by an "
                      "airport scan is there\n")}) {
        EXPECT_NE(scanText.find(part), std::string::npos) << part;
    }
    for (const std::string& line :
         {std::string("The scan will search 3 folders"),
          (dir() / "missing").string() + " does not exist, skipped!",
          (dir() / "tree/file.txt").string() + " is not a folder name, skipped!",
          std::string("-------------------------- airports scan ends    ----------------------------"),
          std::string("Airports scan successful"),
          std::string("! Mail tblo/tblo.zip to support@corvane.example")}) {
        EXPECT_TRUE(logHas(line)) << line;
    }
    EXPECT_FALSE(SCAN_AIRPORTS.get());
    EXPECT_NE(test::readFileBytes(parametersFile()).find(R"(name="SCAN_AIRPORTS" value="false")"),
              std::string::npos);

    // The package: the two generated third-party files, byte for byte; EGLL's link goes.
    EXPECT_EQ(offlineLearningCount.load(), 2);
    const std::vector<std::string> calls = port.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "enableControl tblo true"), 1);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "invalidate 0 0 880 476"), 1);
    EXPECT_FALSE(fs::exists("airports/my_thirdparty/EGLL.txt"));
    std::vector<std::string> inTblo;
    for (const fs::directory_entry& entry : fs::directory_iterator("tblo")) {
        inTblo.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(inTblo, std::vector<std::string>{"tblo.zip"});
    zip_t* zip = zip_open("tblo/tblo.zip", ZIP_RDONLY, nullptr);
    ASSERT_NE(zip, nullptr);
    std::vector<std::string> names;
    for (zip_int64_t i = 0; i < zip_get_num_entries(zip, 0); ++i) {
        names.emplace_back(zip_get_name(zip, static_cast<zip_uint64_t>(i), 0));
        zip_stat_t stat;
        zip_stat_index(zip, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string content(stat.size, '\0');
        zip_file_t* entry = zip_fopen_index(zip, static_cast<zip_uint64_t>(i), 0);
        zip_fread(entry, content.data(), stat.size);
        zip_fclose(entry);
        EXPECT_EQ(content, test::readFileBytes(myThirdpartyDir / names.back())) << names.back();
    }
    zip_close(zip);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"EGLL.xml", "LFPG.xml"}));
    const std::vector<std::string> log = readLog();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
        return l.starts_with("[zip] Added 2 files, ok_close=true, exists=true, size=");
    }));

    // The generated file reads as the airport's file, with the scenery's altitude and name.
    EXPECT_EQ(lf_stockArchiveFile("EHAM"), "archive/simaddon/EHAM.xml");
    EXPECT_EQ(lf_stockArchiveFile("LFPG"), "airports/my_thirdparty/LFPG.xml");
    EXPECT_EQ(parameterOf("airports/my_thirdparty/LFPG.xml", "airport_name"), "De Gaulle");
    EXPECT_EQ(parameterOf("airports/my_thirdparty/LFPG.xml", "altitude"), "390");
}

// Without root's rights the folder "locked" shuts the scan out: it gets its line and the walk goes on.
TEST_F(AddonScan, AFolderThatCannotBeListedGetsItsLine) {
    const fs::path tree = dir() / "locking";
    for (const char* file : {"a/EHAM.bgl", "locked/KBOS.bgl", "z/LFPG.bgl"}) {
        gen::writeAirportBgl(tree / file, {gen::sampleAirport(fs::path(file).stem().string(), 2, 0)});
    }
    fs::permissions(tree / "locked", fs::perms::none);
    std::atomic<int> generated{0};
    setAirportScanSinkForTests(BglAirportSink{[](ApfData&, std::uint32_t&, const fs::path&) { return false; },
                                              [&](ApfData&, const std::uint32_t&) { ++generated; }});
    const std::optional<bool> reported = test::runWithoutRootFileRights([&] {
        {
            ScanTaskPool pool;
            lf_scanFolderForAirports(tree, pool);
        }
        const std::lock_guard lock(scanLogMutex);
        return generated.load() == 2 &&
               std::any_of(scanLog.begin(), scanLog.end(), [&](const std::string& l) {
                   return l.find("airports search in folder " + tree.string() + " aborted, cause: ") !=
                              std::string::npos &&
                          l.find("locked") != std::string::npos;
               });
    });
    fs::permissions(tree / "locked", fs::perms::owner_all);
    if (!reported) {
        GTEST_SKIP() << "no user namespace can be made here";
    }
    EXPECT_TRUE(*reported) << "the locked folder's line, and both other airports";
}

// The kernel tells of each opening of a watched folder: an event without a name.
TEST_F(AddonScan, EachFolderIsOpenedOnce) {
    const fs::path tree = dir() / "folders";
    for (const char* file : {"a/b/EHAM.bgl", "a/c/KJFK.bgl", "a/d/e/LFPG.bgl", "f/KBOS.bgl"}) {
        gen::writeAirportBgl(tree / file, {gen::sampleAirport(fs::path(file).stem().string(), 2, 0)});
    }
    const int notify = ::inotify_init1(IN_NONBLOCK);
    ASSERT_GE(notify, 0);
    std::map<int, int> openings; // by watched folder
    for (const char* folder : {"", "a", "a/b", "a/c", "a/d", "a/d/e", "f"}) {
        openings[::inotify_add_watch(notify, (tree / folder).c_str(), IN_OPEN)] = 0;
    }
    {
        ScanTaskPool pool;
        lf_scanFolderForAirports(tree, pool);
    }
    alignas(inotify_event) std::array<char, 65536> events{};
    for (ssize_t got = 0; (got = ::read(notify, events.data(), events.size())) > 0;) {
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            const auto* event = reinterpret_cast<const inotify_event*>(events.data() + at);
            openings[event->wd] += event->len == 0 ? 1 : 0;
            at += sizeof(inotify_event) + event->len;
        }
    }
    ::close(notify);
    EXPECT_EQ(openings, (std::map<int, int>{{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}}));
}

TEST_F(AddonScan, FolderParameters) {
    const test::RecordingShellOpen shell;
    fs::create_directories(manualFile.parent_path());
    test::writeFileBytes(manualFile, "manual");
    SCAN_AIRPORTS.set(true); // writes parameters.xml, whose folder is opened
    try {
        gf_scanAddonAirports();
        ADD_FAILURE() << "no afolder is an error";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "49: Exit Corvane_P3D first!   Then set one or more afolder parameters to "
                  "your add-on airports, see Manual 6.2");
    }
    EXPECT_EQ(shell.paths().size(), 2U);
    EXPECT_TRUE(fs::is_directory("tblo") && fs::is_empty("tblo"));

    afolder[3].setValue("/sim/P3D/Scenery/World");
    stockAirportsPath.clear();
    EXPECT_EQ(lf_readAfolderParameters().size(), 1U) << "an unknown install path is no stock folder";
    stockAirportsPath = "/sim/P3D/Scenery";
    try {
        lf_readAfolderParameters();
        ADD_FAILURE() << "a stock folder is an error";
    } catch (const UserErrorException& e) {
        EXPECT_EQ(std::string(e.what()),
                  "42: parameter afolder3 points to stock airports instead of add-on airports!");
    }

    // A tree without airports: the warning, and no package folder.
    afolder[3].setValue((dir() / "empty").string());
    fs::create_directories(dir() / "empty");
    gf_scanAddonAirports();
    EXPECT_TRUE(logHas("Warning: Scan has not found any add-on airports"));
    EXPECT_TRUE(logHas("All your third party airports are recognised, no off line learning needed."));
    EXPECT_FALSE(fs::exists("tblo"));

    // A scan cut short by the run's end stays ticked for the next start.
    gen::writeAirportBgl(dir() / "empty/LFPG.bgl", {gen::sampleAirport("LFPG", 2, 0)});
    SCAN_AIRPORTS.set(true);
    runStopping = true;
    gf_scanAddonAirports();
    runStopping = false;
    EXPECT_TRUE(SCAN_AIRPORTS.get());
    EXPECT_FALSE(fs::exists("airports/my_thirdparty/LFPG.xml"));

    // Cut short after a file was made: no scan log, package or success of a part of the scan.
    setAirportScanSinkForTests(BglAirportSink{lf_linkAirport, [](ApfData& airport, const std::uint32_t& n) {
                                                  lf_generateAirportFile(airport, n);
                                                  runStopping = true;
                                              }});
    gf_scanAddonAirports();
    runStopping = false;
    EXPECT_TRUE(fs::exists("airports/my_thirdparty/LFPG.xml"));
    EXPECT_TRUE(logHas("airports scan interrupted, it runs again at the next start"));
    for (const char* untrue :
         {"Airports scan successful", "! Mail tblo/tblo.zip to support@corvane.example"}) {
        EXPECT_FALSE(logHas(untrue)) << untrue;
    }
    EXPECT_FALSE(fs::exists(airportsScanLogFile) || fs::exists("tblo"));
    EXPECT_TRUE(SCAN_AIRPORTS.get());
}

TEST_F(AddonScanThreads, WorkersEndWithTheScan) {
    const fs::path root = dir() / "many";
    const std::vector<std::string> codes{"EHAM", "EGLL", "LFPG", "KJFK"};
    for (int i = 0; i < 30; ++i) {
        const std::string code = i == 3   ? "KBOS"
                                 : i == 5 ? "KSEA"
                                          : codes[static_cast<std::size_t>(i) % codes.size()];
        gen::writeAirportBgl(root / fmt::format("f{}.bgl", i), {gen::sampleAirport(code, 2, 0)});
    }
    std::atomic<int> running{0};
    std::atomic<int> mostAtOnce{0};
    std::atomic<int> generated{0};
    setAirportScanSinkForTests(BglAirportSink{[](ApfData&, std::uint32_t&, const fs::path&) { return false; },
                                              [&](ApfData& airport, const std::uint32_t&) {
                                                  const int now = ++running;
                                                  mostAtOnce = std::max(mostAtOnce.load(), now);
                                                  std::this_thread::sleep_for(airport.code == "KSEA" ? 500ms
                                                                                                     : 20ms);
                                                  --running;
                                                  if (airport.code == "KBOS") {
                                                      throw std::runtime_error("worker failed");
                                                  }
                                                  if (airport.code == "KSEA") {
                                                      gf_addScanLogLine("slow worker done");
                                                  }
                                                  ++generated;
                                              }});
    setAirportScanFutureWaitForTests(100ms);
    const int threadsBefore = test::threadCount();
    lf_runAirportsScan({root});
    EXPECT_LE(mostAtOnce.load(), 2);
    EXPECT_EQ(generated.load(), 29);
    EXPECT_EQ(runningScanTasks.load(), 0);
    EXPECT_EQ(test::settledThreadCount(threadsBefore), threadsBefore);
    const std::string scanText = scanLogText();
    EXPECT_NE(scanText.find("Future wait timed out after 10 seconds"), std::string::npos);
    EXPECT_NE(scanText.find("worker failed"), std::string::npos);
    EXPECT_NE(scanText.find("slow worker done"), std::string::npos) << "the scan log waits for every worker";
}

} // namespace
} // namespace zeph
