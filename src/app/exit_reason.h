#pragma once
#include <atomic>
#include <cstdint>

// Why a run ends. Every thread may record a reason; the closing down reads it to decide between a restart and
// the end of the program.

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

} // namespace zeph
