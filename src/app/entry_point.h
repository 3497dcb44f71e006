#pragma once
#include <atomic>
#include <cstdint>
#include <span>
#include <string_view>
#include <thread>

#include "app/window/ui.h"

// The program's front door after main: the command line, the window class, the AppData folder, the main
// window and the message loop, and the window procedure with the program's own messages that start a run
// (Msg::App + 1) and end the program (Msg::App + 2).

namespace zeph {

// The program's own window messages. Both are posted, never sent, with wParam and lParam 0.
inline constexpr unsigned startRunMessage = Msg::App + 1;
inline constexpr unsigned saveAndQuitMessage = Msg::App + 2;

// True only when the last production switch on the command line asked for it; set once the main window
// exists. Read by the start-up thread.
extern std::atomic<bool> productionMode;

// The code the message loop ends with after a run; only ever 0.
extern std::atomic<std::int32_t> exitCode;

// The start-up thread of the current run. It stays joinable until the next run's start, or the end of the
// loop, joins it, so no run outlives the program.
extern std::jthread startThread;

// The window that received the latest message; controls are looked up by id in it. Any thread reads it.
extern std::atomic<WindowHandle> lastMessageWindow;

// The production switches among the arguments, the program path excluded: the last of "--production" and
// "/production" (on) or "--no-production" and "/no-production" (off) wins, in any case. given is false when
// there is none.
struct ProductionSwitch {
    bool value = false;
    bool given = false;
};
ProductionSwitch lf_readProductionSwitch(std::span<const std::string_view> arguments);
ProductionSwitch lf_readProductionSwitch(int argc, const char* const* argv);

// Picks the window layer, installs the status and control hooks, registers the window class, makes sure the
// AppData folder exists, opens the main window, starts the first run and runs the message loop. Returns the
// process's exit code: 0 also when the start fails, which is logged.
int lf_runApplication(int argc, const char* const* argv);

// Only the window position is read from parameters.xml here; the run reads every other setting. A file that
// is there but does not load is kept as parameters0.xml and removed, so that the run writes a fresh one.
// File-system errors are thrown.
void readWindowPosition();

// Reads the window position from parameters.xml, creates the main window there and shows it. False when the
// window could not be made. A damaged parameters.xml is copied to parameters0.xml and removed. File-system
// errors are thrown.
bool initInstance(std::string_view title);

// The main window's procedure.
std::intptr_t lf_WndProc(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

} // namespace zeph
