#pragma once
#include <atomic>

namespace zeph {

// Set by the shell's exit logic only; everything else reads them.
inline std::atomic<bool> runStopping{false}; // any end of a run
inline std::atomic<bool> userStopped{false}; // the user closed the window or the simulator

// Either flag: the run is ending, so waits give up and work is not started.
inline bool runIsStopping() { return runStopping.load() || userStopped.load(); }

} // namespace zeph
