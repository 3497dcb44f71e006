#pragma once
#include <cstdint>
#include <vector>

#include "model/records.h"
#include "sim/sim_link.h"

// What the simulator reports about the AI objects, and what follows: creations completed, removed objects
// erased, touch-downs, static CG data and refused creations. Traffic thread.

namespace zeph {

// Results of created objects waiting for their completion, 200 passes after the simulator reported them;
// the counter counts the passes, -1 marks an entry as done.
extern std::vector<SimResult> createdList;

// Takes the simulator's results; every pass, also while no flight runs.
void lf_handleSimResults();
// Completes the entries of createdList that are due.
void lf_onAcCreated();
// The object is gone from the simulator: its record is erased with its flight plan, or goes back to buffer
// to be created again after a livery respawn.
void gf_removeFlightPlan(std::uint32_t objectId);
// A respawning record whose object is gone: back to buffer, without object and sent controls.
void lf_returnToBuffer(LiveAc& aircraft);
// Toggles all lights of an object; the caller holds simConnectMutex. Negative is a failure.
std::int32_t gf_allLightsToggle(std::uint32_t objectId);

} // namespace zeph
