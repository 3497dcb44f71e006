#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <list>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/aircraft_cfg_reader.h"
#include "aircraft/liveries_scanned_file.h"
#include "aircraft/livery_scan.h"
#include "airports/addon_airport_files.h"
#include "airports/addon_scan.h"
#include "airports/park_airport_list.h"
#include "app/closing_down.h"
#include "app/entry_point.h"
#include "app/main_loop.h"
#include "app/startup_thread.h"
#include "gen/scenery_tree.h"
#include "realtraffic/rt_server.h"
#include "run_threads.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/loopback_http_server.h"
#include "support/parameters_files.h"
#include "support/temp_dir.h"
#include "update/download_config.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;

// The distinct status texts shown while condition does not yet hold, in order.
template <class Fixture, class Condition>
std::vector<std::string> statusesUntil(Fixture& fixture, Condition condition) {
    std::vector<std::string> shown;
    const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound * 10;
    while (!condition() && std::chrono::steady_clock::now() < deadline) {
        const std::string text = fixture.status();
        if (shown.empty() || shown.back() != text) {
            shown.push_back(text);
        }
        std::this_thread::sleep_for(5ms);
    }
    return shown;
}

bool inOrder(const std::vector<std::string>& all, const std::vector<std::string>& wanted) {
    auto at = all.begin();
    for (const std::string& item : wanted) {
        at = std::find(at, all.end(), item);
        if (at == all.end()) {
            return false;
        }
        ++at;
    }
    return true;
}

class RestartThreads : public test::RunThreadsFixture {
public:
    std::string status() const { return statusText(); }
};

