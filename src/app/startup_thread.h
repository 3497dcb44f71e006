#pragma once
#include <atomic>
#include <filesystem>
#include <functional>
#include <stop_token>
#include <string>
#include <string_view>

// The procedure of the thread that each run starts on (Msg::App + 1). One call is one run: the start-up
// checks and data loading, the scans, the park airports, the main loop, and always the closing down, also
// after an exception.

namespace zeph {

// Set the first time the aircraft database is read, whether or not the read succeeded; later runs of the
// process do not read it again.
extern std::atomic<bool> dataFilesRead;

// The run. Ends with the closing down, which posts Msg::App + 1 (restart) or Msg::App + 2 (quit).
void lf_startThread(std::stop_token stop);

// The start-up sequence: parameters, controls, housekeeping, the version check, the data files, the install
// path and RealTraffic's detection. Throws on fatal conditions.
void lf_startUp();

// Fills the install path from the registry when none is set; throws UserErrorException 151 or 153 when the
// user must type it.
void lf_detectP3D();

// Sets stockAirportsPath and says so when it does not exist.
void lf_checkStockAirportsPath();

// In production mode the run ends after its start: exit code 0, USER CLOSED SIM.
void lf_stopIfProduction();

// Creates the eleven working folders and removes the two stale AIG-regcodes files.
void lf_dataFolderHousekeeping();

// A test hook: called first in every run's start-up, inside the run's catch clauses, so a test can throw a
// chosen exception there or look at what the run before left. Set it before the run starts; empty: none.
void setStartUpHookForTests(std::function<void()> hook);

// The format with both placeholders filled with the program's name.
std::string lf_formatWithProgramName(std::string_view format);

} // namespace zeph
