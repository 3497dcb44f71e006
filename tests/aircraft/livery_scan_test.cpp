#include <chrono>
#include <cstdio>
#include <future>
#include <random>
#include <regex>
#include <thread>

#include <unistd.h>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/cfg_lines.h"
#include "aircraft/liveries_scanned_file.h"
#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"
#include "aircraft/regcodes.h"
#include "aircraft/scan_reports.h"
#include "core/errors.h"
#include "core/run_flags.h"
#include "core/scan_tasks.h"
#include "core/scan_throttle.h"
#include "gen/livery_tree.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "support/aircraft_fixture.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/recording_control_sink.h"
#include "support/recording_shell_open.h"
#include "support/recording_status_sink.h"
#include "support/run_parameters.h"
#include "support/thread_count.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

// Lines like people write them, and the ECMAScript patterns they must match like.
TEST(CfgLines, KeyAndHeaderReadersMatchTheirPatterns) {
    std::mt19937 random(7);
    const std::vector<std::string> pieces{" ",     "\t",     "//",       "\r",       "=",        "title",
                                          "TiTlE", "atc_id", "atc_id_x", "[fltsim.", "[FLTSIM.", "12",
                                          "-3",    "]",      "x",        "a b",      "\n",       "\v"};
    const std::regex title("\\s*(title)\\s*=\\s*(.*\\S)\\s*", std::regex::icase);
    const std::regex header("\\s*(\\[fltsim\\.)(-?\\d+)\\]\\s*", std::regex::icase);
    for (int n = 0; n < 2000; ++n) {
        std::string line;
        for (int k = static_cast<int>(random() % 7); k >= 0; --k) {
            line += pieces[random() % pieces.size()];
        }
        std::smatch match;
        const auto value = lf_parseCfgKeyLine(line, "title");
        ASSERT_EQ(value.has_value(), std::regex_match(line, match, title)) << line;
        if (value) {
            EXPECT_EQ(*value, match[2].str()) << line;
        }
        const std::string number = lf_parseFltSimHeader(line);
        if (!(line.size() >= 2 && line.starts_with("//")) && std::regex_match(line, match, header)) {
            EXPECT_EQ(number, match[2].str()) << line;
        } else if (!number.empty()) {
            EXPECT_EQ(number, "10000") << line;
        }
    }
    std::string longLine = "title=" + std::string(200'000, 'x');
    EXPECT_EQ(lf_parseCfgKeyLine(longLine, "title")->size(), 200'000U) << "no recursion per character";
    EXPECT_EQ(lf_parseFltSimHeader(std::string(60'000, ' ')), "");
    EXPECT_EQ(lf_matchIvaoPath("/x/IVAO_MTL/IVAO_B738w/aircraft.cfg"), "B738w");
    EXPECT_FALSE(lf_matchIvaoPath("/x/ivao_x-csl/pack/aircraft.cfg"));
    EXPECT_EQ(lf_matchIvaoTitle("B738BAW Speedbird", "B738"), "BAW");
}

class LiveryScan : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        test::resetParametersForTests(appDataRoot_.path()); // parameters.xml in a temp folder
        test::installTestAircraft();
        airlineCodes = {"KLM", "BAW", "ZZZ"};
        for (auto& folder : lfolder) {
            folder.setValue("");
        }
        lfolder[0].setValue((dir() / "L0").string());
        SCAN_LIVERIES.setValue(true);
        LIG_PRIORITIZE.setValue(false);
        runningScanTasks.store(0);
        maxScanTasks.store(8);
    }
    void TearDown() override {
        setScanFileReaderForTests(nullptr);
        setScanFutureTimeoutForTests(std::chrono::seconds(10));
        userStopped.store(false);
        test::clearTestAircraft();
        LogFixture::TearDown();
    }
    void aircraft(const std::string& folder, const std::string& type, const std::string& sections) {
        const fs::path path = dir() / folder;
        fs::create_directories(path / "model");
        fs::create_directories(path / "texture.KLM");
        test::writeFileBytes(path / "a.air", "");
        test::writeFileBytes(path / "aircraft.cfg", "[General]\natc_model=" + type + "\n" + sections);
    }
    static std::string section(int n, const std::string& title, const std::string& extra) {
        return "[fltsim." + std::to_string(n) + "]\ntitle=" + title + "\nsim=a\nmodel=\ntexture=klm\n" +
               extra;
    }
    bool logged(const std::string& line) const {
        const auto lines = readLog();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    test::TempDir appDataRoot_;
    test::RecordingShellOpen shell_;
};

TEST_F(LiveryScan, AScanWritesItsFileAndReportsAndUnticksTheBox) {
    aircraft("L0/KLM_B738", "B738",
             section(0, "B738 KLM", "atc_parking_codes=KLM\natc_id=PH-BXB\n") +
                 section(1, "B738 KLM 2", "atc_parking_codes=KLMX, BAW\n"));
    aircraft("L0/zdup", "B738", section(0, "B738 KLM", "atc_parking_codes=KLM\n"));
    aircraft("L0/bad", "QQQQ", section(0, "Q", ""));
    gf_scanLiveries();
    EXPECT_FALSE(SCAN_LIVERIES.get());
    EXPECT_TRUE(logged("2 liveries found in " + (dir() / "L0").string()));
    lf_readLiveriesScanned();
    ASSERT_EQ(scannedLiveries.size(), 2U);
    EXPECT_EQ(scannedLiveries.front().atcid, "PH-BXB");
    EXPECT_EQ(test::readFileLines(errorsDir / "InvalidAircraftCodes.txt"),
              std::vector<std::string>{"QQQQ             in " + (dir() / "L0/bad/aircraft.cfg").string()});
    const auto incomplete = test::readFileLines(errorsDir / "IncompleFltsimSections.txt");
    EXPECT_NE(std::find(incomplete.begin(), incomplete.end(),
                        (dir() / "L0/zdup").string() + " [fltsim.0] title 'B738 KLM' already exists"),
              incomplete.end())
        << "the first file in walk order keeps the title";
}

TEST_F(LiveryScan, TheUsersMistakesAreErrorsWithTheirCodes) {
    struct Case {
        std::string lfolder0;
        std::string message;
        bool opensFolders;     // the manual's and parameters.xml's, through the shell
        fs::path reportFile{}; // written although the scan kept no livery
    };
    fs::create_directories(dir() / "emptyFolder");
    aircraft("noLivery/bad", "QQQQ", section(0, "Q", ""));
    fs::create_directories(outputDir);
    test::writeFileBytes(liveriesScannedFile, "previous");
    // Both exist, as in an installation: a folder opens only for a file that is there.
    fs::create_directories(docsDir);
    test::writeFileBytes(manualFile, "%PDF");
    test::ParametersFileBuilder().write(parametersFile());
    const std::vector<fs::path> bothFolders{fs::current_path() / docsDir, fs::absolute(appDataDir())};
    const std::vector<Case> cases{
        {"",
         "48: Exit Corvane_P3D first!   Then set one or more lfolder parameters to your liveries, see Manual "
         "5.3",
         true},
        {(dir() / "missing").string(),
         "243: the path pointed to by parameter 'lfolder0' does not exist, see Log.txt!", false},
        {(dir() / "emptyFolder").string(), "53: no liveries found", false},
        {(dir() / "noLivery").string(), "53: no liveries found", false,
         errorsDir / "InvalidAircraftCodes.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        lfolder[0].setValue(c.lfolder0);
        const std::size_t openedBefore = shell_.paths().size();
        try {
            gf_scanLiveries();
            ADD_FAILURE() << c.message;
        } catch (const UserErrorException& e) {
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_TRUE(SCAN_LIVERIES.get());
        const auto paths = shell_.paths();
        EXPECT_EQ(
            std::vector<fs::path>(paths.begin() + static_cast<std::ptrdiff_t>(openedBefore), paths.end()),
            c.opensFolders ? bothFolders : std::vector<fs::path>{});
        EXPECT_TRUE(c.reportFile.empty() || fs::exists(c.reportFile)) << c.reportFile;
        EXPECT_EQ(test::readFileBytes(liveriesScannedFile), "previous") << "kept until a new one is written";
    }
}

TEST_F(LiveryScan, AStoppedScanWritesNothingAndScansAgainNextTime) {
    for (int n = 0; n < 8; ++n) {
        aircraft("L0/a" + std::to_string(n), "B738",
                 section(0, "T" + std::to_string(n), "atc_parking_codes=KLM\n"));
    }
    std::atomic<int> read{0};
    setScanFileReaderForTests([&](int number, const fs::path& file, bool) {
        if (++read == 5) {
            userStopped.store(true);
        }
        return lf_searchLiveriesinFile(number, file);
    });
    gf_scanLiveries();
    EXPECT_TRUE(SCAN_LIVERIES.get());
    EXPECT_FALSE(fs::exists(liveriesScannedFile));
    EXPECT_FALSE(fs::exists(errorsDir / "IncompleFltsimSections.txt"));
    EXPECT_TRUE(logged("liveries scan interrupted, it runs again at the next start"));
    const auto lines = readLog();
    EXPECT_TRUE(std::none_of(lines.begin(), lines.end(), [](auto& l) {
        return l.find(" found in ") != l.npos;
    })) << "a cut count is no result";
    // A scan that finds the run stopped searches nothing and keeps the previous scan's file.
    fs::create_directories(liveriesScannedFile.parent_path());
    test::writeFileBytes(liveriesScannedFile, "previous");
    gf_scanLiveries();
    EXPECT_TRUE(fs::exists(liveriesScannedFile));
}

TEST(LiveriesScannedFile, BadFilesGiveTheirUserErrors) {
    test::ProgramDir programDir;
    fs::create_directories(outputDir);
    struct Case {
        std::string xml;
        std::string message;
    };
    const std::string path = liveriesScannedFile.string();
    const std::vector<Case> cases{
        {"<root", "51: File " + path + " not found"},
        {"<other/>", "533: " + path + " does not contain liveries"},
        {"<root><x/></root>", "52: " + path + " does not contain a <liveries> section"},
        {"<root><liveries><liv airl='A' type='B'/></liveries></root>",
         "999: Missing required attribute 'title' in <liv>"},
    };
    for (const Case& c : cases) {
        test::writeFileBytes(liveriesScannedFile, c.xml);
        try {
            lf_readLiveriesScanned();
            ADD_FAILURE() << c.xml;
        } catch (const UserErrorException& e) {
            EXPECT_EQ(e.what(), c.message);
        }
    }
    fs::remove(liveriesScannedFile);
    fs::create_directories(liveriesScannedFile / "x");
    scannedLiveries = {LiveryData{"KLM", "B738", "T", "", 1, false}};
    EXPECT_THROW(lf_writeLiveriesScanned(), std::runtime_error) << "a failed save is no finished scan";
    scannedLiveries.clear();
}

// The tables the catalogue's cases are written against.
void installCatalogueTables() {
    test::installTestAircraft();
    aircraftTypes.insert({"B744", "A388", "B763", "GLID", "T154"});
    heavyTypes.insert({"B744", "A388", "B763"});
    typeFixes["B73H"] = "B738";
    airlineCodes = {"AAL", "AFR", "BAW", "DLH", "EJU", "EZY", "KLM", "SWR", "UPS", "ZZZ"};
    regcodeTable["PH-BXB"] = RegcodeRecord{"KLM", "B738", "KLM", false};
    regcodeTable["N12AB"] = RegcodeRecord{"AAL", "C172", "", false};
    regcodeTable["G-EZAB"] = RegcodeRecord{"EZY", "A320", "EJU", false};
    lf_buildRegcodeIndex();
}

// The scan's files below output/ and its "found" log lines, with the temp root as <ROOT> and no date.
std::map<std::string, std::string> scanResult(const fs::path& root, const std::vector<std::string>& log) {
    auto normal = [&](std::string line) {
        for (std::size_t at; (at = line.find(root.string())) != std::string::npos;) {
            line.replace(at, root.string().size(), "<ROOT>");
        }
        return line.find("name=\"date\"") == std::string::npos ? line + "\n" : std::string();
    };
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(outputDir)) {
        if (entry.is_regular_file()) {
            for (const std::string& line : test::readFileLines(entry.path())) {
                files[entry.path().filename().string()] += normal(line);
            }
        }
    }
    for (const std::string& line : log) {
        if (line.find("liveries scan manual starts") != std::string::npos) {
            files.erase("scan.log"); // this scan's lines only
        }
        if (line.find("found in") != std::string::npos || line.find("fltsim num") != std::string::npos ||
            line.ends_with("skipped!") || line.ends_with("in total")) {
            files["scan.log"] += normal(line);
        }
    }
    return files;
}

// The catalogue end to end: each case's outcome, the LIG_PRIORITIZE thinning, the conversions and the
// per-folder log lines, held against the goldens (CORVANE_UPDATE_GOLDENS=1 rewrites them).
TEST_F(LiveryScan, TheCatalogueScansToItsGoldens) {
    gen::buildCatalogue(dir());
    test::writeOneLiveryTree(dir() / "one");
    test::writeFileBytes(dir() / "plain_file", "");
    fs::create_directories(dir() / "L3");
    installCatalogueTables();
    fs::create_directories(infoDir); // as the start-up leaves it
    const std::vector<std::string> folders{"L0", "L1", "plain_file", "L3", "one"};
    for (std::size_t k = 0; k < folders.size(); ++k) {
        lfolder[k].setValue((dir() / folders[k]).string());
    }
    for (const bool prioritize : {false, true}) {
        SCOPED_TRACE(prioritize);
        LIG_PRIORITIZE.setValue(prioritize);
        SCAN_LIVERIES.setValue(true);
        test::RecordingControlSink box;
        gf_scanLiveries();
        EXPECT_EQ(box.calls().back(), "setCheck SCAN_LIVERIES false");
        EXPECT_FALSE(logged("Scanning prioritized for liveries ...")) << "shown, not logged";
        const fs::path golden = fs::path(AIRCRAFT_TEST_DATA) / "../golden";
        const auto actual = scanResult(dir(), readLog());
        for (const auto& [name, text] : actual) {
            if (std::getenv("CORVANE_UPDATE_GOLDENS") != nullptr && !prioritize) {
                test::writeFileBytes(golden / name, text);
            }
        }
        std::map<std::string, std::string> expected;
        for (const auto& entry : fs::directory_iterator(golden)) {
            expected[entry.path().filename().string()] = test::readFileBytes(entry.path());
        }
        if (prioritize) { // L1's KLM B738 liveries go: L0 has that airline and type
            for (const char* title : {"B738 KLM 9", "B738 KLM Cargo", "Bar", "Baz"}) {
                std::string& xml = expected["LiveriesScanned.xml"];
                const std::size_t at = xml.find(fmt::format("type=\"B738\" title=\"{}\"", title));
                xml.erase(xml.rfind('\n', at) + 1, xml.find('\n', at) - xml.rfind('\n', at));
            }
        }
        EXPECT_EQ(actual, expected);
        lf_readLiveriesScanned();
        EXPECT_EQ(mainWindowState.liveryCount.load(), scannedLiveries.size());
        scannedLiveries.clear();
    }
    EXPECT_NE(
        test::readFileBytes(parametersFile()).find(test::parameterElementText("SCAN_LIVERIES", "false")),
        std::string::npos);
}

TEST_F(LiveryScan, FilesThatCannotBeReadGiveOneLine) {
    const fs::path file = dir() / "ac" / "aircraft.cfg";
    fs::create_directories(file.parent_path());
    struct Case {
        std::string bytes;
        fs::perms perms;
        std::string line;
    };
    const std::vector<Case> cases{
        {std::string("\xFF\xFE\x00\xD8", 4), fs::perms::owner_read, "! Failed reading " + file.string()},
        {"[General]", fs::perms::none, "! No text encoding detected for " + file.string()},
    };
    test::RecordingStatusSink status;
    for (const Case& c : cases) {
        if (c.perms == fs::perms::none && ::geteuid() == 0) {
            continue; // root reads every file
        }
        test::writeFileBytes(file, c.bytes);
        fs::permissions(file, c.perms);
        EXPECT_TRUE(lf_searchLiveriesinFile(1, file).empty());
        EXPECT_TRUE(logged(c.line)) << c.line;
        fs::permissions(file, fs::perms::owner_all);
    }
    EXPECT_EQ(
        status.entries().at(0),
        test::StatusEntry("Read failed for '" + file.string() + "': wide_to_utf8: invalid UTF-16", true));
}

TEST_F(LiveryScan, PreviousFilesGoButTheConversions) {
    auto writePrevious = [] {
        for (const fs::path& file :
             {liveriesScannedFile, errorsDir / "InvalidAirlineCodes.txt", errorsDir / "Fixes.txt",
              errorsDir / "IncompleFltsimSections.txt", infoDir / "AirlineModelConversions.txt"}) {
            fs::create_directories(file.parent_path());
            test::writeFileBytes(file, "x");
        }
    };
    writePrevious();
    lf_removePreviousScanFiles();
    EXPECT_FALSE(fs::exists(errorsDir)) << "emptied, so removed";
    EXPECT_TRUE(fs::exists(liveriesScannedFile)) << "kept until a new one is written whole";
    EXPECT_TRUE(fs::exists(infoDir / "AirlineModelConversions.txt"));
    writePrevious();
    fs::remove(errorsDir / "Fixes.txt");
    fs::create_directories(errorsDir / "Fixes.txt");
    test::writeFileBytes(errorsDir / "Fixes.txt" / "inside", "x");
    lf_removePreviousScanFiles();
    EXPECT_FALSE(fs::exists(errorsDir / "InvalidAirlineCodes.txt"));
    EXPECT_TRUE(fs::exists(errorsDir / "IncompleFltsimSections.txt")) << "the files after the failure stay";
    const auto lines = readLog();
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("problems with removing previous files: ");
    }));
}

TEST_F(LiveryScan, TheWalkReadsLiveryFilesOnlyWhereItMay) {
    const fs::path l0 = dir() / "L0";
    const fs::path airportFolder = dir() / "my_airports";
    const fs::path deep =
        l0 / std::string(250 - l0.string().size(), 'd'); // a folder path of 250 bytes or more
    for (const fs::path& file :
         {l0 / "a/AIRCRAFT.CFG", l0 / "b/Sim.cfg", l0 / "c/aircraft.cfg.bak", l0 / "c/aircraft_old.cfg",
          l0 / "airport_vehicles/aircraft.cfg", airportFolder / "aircraft.cfg",
          airportFolder / "top/aircraft.cfg", deep / "aircraft.cfg"}) {
        fs::create_directories(file.parent_path());
        test::writeFileBytes(file, "");
    }
    fs::create_directory_symlink(l0, l0 / "b" / "loop");
    lfolder[1].setValue(airportFolder.string());
    std::mutex mutex;
    std::set<fs::path> read;
    setScanFileReaderForTests([&](int, const fs::path& file, bool) {
        std::lock_guard lock(mutex);
        read.insert(file);
        return std::list<ScanCandidate>{};
    });
    EXPECT_THROW(gf_scanLiveries(), UserErrorException);
    EXPECT_EQ(read,
              (std::set<fs::path>{l0 / "a/AIRCRAFT.CFG", l0 / "b/Sim.cfg", airportFolder / "aircraft.cfg"}));
}

// Without root's rights the folder "locked" shuts the walk out: it gets its line and the walk goes on.
TEST_F(LiveryScan, AFolderThatCannotBeListedGetsItsLine) {
    aircraft("L0/a", "B738", section(0, "B738 KLM A", "atc_parking_codes=KLM\n"));
    aircraft("L0/z", "B738", section(0, "B738 KLM Z", "atc_parking_codes=KLM\n"));
    const fs::path locked = dir() / "L0/locked";
    fs::create_directories(locked);
    fs::permissions(locked, fs::perms::none);
    const std::optional<bool> scanned = test::runWithoutRootFileRights([&] {
        try {
            gf_scanLiveries();
            lf_readLiveriesScanned();
        } catch (const std::exception& e) {
            std::fprintf(stderr, "the scan failed: %s\n", e.what());
            return false;
        }
        const auto lines = readLog();
        return scannedLiveries.size() == 2 && std::any_of(lines.begin(), lines.end(), [&](const auto& l) {
                   return l.starts_with("==> liveries search in " + locked.string() + " aborted, cause: ");
               });
    });
    fs::permissions(locked, fs::perms::owner_all);
    if (!scanned) {
        GTEST_SKIP() << "no user namespace can be made here";
    }
    EXPECT_TRUE(*scanned) << "the locked folder's line, and both other liveries";
}

// A title is stored as the same UTF-8 text wherever it stands in its file.
TEST_F(LiveryScan, ATitleReadsTheSameWhereverItStands) {
    const std::string pastTheSample = "// " + std::string(5000, 'x') + "\n";
    const std::string ansi = "B738 KLM D\xFCsseldorf";
    const std::string utf8 = "B738 KLM D\xC3\xBCsseldorf";
    struct Case {
        std::string name;
        std::string head;
        std::string title;
    };
    const std::vector<Case> cases{
        {"Windows-1252 near the top", "", ansi},
        {"Windows-1252 past the first 4096 bytes", pastTheSample, ansi},
        {"a UTF-8 mark, then Windows-1252", "\xEF\xBB\xBF" + pastTheSample, ansi},
        {"UTF-8 past the first 4096 bytes", pastTheSample, utf8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        aircraft("ac", "B738", "");
        const fs::path file = dir() / "ac/aircraft.cfg";
        test::writeFileBytes(file, c.head + "[General]\natc_model=B738\n" +
                                       section(0, c.title, "atc_parking_codes=KLM\n"));
        const std::list<ScanCandidate> found = lf_searchLiveriesinFile(1, file);
        ASSERT_EQ(found.size(), 1U);
        EXPECT_EQ(found.front().record.title, utf8);
    }
}

// A scan in a restarted run is used at once: the tables are built from its file, not kept from before.
TEST_F(LiveryScan, TheTablesAfterAScanComeFromItsFile) {
    scannedLiveries = {LiveryData{"KLM", "B738", "B738 KLM Old", "", 1, false}};
    lf_writeLiveriesScanned();
    gf_processScannedLiveries(); // the first start-up of the process
    aircraft("L0/KLM_B738", "B738", section(0, "B738 KLM New", "atc_parking_codes=KLM\n"));
    gf_scanLiveries();
    gf_processScannedLiveries();
    EXPECT_EQ(std::vector<std::string_view>(installedTitles.begin(), installedTitles.end()),
              std::vector<std::string_view>{"B738 KLM New"});
    EXPECT_FALSE(logged("Processing scanned liveries skipped; already done in previous start-up"));
}

using LiveryScanThreads = LiveryScan;

TEST_F(LiveryScanThreads, TasksGiveBackTheirPlaceAndNoWorkerOutlivesTheScan) {
    for (int n = 0; n < 6; ++n) {
        aircraft("L0/a" + std::to_string(n), "B738",
                 section(0, "T" + std::to_string(n), "atc_parking_codes=KLM\n"));
    }
    const int threadsBefore = test::threadCount();
    runningScanTasks.store(3); // another scan's tasks
    maxScanTasks.store(6);
    std::atomic<int> calls{0};
    setScanFileReaderForTests([&](int number, const fs::path& file, bool) {
        if (++calls % 2 == 0) {
            throw std::runtime_error("reader fails");
        }
        return lf_searchLiveriesinFile(number, file);
    });
    gf_scanLiveries();
    EXPECT_EQ(runningScanTasks.load(), 3);
    EXPECT_EQ(test::settledThreadCount(threadsBefore), threadsBefore);
}

TEST_F(LiveryScanThreads, ASlowTaskLosesItsLiveriesAndEndsBeforeTheReport) {
    for (int n = 0; n < 3; ++n) {
        aircraft("L0/a" + std::to_string(n), "B738",
                 section(0, "T" + std::to_string(n), "atc_parking_codes=KLM\n"));
    }
    maxScanTasks.store(2);
    setScanFutureTimeoutForTests(std::chrono::milliseconds(50));
    std::atomic<bool> slowEnded{false};
    setScanFileReaderForTests([&](int number, const fs::path& file, bool) {
        if (file.parent_path().filename() == "a0") {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            slowEnded.store(true);
        }
        return lf_searchLiveriesinFile(number, file);
    });
    gf_scanLiveries();
    EXPECT_TRUE(slowEnded.load()) << "no task outlives the scan";
    EXPECT_EQ(runningScanTasks.load(), 0);
    EXPECT_TRUE(logged("==> liveries inner search aborted: Future wait timed out after 10 seconds"));
    lf_readLiveriesScanned();
    EXPECT_EQ(scannedLiveries.size(), 2U);
    EXPECT_EQ(scannedLiveries.front().title, "T1");
}

TEST_F(LiveryScanThreads, TheFirstTitleInWalkOrderWinsEveryTime) {
    aircraft("L0/dup_a", "B738", section(0, "Same", "atc_parking_codes=KLM\natc_id=PH-A\n"));
    aircraft("L0/dup_b", "B738", section(0, "Same", "atc_parking_codes=KLM\natc_id=PH-B\n"));
    for (int run = 0; run < 20; ++run) {
        setScanFileReaderForTests([](int number, const fs::path& file, bool) {
            if (file.parent_path().filename() == "dup_a") {
                std::this_thread::sleep_for(std::chrono::milliseconds(2)); // the slower task still wins
            }
            return lf_searchLiveriesinFile(number, file);
        });
        SCAN_LIVERIES.setValue(true);
        gf_scanLiveries();
        lf_readLiveriesScanned();
        ASSERT_EQ(scannedLiveries.size(), 1U);
        EXPECT_EQ(scannedLiveries.front().atcid, "PH-A") << run;
    }
}

// A task stuck on a folder that no longer answers: the stop ends the scan's wait for it, and when it ends
// later it leaves nothing in the report lists or the task counter of the next run.
TEST_F(LiveryScanThreads, AStopEndsTheWaitForAStuckTask) {
    aircraft("L0/a0", "B738", section(0, "T0", "atc_parking_codes=KLM\n"));
    aircraft("L0/a1", "QQQQ", section(0, "T1", "")); // an invalid type, reported
    const int threadsBefore = test::threadCount();
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    std::atomic<bool> stuck{false};
    std::atomic<bool> lateEnded{false};
    setScanFileReaderForTests([&, released](int number, const fs::path& file, bool) {
        if (file.parent_path().filename() != "a0") {
            return lf_searchLiveriesinFile(number, file);
        }
        stuck.store(true);
        released.wait();
        auto late = lf_searchLiveriesinFile(number, dir() / "L0/a1/aircraft.cfg");
        lateEnded.store(true);
        return late;
    });
    std::atomic<bool> scanEnded{false};
    std::thread scan([&] {
        try {
            gf_scanLiveries();
        } catch (const std::exception&) {
        }
        scanEnded.store(true);
    });
    EXPECT_TRUE(test::eventually([&] { return stuck.load(); }));
    userStopped.store(true);
    const bool endedInTime = test::eventually([&] { return scanEnded.load(); }, test::kLivenessBound);
    userStopped.store(false); // the next run
    release.set_value();
    scan.join();
    EXPECT_TRUE(endedInTime) << "the stop ends the wait for the stuck task";
    EXPECT_TRUE(logged("liveries scan interrupted, it runs again at the next start"));
    ASSERT_TRUE(test::eventually([&] { return lateEnded.load(); }));
    EXPECT_EQ(test::settledThreadCount(threadsBefore), threadsBefore);
    EXPECT_EQ(runningScanTasks.load(), 0) << "the late task gives back no place of the next run";
    const std::lock_guard lock(invalidTypeReport.mutex);
    EXPECT_TRUE(invalidTypeReport.lines.empty()) << "the late task's report line is dropped";
}

} // namespace
} // namespace zeph
