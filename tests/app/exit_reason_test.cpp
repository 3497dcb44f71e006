#include "state/exit_reason.h"

#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/run_flags.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

using ExitReasons = test::LogFixture;

void startOver() {
    resetExitReasonForRestart();
    const std::lock_guard lock(exitReasonMutex);
    restartDelay = -1;
}

TEST_F(ExitReasons, TheFirstReasonWinsAndTheUserClosesOnlyAnOpenRun) {
    struct Call {
        ExitReason reason;
        std::int32_t delay;
        bool recorded;
    };
    struct Case {
        const char* name;
        bool stoppingBefore; // runStopping set without a reason first
        std::vector<Call> calls;
        ExitReason reason;
        std::int32_t delay;
        bool userStopped;
    };
    using R = ExitReason;
    const Case cases[] = {
        {"reader error, then SimConnect error",
         false,
         {{R::READER_ERROR, 15, true}, {R::SIMCONNECT_ERROR, 9, false}},
         R::READER_ERROR,
         15,
         false},
        {"user closed over nothing", false, {{R::USER_CLOSED_SIM, 7, true}}, R::USER_CLOSED_SIM, -1, true},
        {"user closed after a SimConnect error",
         false,
         {{R::SIMCONNECT_ERROR, 9, true}, {R::USER_CLOSED_SIM, 0, false}},
         R::SIMCONNECT_ERROR,
         9,
         true},
        {"stopping without a reason, then user closed",
         true,
         {{R::USER_CLOSED_SIM, 0, true}},
         R::USER_CLOSED_SIM,
         -1,
         true},
        {"stopping without a reason, then an error",
         true,
         {{R::READER_ERROR, 15, false}},
         R::NOT_YET_SET,
         -1,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        if (c.stoppingBefore) {
            runStopping.store(true);
        }
        for (const Call& call : c.calls) {
            EXPECT_EQ(gf_setExitReason(call.reason, call.delay), call.recorded)
                << exitReasonText(call.reason);
        }
        EXPECT_EQ(exitReason.load(), c.reason);
        EXPECT_EQ(currentRestartDelay(), c.delay);
        EXPECT_TRUE(runStopping.load());
        EXPECT_EQ(userStopped.load(), c.userStopped);
    }
}

TEST_F(ExitReasons, EachReasonHasItsText) {
    const std::vector<std::pair<ExitReason, std::string>> texts = {
        {ExitReason::NOT_YET_SET, "NOT YET SET"},         {ExitReason::SIM_WAS_CLOSED, "SIM WAS CLOSED"},
        {ExitReason::NEW_FLIGHT, "NEW FLIGHT"},           {ExitReason::NEW_SETTINGS, "NEW SETTINGS"},
        {ExitReason::USER_CLOSED_SIM, "USER CLOSED SIM"}, {ExitReason::SIMCONNECT_ERROR, "SIMCONNECT ERROR"},
        {ExitReason::READER_ERROR, "READER ERROR"},       {ExitReason::SYSTEM_ERROR, "SYSTEM ERROR"},
        {ExitReason::NEW_VERSION, "NEW VERSION"},
    };
    for (std::size_t code = 0; code < texts.size(); ++code) {
        const auto& [reason, text] = texts[code];
        EXPECT_EQ(static_cast<std::size_t>(reason), code) << text;
        EXPECT_EQ(exitReasonText(reason), text) << code;
    }
}

TEST_F(ExitReasons, AStoppedReaderEndsTheRunForARestartIn15Seconds) {
    startOver();
    gf_reportThreadStopped("Traffic Reader", "e");
    EXPECT_EQ(readLog(), std::vector<std::string>{"The Traffic Reader has stopped with error: e"});
    {
        const std::lock_guard lock(mainWindowState.statusMutex);
        EXPECT_EQ(mainWindowState.statusText, "The Traffic Reader has stopped with error: e");
    }
    EXPECT_EQ(exitReason.load(), ExitReason::READER_ERROR);
    EXPECT_EQ(currentRestartDelay(), 15);
}

TEST_F(ExitReasons, TheCatchClausesRecordSystemError) {
    struct Case {
        const char* name;
        bool stoppingBefore;
        bool first; // recordFirstSystemError, else recordSystemError
        ExitReason reason;
        std::int32_t delay;
        bool stopping;
    };
    const Case cases[] = {
        {"first, open run", false, true, ExitReason::SYSTEM_ERROR, 0, true},
        {"first, after NEW VERSION", true, true, ExitReason::NEW_VERSION, -1, true},
        {"direct, open run", false, false, ExitReason::SYSTEM_ERROR, -1, false},
        {"direct, after NEW VERSION", true, false, ExitReason::SYSTEM_ERROR, -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        startOver();
        if (c.stoppingBefore) {
            gf_setExitReason(ExitReason::NEW_VERSION, 0);
            const std::lock_guard lock(exitReasonMutex);
            restartDelay = -1;
        }
        c.first ? recordFirstSystemError() : recordSystemError();
        EXPECT_EQ(exitReason.load(), c.reason);
        EXPECT_EQ(currentRestartDelay(), c.delay);
        EXPECT_EQ(runStopping.load(), c.stopping);
    }
}

} // namespace
} // namespace zeph
