#include "app/startup_thread.h"
#include "realtraffic/udp_readers.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "aircraft/liveries_scanned_file.h"
#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"
#include "airports/airport_database.h"
#include "airports/park_airport_list.h"
#include "app/entry_point.h"
#include "core/errors.h"
#include "core/run_flags.h"
#include "run_threads.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/loopback_http_server.h"
#include "support/parameters_files.h"
#include "support/recording_shell_open.h"
#include "support/scoped_env.h"
#include "support/sealed_files.h"
#include "support/zip_builder.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using StartUpThreads = test::RunThreadsFixture;

// The readings of the aircraft database in a log: each ends with this line.
long dbaseReads(const std::vector<std::string>& lines) {
    return std::count_if(lines.begin(), lines.end(),
                         [](const std::string& line) { return line.ends_with(" dbase records read"); });
}

// The end of the log, for a failure message.
std::string lastLines(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t k = lines.size() > 8 ? lines.size() - 8 : 0; k < lines.size(); ++k) {
        text += lines[k] + "\n";
    }
    return text;
}

// The sample database's count line.
const std::string sampleAirportsRead = "40 airports read";
const std::string siteFailed = "==> Downloading version info from my web site failed!";

// The maker's site with program version 11.10.6 and a good installer archive.
void serveProgramUpdate(test::LoopbackHttpServer& server) {
    server.ok("versions.json", R"({"p3d": {"major": 11, "minor": 10, "patch": 6}})");
    const test::TempDir scratch;
    test::writeZip(scratch / "setup.zip", {{"setup.exe", "installer"}});
    server.ok("release/setup_Corvane_P3D_d_v11.10.6.zip", test::readFileBytes(scratch / "setup.zip"));
}

const std::string scanBanner =
    "++++++++++++++++++++++++ liveries scan manual starts ++++++++++++++++++++++++++++++++";
const std::string airportScanBanner =
    "++++++++++++++++++++++++ airports scan manual starts +++++++++++++++++++++++++++++";

const std::string noInstallPath =
    "151: No P3D install path detected. Type the full Install Path above, then press Enter";

TEST_F(StartUpThreads, OutsideTheProgramFolderTheRunShowsError41AndWaitsForTheClose) {
    fs::remove(dir() / "docs");
    fs::remove(parametersXml());
    startRun();
    const std::string text = "41: Corvane_P3D must be run from the Corvane_P3D folder!";
    ASSERT_TRUE(eventually([&] { return logCount("Exiting: SYSTEM ERROR") == 1; }));
    EXPECT_EQ(errorText(), text);
    EXPECT_EQ(readLog(), (std::vector<std::string>{"Error " + text, "Exiting: SYSTEM ERROR"}));
    EXPECT_EQ(exitReason.load(), ExitReason::SYSTEM_ERROR);
    EXPECT_FALSE(runStopping.load());
    EXPECT_FALSE(fs::exists(parametersXml())) << "nothing was read";
    EXPECT_FALSE(waitForEnd(std::chrono::milliseconds(600))) << "the run waits for the close";
    close();
    EXPECT_EQ(waitForEnd(), 0);
    EXPECT_EQ(headless().dispatchedCount(saveAndQuitMessage), 1U);
    for (const std::string& line : readLog()) {
        EXPECT_EQ(line.find("User closed"), std::string::npos) << line;
    }
}

// The Prepar3D installed flags are read once per process, so every registry is a test of its own.
TEST_F(StartUpThreads, OnlyPrepar3Dv6GivesTheInstallPath) {
    const fs::path v6 = temp() / "p3d6";
    fs::create_directories(v6 / "Scenery");
    writeRegistry(false, "", true, v6.string());
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    EXPECT_TRUE(logHas("P3Dv6 detected"));
    EXPECT_EQ(ALL_INSTALL_PATH.get(), v6.string());
    EXPECT_EQ(SIM_INSTALL_PATH.get(), v6.string());
    EXPECT_EQ(storedParameter("SIM_INSTALL_PATH"), v6.string());
}

TEST_F(StartUpThreads, BothVersionsAskForTheInstallPath) {
    writeRegistry(true, simulatorDir().string(), true, simulatorDir().string());
    startRun();
    ASSERT_TRUE(eventually([&] { return logCount("Exiting: SYSTEM ERROR") == 1; }));
    EXPECT_EQ(errorText(),
              "153: More than one P3D version detected. Type the full Install Path to the wanted "
              "version above, then press Enter");
}

