#include <csignal>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "app/program_process.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"

// The built program from its start to the wait for the simulator, ended by SIGTERM.

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

TEST(ProcessRunThreads, TheRunWaitsForTheSimulatorUntilSigterm) {
    test::ProgramPlaces places;
    test::ProgramProcess program(CORVANE_BIN, places);
    const auto log = places.programDir() / "Log.txt";
    ASSERT_TRUE(logHolds(log, "Waiting for Prepar3Dv5 ...")) << program.errorOutput();
    program.signal(SIGTERM);
    EXPECT_EQ(
        program.waitForExit(std::chrono::milliseconds(static_cast<long long>(5000 * test::kSlowFactor))), 0)
        << program.errorOutput();
    EXPECT_TRUE(logHolds(log, "Exiting: USER CLOSED SIM"));
}

} // namespace
} // namespace zeph
