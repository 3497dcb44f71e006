#include "app/closing_down.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/livery_matcher.h"
#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "app/entry_point.h"
#include "app/main_loop.h"
#include "app/startup_thread.h"
#include "core/run_flags.h"
#include "platform/sockets.h"
#include "platform/tcp_connect.h"
#include "realtraffic/qnh.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "run_fixture.h"
#include "settings/parameter_table.h"
#include "sim/flight_plans.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "support/free_port.h"
#include "support/livery_tables.h"
#include "support/slow_factor.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using test::RunFixture;

// What the run's threads log as they start.
constexpr std::array<std::string_view, 3> kStartLines{"Waiting for Prepar3Dv5 ...", "QNH Reader connected",
                                                      "Traffic Reader connected"};

// The closing down called on the test thread, with the run's threads running as the main loop left them.
class ClosingDownThreads : public RunFixture {
protected:
    void startRunThreads() {
        std::map<std::string_view, std::size_t> before;
        for (const std::string_view started : kStartLines) {
            before[started] = linesEnding(started);
        }
        simClientThread = std::jthread(lf_simClientThread);
        // Free ports: other tests may hold RealTraffic's own.
        qnhReaderThread = std::jthread(lf_qnhReaderThread, std::uint16_t{0});
        trafficReaderThread = std::jthread(lf_trafficReaderThread, std::uint16_t{0});
        // The threads log their start on their own; the closing down's lines must come after those.
        for (const std::string_view started : kStartLines) {
            EXPECT_TRUE(waitForMoreLinesEnding(started, before[started])) << started;
        }
    }

    std::size_t linesEnding(std::string_view end) const {
        const auto lines = readLog();
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(), [&](const std::string& line) { return line.ends_with(end); }));
    }

    bool waitForMoreLinesEnding(std::string_view end, std::size_t before) const {
        const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound;
        while (linesEnding(end) <= before) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    fs::path flightPlanWithOneFile() {
        gf_createFlightPlanFolder();
        test::writeFileBytes(flightPlanFolder / "4711.pln", "plan");
        return flightPlanFolder;
    }

    std::vector<std::string> newLogLines(std::size_t from) const {
        const auto lines = readLog();
        return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end()};
    }

    // The closing down's last message, seen by a message loop that it ends.
    std::size_t quitsAfter(const std::function<void()>& closingDown) {
        loop().start();
        closingDown();
        EXPECT_EQ(loop().waitForEnd(test::kLivenessBound * 5), 0) << "the loop ended with the quit message";
        return headless().dispatchedCount(saveAndQuitMessage);
    }
};

// Everything a client reads until the program closes the connection; nothing when it stays open. A client
// that never connected reads "".
std::optional<std::string> readToEnd(TcpStream& client) {
    std::string received;
    std::array<char, 64> buffer{};
    while (client.isOpen()) {
        const TcpStream::Received got = client.receiveFor(buffer, test::kLivenessBound);
        if (got.status != TcpStream::Status::Data) {
            return got.status == TcpStream::Status::Closed ? std::optional(received) : std::nullopt;
        }
        received.append(buffer.data(), got.count);
    }
    return received;
}