TEST_F(StartUpThreads, NoSimulatorButALiveryFolderGoesOn) {
    writeRegistry(false, "", false, "");
    test::ParametersFileBuilder()
        .storedDefaults("11.10.5")
        .without("lfolder3")
        .parameter("lfolder3", (appDataRoot().parent_path() / "liveries").string())
        .without("afolder0") // a scenery folder, so the airport scan has one to search
        .parameter("afolder0", (appDataRoot().parent_path() / "scenery").string())
        .write(parametersXml());
    startRun();
    ASSERT_TRUE(eventually([] { return fs::is_directory(flightPlanDir()); })) << lastLines(readLog());
    EXPECT_TRUE(logHas("P3D not detected?"));
    EXPECT_TRUE(errorText().empty());
}

TEST_F(StartUpThreads, NoSimulatorAndNoFoldersAskForTheInstallPath) {
    writeRegistry(false, "", false, "");
    test::ParametersFileBuilder().storedDefaults("11.10.5").write(
        parametersXml()); // no livery or scenery folder
    startRun();
    ASSERT_TRUE(eventually([&] { return logCount("Exiting: SYSTEM ERROR") == 1; }));
    EXPECT_TRUE(logHas("P3D not detected?"));
    EXPECT_EQ(errorText(), noInstallPath);
    EXPECT_TRUE(eventually([&] { return headless().control(ALL_INSTALL_PATH.controlId)->text.empty(); }));
    EXPECT_FALSE(fs::exists(flightPlanDir())) << "the run ended before the main loop";
}

TEST_F(StartUpThreads, Prepar3Dv5WithoutSetupPathAsksForTheInstallPath) {
    writeRegistry(true, "", false, "");
    startRun();
    ASSERT_TRUE(eventually([&] { return logCount("Exiting: SYSTEM ERROR") == 1; }));
    EXPECT_TRUE(logHas("P3Dv5 detected"));
    EXPECT_EQ(errorText(), noInstallPath);
}

TEST_F(StartUpThreads, HousekeepingMakesTheFoldersAndRemovesTheStaleFiles) {
    fs::create_directories(dir() / "input");
    test::writeFileBytes(dir() / "input" / "AIG-regcodes0.xml", "old");
    test::writeFileBytes(dir() / "input" / "AIG-regcodes00.xml", "older");
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    for (const char* folder :
         {"output", "output/info", "airports", "airports/learned", "airports/learned/stock",
          "airports/learned/simaddon", "airports/learned/thirdparty", "airports/my_ORBX",
          "airports/my_thirdparty", "input/my_regcodes"}) {
        EXPECT_TRUE(fs::is_directory(dir() / folder)) << folder;
    }
    EXPECT_FALSE(fs::exists(dir() / "output" / "errors")) << "made, then removed empty by the livery scan";
    EXPECT_FALSE(fs::exists(dir() / "input" / "AIG-regcodes0.xml"));
    EXPECT_FALSE(fs::exists(dir() / "input" / "AIG-regcodes00.xml"));
}

TEST_F(StartUpThreads, AStaleFileThatIsAFullFolderEndsTheRun) {
    fs::create_directories(dir() / "input" / "AIG-regcodes0.xml" / "inside");
    startRun();
    ASSERT_TRUE(eventually([&] { return logCount("Exiting: SYSTEM ERROR") == 1; }));
    EXPECT_NE(errorText().find("AIG-regcodes0.xml"), std::string::npos) << errorText();
    EXPECT_NE(errorText().find("Directory not empty"), std::string::npos) << errorText();
    EXPECT_EQ(exitReason.load(), ExitReason::SYSTEM_ERROR);
    EXPECT_EQ(logCount(siteFailed), 0) << "no later step ran";
}

TEST_F(StartUpThreads, RealTrafficAndTheStockAirportsAreLookedFor) {
    struct Case {
        const char* name;
        bool jar;
        bool scenery;
        const char* realTraffic;
    };
    const Case cases[] = {
        {"RealTraffic here, no Scenery", true, false, "RealTraffic detected at this PC"},
        {"no RealTraffic, Scenery", false, true, "RealTraffic not detected at this PC"},
    };
    const fs::path jar = appDataRoot() / "InsideSystems" / "RealTraffic.jar";
    const std::string missing =
        fmt::format("Stock airports path does not exist: {}/Scenery", simulatorDir().string());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(jar.parent_path());
        if (c.jar) {
            fs::create_directories(jar.parent_path());
            test::writeFileBytes(jar, "jar");
        }
        fs::remove_all(simulatorDir() / "Scenery");
        if (c.scenery) {
            fs::create_directories(simulatorDir() / "Scenery");
        }
        const int missingBefore = logCount(missing);
        startRun();
        ASSERT_TRUE(waitForNextSimulatorWait());
        EXPECT_EQ(logCount(c.realTraffic), 1);
        EXPECT_EQ(realTrafficOnThisPc.load(), c.jar);
        EXPECT_EQ(logCount(missing) - missingBefore, c.scenery ? 0 : 1);
        closeAndForget();
    }
}

