#pragma once
#include <cstdint>
#include <filesystem>

// The AI aircraft's flight plans: one small AceXML file per AI object in a folder that lives for one run.
// The traffic thread's.

namespace zeph {

struct AcProfile;

// appDataDir() / "orig_dest" once gf_createFlightPlanFolder has run; empty before.
extern std::filesystem::path flightPlanFolder;

// Sets flightPlanFolder and creates it; a creation error is logged ("gf_createFlightPlanFolder: {}"), not
// thrown. True when the folder exists afterwards.
bool gf_createFlightPlanFolder();

// flightPlanFolder / "{objectId}.pln".
std::filesystem::path gf_flightPlanPath(std::uint32_t objectId);

// Writes the plan of aircraft (its origin, destination and kind) to file, replacing an older one: IFR for
// Buzjets, Large and Heavy, VFR for the rest. The codes come from the network, so XML's special characters
// in them are escaped. True only when the file was opened and every byte was written, flushed and closed.
bool gf_writeFlightPlan(const std::filesystem::path& file, const AcProfile& aircraft);

} // namespace zeph