TEST_F(ClosingDownThreads, TakesTheRunApartInItsOrder) {
    struct Case {
        const char* name;
        bool clientConnected;
        const char* parkAirport;
        std::string clientGets; // everything RealTraffic's client reads until the end of its connection
    };
    const Case cases[] = {
        {"RealTraffic connected, a park airport", true, "EDDF", "exit\r\n"},
        {"nothing connected, no park airport", false, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        gf_resetReaders();
        const std::uint16_t port = test::freeLoopbackPort();
        gf_startRTServer(std::to_string(port));
        TcpStream client;
        if (c.clientConnected) {
            SocketResult connected =
                connectTcp(TcpFamily::IPv4, "127.0.0.1", std::to_string(port), test::kLivenessBound);
            ASSERT_TRUE(connected.ok());
            client = TcpStream(std::move(connected.fd));
            ASSERT_TRUE(waitForClient());
        }
        startRunThreads();
        gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
        setTrafficAccepting(true);
        setParkAirportRecord(ParkAirportRecord{c.parkAirport});
        mainWindowState.setParkAirportCode("shown");
        rememberedLiveries[12345] = "remembered";
        const fs::path plans = flightPlanWithOneFile();
        DESTINATION.set("EDDF");
        BLOCK_CALLSIGN.set("ABC123");
        ghostCallsigns = {"DLH1_"};
        matchStepCounts = {0, 0, 1, 0, 0, 0, 0};
        noMatchList = {"KLM B738 PH-ABC"};
        bool stoppedAndClosed = false;
        setClosingDownHookForTests([&] {
            stoppedAndClosed = !isTrafficAccepting() && !simClientThread.joinable() &&
                               !qnhReaderThread.joinable() && !trafficReaderThread.joinable() &&
                               trafficReader.stopFlag.load() && qnhReader.stopFlag.load() &&
                               !rtClientConnected.load() && rtServerPort() == 0;
        });
        const std::size_t logBefore = readLog().size();
        const std::size_t quitsBefore = headless().dispatchedCount(saveAndQuitMessage);

        EXPECT_EQ(quitsAfter(lf_closingDown), quitsBefore + 1);

        EXPECT_EQ(mainWindowState.displayTexts().parkAirportCode.empty(), *c.parkAirport != '\0')
            << "leaving the park airport empties what the window shows of it";
        EXPECT_TRUE(stoppedAndClosed)
            << "intake off, client joined, readers stopped and joined, sockets closed";
        EXPECT_EQ(readToEnd(client), c.clientGets) << "then the program closes the connection";
        const auto lines = newLogLines(logBefore);
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.front(), "Exiting: USER CLOSED SIM");
        const auto banner = std::find(lines.begin(), lines.end(), test::matchingSummaryBanner());
        const auto noMatch = std::find(lines.begin(), lines.end(), "No match found for:");
        EXPECT_TRUE(banner < noMatch && noMatch < lines.end()) << "the summary, then the no-match list";
        EXPECT_TRUE(rememberedLiveries.empty());
        EXPECT_FALSE(fs::exists(plans));
        EXPECT_EQ(storedParameter("DESTINATION"), "");
        EXPECT_EQ(storedParameter("BLOCK_CALLSIGN"), "");
        EXPECT_TRUE(ghostCallsigns.empty());
        EXPECT_FALSE(restartPending.load());
        setClosingDownHookForTests(nullptr);
        matchStepCounts.fill(0);
    }
}

TEST_F(ClosingDownThreads, AFlightPlanFolderThatCannotBeRemovedIsOnlyLogged) {
    test::writeFileBytes(temp() / "plain", "x");
    flightPlanFolder = temp() / "plain" / "orig_dest";
    gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
    noMatchList = {"KLM B738 PH-ABC"};
    EXPECT_EQ(quitsAfter(lf_closingDown), 1U);
    EXPECT_TRUE(logHas("gf_removeFlightPlanFolder: Not a directory"));
    EXPECT_TRUE(logHas("KLM B738 PH-ABC")) << "the closing down goes on to the no-match list";
}