TEST_F(StartUpThreads, APreparedProgramUpdateEndsTheRunAfterTheLiveryScanWithoutTables) {
    test::LoopbackHttpServer server;
    serveProgramUpdate(server);
    const test::ScopedEnv site("CORVANE_DOWNLOAD_BASE_URL", server.baseUrl());
    const test::RecordingShellOpen shell;
    struct Case {
        const char* name;
        bool scan;
        std::string logged; // a line of the scan or the tables
        long count;         // its count in the log so far
    };
    const Case cases[] = {
        {"a scan to run, cut short", true, "liveries scan interrupted, it runs again at the next start", 1},
        {"a stored scan, no tables without the database", false,
         "1 airlines, 1 pax aircraft models and 0 cargo aircraft models", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.scan) {
            SCAN_LIVERIES.set(false);
            scannedLiveries = {LiveryData{"ZZZ", "B738", "B738 Generic ZZZ", "", 1, false}};
            lf_writeLiveriesScanned();
        }
        startRun();
        EXPECT_EQ(waitForEnd(), 0);
        EXPECT_EQ(server.paths().front(), "/downloads/versions.json");
        EXPECT_EQ(logCount(scanBanner), 1) << "a new parameters.xml ticks SCAN_LIVERIES, a stored scan not";
        EXPECT_FALSE(liveryTablesBuilt);
        EXPECT_EQ(logCount(c.logged), c.count) << lastLines(readLog());
        const std::vector<std::string> log = readLog();
        EXPECT_TRUE(std::none_of(log.begin(), log.end(), [](auto& l) { return l.starts_with("Category "); }));
        EXPECT_EQ(storedParameter("HIGH_PERF_AIRCRAFT"), "true") << "no categories without the database";
        EXPECT_EQ(dbaseReads(log), 0);
        EXPECT_FALSE(logHas(airportScanBanner));
        EXPECT_LT(liveAcTable.capacity(), 512U) << "no main loop";
        EXPECT_EQ(logCount("Exiting: NEW VERSION"), c.scan ? 1 : 2);
        EXPECT_EQ(runsStarted(), c.scan ? 1U : 2U);
        forgetRun();
    }
    EXPECT_EQ(shell.paths().size(), 2U);
}

TEST_F(StartUpThreads, ARestartSkipsTheVersionCheckAndTheDataFiles) {
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    EXPECT_EQ(logCount(siteFailed), 1) << "nothing is served: the run goes on past the check";
    EXPECT_EQ(dbaseReads(readLog()), 1);
    gf_setExitReason(ExitReason::NEW_SETTINGS, 0);
    ASSERT_TRUE(waitForNextSimulatorWait());
    EXPECT_EQ(runsStarted(), 2U);
    EXPECT_EQ(logCount(siteFailed), 1) << "the second run makes no request";
    EXPECT_EQ(dbaseReads(readLog()), 1) << "the second run reads no data files";
    EXPECT_EQ(logCount("1 liveries read from output/LiveriesScanned.xml"), 1);
    EXPECT_EQ(logCount("Processing scanned liveries skipped; already done in previous start-up"), 1);
    EXPECT_EQ(logCount(sampleAirportsRead), 1) << "the airports are read once per process";
}

