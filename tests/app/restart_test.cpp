#include <algorithm>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/closing_down.h"
#include "app/entry_point.h"
#include "app/main_loop.h"
#include "app/startup_thread.h"
#include "run_threads.h"
#include "settings/parameter_table.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/parameters_files.h"

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

TEST_F(RestartThreads, AReaderErrorRestartsAfterItsCountdownWithoutTheScans) {
    // A new run finds the threads of the run before it joined.
    std::mutex seenMutex;
    bool threadsJoined = true;
    setStartUpHookForTests([&] {
        const std::lock_guard lock(seenMutex);
        threadsJoined = threadsJoined && !simClientThread.joinable() && !qnhReaderThread.joinable() &&
                        !trafficReaderThread.joinable();
    });
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    SCAN_LIVERIES.set(true);
    SCAN_AIRPORTS.set(true);
    gf_setExitReason(ExitReason::READER_ERROR, 2);
    const auto shown = statusesUntil(*this, [&] { return runsStarted() == 2; });
    EXPECT_TRUE(inOrder(shown, {"Restarting after 2 seconds", "Restarting after 1 second"}))
        << ::testing::PrintToString(shown);
    ASSERT_TRUE(waitForNextSimulatorWait());
    EXPECT_TRUE(
        inOrder(readLog(), {"Exiting: READER ERROR", "Restarting after 2 seconds", std::string(48, '-'),
                            "Restart countdown finished", "Waiting for Prepar3Dv5 ..."}));

    // NEW SETTINGS with no delay: no countdown, the boxes stay.
    SCAN_LIVERIES.set(true);
    SCAN_AIRPORTS.set(true);
    gf_setExitReason(ExitReason::NEW_SETTINGS, 0);
    ASSERT_TRUE(waitForNextSimulatorWait());
    EXPECT_EQ(logCount("Restart countdown finished"), 1);
    const std::lock_guard lock(seenMutex);
    const std::string airportScanBanner =
        "++++++++++++++++++++++++ airports scan manual starts +++++++++++++++++++++++++++++";
    EXPECT_EQ(logCount(airportScanBanner), 2);
    EXPECT_TRUE(inOrder(
        readLog(), {airportScanBanner, "Exiting: READER ERROR", "Exiting: NEW SETTINGS", airportScanBanner}))
        << "no airport scan in the run after the reader error";
    EXPECT_EQ(
        logCount("++++++++++++++++++++++++ liveries scan manual starts ++++++++++++++++++++++++++++++++"), 2)
        << "no livery scan in the run after the reader error";
    EXPECT_TRUE(threadsJoined);
}

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

TEST_F(RestartThreads, ACloseDuringTheCountdownEndsTheProgram) {
    startRun();
    ASSERT_TRUE(waitForNextSimulatorWait());
    gf_setExitReason(ExitReason::READER_ERROR, 2);
    ASSERT_TRUE(eventually([&] { return statusText() == "Restarting after 2 seconds"; }));
    close();
    EXPECT_EQ(waitForEnd(), 0);
    EXPECT_EQ(runsStarted(), 1U);
    EXPECT_EQ(headless().dispatchedCount(saveAndQuitMessage), 1U);
    EXPECT_FALSE(restartPending.load());
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