// An error restart keeps what the user chose: a scan box ticked for the next start, the destination and the
// blocked callsign, which the new run's fields show as it uses them. A box the run left ticked otherwise (a
// scan of its own that did not finish) is unticked, so errors cannot make that scan run again and again.
TEST_F(RestartThreads, AReaderErrorRestartsAfterItsCountdownWithTheUsersChoices) {
    // A new run finds the threads of the run before it joined.
    std::mutex seenMutex;
    bool threadsJoined = true;
    setStartUpHookForTests([&] {
        const std::lock_guard lock(seenMutex);
        threadsJoined = threadsJoined && !simClientThread.joinable() && !qnhReaderThread.joinable() &&
                        !trafficReaderThread.joinable();
    });
    // The boxes of the categories without liveries, enabled or not as the first start left them.
    const auto categoryBoxes = [&] {
        std::vector<bool> enabled;
        for (const CheckBoxParameter* box : {&LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT}) {
            enabled.push_back(headless().control(box->controlId).value_or(HeadlessControl{}).enabled);
        }
        return enabled;
    };
    test::writeFileBytes(dir() / myParkAirportsFile, "EDDM\nEDDF\n");
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    const std::vector<bool> firstStart = categoryBoxes();
    realTrafficAwaited.store(false); // RealTraffic has connected: a ticked scan waits for the next start
    ASSERT_TRUE(headless().click(SCAN_AIRPORTS.controlId));
    SCAN_LIVERIES.set(true);
    controlSink().enable(DESTINATION, true);
    headless().pump();
    for (const auto& [field, typed] :
         {std::pair{&DESTINATION, "eddf"}, std::pair{&BLOCK_CALLSIGN, "dlh12"}}) {
        ASSERT_TRUE(headless().typeText(field->controlId, typed));
        ASSERT_TRUE(headless().pressEnter(field->controlId));
    }
    gf_setExitReason(ExitReason::READER_ERROR, 2);
    const auto shown = statusesUntil(*this, [&] { return runsStarted() == 2; });
    EXPECT_TRUE(inOrder(shown, {"Restarting after 2 seconds", "Restarting after 1 second"}))
        << ::testing::PrintToString(shown);
    ASSERT_TRUE(waitForNextSimulatorWait());
    EXPECT_EQ(logCount("Processing scanned liveries skipped; already done in previous start-up"), 1);
    EXPECT_EQ(firstStart, std::vector<bool>(3, false)) << "the one sample livery is of none of these";
    EXPECT_EQ(categoryBoxes(), firstStart);
    EXPECT_TRUE(
        inOrder(readLog(), {"Exiting: READER ERROR", "Restarting after 2 seconds", std::string(48, '-'),
                            "Restart countdown finished", "Waiting for Prepar3Dv5 ..."}));
    EXPECT_EQ(storedParameter("SCAN_LIVERIES"), "false");
    headless().pump();
    for (const auto& [field, value] :
         {std::pair{&DESTINATION, "EDDF"}, std::pair{&BLOCK_CALLSIGN, "DLH12"}}) {
        EXPECT_EQ(field->get(), value) << field->key;
        EXPECT_EQ(storedParameter(field->key), value) << field->key;
        EXPECT_EQ(headless().control(field->controlId).value_or(HeadlessControl{}).text, value) << field->key;
    }
    {
        const std::lock_guard lock(parkAirportListMutex);
        EXPECT_TRUE(!parkAirportList.empty() && parkAirportList.front().code == "EDDF");
    }

    // NEW SETTINGS with no delay: no countdown, the boxes stay. The destination the user emptied is not saved
    // while the program runs, and the restart does not bring it back from parameters.xml.
    SCAN_LIVERIES.set(true);
    SCAN_AIRPORTS.set(true);
    controlSink().enable(DESTINATION, true);
    headless().pump();
    ASSERT_TRUE(headless().typeText(DESTINATION.controlId, "\b\b\b\b"));
    ASSERT_TRUE(headless().pressEnter(DESTINATION.controlId));
    gf_setExitReason(ExitReason::NEW_SETTINGS, 0);
    ASSERT_TRUE(waitForNextSimulatorWait());
    headless().pump();
    EXPECT_TRUE(DESTINATION.get().empty() &&
                headless().control(DESTINATION.controlId).value_or(HeadlessControl{}).text.empty());
    EXPECT_EQ(storedParameter("DESTINATION"), "EDDF");
    EXPECT_EQ(logCount("New destination: EDDF"), 2) << "set by the user, applied again by the first restart";
    {
        const std::lock_guard lock(parkAirportListMutex);
        EXPECT_TRUE(!parkAirportList.empty() && parkAirportList.front().code == "EDDM");
    }
    EXPECT_EQ(logCount("Restart countdown finished"), 1);
    const std::lock_guard lock(seenMutex);
    const std::string airportScanBanner =
        "++++++++++++++++++++++++ airports scan manual starts +++++++++++++++++++++++++++++";
    EXPECT_EQ(logCount(airportScanBanner), 3);
    EXPECT_TRUE(inOrder(readLog(), {airportScanBanner, "Exiting: READER ERROR", airportScanBanner,
                                    "Exiting: NEW SETTINGS", airportScanBanner}))
        << "the run after the reader error scans the airports as the user asked";
    const std::string liveryScanBanner =
        "++++++++++++++++++++++++ liveries scan manual starts ++++++++++++++++++++++++++++++++";
    EXPECT_EQ(logCount(liveryScanBanner), 2);
    EXPECT_TRUE(inOrder(readLog(), {"Exiting: READER ERROR", "Exiting: NEW SETTINGS", liveryScanBanner}))
        << "no livery scan in the run after the reader error";
    EXPECT_TRUE(threadsJoined);
}

// A restart recorded while the start-up still runs restarts as one recorded in the main loop: the countdown
// runs out and the new run gets as far as the first one would have. A close during its countdown still ends
// the program.
enum class StartUpMoment {
    HeldDownload,
    HeldDownloadScanTicked,
    LiveryScan,
    AirportScan,
    StartClosedInCountdown
};

class StartUpRestartThreads : public RestartThreads, public ::testing::WithParamInterface<StartUpMoment> {
protected:
    void TearDown() override {
        RestartThreads::TearDown();
        setScanFileReaderForTests(nullptr);
        setAirportScanSinkForTests({});
        setDownloadConfigForTests(std::nullopt);
    }
    void recordOnce() {
        if (!recorded_.exchange(true)) {
            gf_setExitReason(ExitReason::NEW_SETTINGS, 1);
        }
    }