// Every run value set away from its start, then the reset; what holds for the process stays.
TEST_F(ClosingDownThreads, TheResetPutsEveryRunValueBack) {
    struct Field {
        const char* name;
        std::function<void()> change;
        std::function<bool()> isAtStart;
    };
    MainWindowState& state = mainWindowState;
    const std::vector<Field> fields = {
        // the readers
        {"last report time", [] { trafficReader.setLastReportTime(99.0); },
         [] { return trafficReader.lastReportTime() == 0.0; }},
        {"seen callsigns",
         [] {
             trafficReader.startCallsignCollection();
             trafficReader.collectCallsign("DLH123");
         },
         [] { return trafficReader.seenCallsigns().empty(); }},
        {"reader stop flags",
         [] {
             trafficReader.stopFlag.store(true);
             qnhReader.stopFlag.store(true);
         },
         [] { return !trafficReader.stopFlag.load() && !qnhReader.stopFlag.load(); }},
        {"readers live",
         [] {
             trafficReaderLive.store(false);
             qnhReaderLive.store(false);
         },
         [] { return trafficReaderLive.load() && qnhReaderLive.load(); }},
        {"QNH",
         [] {
             currentQnh.store(990);
             qnhReader.lastQnh.store(990);
         },
         [] { return currentQnh.load() == 1013 && qnhReader.lastQnh.load() == 1013; }},
        {"reader counters",
         [] {
             for (UdpReader* reader :
                  {static_cast<UdpReader*>(&trafficReader), static_cast<UdpReader*>(&qnhReader)}) {
                 reader->datagramCounter.store(7);
                 reader->counterSnapshot.store(6);
             }
         },
         [] {
             return trafficReader.datagramCounter.load() == 0 && trafficReader.counterSnapshot.load() == 0 &&
                    qnhReader.datagramCounter.load() == 0 && qnhReader.counterSnapshot.load() == 0;
         }},
        // the simulator link
        {"sim flags",
         [] {
             simConnected.store(true);
             simConnectError.store(true);
         },
         [] { return !simConnected.load() && !simConnectError.load(); }},
        {"work lists",
         [] {
             creationWork.push_back({});
             removalWork.push_back(7);
             clientEventWork.push_back({});
             pendingCreations.push_back({});
             newObjectIds.push_back(8);
             positionBuffers.writeHalf().push_back({});
             positionBuffers.swap();
             positionBuffers.writeHalf().push_back({});
         },
         [] {
             return creationWork.empty() && removalWork.empty() && clientEventWork.empty() &&
                    pendingCreations.empty() && newObjectIds.empty() && positionBuffers.halves()[0].empty() &&
                    positionBuffers.halves()[1].empty() &&
                    &positionBuffers.writeHalf() == &positionBuffers.halves()[0];
         }},
        {"user aircraft",
         [] {
             simUserData.latitude = 50.0;
             const std::lock_guard lock(userDataMutex);
             userAcPosition.latitude = 50.0;
             userOnGround = 1;
             userOnGroundKnown = 1;
             userAcTitle = "Title";
             userHalfWingSpan = 0.01;
             userAcObjectId.store(77);
         },
         [] {
             const std::lock_guard lock(userDataMutex);
             return simUserData.latitude == 0.0 && userAcPosition.latitude == 0.0 && userOnGround == 0 &&
                    userOnGroundKnown == 0 && userAcTitle.empty() && !userHalfWingSpan &&
                    userAcObjectId.load() == 2;
         }},
        // the traffic tables
        {"traffic tables",
         [] {
             liveAcTable.push_back({});
             staticAcTable.push_back({});
             coupleCheckList.push_back(1);
             ghostCallsigns.push_back("X_");
             standList.push_back({});
             noMatchList.insert("DLH A320 D-AIMA");
             rememberedLiveries[1] = "x";
             setParkAirportRecord({"EDDF"});
         },
         [] {
             return liveAcTable.empty() && staticAcTable.empty() && coupleCheckList.empty() &&
                    ghostCallsigns.empty() && standList.empty() && noMatchList.empty() &&
                    rememberedLiveries.empty() && parkAirportRecord.code.empty();
         }},
        // the display
        {"display texts",
         [&] {
             state.setUserAcTitle("t");
             state.setSimText("s");
             state.setParkAirportName("n");
             const std::lock_guard lock(state.statusMutex);
             state.statusText = "a";
             state.errorText = "b";
             state.statusClock = 5;
             state.statusSetAt = 3;
         },
         [&] {
             const DisplayTexts texts = state.displayTexts();
             const std::lock_guard lock(state.statusMutex);
             return texts.userAcTitle.empty() && texts.simText.empty() && texts.parkAirportName.empty() &&
                    state.statusText.empty() && state.errorText.empty() && state.statusClock == 0 &&
                    state.statusSetAt == 0;
         }},
        {"display marks",
         [&] {
             state.realTrafficNotStarted.store(false);
             state.simConnected.store(true);
             state.realTrafficConnected.store(true);
             state.userModelKnown.store(false);
             state.qnh.store(1000);
             state.liveCount.store(4);
             state.staticAverageFit.store(2.0F);
             state.trafficReaderState.store(1);
         },
         [&] {
             return state.realTrafficNotStarted.load() && !state.simConnected.load() &&
                    !state.realTrafficConnected.load() && state.userModelKnown.load() &&
                    state.qnh.load() == 0 && state.liveCount.load() == 0 &&
                    state.staticAverageFit.load() == -1.0F && state.trafficReaderState.load() == 3;
         }},
        // the shell
        {"exit reason and flags", [] { gf_setExitReason(ExitReason::READER_ERROR, 15); },
         [] {
             return exitReason.load() == ExitReason::NOT_YET_SET && !runStopping.load() &&
                    !userStopped.load() && currentRestartDelay() == 15;
         }},
        {"shell flags",
         [] {
             oneSecondPending.store(true);
             flightNotRunning = true;
             rtProfessional.store(true);
             staticRenewNow.store(true);
             secondsCounter.store(77);
             staticRenewalStarted = true;
             loadPending = true;
             blockingChanged.store(true);
             realTrafficAwaited.store(false);
             stockAirportsPath = "/p3d/Scenery";
         },
         [] {
             return !oneSecondPending.load() && !flightNotRunning && !rtProfessional.load() &&
                    !staticRenewNow.load() && secondsCounter.load() == 0 && !staticRenewalStarted &&
                    !loadPending && !blockingChanged.load() && realTrafficAwaited.load() &&
                    stockAirportsPath.empty();
         }},
        {"window requests",
         [] {
             for (std::atomic<bool>* request :
                  {&flushStaticRequest, &rereadRequest, &callsignListRequest, &matchingDepthRaised}) {
                 request->store(true);
             }
         },
         [] {
             return !flushStaticRequest.load() && !rereadRequest.load() && !callsignListRequest.load() &&
                    !matchingDepthRaised.load();
         }},
    };
    for (const Field& field : fields) {
        field.change();
        EXPECT_FALSE(field.isAtStart()) << field.name << " was not changed";
    }
    dataFilesRead.store(true);
    productionMode.store(true);
    restartPending.store(true);
    RANGE.setValue(20);

    lf_resetForRestart();

    for (const Field& field : fields) {
        EXPECT_TRUE(field.isAtStart()) << field.name;
    }
    EXPECT_TRUE(dataFilesRead.load());
    EXPECT_TRUE(productionMode.load());
    EXPECT_TRUE(restartPending.load());
    EXPECT_EQ(RANGE.get(), 20);
    EXPECT_EQ(lastMessageWindow.load(), nullptr);
}