TEST_F(StartUpThreads, DestinationTopmostAndTheUsersAirportFiles) {
    fs::create_directories(dir() / "airports" / "my_ORBX");
    fs::create_directories(dir() / "airports" / "my_thirdparty");
    for (const char* file : {"my_ORBX/a.xml", "my_ORBX/b.xml", "my_thirdparty/c.xml", "my_thirdparty/d.xml",
                             "my_thirdparty/e.txt"}) {
        test::writeFileBytes(dir() / "airports" / file, "x");
    }
    struct Case {
        const char* destination;
        bool alwaysOnTop;
        bool destinationSet;
    };
    for (const Case& c : {Case{"EDDF", true, true}, Case{"ZZZZ", false, false}}) {
        SCOPED_TRACE(c.destination);
        DESTINATION.set(c.destination);
        ALWAYS_ON_TOP.set(c.alwaysOnTop);
        headless().setTopmost(mainWindowState.mainWindow.load(), !c.alwaysOnTop);
        headless().pump();
        startRun();
        ASSERT_TRUE(waitForNextSimulatorWait());
        const auto log = readLog();
        EXPECT_EQ(std::count(log.begin(), log.end(), std::string("New destination: ") + c.destination),
                  c.destinationSet ? 1 : 0);
        if (c.destinationSet) {
            const std::lock_guard lock(parkAirportListMutex);
            ASSERT_FALSE(parkAirportList.empty());
            EXPECT_EQ(parkAirportList.front().code, c.destination) << "first before the main loop starts";
        }
        EXPECT_TRUE(eventually([&] { return headless().topmost() == c.alwaysOnTop; }));
        EXPECT_EQ(mainWindowState.simAddonCount.load(), 2U);
        EXPECT_EQ(mainWindowState.thirdPartyCount.load(), 3U);
        closeAndForget();
    }
}

TEST_F(StartUpThreads, TheCatchClausesEndTheRunAsSystemError) {
    test::LoopbackHttpServer server;
    const test::RecordingShellOpen shell;
    std::optional<test::ScopedEnv> site;
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string screen;
        std::vector<std::string> logged;
        bool stopping;
    };
    const std::vector<Case> cases = {
        {"airports not read",
         [&] { test::writeSealed(dir() / "input" / "airports.enc", "<root><airports/></root>"); },
         "reading airports failed!",
         {"Error reading airports failed!"},
         true},
        {"format error",
         [] { setStartUpHookForTests([] { throw fmt::format_error("x"); }); },
         "x",
         {"Error std::format error: x", "Error x"},
         true},
        {"not an exception",
         [] { setStartUpHookForTests([] { throw 42; }); },
         "Unknown exception",
         {"Error Unknown exception"},
         false},
        {"user error after NEW VERSION",
         [&] {
             serveProgramUpdate(server);
             site.emplace("CORVANE_DOWNLOAD_BASE_URL", server.baseUrl());
         },
         "48: Exit Corvane_P3D first!   Then set one or more lfolder parameters to your liveries, see Manual "
         "5.3",
         {},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setStartUpHookForTests(nullptr);
        fs::remove(parametersXml()); // a new file ticks SCAN_LIVERIES
        resetAirportDatabaseForTests();
        test::writeSampleAirports(dir());
        c.arrange();
        const std::size_t logBefore = readLog().size();
        const int endsBefore = logCount("Exiting: SYSTEM ERROR");
        startRun();
        ASSERT_TRUE(eventually([&] { return logCount("Exiting: SYSTEM ERROR") == endsBefore + 1; }));
        EXPECT_EQ(errorText(), c.screen);
        EXPECT_EQ(exitReason.load(), ExitReason::SYSTEM_ERROR);
        EXPECT_EQ(runStopping.load(), c.stopping);
        if (c.stopping) {
            EXPECT_EQ(currentRestartDelay(), 0);
        }
        const auto lines = readLog();
        std::vector<std::string> errors;
        for (std::size_t k = logBefore; k < lines.size(); ++k) {
            if (lines[k].starts_with("Error ")) {
                errors.push_back(lines[k]);
            }
        }
        EXPECT_EQ(errors, c.logged);
        closeAndForget();
        site.reset();
    }
}

TEST_F(StartUpThreads, ProductionModeEndsTheRunAfterTheStart) {
    productionMode.store(true);
    startRun();
    EXPECT_EQ(waitForEnd(), 0);
    EXPECT_EQ(dbaseReads(readLog()), 1);
    EXPECT_TRUE(logHas(sampleAirportsRead));
    EXPECT_TRUE(logHas(scanBanner));
    EXPECT_FALSE(logHas(airportScanBanner));
    EXPECT_LT(liveAcTable.capacity(), 512U) << "no main loop";
    EXPECT_TRUE(logHas("Exiting: USER CLOSED SIM"));
    EXPECT_EQ(exitCode.load(), 0);
    EXPECT_EQ(runsStarted(), 1U);
}

} // namespace
} // namespace zeph
