// The client thread's life against the stand-in (suites ending in Threads), and the link's shared state.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <gtest/gtest.h>

#include "app/main_loop.h"
#include "core/errors.h"
#include "core/owned_mutex.h"
#include "core/run_flags.h"
#include "core/sleep_ms.h"
#include "settings/parameter_table.h"
#include "sim/sim_link.h"
#include "sim/simconnect/client.h"
#include "sim/simconnect/wire.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/sim_fixture.h"

namespace zeph {
namespace {

using test::kLivenessBound;
using test::SimFixture;

std::string errorText() {
    const std::lock_guard lock(mainWindowState.statusMutex);
    return mainWindowState.errorText;
}

bool isClockText(const std::string& text) {
    if (text.size() != 8 || text[2] != ':' || text[5] != ':') {
        return false;
    }
    for (std::size_t k : {0U, 1U, 3U, 4U, 6U, 7U}) {
        if (text[k] < '0' || text[k] > '9') {
            return false;
        }
    }
    return true;
}

// The lines that say the simulator is gone, each with a valid clock text before it.
std::size_t simulatorLostLines(const std::vector<std::string>& lines) {
    const std::string tail = " Flight Simulator no longer connected, Corvane_P3D will stop ...";
    std::size_t count = 0;
    for (const std::string& line : lines) {
        if (line.size() == 8 + tail.size() && line.ends_with(tail) && isClockText(line.substr(0, 8))) {
            ++count;
        }
    }
    return count;
}

// For state that only the program's threads change, which the stand-in's waitFor does not see.
bool eventually(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return done();
}

bool allDisconnected(standin::SimStandin& standin) {
    return standin.waitFor(
        [&] {
            for (const auto& connection : standin.connections()) {
                if (connection.open) {
                    return false;
                }
            }
            return true;
        },
        kLivenessBound);
}

class SimLinkState : public SimFixture {};

TEST_F(SimLinkState, MajorVersionFromTheInstallPathOrTheParameter) {
    struct Case {
        std::string path;
        int p3dVersion;
        std::string expected; // empty: error 77
    };
    const Case cases[] = {
        {"C:\\P3D v5", 6, "5"}, {"C:\\Prepar3D V5", 6, "5"}, {"D:\\v6 and v5", 6, "5"},
        {"D:\\P3D V6", 5, "6"}, {"E:\\Sim", 6, "6"},         {"E:\\Sim", 5, "5"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path + " " + std::to_string(c.p3dVersion));
        SIM_INSTALL_PATH.setValue(c.path);
        P3D_VERSION.setValue(c.p3dVersion);
        EXPECT_EQ(lf_simMajorVersion(), c.expected);
    }
}

TEST_F(SimLinkState, RequestErrorEndsTheRunOnceAsSimConnectError) {
    lf_simRequestError();
    EXPECT_EQ(readLog(), std::vector<std::string>{"SimConnect request error"});
    {
        const std::lock_guard lock(mainWindowState.statusMutex);
        EXPECT_EQ(mainWindowState.statusText, "SimConnect request error");
    }
    EXPECT_TRUE(simConnectError.load());
    EXPECT_TRUE(runStopping.load());
    EXPECT_EQ(exitReason.load(), ExitReason::SIMCONNECT_ERROR);
    EXPECT_EQ(currentRestartDelay(), 9);

    lf_simRequestError();
    lf_simulatorLost();
    EXPECT_EQ(exitReason.load(), ExitReason::SIMCONNECT_ERROR);
    EXPECT_EQ(currentRestartDelay(), 9);
    EXPECT_EQ(simulatorLostLines(readLog()), 0U);

    gf_initSimLink(5);
    EXPECT_FALSE(simConnectError.load());
}

TEST(SleepDeadline, IsTheCountAfterTheCallOrTheClocksEnd) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point now = Clock::now();
    const Clock::time_point nearEnd = Clock::time_point::max() - std::chrono::milliseconds(3);
    struct Case {
        const char* name;
        Clock::time_point from;
        std::int64_t milliseconds;
        Clock::time_point expected;
    };
    const Case cases[] = {
        {"5 ms", now, 5, now + std::chrono::milliseconds(5)},
        {"an hour", now, 3600000, now + std::chrono::hours(1)},
        {"past the end", nearEnd, 4, Clock::time_point::max()},
        {"the largest count", now, INT64_MAX, Clock::time_point::max()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sleepDeadline(c.from, c.milliseconds), c.expected);
    }
    const auto before = Clock::now();
    gf_sleepMs(0);
    gf_sleepMs(-5);
    gf_sleepMs(2);
    EXPECT_GE(Clock::now() - before, std::chrono::milliseconds(2));
    const auto stopAt = Clock::now() + std::chrono::milliseconds(2);
    EXPECT_FALSE(sleepUnless(std::chrono::milliseconds(2), [&] { return Clock::now() >= stopAt; }))
        << "a stop in the last slice is seen";
}

TEST(OwnedMutexThreads, KnowsItsHolder) {
    OwnedMutex mutex;
    EXPECT_FALSE(mutex.heldByThisThread());
    {
        const std::lock_guard lock(mutex);
        EXPECT_TRUE(mutex.heldByThisThread());
        bool seenByOther = true;
        bool lockedByOther = true;
        std::thread other([&] {
            seenByOther = mutex.heldByThisThread();
            lockedByOther = mutex.try_lock();
        });
        other.join();
        EXPECT_FALSE(seenByOther);
        EXPECT_FALSE(lockedByOther);
    }
    EXPECT_FALSE(mutex.heldByThisThread());
    std::unique_lock lock(mutex, std::try_to_lock);
    EXPECT_TRUE(lock.owns_lock());
    EXPECT_TRUE(mutex.heldByThisThread());
}

class SimClientThreads : public SimFixture {
protected:
    void startConnected(standin::StandinOptions options = standinOptions(), bool tcp = false) {
        startStandin(options, tcp);
        startClientThread();
        ASSERT_TRUE(standin().waitPackets(0x09, 1, kLivenessBound)) << "no set-up";
    }
};

TEST_F(SimClientThreads, WithoutASimulatorItWaitsUntilTheUserCloses) {
    const std::uint64_t clientsBefore = lf_clientsCreated();
    startClientThread();
    // Two whole attempts (four clients each) have been made and given up.
    ASSERT_TRUE(waitForLog("Waiting for Prepar3Dv5 ..."));
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    while (lf_clientsCreated() < clientsBefore + 8 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(lf_clientsCreated(), clientsBefore + 8);
    EXPECT_EQ(logCount("Waiting for Prepar3Dv5 ..."), 1U);
    {
        const std::lock_guard lock(mainWindowState.statusMutex);
        EXPECT_EQ(mainWindowState.statusText, "Waiting for Prepar3Dv5 ...");
    }
    gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
    EXPECT_TRUE(waitForClientThreadEnd());
    EXPECT_EQ(logCount("SimConnect closed ok"), 0U);
    EXPECT_EQ(logCount("==> Closing SimConnect failed?!"), 0U);
}

TEST_F(SimClientThreads, ALostSimulatorEndsTheRunAsSimWasClosed) {
    struct Case {
        const char* name;
        bool userClosedFirst;
        std::function<void(standin::SimStandin&)> lose;
    };
    const Case cases[] = {
        {"quit", false, [](standin::SimStandin& s) { s.sendQuit(); }},
        {"dropped", false, [](standin::SimStandin& s) { s.dropConnection(); }},
        {"dropped after the user closed", true, [](standin::SimStandin& s) { s.dropConnection(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        gf_resetSimLink();
        const std::size_t linesBefore = readLog().size();
        startConnected();
        ASSERT_TRUE(eventually([] { return simConnected.load(); }));
        if (c.userClosedFirst) {
            gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
        }
        c.lose(standin());
        ASSERT_TRUE(waitForClientThreadEnd());
        EXPECT_FALSE(clientThread().get_stop_source().stop_requested());
        const auto lines = readLog();
        const std::vector<std::string> added(lines.begin() + static_cast<std::ptrdiff_t>(linesBefore),
                                             lines.end());
        EXPECT_EQ(simulatorLostLines(added), c.userClosedFirst ? 0U : 1U);
        EXPECT_EQ(std::count(added.begin(), added.end(), "SimConnect closed ok"), 1);
        EXPECT_EQ(exitReason.load(),
                  c.userClosedFirst ? ExitReason::USER_CLOSED_SIM : ExitReason::SIM_WAS_CLOSED);
        if (!c.userClosedFirst) {
            EXPECT_EQ(currentRestartDelay(), 0);
        }
        EXPECT_FALSE(simConnected.load());
        EXPECT_FALSE(mainWindowState.simConnected.load());
    }
}

TEST_F(SimClientThreads, AUserErrorClosesTheConnectionAndTheRunGoesOn) {
    struct Case {
        const char* name;
        std::string appName;
        std::string installPath;
        bool injectMismatch;
        std::string error;
        bool installPathEnabled;
    };
    const Case cases[] = {
        {"version mismatch", "Lockheed Martin\xAE Prepar3D\xAE v5", "", true,
         "95: SimConnect Version Mismatch, dwIndex: 3", false},
        {"wrong version", "Lockheed Martin Prepar3D v6", "C:\\Program Files\\Lockheed Martin\\Prepar3D v5",
         false, "78: wrong P3D version 'Lockheed Martin Prepar3D v6 (6.0.30.12345)' connects ... ?)", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        gf_resetSimLink();
        SIM_INSTALL_PATH.setValue(c.installPath);
        standin::StandinOptions options = standinOptions();
        options.appName = c.appName;
        options.appVersion =
            c.injectMismatch ? standin::AppVersion{5, 3, 12, 28584} : standin::AppVersion{6, 0, 30, 12345};
        startConnected(options);
        if (c.injectMismatch) {
            ASSERT_TRUE(eventually([] { return simConnected.load(); }));
            standin().injectException(5, 0, 3);
        }
        ASSERT_TRUE(waitForClientThreadEnd());
        EXPECT_EQ(errorText(), c.error);
        EXPECT_EQ(exitReason.load(), ExitReason::NOT_YET_SET);
        EXPECT_FALSE(runStopping.load());
        EXPECT_FALSE(simConnected.load());
        {
            const std::lock_guard lock(simConnectMutex);
            EXPECT_EQ(simClientHandle, nullptr);
            EXPECT_EQ(gf_simCalls().requestDataOnSimObjectType(101, 404, 20000, 2), E_FAIL);
        }
        EXPECT_TRUE(allDisconnected(standin()));
        headless().pump();
        EXPECT_EQ(headless().control(ALL_INSTALL_PATH.controlId)->enabled, c.installPathEnabled);
    }
}

TEST_F(SimClientThreads, ConnectsThroughSimConnectCfgOverTcp) {
    standin::StandinOptions options = standinOptions();
    options.unixPath.reset();
    startConnected(options, true);
    EXPECT_TRUE(waitForLog("Lockheed Martin Prepar3D v5 (5.3.12.28584) connected"));
    EXPECT_EQ(standin().connections().at(0).transport, "tcp4");
    stopClientThread();
    EXPECT_EQ(logCount("SimConnect closed ok"), 1U);
    EXPECT_TRUE(allDisconnected(standin()));
}

TEST_F(SimClientThreads, TheMainLoopStartsTheLinkAndClosingDownEndsIt) {
    standin::StandinOptions options = standinOptions();
    options.simRunningOnSubscribe = false;
    startStandin(options);
    std::jthread loop([] { lf_mainLoop(); });
    ASSERT_TRUE(standin().waitPackets(0x09, 1, kLivenessBound)) << "no set-up";
    const auto packets = standin().packets().packets;
    ASSERT_EQ(packets.size(), 74U);
    const auto* open = std::get_if<standin::OpenPacket>(&packets[0].fields);
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->appName, "Corvane_P3D");

    gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
    loop.join();
    stopSimClientThread();
    EXPECT_EQ(logCount("SimConnect closed ok"), 1U);
    EXPECT_TRUE(allDisconnected(standin()));

    gf_resetSimLink();
    EXPECT_EQ(userAcObjectId.load(), 2U);
    EXPECT_TRUE(pendingCreations.empty());
    EXPECT_TRUE(newObjectIds.empty());
    const std::lock_guard lock(simConnectMutex);
    EXPECT_EQ(simClientHandle, nullptr);
    EXPECT_TRUE(creationWork.empty() && clientEventWork.empty() && removalWork.empty());
    EXPECT_TRUE(positionBuffers.halves()[0].empty() && positionBuffers.halves()[1].empty());
}

} // namespace
} // namespace zeph