// A window close that lands while a restart resets the run must still end the program: the reset keeps it.
TEST_F(ClosingDownThreads, TheResetKeepsACloseThatCameDuringIt) {
    gf_setExitReason(ExitReason::SIMCONNECT_ERROR, 9);
    gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
    lf_resetForRestart();
    EXPECT_TRUE(userStopped.load());
    EXPECT_TRUE(runStopping.load());
    resetExitReasonForRestart();
}

// The end of the program ends every wait; a wait that ignores it is released afterwards, so it never hangs.
TEST_F(ClosingDownThreads, EveryWaitEndsWhenTheProgramEnds) {
    const std::uint16_t rtPort = test::freeLoopbackPort();
    const std::vector<std::pair<const char*, std::function<void()>>> waits{
        {"after SYSTEM ERROR",
         [] {
             recordSystemError();
             lf_closingDown();
         }},
        {"NEW FLIGHT notice",
         [] {
             gf_setExitReason(ExitReason::NEW_FLIGHT, 0);
             lf_closingDown();
         }},
        {"restart countdown",
         [] {
             gf_setExitReason(ExitReason::READER_ERROR, 60);
             lf_restartCountdown();
         }},
        {"user aircraft", [] { lf_waitForUserAircraft(); }},
        {"RealTraffic",
         [&] {
             gf_startRTServer(std::to_string(rtPort));
             lf_waitForRealTraffic();
         }},
        {"simulator link", [] { lf_simClientThread(std::stop_token{}); }},
        {"QNH reader", [] { lf_qnhReaderThread(0); }},
    };
    realTrafficOnThisPc.store(true);
    for (const auto& [name, wait] : waits) {
        SCOPED_TRACE(name);
        resetExitReasonForRestart();
        gf_resetReaders();
        auto ended = std::async(std::launch::async, wait);
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // inside the wait
        processEnding.store(true);
        EXPECT_EQ(ended.wait_for(test::kLivenessBound), std::future_status::ready);
        gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
        qnhReader.stopFlag.store(true);
        ended.get();
        gf_closeRealTrafficSockets();
        processEnding.store(false);
    }
    realTrafficOnThisPc.store(false);
    resetExitReasonForRestart();
    gf_resetReaders();
}

} // namespace
} // namespace zeph
