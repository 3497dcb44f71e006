#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <utility>

// Why a run ends. Every thread may record a reason; the closing down reads it to decide between a restart and
// the end of the program.
//
// Every write of exitReason and restartDelay, and the exchange of runStopping that decides which caller may
// write the reason, happens under exitReasonMutex: through gf_setExitReason, the start-up thread's catch
// clauses (recordSystemError, recordFirstSystemError) and the reset before a restart. It is a leaf lock:
// nothing else is called while it is held. The writers of runStopping and userStopped (core/run_flags.h)
// all live here.

namespace zeph {

enum class ExitReason : std::int32_t {
    NOT_YET_SET,
    SIM_WAS_CLOSED,
    NEW_FLIGHT,
    NEW_SETTINGS,
    USER_CLOSED_SIM,
    SIMCONNECT_ERROR,
    READER_ERROR,
    SYSTEM_ERROR,
    NEW_VERSION
};

// The reason of the current run. Atomic, so that readers need no lock and concurrent writers cannot tear it;
// read and written relaxed.
extern std::atomic<ExitReason> exitReason;

// The texts of the "Exiting: {}" log line, by code.
inline constexpr std::array<std::pair<ExitReason, std::string_view>, 9> exitReasonTexts{{
    {ExitReason::NOT_YET_SET, "NOT YET SET"},
    {ExitReason::SIM_WAS_CLOSED, "SIM WAS CLOSED"},
    {ExitReason::NEW_FLIGHT, "NEW FLIGHT"},
    {ExitReason::NEW_SETTINGS, "NEW SETTINGS"},
    {ExitReason::USER_CLOSED_SIM, "USER CLOSED SIM"},
    {ExitReason::SIMCONNECT_ERROR, "SIMCONNECT ERROR"},
    {ExitReason::READER_ERROR, "READER ERROR"},
    {ExitReason::SYSTEM_ERROR, "SYSTEM ERROR"},
    {ExitReason::NEW_VERSION, "NEW VERSION"},
}};
// The reason's text; "" for a value outside the table.
std::string_view exitReasonText(ExitReason reason);

extern std::mutex exitReasonMutex;
// Seconds before a restart; guarded by exitReasonMutex.
extern std::int32_t restartDelay;
std::int32_t currentRestartDelay();

// This run is the restart of a previous one in the same process; the version check is skipped then. Set
// and cleared by the closing down.
extern std::atomic<bool> restartPending;

// Records a reason; true when it did. USER CLOSED SIM sets userStopped and runStopping and replaces only NOT
// YET SET (the delay is not written). Any other reason is recorded, with its delay, only by the caller whose
// exchange of runStopping found it clear: the first reason wins.
bool gf_setExitReason(ExitReason reason, std::int32_t delaySeconds);

// The reasons after which the run restarts in the same process: NEW SETTINGS, SIMCONNECT ERROR, READER ERROR.
bool restartsAfter(ExitReason reason);

// The start-up thread found the stop flags set. A restarting reason that stands keeps the run restarting as
// recorded; anything else counts as the user's close (USER CLOSED SIM over NOT YET SET only, userStopped and
// runStopping set), so that an earlier reason such as NEW VERSION stays.
void recordStartUpStop();

// A reader thread that ended with an error: "The {} has stopped with error: {}" in the status line and the
// log, then READER ERROR with 15 s.
void gf_reportThreadStopped(std::string_view threadName, std::string_view errorText);

// The start-up thread's catch clauses. recordSystemError writes SYSTEM ERROR over any reason and leaves the
// flags and the delay; recordFirstSystemError records it with delay 0 only when runStopping was clear, and
// sets runStopping.
void recordSystemError();
void recordFirstSystemError();

// The reset before a restart: both stop flags cleared, the reason NOT YET SET; the delay is left.
void resetExitReasonForRestart();
// The same reset, refused (flags and reason kept, false returned) when the user has closed the window: a
// close that lands while a restart is prepared still ends the program.
bool resetExitReasonUnlessClosed();

} // namespace zeph