    test::LoopbackHttpServer site_;
    std::atomic<bool> recorded_{false};
    std::jthread recorder_;
};

TEST_P(StartUpRestartThreads, ARestartRecordedDuringTheStartUpRestarts) {
    const std::string scanBanner =
        "++++++++++++++++++++++++ liveries scan manual starts ++++++++++++++++++++++++++++++++";
    switch (GetParam()) {
    case StartUpMoment::HeldDownload:
        SCAN_LIVERIES.set(false); // a stored scan
        scannedLiveries = {LiveryData{"ZZZ", "B738", "B738 Generic ZZZ", "", 1, false}};
        lf_writeLiveriesScanned();
        [[fallthrough]];
    case StartUpMoment::HeldDownloadScanTicked:
        site_.stall("versions.json", true, 60000);
        setDownloadConfigForTests(DownloadConfig{site_.baseUrl(), {}, 2, 30});
        recorder_ = std::jthread([this] {
            if (eventually([&] { return !site_.paths().empty(); })) {
                recordOnce();
            }
        });
        break;
    case StartUpMoment::LiveryScan:
        // The first file read finds nothing, as a scan cut short before its first livery.
        SCAN_LIVERIES.set(true);
        setScanFileReaderForTests([this](int number, const std::filesystem::path& file, bool) {
            if (!recorded_.load()) {
                recordOnce();
                return std::list<ScanCandidate>{};
            }
            return lf_searchLiveriesinFile(number, file);
        });
        break;
    case StartUpMoment::AirportScan:
        // The restart comes while the scan makes the file of its one airport.
        gen::writeAirportBgl(appDataRoot().parent_path() / "scenery" / "EHAM.bgl",
                             {gen::sampleAirport("EHAM", 2, 0)});
        setAirportScanSinkForTests(
            BglAirportSink{[](ApfData&, std::uint32_t&, const std::filesystem::path&) { return false; },
                           [this](ApfData& airport, const std::uint32_t& helipads) {
                               lf_generateAirportFile(airport, helipads);
                               recordOnce();
                           }});
        break;
    case StartUpMoment::StartClosedInCountdown:
        setStartUpHookForTests([this] { recordOnce(); });
        startRun();
        ASSERT_TRUE(eventually([&] { return statusText() == "Restarting after 1 second"; }));
        close();
        EXPECT_EQ(waitForEnd(), 0);
        EXPECT_EQ(runsStarted(), 1U);
        return;
    }
    startRun();
    ASSERT_TRUE(eventually([&] { return runsStarted() == 2; }));
    ASSERT_TRUE(waitForNextSimulatorWait()) << "the new run got as far as the first would have";
    EXPECT_TRUE(inOrder(readLog(), {"Exiting: NEW SETTINGS", "Restarting after 1 seconds",
                                    "Restart countdown finished", "Waiting for Prepar3Dv5 ..."}));
    if (GetParam() == StartUpMoment::LiveryScan) {
        return;
    }
    // The stopped run tells of no scan, tables, package or failed download that it did not make; the next run
    // scans. The airport scan comes after the tables and a download that failed on its own.
    const bool scansAirports = GetParam() == StartUpMoment::AirportScan;
    std::vector<std::string> untrue{"No liveries", "Processing scanned liveries failed",
                                    "Airports scan successful", "! Mail "};
    if (!scansAirports) {
        untrue.insert(untrue.end(), {"Category ", "==> Downloading"});
        EXPECT_EQ(logCount(scanBanner), GetParam() == StartUpMoment::HeldDownloadScanTicked ? 2 : 0);
    }
    const std::vector<std::string> log = readLog();
    const auto stop = std::find(log.begin(), log.end(), "Exiting: NEW SETTINGS");
    for (const std::string& line : untrue) {
        EXPECT_TRUE(std::none_of(log.begin(), stop, [&](const std::string& l) {
            return l.starts_with(line);
        })) << line;
    }
    EXPECT_EQ(logCount("airports scan interrupted, it runs again at the next start"), scansAirports ? 1 : 0);
    EXPECT_EQ(logCount("Airports scan successful"), scansAirports ? 1 : 0) << "the next run scans again";
}

