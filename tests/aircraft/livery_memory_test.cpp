#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <utility>

#include <fmt/format.h>

#include "aircraft/livery_memory.h"
#include "core/errors.h"
#include "core/fnv1a.h"
#include "core/run_flags.h"
#include "model/records.h"
#include "sim/sim_link.h"
#include "state/main_window_state.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

using Lines = std::vector<std::string>;

AcProfile failedAircraft(std::string callsign, std::string_view livery, std::string type = "A320",
                         std::string airline = "DLH") {
    AcProfile aircraft;
    aircraft.callsign = std::move(callsign);
    aircraft.livery = livery;
    aircraft.type = std::move(type);
    aircraft.airline = std::move(airline);
    return aircraft;
}

std::string takeStatus() {
    const std::lock_guard lock(mainWindowState.statusMutex);
    return std::exchange(mainWindowState.statusText, {});
}

class LiveryMemory : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        rememberedLiveries.clear();
        failedLiveries.clear();
        failedTypeAirlines.clear();
        takeStatus();
    }
    void TearDown() override {
        runStopping.store(false);
        userStopped.store(false);
        LogFixture::TearDown();
    }
};

// Known FNV-1a vectors; a hexid hashes as its four bytes lowest first.
TEST(Fnv1a, KnownValuesAndHexidByteOrder) {
    struct Case {
        std::string_view text;
        std::uint64_t hash;
    };
    const Case cases[] = {
        {"", 0xcbf29ce484222325ULL}, {"a", 0xaf63dc4c8601ec8cULL}, {"foobar", 0x85944171f73967e8ULL}};
    for (const Case& c : cases) {
        EXPECT_EQ(fnv1a64(c.text), c.hash) << "'" << c.text << "'";
        EXPECT_EQ(Fnv1aHash{}(std::string(c.text)), c.hash) << "'" << c.text << "'";
    }
    EXPECT_EQ(Fnv1aU32Hash{}(0x64636261U), fnv1a64(std::string_view("abcd")));
}

TEST_F(LiveryMemory, RememberedLiveryForgetsFailedTitles) {
    struct Case {
        const char* name;
        const char* remembered; // nullptr: no entry
        bool failed;
        std::string_view first;
        bool entryLeft;
    };
    const Case cases[] = {
        {"no entry", nullptr, false, "", false},
        {"remembered", "Airbus A320 Lufthansa", false, "Airbus A320 Lufthansa", true},
        {"remembered, failed since", "Bad Title", true, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rememberedLiveries.clear();
        failedLiveries.clear();
        if (c.remembered != nullptr) {
            rememberedLiveries[4221004] = c.remembered;
        }
        if (c.failed) {
            failedLiveries.emplace(c.remembered);
        }
        EXPECT_EQ(gf_rememberedLivery(4221004), c.first);
        EXPECT_EQ(rememberedLiveries.contains(4221004), c.entryLeft);
        EXPECT_EQ(gf_rememberedLivery(4221004), c.first);
    }
}

// The failed title's source text goes away, as the livery tables' texts do at a new scan: the title stays
// refused, and nothing reads the freed text (the sanitizer build would report it).
TEST_F(LiveryMemory, FailedTitlesOutliveTheirSource) {
    auto source = std::make_unique<std::string>("Boeing 737-800 Ryanair");
    lf_handleCreationFailure(failedAircraft("RYR1", *source, "B738", "RYR"));
    source.reset();
    const std::string rebuilt = "Boeing 737-800 Ryanair";
    rememberedLiveries[77] = rebuilt;
    EXPECT_TRUE(failedLiveries.contains(std::string_view(rebuilt)));
    EXPECT_EQ(gf_rememberedLivery(77), "");
    EXPECT_FALSE(rememberedLiveries.contains(77));
}

// Rows run in order, each on top of the ones before.
TEST_F(LiveryMemory, CreationFailureIsShownAndCountedOnce) {
    struct Case {
        const char* name;
        std::atomic<bool>* stopFlag;
        std::string callsign, livery, type, airline;
        std::string status;
        std::size_t failedTitles, typeAirlines;
    };
    const Case cases[] = {
        {"first failure", nullptr, "DLH4AB", "Bad Title", "A320", "DLH",
         "DLH4AB 'Bad Title' could not be created by your Sim!", 1, 1},
        {"same title again", nullptr, "DLH5CD", "Bad Title", "A320", "DLH",
         "DLH5CD 'Bad Title' could not be created by your Sim!", 1, 1},
        {"same pair, other title", nullptr, "DLH6EF", "Other Title", "A320", "DLH",
         "DLH6EF 'Other Title' could not be created by your Sim!", 2, 1},
        {"while stopping", &runStopping, "RYR1", "Third Title", "B738", "RYR", "", 3, 2},
        {"after the user stopped", &userStopped, "RYR2", "Fourth Title", "B738", "EZY", "", 4, 3},
    };
    Lines logged;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.stopFlag != nullptr) {
            c.stopFlag->store(true);
        }
        lf_handleCreationFailure(failedAircraft(c.callsign, c.livery, c.type, c.airline));
        if (c.stopFlag != nullptr) {
            c.stopFlag->store(false);
        }
        EXPECT_EQ(takeStatus(), c.status);
        EXPECT_EQ(failedLiveries.size(), c.failedTitles);
        EXPECT_EQ(failedTypeAirlines.size(), c.typeAirlines);
        EXPECT_TRUE(failedTypeAirlines.contains(c.type + " " + c.airline));
        if (!c.status.empty()) {
            logged.push_back(c.status);
        }
    }
    EXPECT_EQ(readLog(), logged);
}

TEST_F(LiveryMemory, TwentiethFailedTitleEndsTheRunEveryTime) {
    const std::string thrown =
        "81: There are too many liveries that could not be created by P3D!, see Log.txt";
    const Lines errorLines = {
        "", "===> Error 81, There are too many liveries that could not be created by P3D!", ""};
    runStopping.store(true); // keeps the log to the error lines
    for (int n = 1; n < 20; ++n) {
        EXPECT_NO_THROW(lf_handleCreationFailure(failedAircraft("X", fmt::format("Title {}", n)))) << n;
    }
    EXPECT_NO_THROW(lf_handleCreationFailure(failedAircraft("X", "Title 1")))
        << "a repeated title counts once";
    EXPECT_TRUE(readLog().empty());
    struct Case {
        const char* name;
        bool resetLink;
        std::string livery;
    };
    const Case cases[] = {
        {"20th distinct title", false, "Title 20"},
        {"any failure after a new run starts", true, "Title 1"},
        {"a new title after a new run starts", true, "Title 21"},
    };
    Lines logged;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.resetLink) {
            gf_resetSimLink();
        }
        try {
            lf_handleCreationFailure(failedAircraft("X", c.livery));
            ADD_FAILURE() << "no error 81";
        } catch (const UserErrorException& error) {
            EXPECT_EQ(std::string(error.what()), thrown);
        }
        logged.insert(logged.end(), errorLines.begin(), errorLines.end());
        EXPECT_EQ(readLog(), logged);
    }
}

} // namespace
} // namespace zeph
