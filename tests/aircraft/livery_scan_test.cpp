#include <chrono>
#include <random>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/cfg_lines.h"
#include "aircraft/liveries_scanned_file.h"
#include "aircraft/livery_scan.h"
#include "core/errors.h"
#include "core/run_flags.h"
#include "core/scan_tasks.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "support/aircraft_fixture.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/recording_shell_open.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

// Lines like people write them, and the ECMAScript patterns they must match like.
TEST(CfgLines, KeyAndHeaderReadersMatchTheirPatterns) {
    std::mt19937 random(7);
    const std::vector<std::string> pieces{" ", "\t", "//", "\r", "=", "title", "TiTlE", "atc_id", "atc_id_x", "[fltsim.",
                                          "[FLTSIM.", "12", "-3", "]", "x", "a b", "\n", "\v"};
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
        return "[fltsim." + std::to_string(n) + "]\ntitle=" + title + "\nsim=a\nmodel=\ntexture=klm\n" + extra;
    }
    bool logged(const std::string& line) const {
        const auto lines = readLog();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    test::TempDir appDataRoot_;
    test::RecordingShellOpen shell_;
};

TEST_F(LiveryScan, AScanWritesItsFileAndReportsAndUnticksTheBox) {
    aircraft("L0/KLM_B738", "B738", section(0, "B738 KLM", "atc_parking_codes=KLM\natc_id=PH-BXB\n") +
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
        bool opensFolders; // the manual's and parameters.xml's, through the shell
    };
    fs::create_directories(dir() / "emptyFolder");
    // Both exist, as in an installation: a folder opens only for a file that is there.
    fs::create_directories(docsDir);
    test::writeFileBytes(manualFile, "%PDF");
    test::ParametersFileBuilder().write(parametersFile());
    const std::vector<fs::path> bothFolders{fs::current_path() / docsDir, fs::absolute(appDataDir())};
    const std::vector<Case> cases{
        {"", "48: Exit Corvane_P3D first!   Then set one or more lfolder parameters to your liveries, see Manual 5.3",
         true},
        {(dir() / "missing").string(), "243: the path pointed to by parameter 'lfolder0' does not exist, see Log.txt!",
         false},
        {(dir() / "emptyFolder").string(), "53: no liveries found", false},
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
        EXPECT_EQ(std::vector<fs::path>(paths.begin() + static_cast<std::ptrdiff_t>(openedBefore), paths.end()),
                  c.opensFolders ? bothFolders : std::vector<fs::path>{});
    }
}

TEST_F(LiveryScan, AStoppedScanWritesNothingAndScansAgainNextTime) {
    for (int n = 0; n < 8; ++n) {
        aircraft("L0/a" + std::to_string(n), "B738", section(0, "T" + std::to_string(n), "atc_parking_codes=KLM\n"));
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
        {"<root><liveries><liv airl='A' type='B'/></liveries></root>", "999: Missing required attribute 'title' in <liv>"},
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

using LiveryScanThreads = LiveryScan;

TEST_F(LiveryScanThreads, ASlowTaskLosesItsLiveriesAndEndsBeforeTheReport) {
    for (int n = 0; n < 3; ++n) {
        aircraft("L0/a" + std::to_string(n), "B738", section(0, "T" + std::to_string(n), "atc_parking_codes=KLM\n"));
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

} // namespace
} // namespace zeph
