#pragma once
#include <cstdint>
#include <list>
#include <vector>

#include "model/records.h"
#include "state/run_state.h"
#include "traffic/static_plan.h"

// The traffic tables. They belong to the traffic thread.

namespace zeph {

extern std::vector<LiveAc> liveAcTable;
extern std::vector<StaticAc> staticAcTable;
extern std::vector<StaticPlanEntry> staticPlan;

// Hexids of live records whose creation request is to be built; used as a stack, one taken a pass.
extern std::vector<std::uint32_t> acIdsToAdd;
// Hexids waiting for the coupled-callsign and same-registration check; the one-second step takes one a
// second.
extern std::list<std::uint32_t> coupleCheckList;

// A live aircraft is in its landing flare: the aircraft around the user are asked for more often.
extern bool landingFlare;

// Room for the tables at the start of the main loop.
void lf_reserveTrafficTables();
// Empties every table and queue and resets the run values of the neighbours, before a restart.
// tickCounter is kept.
void lf_clearTrafficTables();

// The live aircraft with this hexid, or null. Traffic thread only.
LiveAc* gf_findLiveAc(std::uint32_t hexid);

} // namespace zeph
