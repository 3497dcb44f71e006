#include <csignal>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/program_process.h"
#include "simstandin/standin.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"

// The built program from its start to the wait for the simulator, or the connection to the stand-in, ended
// by SIGTERM.

namespace zeph {
namespace {

using namespace std::chrono_literals;

bool logHolds(const std::filesystem::path& log, const std::string& line) {
    const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound * 5;
    while (std::chrono::steady_clock::now() < deadline) {
        if (std::filesystem::exists(log)) {
            for (const std::string& text : test::readFileLines(log)) {
                if (text == line) {
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

TEST(ProcessRunThreads, TheRunWaitsForOrConnectsToTheSimulatorUntilSigterm) {
    struct Case {
        const char* name;
        bool simulator; // a stand-in on TCP, named by SimConnect.cfg in the program folder
        std::vector<std::string> linesAtExit;
    };
    const Case cases[] = {
        {"no simulator", false, {"Waiting for Prepar3Dv5 ...", "Exiting: USER CLOSED SIM"}},
        {"the stand-in",
         true,
         {"Lockheed Martin Prepar3D v5 (5.3.12.28584) connected", "SimConnect closed ok"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::ProgramPlaces places;
        places.seedRun();
        std::optional<standin::SimStandin> simulator;
        if (c.simulator) {
            standin::StandinOptions options;
            options.tcp4 = "127.0.0.1:0";
            simulator.emplace(options);
            simulator->start();
            test::writeFileBytes(places.programDir() / "SimConnect.cfg",
                                 "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=" +
                                     std::to_string(simulator->tcp4Port().value_or(0)) + "\r\n");
        }
        test::ProgramProcess program(CORVANE_BIN, places);
        const auto log = places.programDir() / "Log.txt";
        // Waiting or connected: the waiting status is flushed at once, the set-up ends with the group's
        // priority.
        if (simulator) {
            ASSERT_TRUE(simulator->waitPackets(0x09, 1, test::kLivenessBound * 5)) << program.errorOutput();
        } else {
            ASSERT_TRUE(logHolds(log, c.linesAtExit.front())) << program.errorOutput();
        }
        program.signal(SIGTERM);
        EXPECT_EQ(
            program.waitForExit(std::chrono::milliseconds(static_cast<long long>(5000 * test::kSlowFactor))),
            0)
            << program.errorOutput();
        for (const std::string& line : c.linesAtExit) {
            EXPECT_TRUE(logHolds(log, line)) << line;
        }
    }
}

} // namespace
} // namespace zeph
