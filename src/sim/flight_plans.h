#pragma once
#include <filesystem>

// The folder of the AI aircraft's flight plans, which lives for one run. The traffic thread's.

namespace zeph {

// appDataDir() / "orig_dest" once gf_createFlightPlanFolder has run; empty before.
extern std::filesystem::path flightPlanFolder;

// Sets flightPlanFolder and creates it; a creation error is logged ("gf_createFlightPlanFolder: {}"), not
// thrown. True when the folder exists afterwards.
bool gf_createFlightPlanFolder();

} // namespace zeph
