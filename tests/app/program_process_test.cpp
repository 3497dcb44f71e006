#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "app/program_process.h"
#include "core/program.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"

// The built program as a process on the headless window layer: how it starts, how a signal ends it, and
// what a second start does.

namespace zeph {
namespace {

namespace fs = std::filesystem;
using test::ProgramPlaces;
using test::ProgramProcess;

const auto exitBound = test::kLivenessBound * 5;

std::string bannerTail() {
    return fmt::format(" (utc) {} version {} for {}", programId, programVersionText, simulatorText);
}

TEST(ProgramProcess, ACloseSignalEndsTheRunSavesThePositionAndEndsWithZero) {
    struct Case {
        const char* name;
        int signal;
        bool atStart; // the moment the program's own code holds it, before its objects and its window exist
    };
    for (const Case& c : {Case{"SIGTERM", SIGTERM, false}, Case{"SIGINT", SIGINT, false},
                          Case{"SIGTERM at start", SIGTERM, true}}) {
        SCOPED_TRACE(c.name);
        ProgramPlaces places;
        places.seedRun();
        ProgramProcess program(CORVANE_BIN, places);
        if (c.atStart) {
            ASSERT_TRUE(test::waitForBlockedSignal(program.pid(), c.signal));
        } else {
            ASSERT_TRUE(test::waitForFile(places.liveriesScannedFile())) << "the run did not start";
        }
        program.signal(c.signal);
        EXPECT_EQ(program.waitForExit(exitBound), 0) << program.errorOutput();
        const auto lines = test::readFileLines(places.programDir() / "Log.txt");
        ASSERT_GE(lines.size(), 2u);
        EXPECT_TRUE(test::isTimeText(lines.front().substr(0, 24))) << lines.front();
        EXPECT_EQ(lines.front().substr(24), bannerTail());
        EXPECT_TRUE(test::isTimeText(lines.back())) << "the end is logged last: " << lines.back();
        EXPECT_EQ(test::readFileBytes(places.programDir() / "Log.txt").find('\r'), std::string::npos);
        EXPECT_NE(test::readFileBytes(places.parametersFile()).find(R"(name="MAIN_WINDOW_X" value="400")"),
                  std::string::npos);
    }
}

TEST(ProgramProcess, ASecondStartWithTheSameRuntimeFolderEndsWith255AndTouchesNoLog) {
    struct Case {
        const char* name;
        bool sameRuntime;
        int secondExit;
        bool secondLog;
    };
    for (const Case& c :
         {Case{"same runtime folder", true, 255, false}, Case{"other runtime folder", false, 0, true}}) {
        SCOPED_TRACE(c.name);
        ProgramPlaces firstPlaces;
        firstPlaces.seedRun();
        ProgramProcess first(CORVANE_BIN, firstPlaces);
        ASSERT_TRUE(test::waitForFile(firstPlaces.liveriesScannedFile()));
        const std::string firstLog = test::readFileBytes(firstPlaces.programDir() / "Log.txt");

        ProgramPlaces secondPlaces;
        if (c.sameRuntime) {
            secondPlaces.useRuntimeDir(firstPlaces.runtimeDir());
        } else {
            secondPlaces.seedRun(); // this one runs
        }
        ProgramProcess second(CORVANE_BIN, secondPlaces);
        if (!c.sameRuntime) {
            ASSERT_TRUE(test::waitForFile(secondPlaces.liveriesScannedFile()));
            second.signal(SIGTERM);
        }
        EXPECT_EQ(second.waitForExit(exitBound), c.secondExit) << second.errorOutput();
        EXPECT_EQ(fs::exists(secondPlaces.programDir() / "Log.txt"), c.secondLog);

        const std::string firstLogNow = test::readFileBytes(firstPlaces.programDir() / "Log.txt");
        EXPECT_TRUE(firstLogNow.starts_with(firstLog)) << "the first log was not replaced";
        EXPECT_FALSE(fs::exists(firstPlaces.programDir() / "Log0.txt"));
        first.signal(SIGTERM);
        EXPECT_EQ(first.waitForExit(exitBound), 0) << first.errorOutput();
    }
}

TEST(ProgramProcess, ALogThatCannotBeOpenedEndsWithOneAndSaysSoOnStandardError) {
    ProgramPlaces places;
    fs::create_directory(places.programDir() / "Log.txt");
    ProgramProcess program(CORVANE_BIN, places);
    EXPECT_EQ(program.waitForExit(exitBound), 1);
    EXPECT_NE(program.errorOutput().find("Failed to write file Log.txt"), std::string::npos)
        << program.errorOutput();
    EXPECT_FALSE(fs::exists(places.parametersFile())) << "nothing ran";
}

} // namespace
} // namespace zeph
