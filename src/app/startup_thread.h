#pragma once
#include <stop_token>

// The procedure of the thread that each run starts on (Msg::App + 1). One call is one run.

namespace zeph {

// Reads the settings and fills the controls from them, then waits until the run is asked to end (the stop
// flags, or stop), and posts Msg::App + 2 to the main window, which saves the window position and ends the
// program. An error of the reading goes to the status line as an error text; the run still waits.
void lf_startThread(std::stop_token stop);

} // namespace zeph
