#pragma once
#include <chrono>
#include <functional>

// The end of a run: the closing down takes the run apart in a fixed order and then either restarts a new run
// in the same process (Msg::App + 1, after the countdown and the reset) or makes the GUI thread save the
// window position and quit (Msg::App + 2). On the start-up thread, as its last act.

namespace zeph {

// The longest the closing down waits by itself (the NEW FLIGHT notice); the waits for the user, the restart
// countdown among them, end on a close.
inline constexpr std::chrono::seconds closingDownLongestWait{10};

// The closing down. An exception leaves its text in the status line and the log, and the window is told to
// quit, so it can always be closed.
void lf_closingDown();

// A test hook: called by the closing down right before it writes the matching summary, so a test can look at
// the run's state at that point or make the closing down fail there. nullptr (the start) calls nothing.
void setClosingDownHookForTests(std::function<void()> hook);

// "Restarting after {} second{}" counted down in the status line, restartDelay seconds; nothing below 1.
// Ends early when the user closes the window or the program ends meanwhile.
void lf_restartCountdown();

// Every run-time table, counter and flag back to its state at process start, before a restarted run. What
// holds for the whole process (data files read, the aircraft and airport tables, the parameters, the scanned
// liveries, production mode, restartPending, the log) stays.
void lf_resetForRestart();

} // namespace zeph
