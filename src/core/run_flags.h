#pragma once
#include <atomic>

namespace zeph {

// Set by the shell's exit logic only; everything else reads them.
inline std::atomic<bool> runStopping{false}; // any end of a run
inline std::atomic<bool> userStopped{false}; // the user closed the window or the simulator
// The program is ending: set once, before the shell joins the threads of the run, and never cleared. No
// wait for the user or for a peer may outlive it, or the join would wait for good.
inline std::atomic<bool> processEnding{false};

// Either flag, or the end of the program: the run is ending, so waits give up and work is not started.
inline bool runIsStopping() { return runStopping.load() || userStopped.load() || processEnding.load(); }

// The waits for the user end on a close, or when the program ends.
inline bool userOrProcessStopped() { return userStopped.load() || processEnding.load(); }

} // namespace zeph