const char* momentText(StartUpMoment moment) {
    const std::array<const char*, 5> names{"HeldDownload", "HeldDownloadScanTicked", "LiveryScan",
                                           "AirportScan", "StartClosedInCountdown"};
    return names.at(static_cast<std::size_t>(moment));
}

void PrintTo(StartUpMoment moment, std::ostream* out) { *out << momentText(moment); }

std::string momentName(const ::testing::TestParamInfo<StartUpMoment>& info) { return momentText(info.param); }

INSTANTIATE_TEST_SUITE_P(Moments, StartUpRestartThreads,
                         ::testing::Values(StartUpMoment::HeldDownload, StartUpMoment::HeldDownloadScanTicked,
                                           StartUpMoment::LiveryScan, StartUpMoment::AirportScan,
                                           StartUpMoment::StartClosedInCountdown),
                         momentName);

TEST_F(RestartThreads, ANewFlightEndsTheProgramAfterTenSeconds) {
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    gf_setExitReason(ExitReason::NEW_FLIGHT, 30);
    const std::string text = "New flight detected, Corvane_P3D will close, please restart manually ...";
    EXPECT_TRUE(eventually([&] { return statusText() == text; }));
    EXPECT_EQ(waitForEnd(10s + test::kLivenessBound * 5), 0);
    EXPECT_EQ(logCount(text), 0) << "not logged while the run stops";
    EXPECT_EQ(runsStarted(), 1U);
    EXPECT_FALSE(restartPending.load());
}

TEST_F(RestartThreads, NewSettingsAfterError151RestartWithoutAClose) {
    writeRegistry(false, "", false, "");
    test::ParametersFileBuilder().storedDefaults("11.10.5").write(
        parametersXml()); // no livery or scenery folder
    startRun();
    ASSERT_TRUE(eventually([&] { return logCount("Exiting: SYSTEM ERROR") == 1; }));
    gf_setExitReason(ExitReason::NEW_SETTINGS, 0);
    ASSERT_TRUE(eventually([&] { return logCount("Exiting: SYSTEM ERROR") == 2; }));
    EXPECT_EQ(runsStarted(), 2U);
    for (const std::string& line : readLog()) {
        EXPECT_EQ(line.find("User closed"), std::string::npos) << line;
    }
}

// The scan the user asked for waits for the next start of the program; the end forgets the blocked callsign.
TEST_F(RestartThreads, ACloseDuringTheCountdownEndsTheProgram) {
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    realTrafficAwaited.store(false);
    ASSERT_TRUE(headless().click(SCAN_LIVERIES.controlId));
    BLOCK_CALLSIGN.set("DLH12");
    gf_setExitReason(ExitReason::READER_ERROR, 2);
    ASSERT_TRUE(eventually([&] { return statusText() == "Restarting after 2 seconds"; }));
    close();
    EXPECT_EQ(waitForEnd(), 0);
    EXPECT_EQ(runsStarted(), 1U);
    EXPECT_EQ(headless().dispatchedCount(saveAndQuitMessage), 1U);
    EXPECT_FALSE(restartPending.load());
    EXPECT_EQ(logCount("Restart countdown finished"), 0) << "the countdown was cut short";
    EXPECT_EQ(storedParameter("SCAN_LIVERIES"), "true");
    EXPECT_EQ(storedParameter("BLOCK_CALLSIGN"), "");
}

TEST_F(RestartThreads, AFailingClosingDownStillEndsTheProgram) {
    setClosingDownHookForTests([] { throw std::runtime_error("boom"); });
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    close();
    EXPECT_EQ(waitForEnd(), 0);
    setClosingDownHookForTests(nullptr);
    EXPECT_TRUE(logHas("lf_closingDown exception boom"));
    EXPECT_EQ(headless().dispatchedCount(saveAndQuitMessage), 1U);
}

} // namespace
} // namespace zeph
